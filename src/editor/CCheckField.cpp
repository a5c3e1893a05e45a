#include "editor/CCheckField.h"

#include "platform/ui/Control.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/GridModel.h"

namespace ov::editor {

namespace {

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool Keeps(QChar c, int mode) {
    switch (mode & 7) {
        case 1: return IsAsciiLetter(c) || c == u'_' || c == u'(' || c == u')';
        case 3: return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_' || c == u'(' || c == u')';
        case 5: return !IsAsciiDigit(c);
        case 6: return !IsAsciiLetter(c);
        default: return true;
    }
}

}  // namespace

QString CCheckField::Filter(const QString& text, int mode, bool beep) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c == u' ' && !(mode & 8)) continue;
        if (c == u' ' || Keeps(c, mode)) kept += c;
    }
    if (beep && kept.size() != text.size()) ui::Beep();
    return kept;
}

void CCheckField::InitializeTextBox(ui::Control& textBox, int enable, int mode) {
    m_textBox = &textBox;
    m_enable = enable;
    m_mode = mode;
}

void CCheckField::InitializeGridColumn(ui::GridModel& grid, int column, int enable, int mode) {
    if (enable <= 0) return;
    auto previous = grid.beforeColUpdate;
    grid.beforeColUpdate = [previous, &grid, column, mode](int updated, const QVariant& oldValue, bool& cancel) {
        if (previous) previous(updated, oldValue, cancel);
        if (updated == column && grid.CurrentColumn() == column) grid.pendingValueFilter = [mode](const QString& text) {
            return Filter(text, mode, true);
        };
    };
}

void CCheckField::TextBoxChanged() {
    if (!m_textBox || m_enable == 0) return;
    const QString filtered = Filter(m_textBox->text, m_mode, true);
    if (filtered != m_textBox->text) m_textBox->text = filtered;
}

}  // namespace ov::editor
