#include "gui/QtPopups.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QMenu>

namespace ov::gui {

namespace {

// Bands that open each other must not recurse without end.
constexpr int kMaxDepth = 8;

QString EntryText(const ui::Tool& tool) {
    QString text = tool.caption.isEmpty() ? tool.name : tool.caption;
    if (!tool.shortcut.isEmpty()) text += u'\t' + tool.shortcut;
    return text;
}

void AddTools(const ui::CommandBar& bar, const QString& bandName, QMenu& menu, int depth) {
    const ui::Band* band = bar.FindBand(bandName);
    if (!band) return;
    bool separatorDue = false;
    for (const ui::Tool& tool : band->tools) {
        if (!tool.visible) continue;
        if (tool.separator) {
            separatorDue = !menu.actions().isEmpty();
            continue;
        }
        if (separatorDue) {
            menu.addSeparator();
            separatorDue = false;
        }
        if (tool.heading) {
            QAction* heading = menu.addAction(EntryText(tool));
            QFont font = heading->font();
            font.setBold(true);
            heading->setFont(font);
            heading->setEnabled(false);
        } else if (!tool.opensBand.isEmpty() && depth < kMaxDepth) {
            QMenu* submenu = menu.addMenu(EntryText(tool));
            AddTools(bar, tool.opensBand, *submenu, depth + 1);
            submenu->menuAction()->setEnabled(tool.enabled && !submenu->actions().isEmpty());
        } else {
            QAction* command = menu.addAction(EntryText(tool));
            command->setData(tool.name);
            command->setEnabled(tool.enabled);
            command->setCheckable(tool.checkable);
            command->setChecked(tool.checked);
        }
    }
}

}  // namespace

void QtPopups::BuildMenu(const ui::CommandBar& bar, const QString& band, QMenu& menu) {
    menu.clear();
    // clear() leaves the submenus of the last build behind.
    for (QMenu* submenu : menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) delete submenu;
    AddTools(bar, band, menu, 0);
}

std::optional<QString> QtPopups::Popup(const ui::CommandBar& bar, const QString& band, int x, int y) {
    QMenu menu(QApplication::activeWindow());
    BuildMenu(bar, band, menu);
    if (menu.actions().isEmpty()) return std::nullopt;
    const QAction* chosen = menu.exec(QPoint(x, y));
    if (!chosen || chosen->data().toString().isEmpty()) return std::nullopt;
    return chosen->data().toString();
}

}  // namespace ov::gui
