#pragma once

#include "platform/ui/CommandBar.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace ov::gui {

// The menu bar from the command bar's main band: one entry per tool, in
// order. An entry that opens a band shows it as a menu, built afresh each
// time it opens so that it shows the states availability has just set.
class MenuBarRenderer {
public:
    static QString MainBand();  // "mnuMain"

    MenuBarRenderer(const ui::CommandBar& bar, QMenuBar& menuBar);
    ~MenuBarRenderer();
    MenuBarRenderer(const MenuBarRenderer&) = delete;
    MenuBarRenderer& operator=(const MenuBarRenderer&) = delete;

    // Makes the entries anew from the main band.
    void Rebuild();
    // Takes captions, enabled and visible states of the entries from the model.
    void Refresh();

    // Called with the band a menu is about to show, before it is built.
    std::function<void(const QString& band)> beforeShow;
    // Called when an open menu closes.
    std::function<void()> afterHide;
    // Called with the tool a person chose.
    std::function<void(const QString& tool)> onTool;

private:
    struct Entry {
        QString tool;
        QPointer<QAction> action;  // the menu's own action for a band
    };

    void Wire(QMenu& menu);
    void Choose(const QString& tool);
    void Clear();

    const ui::CommandBar& m_bar;
    QPointer<QMenuBar> m_menuBar;
    std::vector<Entry> m_entries;
};

}  // namespace ov::gui
