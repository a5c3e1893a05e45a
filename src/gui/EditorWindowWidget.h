#pragma once

#include "editor/frmtabgridOPC.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QMenuBar;
class QStackedWidget;
class QToolBar;

namespace ov::gui {

class GridView;
class MenuBarRenderer;
class ProblemPaneView;

// The editor window on screen: caption, menu bar, language selector, the four
// grids (one in front) and the status bar, all rendered from the window model.
class EditorWindowWidget : public QWidget {
public:
    explicit EditorWindowWidget(editor::frmtabgridOPC& window, QWidget* parent = nullptr);
    ~EditorWindowWidget() override;

    void Refresh();
    void FocusGrid(const QString& name);
    // The grids let go of the window's models, which go before this widget does.
    void Detach();
    GridView* Grid(const QString& name) const;
    QMenuBar* MenuBar() const { return m_menuBar; }
    QString FocusedGridName() const;

private:
    editor::frmtabgridOPC& m_window;
    QLabel* m_caption = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QToolBar* m_functions = nullptr;
    std::unique_ptr<MenuBarRenderer> m_menus;
    QComboBox* m_language = nullptr;
    QStackedWidget* m_grids = nullptr;
    ProblemPaneView* m_problems = nullptr;
    std::array<GridView*, 4> m_gridViews{};
    QWidget* m_statusRow = nullptr;
    std::array<QLabel*, 8> m_panels{};
    QLabel* m_notices = nullptr;  // lasting notices, before the panels
};

// The view the window model talks to; it owns the widget while the widget's
// parent (the studio's editor area) has not taken it down.
class EditorWindowView : public editor::WindowView {
public:
    explicit EditorWindowView(editor::frmtabgridOPC& window);
    ~EditorWindowView() override;

    void EmbedInto(host::WindowHandle parent) override;
    void Release() override;
    void Refresh() override;
    void FocusGrid(const QString& gridName) override;

    EditorWindowWidget* Widget() const { return m_widget; }

private:
    QPointer<EditorWindowWidget> m_widget;
};

}  // namespace ov::gui
