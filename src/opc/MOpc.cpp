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
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/system/Components.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/Images.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

#include <QSet>

namespace ov::opc {

using settings::Text;

namespace {

constexpr int kItemsCounter = 2;
constexpr int kDefaultGroup = 1;  // every item taken from a server joins it

// Runs one phase in its own transaction; a database error rolls it back and
// leaves its words in detail.
bool RunPhase(db::Connection& connection, const std::function<void()>& work, QString* detail) {
    try {
        connection.InTransaction(work);
        return true;
    } catch (const db::DbError& e) {
        *detail = e.Description();
        return false;
    }
}

void ConnectToDefaultGroup(db::Connection& connection) {
    connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, last_insert_rowid())"),
                       {kDefaultGroup});
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
}

bool MOpc::ItemFunc(int code) {
    if (code != 5) return false;
    NewItemsFromConfigurator();
    return true;
}

QString MOpc::KeyOf(const BrowseItem& item) const { return m_window.SwitchViewFlag() ? item.itemId : item.name; }

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
    db::Recordset items;
    items.Open(QStringLiteral("SELECT ItemAccess, Name, DataType, AccessRights, FieldSize, AccessPath, DeviceID FROM "
                              "TpdbItems WHERE DeviceID = %1 ORDER BY %2")
                   .arg(deviceId)
                   .arg(m_window.FieldNameFromSwitchView()),
               connection);
    for (; !items.IsEOF(); items.MoveNext())
        preparation.existing.push_back({items.Fields(0).Value().toString(), items.Fields(1).Value().toString(),
                                        items.Fields(2).Value().toInt(), items.Fields(3).Value().toInt(),
                                        items.Fields(4).Value().toInt(), items.Fields(5).Value().toString()});
    return preparation;
}

bool MOpc::Browse(int deviceId) {
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
        browser.SetExistingItems(std::move(preparation->existing));
        QString error;
        const model::OpcServerAddress server = model::ParseOpcServerProgId(preparation->progId);
        // A live server asks for a password or about its certificate in the studio's dialogs.
        auto source = SourceFor(sys::SystemTools::Instance().GetRegistry(), server.VersionedProgId(),
                                preparation->computer, &error, DialogAskers());
        // The browser tells the person when there is nothing to browse.
        if (source) browser.SetSource(std::move(source));
        dialog.sourceError = error;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return true;
    const BrowseLists lists = dialog.Browser().Lists();
    ui::BusyCursor busy;
    QString detail;
    if (!Apply(dialog, lists, deviceId, &detail)) {
        objects::ShowDialogError(2451, detail);
        return false;
    }
    return true;
}

bool MOpc::Apply(FBrowseItemsOCX& dialog, const BrowseLists& lists, int deviceId, QString* detail) {
    db::Connection& connection = m_window.Data()->Connection();
    const bool nameFromId = m_window.SwitchViewFlag();
    if (!lists.added.empty()) {
        dialog.SetStatus(Text(3001), static_cast<int>(lists.added.size()));
        const bool done = RunPhase(connection, [&] {
            for (const BrowseItem& item : lists.added) {
                connection.Execute(QStringLiteral("INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, "
                                                  "FieldSize, AccessPath, DeviceID) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                                   {item.itemId, nameFromId ? item.itemId : item.name, StoredDataType(item.dataType),
                                    item.accessRights, item.fieldSize, item.accessPath, deviceId});
                ConnectToDefaultGroup(connection);
                dialog.Step();
            }
        }, detail);
        if (!done) return false;
        objects::CountChange(m_window, kItemsCounter, static_cast<int>(lists.added.size()));
    }
    if (!lists.removed.empty()) {
        dialog.SetStatus(Text(3002), static_cast<int>(lists.removed.size()));
        std::vector<int> ids;
        const bool done = RunPhase(connection, [&] {
            db::Recordset items;
            items.Open(QStringLiteral("TpdbItems"), connection, db::CommandType::TableDirect);
            items.SetIndex(QStringLiteral("UniqueName"));
            for (const BrowseItem& item : lists.removed) {
                if (items.Seek({KeyOf(item), deviceId})) ids.push_back(items.Value(QStringLiteral("ID")).toInt());
                dialog.Step();
            }
            m_items.DeleteItems(ids);
        }, detail);
        if (!done) return false;
        objects::CountChange(m_window, kItemsCounter, -static_cast<int>(ids.size()));
    }
    if (!lists.inconsistent.empty()) {
        dialog.SetStatus(Text(3003), static_cast<int>(lists.inconsistent.size()));
        // Every answer first: no lock is held while the person thinks.
        std::vector<const BrowseItem*> takeOver;
        int state = FBrowseItemsOCXMessage::kYes;
        for (const BrowseItem& item : lists.inconsistent) {
            if (state == FBrowseItemsOCXMessage::kYes || state == FBrowseItemsOCXMessage::kNo)
                state = FBrowseItemsOCXMessage::Ask(KeyOf(item));
            if (state == FBrowseItemsOCXMessage::kYes || state == FBrowseItemsOCXMessage::kYesToAll) takeOver.push_back(&item);
        }
        return RunPhase(connection, [&] {
            for (const BrowseItem* item : takeOver) {
                connection.Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = ?, Name = ?, DataType = ?, "
                                                  "AccessRights = ?, FieldSize = ?, AccessPath = ?, DeviceID = ? "
                                                  "WHERE Name = ? AND DeviceID = ?"),
                                   {item->itemId, KeyOf(*item), StoredDataType(item->dataType), item->accessRights,
                                    item->fieldSize, item->accessPath, deviceId, KeyOf(*item), deviceId});
                dialog.Step();
            }
        }, detail);
    }
    return true;
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
    QString detail;
    const bool done = RunPhase(connection, [&] {
        for (const FNewItemOVOPC::NewItem& item : accepted) {
            connection.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, AccessRights, DataType, "
                                              "FieldSize) VALUES (?, ?, ?, ?, ?, ?)"),
                               {deviceId, item.itemId, item.itemId, item.accessRights, item.dataType, item.fieldSize});
            ConnectToDefaultGroup(connection);
        }
    }, &detail);
    if (!done) {
        objects::ShowDialogError(2911, detail);
        return;
    }
    objects::CountChange(m_window, kItemsCounter, static_cast<int>(accepted.size()));
    // New addresses may open new folders of the device ("DB10" for DB10.DBW4).
    if (host::ProjectTree* tree = m_window.Session().Tree()) {
        const QString key = tree->DeviceNodeKey(deviceId);
        if (!key.isEmpty()) m_window.Session().RefreshDeviceNode(key);
    }
    m_window.RefreshUnboundSources();
    m_window.ShowItemView();
    m_window.NotifyView();
}

void InstallEditor() {
    static bool installed = false;
    objects::InstallEditor();
    if (installed) return;
    installed = true;
    for (const auto& [key, data] : host::EditorImageList()) ui::RegisterImage(key, data);
    objects::AddExtraUnits([](editor::frmtabgridOPC& window, objects::MItem& items) {
        window.Adopt(std::make_shared<MOpc>(window, items));
    });
}

}  // namespace ov::opc
