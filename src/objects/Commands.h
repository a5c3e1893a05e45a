#pragma once

#include <QString>
#include <functional>

namespace ov::editor {
class frmtabgridOPC;
class NameGroups;
}  // namespace ov::editor

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

}  // namespace ov::objects
