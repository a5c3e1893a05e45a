#include "opc/MOpc.h"

#include "editor/frmtabgridOPC.h"
#include "host/EditorImages.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "model/DeviceAddress.h"
#include "objects/Commands.h"
#include "objects/MItem.h"
#include "opc/FBrowseItemsOCX.h"
#include "opc/FNewItemOVOPC.h"
#include "opc/FServerLogin.h"
#include "opc/MOnline.h"
#include "opc/PlcSource.h"
#include "plc/Readers.h"
#include "platform/system/ProjectSettings.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/system/Components.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/Images.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace ov::opc {

using settings::Text;

namespace {

constexpr int kItemsCounter = 2;
constexpr int kDefaultGroup = 1;  // every item entered by address joins it
constexpr int kStructureCounter = 5, kMemberCounter = 6;
const QString kStr = QStringLiteral("Str");

// The items a browse left out, each with its reason; a long list is cut.
QString LeftOutMessage(const std::vector<LeftOutItem>& leftOut) {
    constexpr std::size_t kShown = 20;
    QStringList lines{Text(9262)};
    for (std::size_t i = 0; i < leftOut.size() && i < kShown; ++i) lines << LeftOutText(leftOut[i]);
    if (leftOut.size() > kShown)
        lines << Text(9263).replace(QStringLiteral("<n>"), QString::number(leftOut.size() - kShown));
    return lines.join(u'\n');
}

// The notes of a program read, a long list cut.
QString NotesMessage(const QStringList& notes) {
    constexpr qsizetype kShown = 20;
    QStringList lines = notes.first(std::min(kShown, notes.size()));
    if (notes.size() > kShown)
        lines << Text(9263).replace(QStringLiteral("<n>"), QString::number(notes.size() - kShown));
    return lines.join(u'\n');
}

constexpr int kModeOpen = 1;

void ConnectToDefaultGroup(db::Connection& connection) {
    const qint64 item = connection.LastInsertId();
    connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, ?)"),
                       {kDefaultGroup, item});
}

}  // namespace

std::pair<QString, QString> SplitServerProgId(const QString& stored) {
    QString computer;
    QString progId = stored;
    if (stored.startsWith(u'<')) {
        const qsizetype close = stored.indexOf(u'>');
        computer = close < 0 ? stored.mid(1) : stored.mid(1, close - 1);
        progId = close < 0 ? QString() : stored.mid(close + 1);
    }
    computer = computer.trimmed();
    if (computer.startsWith(QLatin1String("\\\\"))) computer = computer.mid(2);
    return {progId, computer};
}

MOpc::MOpc(editor::frmtabgridOPC& window, objects::MItem& items) : m_window(window), m_items(items) {
    window.browseDevice = [this](int deviceId) { return Browse(deviceId); };
    window.RegisterObjectFunction(QStringLiteral("mnuItemFunc.OPC"), [this](int code) { return ItemFunc(code); });
    window.RegisterObjectFunction(QStringLiteral("mnuPlcFunc"), [this](int code) {
        if (code != 0) return false;
        ImportPlcProgram(host::nodekey::NodeId(host::nodekey::DeviceKeyOf(m_window.CurrentNode())));
        return true;
    });
}

bool MOpc::ItemFunc(int code) {
    if (code != 5) return false;
    NewItemsFromConfigurator();
    return true;
}

