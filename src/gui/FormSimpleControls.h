#pragma once

// Labels, text boxes, check boxes, option buttons, command buttons and frame
// captions: their widgets, wired to the form's events, and read back from the model.

#include "platform/ui/Form.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace ov::gui {

class FormDialog;

QLabel* CreateLabel(FormDialog& dialog);
void SyncLabel(const ui::Control& control, QLabel& label);

// A one-line or a multi-line edit, as the control says.
QWidget* CreateTextBox(FormDialog& dialog, ui::Control& control);
void SyncTextBox(const ui::Control& control, QWidget& edit);

QCheckBox* CreateCheckBox(FormDialog& dialog, ui::Control& control);
void SyncCheckBox(const ui::Control& control, QCheckBox& box);

QRadioButton* CreateOptionButton(FormDialog& dialog, ui::Control& control);
void SyncOptionButton(const ui::Control& control, QRadioButton& option);

QPushButton* CreateCommandButton(FormDialog& dialog, ui::Control& control);
void SyncCommandButton(const ui::Control& control, QPushButton& button);

void SyncFrame(const ui::Control& control, QGroupBox& frame);

}  // namespace ov::gui
