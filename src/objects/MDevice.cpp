#include "objects/MDevice.h"

#include "objects/LongWork.h"

#include "editor/NameGroups.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "model/DeviceAddress.h"
#include "objects/Commands.h"
#include "objects/FDevice.h"
#include "objects/FieldTransfer.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/system/Components.h"
#include "platform/system/Processes.h"
#include "platform/system/ProjectSettings.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryError.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QDir>
#include <stdexcept>

namespace ov::objects {

namespace nodekey = host::nodekey;
namespace blobmode = model::blobmode;
using settings::Text;

namespace {

const QString kDev = QStringLiteral("Dev");
const QString kNewName = QStringLiteral("@New@");
const QString kDriversKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Drivers");

// A configuration tool's ProgID, not an empty box (stored as one U+0000).
bool IsToolName(const QString& progId) { return !progId.isEmpty() && progId != QString(QChar(0)); }

// What a device's configuration tool saved for it goes; a tool that cannot be
// made has nothing to clear here.
void ClearToolConfiguration(const QString& progId, const QString& project, const QVariant& name, const QVariantList& key) {
    auto tool = sys::ComponentRegistry::Instance().Create(progId);
    if (tool && tool->Call(QStringLiteral("IsConfigured"), {project, name, QVariant(key)}).toBool())
        tool->Call(QStringLiteral("Clear"), {project, name, QVariant(key)});
}

// The dialog cannot be written back: the reason goes after text 751.
class WriteBackError : public std::runtime_error {
  public:
    explicit WriteBackError(const QString& why) : std::runtime_error(why.toStdString()) {}
};

QString DeviceSection(int universalNumber) { return QStringLiteral("Device%1").arg(universalNumber); }

bool IsUniversalNumber(int n) {
    return n >= blobmode::kFirstUniversalNumber && n <= blobmode::kLastUniversalNumber;
}

void Say(int text, ui::Icon icon = ui::Icon::Critical) {
    ui::ShowMessage(Text(text), Text(310), ui::Buttons::OK, 0, icon);
}

QString Field(db::Recordset& rs, const char* name) {
    const int index = rs.FieldIndex(QString::fromUtf8(name));
    return index < 0 ? QString() : rs.Fields(index).Value().toString();
}

}  // namespace

MDevice::MDevice(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuDeviceFunc"), [this](int code) { return DeviceFunc(code); });
}

int MDevice::CurrentDeviceId() const {
    const QString key = m_window.CurrentNode();
    return nodekey::Kind(key) == QStringLiteral("OPCD") ? nodekey::NodeId(key) : -1;
}

void MDevice::ReloadDeviceNames() {
    db::Recordset devices;
    devices.Open(QStringLiteral("SELECT Name FROM TpdbDevices"), m_window.Data()->Connection());
    m_window.Names().NamesInGroup(devices, kDev);
}

QString MDevice::NewDeviceName() const {
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Ch%1").arg(n);
        if (m_window.Names().TestNameInGroup(name, kDev)) return name;
    }
}

bool MDevice::DeviceFunc(int code) {
    if (!m_window.Data()) return false;
    if (code >= 6 && code <= 9) return m_window.RunObjectFunction(QStringLiteral("mnuItemHelperFunc"), code - 6);
    // Every device command starts from the names as the database has them.
    ReloadDeviceNames();
    switch (code) {
        case 0:
        case 1:
            return NewDevice(code == 1);
        case 2:
            return Edit(CurrentDeviceId());
        case 3:
            return Delete(CurrentDeviceId());
        case 4:
            return Configure(CurrentDeviceId());
        case 5:
            return Browse(CurrentDeviceId());
        default:
            return false;
    }
}

bool MDevice::Locate(db::Recordset& devices, int deviceId, int missingText) {
    devices.Open(QStringLiteral("SELECT * FROM TpdbDevices"), m_window.Data()->Connection());
    if (deviceId >= 0 && devices.Find(QStringLiteral("ID=%1").arg(deviceId))) return true;
    Say(missingText, ui::Icon::Warning);
    return false;
}

QVariantList MDevice::KeyOf(db::Recordset& devices) {
    return {devices.Value(QStringLiteral("ID")), devices.Value(QStringLiteral("ProgID"))};
}

