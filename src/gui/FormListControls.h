#pragma once

// Combo boxes, list boxes, list views and tab strips: controls that offer the
// entries of a list and report the one chosen, wired to the form's events.

#include "platform/ui/Form.h"

class QComboBox;
class QListWidget;
class QTabWidget;
class QTreeWidget;

namespace ov::gui {

class FormDialog;

QComboBox* CreateComboBox(FormDialog& dialog, ui::Control& control);
void SyncComboBox(const ui::Control& control, QComboBox& combo);

QListWidget* CreateListBox(FormDialog& dialog, ui::Control& control);
void SyncListBox(const ui::Control& control, QListWidget& list);

// Rows of cells under column headers.
QTreeWidget* CreateListView(FormDialog& dialog, ui::Control& control);
void SyncListView(const ui::Control& control, QTreeWidget& view);

// The strip and its pages are made with the dialog's layout; this reports the page chosen.
void ConnectTabStrip(FormDialog& dialog, ui::Control& control, QTabWidget& tabs);
void SyncTabStrip(const ui::Control& control, QTabWidget& tabs);

}  // namespace ov::gui