std::optional<BrowsePreparation> MOpc::Prepare(int deviceId) {
    db::Connection& connection = m_window.Data()->Connection();
    db::Recordset devices;
    devices.Open(QStringLiteral("SELECT ID, ProgID, HierarchBrowseSeparator FROM TpdbDevices WHERE ID = %1").arg(deviceId),
                 connection);
    if (devices.IsEOF()) {
        ui::ShowMessage(Text(2401), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return std::nullopt;
    }
    BrowsePreparation preparation;
    const QVariant progId = devices.Value(QStringLiteral("ProgID"));
    std::tie(preparation.progId, preparation.computer) = SplitServerProgId(progId.isNull() ? QString() : progId.toString());
    // An empty separator is stored as one U+0000.
    const QString separator = devices.Value(QStringLiteral("HierarchBrowseSeparator")).toString();
    preparation.separatorCode = separator.isEmpty() || separator.front().isNull() ? '.' : separator.front().unicode();
    preparation.existing = DeviceBrowseItems(connection, deviceId, m_window.FieldNameFromSwitchView());
    return preparation;
}

bool MOpc::Browse(int deviceId) {
    return RunBrowse(deviceId, [](ItemBrowser&, const BrowsePreparation& preparation, QString* error) {
        const model::OpcServerAddress server = model::ParseOpcServerProgId(preparation.progId);
        // A live server asks for a password or about its certificate in the studio's dialogs.
        return SourceFor(sys::SystemTools::Instance().GetRegistry(), server.VersionedProgId(), preparation.computer, error,
                         DialogAskers());
    });
}

bool MOpc::RunBrowse(int deviceId, const SourceMaker& makeSource) {
    FBrowseItemsOCX dialog;
    ui::UnloadOnExit unload(dialog);
    {
        ui::BusyCursor busy;
        std::optional<BrowsePreparation> preparation;
        try {
            preparation = Prepare(deviceId);
        } catch (const std::exception& e) {
            objects::ShowDialogError(2450, QString::fromUtf8(e.what()));
            return false;
        }
        if (!preparation) {
            objects::ShowDialogError(2450, QString());
            return false;
        }
        ItemBrowser& browser = dialog.Browser();
        browser.Reset();
        browser.SetSeparator(preparation->separatorCode);
        browser.nameFromItemId = m_window.SwitchViewFlag();
        browser.SetExistingItems(std::move(preparation->existing));
        QString error;
        auto source = makeSource(browser, *preparation, &error);
        // The browser tells the person when there is nothing to browse.
        if (source) browser.SetSource(std::move(source));
        dialog.sourceError = error;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return true;
    const BrowseLists lists = dialog.Browser().Lists();
    const auto* program = dynamic_cast<const PlcSource*>(dialog.Browser().Source());
    ui::BusyCursor busy;
    QString detail;
    const bool applied = Apply(dialog, lists, deviceId, &detail, program ? &program->Program().structures : nullptr);
    if (!applied) objects::ShowDialogError(2451, detail);
    if (!lists.leftOut.empty())
        ui::ShowMessage(LeftOutMessage(lists.leftOut), Text(3000), ui::Buttons::OK, 0, ui::Icon::Warning);
    return applied;
}

bool MOpc::ImportPlcProgram(int deviceId) {
    m_window.CommitGridEdits();
    const QString section = QStringLiteral("PlcProgram");
    const QString key = QString::number(deviceId);
    sys::ProjectSettings settings;
    const bool remembers = settings.Open(m_window.Session().ProjectArgument(), sys::SystemTools::Instance().GetRegistry());
    QString start = remembers ? settings.Read(section, key) : QString();
    if (start.isEmpty()) start = QFileInfo(m_window.Session().ProjectFile()).absolutePath();
    const QString file = sys::SystemTools::Instance().FileDialog().Choose(kModeOpen, Text(9374), start, Text(9378), 0, 0);
    if (file.isEmpty()) return true;
    if (remembers) settings.Write(section, key, file);
    std::optional<plc::PlcProgram> program;
    QString error;
    {
        ui::BusyCursor busy;
        program = plc::ReadPlcProgramFile(file, &error);
    }
    if (!program) {
        ui::ShowMessage(error, Text(9374), ui::Buttons::OK, 0, ui::Icon::Critical);
        return true;
    }
    // What was read differently from the file (left out, kept by symbol path) is said once, before the choice.
    if (!program->notes.isEmpty()) ui::ShowMessage(NotesMessage(program->notes), Text(9374), ui::Buttons::OK, 0, ui::Icon::Information);
    const bool applied = RunBrowse(deviceId, [&](ItemBrowser& browser, const BrowsePreparation&, QString*) {
        browser.tickWholeProgram = true;
        browser.nameFromItemId = false;
        return std::make_unique<PlcSource>(QDir::toNativeSeparators(file), std::move(*program));
    });
    ShowDeviceItemsAnew(deviceId);
    return applied;
}

void MOpc::ShowDeviceItemsAnew(int deviceId) {
    // New items may open new folders of the device ("DB10" for DB10.DBW4, "MAIN").
    if (host::ProjectTree* tree = m_window.Session().Tree()) {
        const QString key = tree->DeviceNodeKey(deviceId);
        if (!key.isEmpty()) m_window.Session().RefreshDeviceNode(key);
    }
    m_window.RefreshUnboundSources();
    m_window.ShowItemView();
    m_window.NotifyView();
}

bool MOpc::Apply(FBrowseItemsOCX& dialog, const BrowseLists& lists, int deviceId, QString* detail,
                 const std::vector<plc::PlcStructure>* structures) {
    ApplyHooks hooks;
    hooks.phase = [&dialog](const QString& status, int steps) { dialog.SetStatus(status, steps); };
    hooks.step = [&dialog] { dialog.Step(); };
    hooks.ask = [](const QString& question) { return static_cast<Answer>(FBrowseItemsOCXMessage::Ask(question)); };
    hooks.deleteItems = [this](const std::vector<int>& ids) { m_items.DeleteItems(ids); };
    hooks.structureWritten = [this](int id, const QString& name, bool added, int memberChange) {
        objects::CountChange(m_window, kMemberCounter, memberChange);
        if (!added) return;
        m_window.Names().AddNameInGroup(name, kStr);
        if (host::ProjectTree* tree = m_window.Session().Tree()) tree->AddStructureNode(id, name);
        objects::CountChange(m_window, kStructureCounter, 1);
    };
    ApplyRequest request;
    request.deviceId = deviceId;
    // A program's items are named by their symbol paths in either view.
    request.nameView = structures == nullptr && m_window.SwitchViewFlag();
    request.structures = structures;
    ApplyCounts counts;
    const bool applied = ApplyBrowse(m_window.Data()->Connection(), lists, request, hooks, &counts, detail);
    objects::CountChange(m_window, kItemsCounter, counts.added - counts.deleted);
    if (counts.structuresAdded + counts.structuresUpdated > 0) m_window.RebuildTypeLists();
    return applied;
}

void MOpc::NewItemsFromConfigurator() {
    m_window.CommitGridEdits();
    const int deviceId = host::nodekey::NodeId(host::nodekey::DeviceKeyOf(m_window.CurrentNode()));
    db::Connection& connection = m_window.Data()->Connection();
    std::unique_ptr<sys::Component> tool;
    QSet<QString> used;
    try {
        db::Recordset devices;
        devices.Open(QStringLiteral("SELECT ProgIDConfigTool FROM TpdbDevices WHERE ID = %1").arg(deviceId), connection);
        if (devices.IsEOF()) {
            ui::ShowMessage(Text(2401), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
            return;
        }
        tool = sys::ComponentRegistry::Instance().Create(devices.Fields(0).Value().toString());
        if (!tool) {
            ui::ShowMessage(Text(2912), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
            return;
        }
        db::Recordset items;
        items.Open(QStringLiteral("SELECT ItemAccess, Name FROM TpdbItems WHERE DeviceID = %1").arg(deviceId), connection);
        for (; !items.IsEOF(); items.MoveNext()) {
            used.insert(items.Fields(0).Value().toString());
            used.insert(items.Fields(1).Value().toString());
        }
    } catch (const db::DbError& e) {
        objects::ShowDialogError(2910, e.Description());
        return;
    }
    FNewItemOVOPC dialog(*tool, used);
    ui::UnloadOnExit unload(dialog);
    try {
        dialog.Load();
    } catch (const std::exception& e) {
        objects::ShowDialogError(2910, QString::fromUtf8(e.what()));
        return;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return;
    const std::vector<FNewItemOVOPC::NewItem> accepted = dialog.Accepted();
    if (accepted.empty()) return;
    try {
        // All rows or none.
        connection.InTransaction([&] {
            for (const FNewItemOVOPC::NewItem& item : accepted) {
                connection.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, AccessRights, "
                                                  "DataType, FieldSize) VALUES (?, ?, ?, ?, ?, ?)"),
                                   {deviceId, item.itemId, item.itemId, item.accessRights, item.dataType, item.fieldSize});
                ConnectToDefaultGroup(connection);
            }
        });
    } catch (const db::DbError& e) {
        objects::ShowDialogError(2911, e.Description());
        return;
    }
    objects::CountChange(m_window, kItemsCounter, static_cast<int>(accepted.size()));
    ShowDeviceItemsAnew(deviceId);
}

void InstallEditor() {
    static bool installed = false;
    objects::InstallEditor();
    if (installed) return;
    installed = true;
    for (const auto& [key, data] : host::EditorImageList()) ui::RegisterImage(key, data);
    objects::AddExtraUnits([](editor::frmtabgridOPC& window, objects::MItem& items) {
        window.Adopt(std::make_shared<MOpc>(window, items));
        window.Adopt(std::make_shared<MOnline>(window));
    });
}

}  // namespace ov::opc
