#include "gui/FormSimpleControls.h"

#include "gui/FormDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>

#include <algorithm>

namespace ov::gui {

using ui::Control;
using ui::ControlType;

namespace {

constexpr int kNoLimit = 32767;  // QLineEdit's own maximum
constexpr int kTextBoxChars = 32;  // a text box shows this many characters at least

void SetTextKeepingCursor(QLineEdit& edit, const QString& text) {
    if (edit.text() == text) return;
    const int position = edit.cursorPosition();
    edit.setText(text);
    edit.setCursorPosition(std::min(position, static_cast<int>(text.size())));
}

void SetTextKeepingCursor(QPlainTextEdit& edit, const QString& text) {
    if (edit.toPlainText() == text) return;
    const int position = edit.textCursor().position();
    edit.setPlainText(text);
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(std::min(position, static_cast<int>(text.size())));
    edit.setTextCursor(cursor);
}

}  // namespace

QLabel* CreateLabel(FormDialog& dialog) { return new QLabel(&dialog); }

void SyncLabel(const Control& control, QLabel& label) {
    if (label.text() != control.caption) label.setText(control.caption);
    // A long message wraps instead of widening the dialog past the screen.
    if (label.wordWrap() != control.multiLine) label.setWordWrap(control.multiLine);
}

QWidget* CreateTextBox(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    if (control.multiLine) {
        auto* edit = new QPlainTextEdit(d);
        QObject::connect(edit, &QPlainTextEdit::textChanged, d,
                         [d, c, edit] { d->Act([&] { d->Model().UserSetText(c->Name(), edit->toPlainText(), c->Index()); }); });
        return edit;
    }
    // Every keystroke reaches the model, so handlers that enable OK
    // follow the typing and the final text is there before any click.
    auto* edit = new QLineEdit(d);
    // Room for a server's ProgID or a path without scrolling.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * kTextBoxChars);
    QObject::connect(edit, &QLineEdit::textEdited, d,
                     [d, c](const QString& text) { d->Act([&] { d->Model().UserSetText(c->Name(), text, c->Index()); }); });
    return edit;
}

void SyncTextBox(const Control& control, QWidget& widget) {
    if (control.multiLine) {
        auto& edit = static_cast<QPlainTextEdit&>(widget);
        SetTextKeepingCursor(edit, control.text);
        edit.setReadOnly(control.locked);
    } else {
        auto& edit = static_cast<QLineEdit&>(widget);
        edit.setMaxLength(control.maxLength > 0 ? control.maxLength : kNoLimit);
        edit.setEchoMode(control.masked ? QLineEdit::Password : QLineEdit::Normal);
        SetTextKeepingCursor(edit, control.text);
        edit.setReadOnly(control.locked);
    }
}

QCheckBox* CreateCheckBox(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* box = new QCheckBox(d);
    QObject::connect(box, &QCheckBox::clicked, d, [d, c, box] {
        d->Act([&] { d->Model().UserCheck(c->Name(), box->checkState() == Qt::Checked, c->Index()); });
    });
    return box;
}

void SyncCheckBox(const Control& control, QCheckBox& box) {
    if (box.text() != control.caption) box.setText(control.caption);
    // Grayed is shown, never reached by clicking.
    box.setTristate(control.checkState == 2);
    box.setCheckState(control.checkState == 2 ? Qt::PartiallyChecked
                      : control.checkState == 1 ? Qt::Checked
                                                : Qt::Unchecked);
}

QRadioButton* CreateOptionButton(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* option = new QRadioButton(d);
    d->OptionGroup(control).addButton(option);
    QObject::connect(option, &QRadioButton::toggled, d, [d, c](bool on) {
        if (on) d->Act([&] { d->Model().UserClick(c->Name(), c->Index()); });
    });
    return option;
}

void SyncOptionButton(const Control& control, QRadioButton& option) {
    if (option.text() != control.caption) option.setText(control.caption);
    if (option.isChecked() != control.IsChecked()) option.setChecked(control.IsChecked());
}

QPushButton* CreateCommandButton(FormDialog& dialog, Control& control) {
    FormDialog* const d = &dialog;
    Control* const c = &control;
    auto* button = new QPushButton(d);
    // Without a default button Enter must press nothing, but Qt would
    // make the first button the default when the dialog shows.
    const auto& controls = d->Model().Controls();
    button->setAutoDefault(std::any_of(controls.begin(), controls.end(), [](const auto& other) {
        return other->Type() == ControlType::CommandButton && other->isDefault;
    }));
    QObject::connect(button, &QPushButton::clicked, d, [d, c] { d->Act([&] { d->Model().UserClick(c->Name(), c->Index()); }); });
    return button;
}

void SyncCommandButton(const Control& control, QPushButton& button) {
    if (button.text() != control.caption) button.setText(control.caption);
    if (button.isDefault() != control.isDefault) button.setDefault(control.isDefault);
}

void SyncFrame(const Control& control, QGroupBox& frame) {
    if (frame.title() != control.caption) frame.setTitle(control.caption);
}

}  // namespace ov::gui
