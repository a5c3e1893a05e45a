#pragma once

#include <QString>
#include <array>

namespace ov::ui {

// The window's status bar: eight panels of text.
class StatusBar {
public:
    static constexpr int kPanels = 8;

    // Panels are numbered 1 to 8; other numbers are ignored.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    bool visible = true;
    // Counts actual changes: a panel is only rewritten when its text differs.
    int Changes() const { return m_changes; }

private:
    std::array<QString, kPanels> m_panels;
    int m_changes = 0;
};

}  // namespace ov::ui
