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

#include <QSet>

namespace ov::opc {

using settings::Text;

namespace {

constexpr int kItemsCounter = 2;
constexpr int kDefaultGroup = 1;  // every item taken from a server joins it

// How far a phase got: the items written and whether one was refused.
struct PhaseResult {
    int written = 0;
    bool failed = false;
};

// Runs one phase in its transaction with each item and what belongs to it
// (its connection, its texts) as one unit: an item the database refuses is
// rolled back alone, the items before it are committed, and the phase stops
// there with the item and the database's words in detail.
PhaseResult RunPhase(db::Connection& connection, std::size_t count, const std::function<void(std::size_t)>& write,
                     const std::function<QString(std::size_t)>& nameOf, QString* detail) {
    PhaseResult result;
    try {
        connection.InTransaction([&] {
            for (std::size_t i = 0; i < count; ++i) {
                try {
                    connection.InTransaction([&] { write(i); });
                } catch (const std::exception& e) {
                    *detail = Text(9269).replace(QStringLiteral("<i>"), nameOf(i)).replace(QStringLiteral("<r>"),
                                                                                          QString::fromUtf8(e.what()));
                    result.failed = true;
                    return;
                }
                ++result.written;
            }
        });
    } catch (const std::exception& e) {
        // Not even what came before could be kept.
        if (!result.failed) *detail = QString::fromUtf8(e.what());
        return {0, true};
    }
    return result;
}

// The project's items of a device by their name and by their item ID (the
// name view may hold an item ID more than once), compared without regard to
// letter case as the database does.
struct DeviceItems {
    QHash<QString, int> byName;
    QHash<QString, std::vector<int>> byItemId;

    DeviceItems(db::Connection& connection, int deviceId) {
        db::Cursor rows(connection,
                        QStringLiteral("SELECT ID, Name, ItemAccess FROM TpdbItems WHERE DeviceID = %1").arg(deviceId));
        while (rows.Next()) {
            const int id = rows.Value(0).toInt();
            byName.insert(rows.Value(1).toString().toCaseFolded(), id);
            byItemId[rows.Value(2).toString().toCaseFolded()].push_back(id);
        }
    }
    // The rows of an item of the lists: found by item ID in the name view,
    // where the person may have renamed it, else by name.
    std::vector<int> Find(const BrowseItem& item, bool nameView) const {
        if (nameView) return byItemId.value(item.itemId.toCaseFolded());
        const auto it = byName.constFind(item.name.toCaseFolded());
        return it == byName.cend() ? std::vector<int>{} : std::vector<int>{*it};
    }
};

// The items a browse left out, each with its reason; a long list is cut.
QString LeftOutMessage(const std::vector<LeftOutItem>& leftOut) {
    constexpr std::size_t kShown = 20;
    QStringList lines{Text(9262)};
    for (std::size_t i = 0; i < leftOut.size() && i < kShown; ++i) lines << LeftOutText(leftOut[i]);
    if (leftOut.size() > kShown)
        lines << Text(9263).replace(QStringLiteral("<n>"), QString::number(leftOut.size() - kShown));
    return lines.join(u'\n');
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
        browser.nameFromItemId = m_window.SwitchViewFlag();
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
    const bool applied = Apply(dialog, lists, deviceId, &detail);
    if (!applied) objects::ShowDialogError(2451, detail);
    if (!lists.leftOut.empty())
        ui::ShowMessage(LeftOutMessage(lists.leftOut), Text(3000), ui::Buttons::OK, 0, ui::Icon::Warning);
    return applied;
}

bool MOpc::Apply(FBrowseItemsOCX& dialog, const BrowseLists& lists, int deviceId, QString* detail) {
    db::Connection& connection = m_window.Data()->Connection();
    const bool nameView = m_window.SwitchViewFlag();
    if (!lists.added.empty()) {
        dialog.SetStatus(Text(3001), static_cast<int>(lists.added.size()));
        const PhaseResult done = RunPhase(
            connection, lists.added.size(),
            [&](std::size_t i) {
                const BrowseItem& item = lists.added[i];
                connection.Execute(QStringLiteral("INSERT INTO TpdbItems (ItemAccess, Name, DataType, AccessRights, "
                                                  "FieldSize, AccessPath, DeviceID) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                                   {item.itemId, StoredName(item, nameView), StoredDataType(item.dataType),
                                    item.accessRights, item.fieldSize, item.accessPath, deviceId});
                ConnectToDefaultGroup(connection);
                dialog.Step();
            },
            [&](std::size_t i) { return StoredName(lists.added[i], nameView); }, detail);
        objects::CountChange(m_window, kItemsCounter, done.written);
        if (done.failed) return false;
    }
    if (!lists.removed.empty()) {
        dialog.SetStatus(Text(3002), static_cast<int>(lists.removed.size()));
        const DeviceItems stored(connection, deviceId);
        int deleted = 0;
        const PhaseResult done = RunPhase(
            connection, lists.removed.size(),
            [&](std::size_t i) {
                const std::vector<int> ids = stored.Find(lists.removed[i], nameView);
                m_items.DeleteItems(ids);
                deleted += static_cast<int>(ids.size());
                dialog.Step();
            },
            [&](std::size_t i) { return lists.removed[i].name; }, detail);
        if (done.written == 0 && done.failed) deleted = 0;
        objects::CountChange(m_window, kItemsCounter, -deleted);
        if (done.failed) return false;
    }
    if (!lists.inconsistent.empty()) {
        dialog.SetStatus(Text(3003), static_cast<int>(lists.inconsistent.size()));
        // Every answer first: no lock is held while the person thinks.
        std::vector<const BrowseItem*> takeOver;
        int state = FBrowseItemsOCXMessage::kYes;
        for (const BrowseItem& item : lists.inconsistent) {
            if (state == FBrowseItemsOCXMessage::kYes || state == FBrowseItemsOCXMessage::kNo)
                state = FBrowseItemsOCXMessage::Ask(item.name);
            if (state == FBrowseItemsOCXMessage::kYes || state == FBrowseItemsOCXMessage::kYesToAll) takeOver.push_back(&item);
        }
        const DeviceItems stored(connection, deviceId);
        const PhaseResult done = RunPhase(
            connection, takeOver.size(),
            [&](std::size_t i) {
                const BrowseItem& item = *takeOver[i];
                for (const int id : stored.Find(item, nameView))
                    connection.Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = ?, Name = ?, DataType = ?, "
                                                      "AccessRights = ?, FieldSize = ?, AccessPath = ?, DeviceID = ? "
                                                      "WHERE ID = ?"),
                                       {item.itemId, StoredName(item, nameView), StoredDataType(item.dataType),
                                        item.accessRights, item.fieldSize, item.accessPath, deviceId, id});
                dialog.Step();
            },
            [&](std::size_t i) { return takeOver[i]->name; }, detail);
        if (done.failed) return false;
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
        window.Adopt(std::make_shared<MOnline>(window));
    });
}

}  // namespace ov::opc
