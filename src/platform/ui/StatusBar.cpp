#include "platform/ui/StatusBar.h"

#include <algorithm>

namespace ov::ui {

void StatusBar::SetPanelText(int panel, const QString& text) {
    if (panel < 1 || panel > kPanels) return;
    QString& current = m_panels[static_cast<std::size_t>(panel - 1)];
    if (current == text) return;
    current = text;
    ++m_changes;
}

QString StatusBar::PanelText(int panel) const {
    if (panel < 1 || panel > kPanels) return QString();
    return m_panels[static_cast<std::size_t>(panel - 1)];
}

void StatusBar::SetNotice(const QString& key, const QString& text) {
    const auto it = std::find_if(m_notices.begin(), m_notices.end(), [&](const auto& n) { return n.first == key; });
    if (it == m_notices.end()) {
        if (text.isEmpty()) return;
        m_notices.emplace_back(key, text);
    } else if (text.isEmpty()) {
        m_notices.erase(it);
    } else if (it->second != text) {
        it->second = text;
    } else {
        return;
    }
    ++m_changes;
}

QStringList StatusBar::Notices() const {
    QStringList texts;
    for (const auto& notice : m_notices) texts << notice.second;
    return texts;
}

}  // namespace ov::ui
