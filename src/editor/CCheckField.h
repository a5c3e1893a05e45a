#pragma once

#include <QString>

namespace ov::ui {
class Control;
class GridModel;
}  // namespace ov::ui

namespace ov::editor {

// Keeps characters out of a text box or a grid column: by mode, only
// letters (1), letters and digits (3), no digits (5) or no letters (6);
// spaces are removed too unless bit 8 is set. "_", "(" and ")" pass in
// modes 1 and 3.
class CCheckField {
public:
    // A text box is filtered while enable is not 0; a grid column while enable > 0.
    void InitializeTextBox(ui::Control& textBox, int enable, int mode);
    void InitializeGridColumn(ui::GridModel& grid, int column, int enable, int mode);

    // Filters the watched text box after a change; call from the form's change event.
    void TextBoxChanged();

    // The text without the characters the mode does not allow; beeps when
    // something was removed and beep is set.
    static QString Filter(const QString& text, int mode, bool beep);

private:
    ui::Control* m_textBox = nullptr;
    int m_enable = 0;
    int m_mode = 0;
};

}  // namespace ov::editor
