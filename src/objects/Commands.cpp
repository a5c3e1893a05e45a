#include "objects/Commands.h"

#include "editor/NameGroups.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "model/DataConnection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::objects {

using settings::Text;

bool RunInTransaction(editor::frmtabgridOPC& window, const std::function<void()>& work) {
    db::Connection& connection = window.Data()->Connection();
    try {
        // Another program may hold the database: then not even the start succeeds.
        connection.InTransaction(work);
        return true;
    } catch (const db::DbError& e) {
        ui::ShowMessage(e.Description(), Text(310), ui::Buttons::OK, 0, ui::Icon::Critical);
        return false;
    }
}

void ShowNode(editor::frmtabgridOPC& window, const QString& key) {
    host::Connect& session = window.Session();
    if (session.Host()) session.Host()->SelectNode(key);
    session.ShowNode(key);
}

void CountChange(editor::frmtabgridOPC& window, int counter, int delta) {
    std::array<int, 7> change{};
    change.at(static_cast<std::size_t>(counter)) = delta;
    window.UpdateStatusCounters(QString(), editor::frmtabgridOPC::CounterMode::Add, change);
}

QString FreeName(const editor::NameGroups& names, const QString& base, const QString& kind) {
    QString name = base;
    for (int n = 1; !names.TestNameInGroup(name, kind); ++n) name = QStringLiteral("%1(%2)").arg(base).arg(n);
    return name;
}

void ShowDialogError(int text, const QString& detail) {
    ui::ShowMessage(detail.isEmpty() ? Text(text) : Text(text) + QStringLiteral("\n\n") + detail, Text(310), ui::Buttons::OK, 0,
                    ui::Icon::Critical);
}

EditOutcome EditRecord(ui::Form& dialog, db::Recordset& record, const RecordDialog& steps) {
    ui::UnloadOnExit unload(dialog);
    try {
        dialog.Load();
        steps.fill();
    } catch (const std::exception& e) {
        ShowDialogError(steps.fillError, QString::fromUtf8(e.what()));
        return EditOutcome::NotShown;
    }
    ui::ShowModal(dialog);
    if (steps.cancelled()) return EditOutcome::Cancelled;
    try {
        steps.write();
        record.Update();
        return EditOutcome::Written;
    } catch (const std::exception& e) {
        record.CancelUpdate();
        try {
            record.Resync();
        } catch (const db::DbError&) {
            // The row is gone: nothing to show again.
        }
        if (steps.afterFailure) steps.afterFailure();
        ShowDialogError(steps.writeError, QString::fromUtf8(e.what()));
        return EditOutcome::WriteFailed;
    }
}

}  // namespace ov::objects
