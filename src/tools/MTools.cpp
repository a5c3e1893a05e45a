#include "tools/MTools.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "objects/MItem.h"
#include "platform/db/Recordset.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Progress.h"
#include "settings/TextTable.h"
#include "tools/CsvTransfer.h"
#include "tools/FConfigEditor.h"
#include "tools/GroupWizard.h"
#include "objects/Commands.h"
#include "platform/db/DbError.h"

#include <QFileInfo>

namespace ov::tools {

using settings::Text;

namespace {

constexpr int kModeSave = 2;
const QString kCsvFilter = QStringLiteral("csv-Files (*.csv)|*.csv");
// Up to this many lines, or about that much of a file, long work shows no progress.
constexpr qint64 kQuietLines = 10000;
constexpr qint64 kQuietBytes = 1024 * 1024;

void Tell(const QString& text, ui::Icon icon) { ui::ShowMessage(text, Text(310), ui::Buttons::OK, 0, icon); }

// At most this many rejected lines are listed; the rest are counted.
QString RejectionList(const QStringList& rejected) {
    constexpr qsizetype kListed = 25;
    QStringList lines = rejected.mid(0, kListed);
    if (rejected.size() > kListed) lines << Text(9174).replace(QStringLiteral("<n>"), QString::number(rejected.size() - kListed));
    return lines.join(u'\n');
}

}  // namespace

MTools::MTools(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("ExtrasFunc.Tools"), [this](int code) { return ExtrasFunc(code); });
    window.groupWizard = [this](const std::vector<int>& itemIds) { return GroupWizard(itemIds); };
}

bool MTools::GroupWizard(const std::vector<int>& itemIds) {
    db::Connection& connection = m_window.Data()->Connection();
    GroupAssignment assignment;
    try {
        ui::BusyCursor busy;
        assignment.Load(connection, itemIds);
    } catch (const db::DbError& e) {
        Tell(e.Description(), ui::Icon::Critical);
        return false;
    }
    FGroupWizzard dialog(assignment);
    ui::UnloadOnExit unload(dialog);
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return false;
    try {
        ui::BusyCursor busy;
        return assignment.Apply(connection);
    } catch (const db::DbError& e) {
        Tell(e.Description(), ui::Icon::Critical);
        return false;
    }
}

bool MTools::ExtrasFunc(int code) {
    if (!m_window.Data()) return false;
    switch (code) {
        case 4:
            ExportCommand();
            return true;
        case 5:
            ImportCommand();
            return true;
        case 6:
            OptionsCommand();
            return true;
        default:
            return false;
    }
}

std::vector<int> MTools::SelectedIds() const {
    std::vector<int> ids;
    ui::GridModel& grid = m_window.tdbI();
    const int idColumn = grid.ColumnIndex(QStringLiteral("ID"));
    for (const auto bookmark : grid.SelectedBookmarks())
        if (const QVariant id = grid.CellValue(grid.RowOfBookmark(bookmark), idColumn); !id.isNull()) ids.push_back(id.toInt());
    return ids;
}

CsvSelection MTools::Selection() const {
    CsvSelection selection;
    selection.rowsSelected = !SelectedIds().empty();
    const QString kind = host::nodekey::Kind(m_window.CurrentNode());
    if (kind == QStringLiteral("OPCD")) selection.view = CsvSelection::View::Device;
    if (kind == QStringLiteral("OPCG") && host::nodekey::NodeId(m_window.CurrentNode()) > 0)
        selection.view = CsvSelection::View::Group;
    // A view without items has none to offer.
    if (m_window.tdbI().RowCount() == 0) selection.view = CsvSelection::View::Other;
    return selection;
}

QString MTools::ProjectFolder() const { return QFileInfo(m_window.Session().ProjectFile()).absolutePath(); }

