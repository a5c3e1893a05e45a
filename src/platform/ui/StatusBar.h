#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <utility>
#include <vector>

namespace ov::ui {

// The window's status bar: eight panels of text, and notices that stay in
// sight beside them while what they tell holds.
class StatusBar {
public:
    static constexpr int kPanels = 8;

    // Panels are numbered 1 to 8; other numbers are ignored.
    void SetPanelText(int panel, const QString& text);
    QString PanelText(int panel) const;
    // Each notice has a key of its own, so one never replaces another; an
    // empty text takes the notice away.
    void SetNotice(const QString& key, const QString& text);
    // The notices in the order they first came.
    QStringList Notices() const;
    bool visible = true;
    // Counts actual changes: a panel is only rewritten when its text differs.
    int Changes() const { return m_changes; }

private:
    std::array<QString, kPanels> m_panels;
    std::vector<std::pair<QString, QString>> m_notices;
    int m_changes = 0;
};

}  // namespace ov::ui