bool MDevice::NewDevice(bool ownDriver) {
    m_window.CommitGridEdits();
    const QString name = NewDeviceName();
    db::Connection& connection = m_window.Data()->Connection();
    int id = -1;
    try {
        // Others never see the placeholder: the record gets its name in the same transaction.
        connection.BeginTrans();
        try {
            db::Recordset devices;
            devices.Open(QStringLiteral("SELECT * FROM TpdbDevices"), connection);
            devices.AddNew();
            devices.SetValue(QStringLiteral("Name"), kNewName);
            devices.SetValue(QStringLiteral("BlobMode"), ownDriver ? blobmode::kOwnDriver : blobmode::kBytestream);
            devices.Update();
            devices.Requery();
            if (!devices.Find(QStringLiteral("Name='%1'").arg(kNewName))) throw std::runtime_error("the new device went missing");
            devices.SetValue(QStringLiteral("Name"), name);
            devices.Update();
            id = devices.Value(QStringLiteral("ID")).toInt();
            connection.AfterCommit([this, id, name] {
                m_window.Names().AddNameInGroup(name, kDev);
                if (host::ProjectTree* tree = m_window.Session().Tree())
                    tree->AddDeviceNodes(m_window.Data()->Connection(), id, m_window.FieldNameFromSwitchView());
                std::array<int, 7> added{1, 0, 0, 0, 0, 0, 0};
                m_window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, added);
            });
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
    } catch (const db::DbError& e) {
        ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return true;
    }

    m_mark = CreationMark::NewInEdit;
    Edit(id);
    const bool cancelled = m_mark == CreationMark::NewCancelled;
    if (cancelled) Delete(id);
    m_mark = CreationMark::Idle;
    if (!cancelled) {
        // The new device is the one to work on now.
        host::Connect& session = m_window.Session();
        const QString key = session.Tree() ? session.Tree()->DeviceNodeKey(id) : QString();
        if (!key.isEmpty() && session.Host()) {
            session.Host()->SelectNode(key);
            session.ShowNode(key);
        }
    }
    return true;
}

bool MDevice::Edit(int deviceId) {
    db::Recordset devices;
    if (!Locate(devices, deviceId)) return true;
    ReloadDeviceNames();
    const QString oldKey = m_window.Session().Tree() ? m_window.Session().Tree()->DeviceNodeKey(deviceId) : QString();
    if (!EditOperation(devices)) {
        if (m_mark == CreationMark::NewInEdit) m_mark = CreationMark::NewCancelled;
        return true;
    }
    host::Connect& session = m_window.Session();
    host::ProjectTree* tree = session.Tree();
    if (!tree || devices.IsEOF()) return true;
    try {
        devices.Resync();
        const QString text = host::ProjectTree::DeviceText(Field(devices, "Name"), Field(devices, "ShortDescriptor"));
        const QString newKey = nodekey::DeviceKey(deviceId, Field(devices, "HierarchBrowseSeparator"),
                                                  devices.Value(QStringLiteral("BlobMode")).toInt() == blobmode::kOwnDriver);
        tree->RelabelDevice(deviceId, text);
        // A new separator or kind gives the node a new key and new folders.
        if (!oldKey.isEmpty() && newKey != oldKey) session.RefreshDeviceNode(oldKey);
        else if (m_window.CurrentNode() == oldKey) m_window.MakeMyCaption(oldKey);
    } catch (const db::DbError&) {
        // The record went meanwhile; its nodes are dealt with by whoever deleted it.
    }
    m_window.NotifyView();
    return true;
}

bool MDevice::EditOperation(db::Recordset& devices) {
    FDevice dialog(m_window.Names(), m_window.Session().ProjectArgument(), KeyOf(devices),
                   m_window.Languages().CurrentLCID());
    std::vector<std::function<void()>> afterUpdate;
    RecordDialog steps;
    steps.fill = [&] { LoadDialog(dialog, devices); };
    steps.write = [&] { WriteDialog(dialog, devices, afterUpdate); };
    steps.cancelled = [&] { return dialog.Cancelled(); };
    steps.fillError = 750;
    steps.writeError = 751;
    // The dialog's name went into the name group at OK; the record keeps its old one.
    steps.afterFailure = [this] { ReloadDeviceNames(); };
    const EditOutcome outcome = EditRecord(dialog, devices, steps);
    if (outcome == EditOutcome::Written) {
        // Settings files and tools follow the record only once it is written.
        try {
            for (const auto& action : afterUpdate) action();
        } catch (const std::exception& e) {
            ShowDialogError(751, QString::fromUtf8(e.what()));
        }
    }
    return outcome == EditOutcome::Written || outcome == EditOutcome::WriteFailed;
}

