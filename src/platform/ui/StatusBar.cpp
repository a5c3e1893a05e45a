#include "platform/ui/StatusBar.h"

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

}  // namespace ov::ui
