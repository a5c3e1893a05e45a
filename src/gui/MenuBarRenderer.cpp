#include "gui/MenuBarRenderer.h"

#include "gui/QtPopups.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace ov::gui {

namespace {
QString Caption(const ui::Tool& tool) { return tool.caption.isEmpty() ? tool.name : tool.caption; }
}  // namespace

QString MenuBarRenderer::MainBand() { return QStringLiteral("mnuMain"); }

MenuBarRenderer::MenuBarRenderer(const ui::CommandBar& bar, QMenuBar& menuBar) : m_bar(bar), m_menuBar(&menuBar) {
    Rebuild();
}

MenuBarRenderer::~MenuBarRenderer() {
    // The entries call back into this object; they go with it.
    Clear();
}

void MenuBarRenderer::Clear() {
    // Off the bar at once, deleted later: a tool's handler may rebuild the
    // bar while the menu it was chosen from is still on its way out.
    for (Entry& entry : m_entries) {
        if (!entry.action) continue;
        if (m_menuBar) m_menuBar->removeAction(entry.action);
        if (QMenu* menu = entry.action->menu<QMenu*>())
            menu->deleteLater();  // takes its action along
        else
            entry.action->deleteLater();
    }
    m_entries.clear();
}

void MenuBarRenderer::Rebuild() {
    Clear();
    const ui::Band* band = m_bar.FindBand(MainBand());
    if (!m_menuBar || !band) return;
    for (const ui::Tool& tool : band->tools) {
        if (tool.separator || tool.heading) continue;
        const QString name = tool.name;
        if (tool.opensBand.isEmpty()) {
            // A command right on the bar.
            QAction* action = m_menuBar->addAction(Caption(tool));
            QObject::connect(action, &QAction::triggered, action, [this, name] { Choose(name); });
            m_entries.push_back({name, action});
            continue;
        }
        const QString opens = tool.opensBand;
        auto* menu = new QMenu(Caption(tool), m_menuBar);
        m_menuBar->addMenu(menu);
        QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu, opens] {
            if (beforeShow) beforeShow(opens);
            QtPopups::BuildMenu(m_bar, opens, *menu);
            Wire(*menu);
        });
        QObject::connect(menu, &QMenu::aboutToHide, menu, [this] {
            if (afterHide) afterHide();
        });
        m_entries.push_back({name, menu->menuAction()});
    }
    Refresh();
}

void MenuBarRenderer::Refresh() {
    const ui::Band* band = m_bar.FindBand(MainBand());
    if (!band) return;
    for (Entry& entry : m_entries) {
        if (!entry.action) continue;
        for (const ui::Tool& tool : band->tools) {
            if (tool.name.compare(entry.tool, Qt::CaseInsensitive) != 0) continue;
            entry.action->setText(Caption(tool));
            entry.action->setEnabled(tool.enabled);
            entry.action->setVisible(tool.visible);
            break;
        }
    }
}

void MenuBarRenderer::Wire(QMenu& menu) {
    // The commands of each build are new actions; the connections go with them.
    for (QAction* action : menu.actions()) {
        if (QMenu* submenu = action->menu<QMenu*>()) {
            Wire(*submenu);
            continue;
        }
        const QString tool = action->data().toString();
        if (!tool.isEmpty()) QObject::connect(action, &QAction::triggered, action, [this, tool] { Choose(tool); });
    }
}

void MenuBarRenderer::Choose(const QString& tool) {
    if (onTool) onTool(tool);
}

}  // namespace ov::gui