void MDevice::LoadDialog(FDevice& dialog, db::Recordset& devices) {
    const int id = devices.Value(QStringLiteral("ID")).toInt();
    const qint16 blobMode = blobmode::FromStored(devices.Value(QStringLiteral("BlobMode")));
    const bool ownDriver = blobmode::Kind(blobMode) == blobmode::kOwnDriver;
    const auto set = [&dialog](const char* control, const QString& text) { dialog.Get(QString::fromUtf8(control)).text = text; };
    const auto check = [&dialog](const QString& control, bool checked) { dialog.Get(control).checkState = checked ? 1 : 0; };

    // The universal numbers other own drivers of the project use are not offered.
    std::vector<bool> used(blobmode::kLastUniversalNumber + 1, false);
    db::Recordset others = devices.Clone();
    for (others.MoveFirst(); !others.IsEOF(); others.MoveNext()) {
        if (others.Value(QStringLiteral("ID")).toInt() == id) continue;
        if (blobmode::Kind(blobmode::FromStored(others.Value(QStringLiteral("BlobMode")))) != blobmode::kOwnDriver) continue;
        const int n = model::ParseDriverProgId(others.Value(QStringLiteral("ProgID"))).universalNumber;
        if (IsUniversalNumber(n)) used[static_cast<std::size_t>(n)] = true;
    }
    ui::Control& universal = dialog.Get(QStringLiteral("cmbUniversal"));
    for (int n = blobmode::kFirstUniversalNumber; n <= blobmode::kLastUniversalNumber; ++n)
        if (!used[static_cast<std::size_t>(n)]) universal.list.Add(n, QStringLiteral("Universal  %1").arg(n));
    universal.listIndex = universal.list.Size() > 0 ? 0 : -1;

    ui::Control& structureAccess = dialog.Get(QStringLiteral("cmbBlobMode"));
    for (int kind : {blobmode::kBytestream, blobmode::kIec1131, blobmode::kSingleVariables})
        structureAccess.list.Add(kind, Text(712 + kind));
    structureAccess.listIndex = 0;

    for (const QString& field : devices.FieldNames()) {
        const QVariant value = devices.Value(field);
        const auto is = [&field](const char* name) { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        if (is("Name")) {
            set(ownDriver ? "txtNameOVDriver" : "txtNameOPCServer", ToDialogText(value));
        } else if (is("ProgID")) {
            if (ownDriver) {
                const model::DriverAddress driver = model::ParseDriverProgId(value);
                set("txtChoosedDriver", driver.driverName);
                if (driver.universalNumber != 0 && !universal.Select(driver.universalNumber)) universal.listIndex = -1;
            } else {
                const model::OpcServerAddress server = model::ParseOpcServerProgId(value);
                set("txtChoosedOPCServer", server.progId);
                set("txtComputerName", server.computer);
                set("txtOPCServerVersion", server.version);
                // A browsed device keeps its server: its items came from there.
                if (devices.Value(QStringLiteral("IsBrowsed")).toBool())
                    for (const char* control : {"txtChoosedOPCServer", "lblChoosedOPCServer", "cmdChooseOPCServer"})
                        dialog.Get(QString::fromUtf8(control)).enabled = false;
            }
        } else if (is("BlobMode")) {
            check(ownDriver ? QStringLiteral("optOVDriver") : QStringLiteral("optOPCServer"), true);
            if (ownDriver) continue;
            // A kind outside the list selects no entry.
            if (!structureAccess.Select(static_cast<int>(blobmode::Kind(blobMode)))) structureAccess.listIndex = -1;
            const bool bytestream = blobmode::Kind(blobMode) == blobmode::kBytestream;
            for (const blobmode::Flag& flag : blobmode::kFlags)
                if (!flag.bytestreamOnly || bytestream)
                    check(QString::fromUtf8(flag.checkBox), blobmode::Has(blobMode, flag.value));
        } else if (is("WriteSingleFieldElements") || is("CreateItems")) {
            if (!ownDriver) check(QStringLiteral("chk") + field, value.toBool());
        } else if (is("Enabled")) {
            check(QStringLiteral("chkEnabled"), value.toBool());
        } else if (is("Comment")) {
            set(ownDriver ? "txtCommentOVDriver" : "txtCommentOPCServer", ToDialogText(value));
        } else if (is("ShortDescriptor")) {
            set(ownDriver ? "txtShortDescDriver" : "txtShortDesc", ToDialogText(value));
        } else if (is("HierarchBrowseSeparator")) {
            set("txtHierarchBrowseSeparator", ToDialogText(value));
        } else if (is("ProgIDConfigTool")) {
            const QString tool = ToDialogText(value);
            if (ownDriver) {
                set("txtDriverConfigState", Text(731));
                continue;
            }
            set("txtProgIDConfigTool", tool);
            if (tool.isEmpty()) {
                set("txtOPCServerConfigState", Text(730));
                continue;
            }
            auto component = sys::ComponentRegistry::Instance().Create(tool);
            if (!component) {
                ui::Beep();
                continue;
            }
            const QVariant configured = component->Call(
                QStringLiteral("IsConfigured"),
                {m_window.Session().ProjectArgument(), devices.Value(QStringLiteral("Name")), QVariant(KeyOf(devices))});
            set("txtOPCServerConfigState", Text(configured.toBool() ? 732 : 731));
        }
    }
    dialog.ShowLoadedState();
}

void MDevice::WriteDialog(FDevice& dialog, db::Recordset& devices, std::vector<std::function<void()>>& afterUpdate) {
    const QString project = m_window.Session().ProjectArgument();
    const bool opcServer = dialog.IsOpcServer();
    const auto text = [&dialog](const char* control) { return dialog.Get(QString::fromUtf8(control)).text; };
    const auto checked = [&dialog](const QString& control) { return dialog.Get(control).IsChecked(); };
    const auto store = [&devices](const QString& field, const QString& value) {
        devices.SetValue(field, FromDialogText(value, devices.Fields(field).Type()));
    };
    const QVariantList oldKey = KeyOf(devices);

    for (const QString& field : devices.FieldNames()) {
        const auto is = [&field](const char* name) { return field.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        if (is("Name")) {
            // The box of the kind chosen holds the name the person sees.
            store(field, text(opcServer ? "txtNameOPCServer" : "txtNameOVDriver"));
        } else if (is("CreateItems") || is("WriteSingleFieldElements") || is("Enabled")) {
            devices.SetValue(field, checked(QStringLiteral("chk") + field));
        } else if (is("BlobMode")) {
            const ui::Control& structureAccess = dialog.Get(QStringLiteral("cmbBlobMode"));
            if (!opcServer) {
                devices.SetValue(field, blobmode::kOwnDriver);
            } else if (structureAccess.listIndex >= 0) {
                const qint16 kind = static_cast<qint16>(structureAccess.SelectedData().toInt());
                qint16 value = kind;
                for (const blobmode::Flag& flag : blobmode::kFlags)
                    if (checked(QString::fromUtf8(flag.checkBox)) && (!flag.bytestreamOnly || structureAccess.listIndex == 0))
                        value = static_cast<qint16>(value | flag.value);
                devices.SetValue(field, value);
            }
        } else if (is("Comment")) {
            store(field, text(opcServer ? "txtCommentOPCServer" : "txtCommentOVDriver"));
        } else if (is("ShortDescriptor")) {
            store(field, text(opcServer ? "txtShortDesc" : "txtShortDescDriver"));
        } else if (is("HierarchBrowseSeparator")) {
            store(field, opcServer ? text("txtHierarchBrowseSeparator") : QString());
        } else if (is("ProgIDConfigTool")) {
            // Only an OPC server has a configuration tool; a device that is one no
            // longer leaves nothing configured behind.
            store(field, opcServer ? text("txtProgIDConfigTool") : QString());
            const QString oldTool = devices.Fields(field).OriginalValue().toString();
            if (!opcServer && IsToolName(oldTool)) {
                const QVariant oldName = devices.Fields(QStringLiteral("Name")).OriginalValue();
                afterUpdate.push_back([oldTool, project, oldName, oldKey] { ClearToolConfiguration(oldTool, project, oldName, oldKey); });
            }
        } else if (is("ProgID")) {
            const QString stored = devices.Fields(field).OriginalValue().toString();
            if (opcServer) {
                model::OpcServerAddress server{text("txtComputerName").trimmed(), text("txtChoosedOPCServer"),
                                               text("txtOPCServerVersion").trimmed()};
                const QString value = server.Stored();
                if (value != stored) {
                    // The old server's configuration of this device goes.
                    const QString oldTool = devices.Fields(QStringLiteral("ProgIDConfigTool")).OriginalValue().toString();
                    const QString name = devices.Fields(QStringLiteral("Name")).OriginalValue().toString();
                    if (IsToolName(oldTool))
                        afterUpdate.push_back([oldTool, project, name, oldKey] {
                            if (auto tool = sys::ComponentRegistry::Instance().Create(oldTool))
                                tool->Call(QStringLiteral("Clear"), {project, name, QVariant(oldKey)});
                        });
                    if (auto chooser = sys::ComponentRegistry::Instance().Create(QStringLiteral("OVSDeviceBrowser.OPCServer"))) {
                        sys::CallError error;
                        chooser->SetProperty(QStringLiteral("UseRegistry"), true, &error);
                        if (!chooser->Invoke(QStringLiteral("CheckServer"),
                                             {server.computer, server.VersionedProgId()}, nullptr, &error))
                            ui::ShowMessage(error.description + QStringLiteral("   ") + QString::number(error.number),
                                            QStringLiteral("OVSDeviceBrowser"), ui::Buttons::OK, 0, ui::Icon::Warning);
                    }
                }
                devices.SetValue(field, value);
            } else {
                const ui::Control& universal = dialog.Get(QStringLiteral("cmbUniversal"));
                // The sixth own driver finds every number taken.
                if (universal.listIndex < 0) throw WriteBackError(Text(415));
                const int n = universal.SelectedData().toInt();
                const QString driver = text("txtChoosedDriver");
                const QString value = model::DriverAddress{n, driver}.Stored();
                const int oldNumber = model::ParseDriverProgId(stored).universalNumber;
                afterUpdate.push_back([value, stored, oldNumber, project, n, driver] {
                    sys::ProjectSettings settings;
                    const sys::Registry& registry = sys::SystemTools::Instance().GetRegistry();
                    try {
                        if (value != stored && IsUniversalNumber(oldNumber) && settings.Open(project, registry))
                            settings.DeleteSection(DeviceSection(oldNumber));
                        if (settings.Open(project, registry)) settings.Write(DeviceSection(n), QStringLiteral("ProgID"), driver);
                    } catch (const sys::RegistryError&) {
                        // Without a registry the project's settings cannot be found; the record is written all the same.
                    }
                    settings.Close();
                });
                devices.SetValue(field, value);
            }
        }
    }
}

bool MDevice::Delete(int deviceId) {
    db::Recordset devices;
    if (!Locate(devices, deviceId)) return true;
    db::Connection& connection = m_window.Data()->Connection();
    const QString name = devices.Value(QStringLiteral("Name")).toString();
    const QVariantList key = KeyOf(devices);
    const qint16 blobMode = blobmode::FromStored(devices.Value(QStringLiteral("BlobMode")));
    const QString tool = devices.Value(QStringLiteral("ProgIDConfigTool")).toString();
    int items = 0;
    {
        db::Recordset count;
        count.Open(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID =%1").arg(deviceId), connection);
        items = count.Fields(0).Value().toInt();
    }
    devices.Close();
    if (m_mark != CreationMark::NewCancelled && m_window.RequestOnDelete()) {
        const QString question = Text(1101).replace(QStringLiteral("<it>"), QString::number(items));
        if (ui::ShowMessage(question, Text(310), ui::Buttons::OKCancel, 1, ui::Icon::Question) != ui::Answer::OK)
            return true;
    }
    ui::BusyCursor busy;
    m_window.CommitGridEdits();
    const bool simulation = m_window.SimulationOpen(), redundancy = m_window.RedundancyOpen();
    const bool texts = connection.HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID"));
    // A large device takes seconds: a progress window with Cancel, which
    // stops the running statement and rolls everything back.
    LongWork progress(connection, Text(215) + QStringLiteral(": ") + name, items);
    int phase = 0;
    const auto next = [&] { progress.SetDone(static_cast<qint64>(++phase) * items / 6); };
    try {
        connection.BeginTrans();
        try {
            // The device's items with everything that hangs on them, set by set.
            const QString ofDevice = QStringLiteral("(SELECT ID FROM TpdbItems WHERE DeviceID = ?)");
            const QVariant id = deviceId;
            if (items > 0) {
                connection.Execute(QStringLiteral("DELETE FROM TpdbConnections WHERE ItemID IN ") + ofDevice, {id});
                next();
                if (simulation) connection.Execute(QStringLiteral("DELETE FROM TpdbSimulation WHERE ItemID IN ") + ofDevice, {id});
                next();
                if (redundancy) connection.Execute(QStringLiteral("DELETE FROM TpdbAlign WHERE ItemID IN ") + ofDevice, {id});
                next();
                if (texts)
                    connection.Execute(QStringLiteral("DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbItems "
                                                      "WHERE DeviceID = ? AND TextID > 0)"),
                                       {id});
                next();
                connection.Execute(QStringLiteral("DELETE FROM TpdbItems WHERE DeviceID = ?"), {id});
                next();
            }
            connection.Execute(QStringLiteral("DELETE FROM TpdbDevices WHERE ID = ?"), {id});
            connection.AfterCommit([this, deviceId, name, items] {
                m_window.Names().DeleteNameInGroup(name, kDev);
                if (host::ProjectTree* tree = m_window.Session().Tree()) tree->RemoveDeviceNodes(deviceId);
                std::array<int, 7> removed{-1, 0, -items, 0, 0, 0, 0};
                m_window.UpdateStatusCounters(QStringLiteral("Delete"), editor::frmtabgridOPC::CounterMode::Add, removed);
            });
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
        progress.Finish();
    } catch (const db::DbError& e) {
        progress.Finish();
        // Cancel stopped the statement: nothing changed, nothing to tell.
        if (!progress.Cancelled()) ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return true;
    }
    m_window.RefreshUnboundSources();

    // What the device left outside the database; nothing here stops the delete.
    const QString project = m_window.Session().ProjectArgument();
    // A configuration tool named on a driver (left by an older version) is cleared too.
    if (IsToolName(tool)) ClearToolConfiguration(tool, project, name, key);
    if (blobmode::Kind(blobMode) == blobmode::kOwnDriver) {
        const int n = model::ParseDriverProgId(key.value(1)).universalNumber;
        try {
            sys::ProjectSettings settings;
            if (IsUniversalNumber(n) && settings.Open(project, sys::SystemTools::Instance().GetRegistry()))
                settings.DeleteSection(DeviceSection(n));
        } catch (const sys::RegistryError&) {
        }
    }

    // The devices' node is the one to show now.
    host::Connect& session = m_window.Session();
    if (session.Host() && m_mark != CreationMark::NewCancelled) {
        session.Host()->SelectNode(nodekey::kExternal);
        session.ShowNode(nodekey::kExternal);
    }
    m_window.NotifyView();
    return true;
}

MDevice::DriverProgram MDevice::DriverConfigurationProgram(const QString& folder, const QString& fileName,
                                                           const QString& projectArgument, int universalNumber) {
    // drv.exe is configured by drvk.exe, in the driver's folder.
    const QString program = folder + u'/' + QString(fileName).replace(u'.', QStringLiteral("k."));
    const QString device = DeviceSection(universalNumber);
    DriverProgram result;
    result.commandLine = u'"' + program + QStringLiteral("\" \"") + projectArgument + QStringLiteral("\" ") + device;
    result.program = QDir::cleanPath(program);
    result.arguments = {projectArgument, device};
    return result;
}

void MDevice::StartDriverConfiguration(const QString& driverName, int universalNumber) {
    QString folder, fileName;
    try {
        const sys::Registry& registry = sys::SystemTools::Instance().GetRegistry();
        const QString key = kDriversKey + u'\\' + driverName;
        fileName = registry.ReadValue(sys::Hive::LocalMachine, key, QStringLiteral("Name"));
        folder = registry.ReadValue(sys::Hive::LocalMachine, key, QStringLiteral("Path"));
    } catch (const sys::RegistryError&) {
        // A registry that cannot be read gives a command line with empty parts.
    }
    const DriverProgram run =
        DriverConfigurationProgram(folder, fileName, m_window.Session().ProjectArgument(), universalNumber);
    QString error;
    if (fileName.isEmpty() || !sys::RunAndWait(run.program, run.arguments, &error))
        ui::ShowMessage(Text(413) + QStringLiteral("\n") + run.commandLine + (error.isEmpty() ? QString() : u'\n' + error),
                        Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
}

bool MDevice::Configure(int deviceId) {
    db::Recordset devices;
    if (!Locate(devices, deviceId)) return true;
    const qint16 blobMode = blobmode::FromStored(devices.Value(QStringLiteral("BlobMode")));
    if (blobMode == blobmode::kOwnDriver) {
        const model::DriverAddress driver = model::ParseDriverProgId(devices.Value(QStringLiteral("ProgID")));
        if (driver.universalNumber == 0) {
            Say(415, ui::Icon::Warning);
            return true;
        }
        StartDriverConfiguration(driver.driverName, driver.universalNumber);
        return true;
    }
    auto tool = sys::ComponentRegistry::Instance().Create(devices.Value(QStringLiteral("ProgIDConfigTool")).toString());
    if (!tool) {
        Say(413);
        return true;
    }
    sys::CallError ignored;
    tool->SetProperty(QStringLiteral("LanguageID"), m_window.Languages().CurrentLCID(), &ignored);
    if (blobMode != 0) {
        const model::OpcServerAddress server = model::ParseOpcServerProgId(devices.Value(QStringLiteral("ProgID")));
        QVariantList arguments{server.VersionedProgId()};
        if (!server.computer.isEmpty()) arguments << server.computer;
        tool->Invoke(QStringLiteral("OVXShow"), arguments, nullptr, &ignored);
    } else {
        tool->Invoke(QStringLiteral("Show"),
                     {static_cast<qulonglong>(m_window.Parent()), m_window.Session().ProjectArgument(),
                      devices.Value(QStringLiteral("Name")), QVariant(KeyOf(devices))},
                     nullptr, &ignored);
    }
    return true;
}

bool MDevice::Browse(int deviceId) {
    db::Recordset devices;
    if (!Locate(devices, deviceId, 419)) return true;
    if (blobmode::FromStored(devices.Value(QStringLiteral("BlobMode"))) == blobmode::kOwnDriver) {
        Say(416, ui::Icon::Warning);
        return true;
    }
    if (!devices.Value(QStringLiteral("Enabled")).toBool() &&
        ui::ShowMessage(Text(417), Text(418), ui::Buttons::YesNo, 1, ui::Icon::Warning) != ui::Answer::Yes)
        return true;
    m_window.CommitGridEdits();
    const model::OpcServerAddress server = model::ParseOpcServerProgId(devices.Value(QStringLiteral("ProgID")));
    if (!m_window.browseDevice) {
        ui::ShowMessage(Text(9010).replace(QStringLiteral("<ps>"), server.VersionedProgId()), Text(310), ui::Buttons::OK,
                        0, ui::Icon::Information);
        return true;
    }
    if (m_window.browseDevice(deviceId)) {
        devices.SetValue(QStringLiteral("IsBrowsed"), true);
        devices.Update();
    }
    m_window.ShowItemView();
    if (host::ProjectTree* tree = m_window.Session().Tree()) {
        const QString key = tree->DeviceNodeKey(deviceId);
        if (!key.isEmpty()) m_window.Session().RefreshDeviceNode(key);
    }
    return true;
}

}  // namespace ov::objects
