#include "platform/ui/CommandBar.h"

namespace ov::ui {

namespace {
PopupPresenter* g_popups = nullptr;
}

Band& CommandBar::AddBand(const QString& name) {
    m_bands.push_back(Band{name, {}});
    return m_bands.back();
}

Band* CommandBar::FindBand(const QString& name) {
    for (Band& band : m_bands)
        if (band.name.compare(name, Qt::CaseInsensitive) == 0) return &band;
    return nullptr;
}

const Band* CommandBar::FindBand(const QString& name) const { return const_cast<CommandBar*>(this)->FindBand(name); }

std::vector<Tool*> CommandBar::ToolsNamed(const QString& name) {
    std::vector<Tool*> found;
    for (Band& band : m_bands)
        for (Tool& tool : band.tools)
            if (tool.name.compare(name, Qt::CaseInsensitive) == 0) found.push_back(&tool);
    return found;
}

Tool* CommandBar::FindTool(const QString& name) {
    const auto tools = ToolsNamed(name);
    return tools.empty() ? nullptr : tools.front();
}

const Tool* CommandBar::FindTool(const QString& name) const { return const_cast<CommandBar*>(this)->FindTool(name); }

void CommandBar::SetEnabled(const QString& tool, bool enabled) {
    for (Tool* t : ToolsNamed(tool)) t->enabled = enabled;
}

void CommandBar::SetChecked(const QString& tool, bool checked) {
    for (Tool* t : ToolsNamed(tool)) t->checked = checked;
}

void CommandBar::SetVisible(const QString& tool, bool visible) {
    for (Tool* t : ToolsNamed(tool)) t->visible = visible;
}

bool CommandBar::IsEnabled(const QString& tool) const {
    const Tool* t = FindTool(tool);
    return t && t->enabled;
}

bool CommandBar::IsVisible(const QString& tool) const {
    const Tool* t = FindTool(tool);
    return t && t->visible;
}

bool CommandBar::CheckMenuForFunctionality(const QString& band) const {
    const Band* b = FindBand(band);
    if (!b) return false;
    for (const Tool& tool : b->tools)
        if (tool.visible && tool.enabled && !tool.separator && !tool.heading) return true;
    return false;
}

QString CommandBar::ShortcutForCategory(const QString& category) {
    if (category == QStringLiteral("New")) return QStringLiteral("F8");
    if (category == QStringLiteral("Edit")) return QStringLiteral("F9");
    if (category == QStringLiteral("Copy")) return QStringLiteral("Ctrl+C");
    if (category == QStringLiteral("Paste")) return QStringLiteral("Ctrl+V");
    if (category == QStringLiteral("Delete")) return QStringLiteral("Ctrl+Del");
    if (category == QStringLiteral("Undo")) return QStringLiteral("Ctrl+Z");
    if (category == QStringLiteral("Redo")) return QStringLiteral("Ctrl+Y");
    if (category == QStringLiteral("Refresh")) return QStringLiteral("F5");
    if (category == QStringLiteral("Check")) return QStringLiteral("Ctrl+Shift+B");
    return QString();
}

void CommandBar::ShowShortcuts(bool shown) {
    for (Band& band : m_bands)
        for (Tool& tool : band.tools) tool.shortcut = shown ? ShortcutForCategory(tool.category) : QString();
}

std::optional<QString> ScriptedPopups::Popup(const CommandBar& bar, const QString& band, int, int) {
    m_shown << band;
    if (onPopup) onPopup(bar, band);
    if (m_choices.empty()) return std::nullopt;
    QString choice = m_choices.front();
    m_choices.pop_front();
    return choice;
}

ScriptedPopups& DefaultPopups() {
    static ScriptedPopups popups;
    return popups;
}

PopupPresenter& CurrentPopups() { return g_popups ? *g_popups : DefaultPopups(); }

void InstallPopups(PopupPresenter* presenter) { g_popups = presenter; }

}  // namespace ov::ui