void MTools::ExportCommand() {
    m_window.CommitGridEdits();
    FExportToCSV dialog(Selection());
    ui::UnloadOnExit unload(dialog);
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return;
    const QString path =
        sys::SystemTools::Instance().FileDialog().Choose(kModeSave, Text(801), ProjectFolder(), kCsvFilter, 0, 0);
    if (path.isEmpty()) return;
    const CsvEncoding encoding = dialog.Utf8WithBom() ? CsvEncoding::Utf8WithBom : CsvEncoding::Ansi;
    db::Connection& connection = m_window.Data()->Connection();
    ui::BusyCursor busy;
    std::optional<ui::ProgressScope> progress;
    const CsvProgress advance = [&](qint64 done, qint64 total) {
        if (total <= kQuietLines) return true;
        if (!progress) progress.emplace(Text(801), total);
        return progress->Advance(done);
    };
    ExportResult result;
    switch (dialog.Selection()) {
        case 0:
            result = ExportItemsById(connection, SelectedIds(), path, encoding, QLocale(), advance);
            break;
        case 1:
            result = ExportItemsBySql(connection, m_window.Data()->Recordset(QStringLiteral("rsOPCItems")).Source(), path,
                                      encoding, QLocale(), advance);
            break;
        default:
            result = ExportItemsBySql(connection, QStringLiteral("SELECT * FROM TpdbItems ORDER BY ID"), path, encoding,
                                      QLocale(), advance);
            break;
    }
    if (!result.error.isEmpty()) Tell(result.error, ui::Icon::Critical);
}

void MTools::ImportCommand() {
    m_window.CommitGridEdits();
    const CsvSelection selection = Selection();
    FImportFromCSV dialog(selection, ProjectFolder());
    ui::UnloadOnExit unload(dialog);
    ui::ShowModal(dialog);
    // Without a file there is nothing to import, whatever was pressed.
    if (dialog.Cancelled() || dialog.File().isEmpty()) return;
    ImportScope scope;
    scope.selectedIds = SelectedIds();
    if (selection.view != CsvSelection::View::Other) scope.viewId = host::nodekey::NodeId(m_window.CurrentNode());
    ImportResult result;
    {
        ui::BusyCursor busy;
        std::optional<ui::ProgressScope> progress;
        const CsvProgress advance = [&](qint64 done, qint64 total) {
            if (total <= kQuietBytes) return true;
            if (!progress) progress.emplace(Text(901), total);
            return progress->Advance(done);
        };
        result = ImportItems(m_window.Data()->Connection(), dialog.File(), dialog.Mode(), scope,
                             [](qint64 line) { return Text(909).replace(QStringLiteral("<i>"), QString::number(line)); },
                             advance);
    }
    if (!result.rejected.isEmpty()) Tell(RejectionList(result.rejected), ui::Icon::Warning);
    if (!result.fileError.isEmpty()) Tell(result.fileError, ui::Icon::Critical);
    if (!result.dbError.isEmpty()) Tell(Text(9173) + QStringLiteral("\n\n") + result.dbError, ui::Icon::Critical);
    if (result.Applied() && result.updated + result.inserted > 0) {
        std::array<int, 7> counts{0, 0, static_cast<int>(result.inserted), 0, 0, 0, 0};
        m_window.UpdateStatusCounters(Text(901), editor::frmtabgridOPC::CounterMode::Add, counts);
        // New items may bring new folders and names: the whole view is read again.
        m_window.Session().Reload();
    }
}

void MTools::OptionsCommand() {
    m_window.CommitGridEdits();
    FConfigEditor dialog(m_window);
    ui::UnloadOnExit unload(dialog);
    try {
        dialog.Fill();
    } catch (const std::exception& e) {
        objects::ShowDialogError(1750, QString::fromUtf8(e.what()));
        return;
    }
    ui::ShowModal(dialog);
    if (dialog.Cancelled()) return;
    const bool aliasChanged = dialog.Get(QStringLiteral("chkSwitchView")).IsChecked() != m_window.SwitchViewFlag();
    try {
        if (!dialog.WriteBack()) {
            if (!dialog.FailureShown()) objects::ShowDialogError(1751, QString());
            return;
        }
    } catch (const std::exception& e) {
        objects::ShowDialogError(1751, QString::fromUtf8(e.what()));
        return;
    }
    if (aliasChanged) {
        // Items are named differently now: the tree and the grids are built again,
        // with the settings just made.
        m_window.Settings().SaveInits(m_window.SettingsFile());
        m_window.Session().Reload();
        return;
    }
    m_window.ShowItemView();
    m_window.NotifyView();
}

void InstallEditor() {
    static bool installed = false;
    objects::InstallEditor();
    if (installed) return;
    installed = true;
    objects::AddExtraUnits([](editor::frmtabgridOPC& window, objects::MItem&) {
        window.Adopt(std::make_shared<MTools>(window));
    });
}

}  // namespace ov::tools
