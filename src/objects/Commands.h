#pragma once

#include <QString>
#include <functional>

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
class NameGroups;
}  // namespace ov::editor
namespace ov::ui {
class Form;
}

namespace ov::objects {

// What the object commands share.

// Runs the work in one transaction of the project database. A database
// error rolls it back whole and is shown; false then.
bool RunInTransaction(editor::frmtabgridOPC& window, const std::function<void()>& work);

// Makes the node current in the project tree and shows its view.
void ShowNode(editor::frmtabgridOPC& window, const QString& key);

// Adds to one of the status counters (0 devices, 1 groups, 2 items, 3 unit
// classes, 4 units, 5 structures, 6 members).
void CountChange(editor::frmtabgridOPC& window, int counter, int delta);

// The first of base, base(1), base(2), ... that is free in the name group.
QString FreeName(const editor::NameGroups& names, const QString& base, const QString& kind);

// Shows a failed fill or write-back of a dialog: the text and the database's words.
void ShowDialogError(int text, const QString& detail);

// The cycle of an object dialog on one record: fill it (a failure shows
// fillError), show it, and after OK set the fields and update the record (a
// failure shows writeError, drops the change and reads the row again; then
// afterFailure runs, for instance to reload a name group the dialog moved a
// name in). The dialog is unloaded in every case.
struct RecordDialog {
    std::function<void()> fill;
    std::function<void()> write;
    std::function<bool()> cancelled;
    int fillError = 0;
    int writeError = 0;
    std::function<void()> afterFailure;
};
enum class EditOutcome { NotShown, Cancelled, Written, WriteFailed };
EditOutcome EditRecord(ui::Form& dialog, db::Recordset& record, const RecordDialog& steps);

}  // namespace ov::objects
