#include "gui/EditorWindowWidget.h"

#include "gui/GridView.h"
#include "gui/MenuBarRenderer.h"
#include "gui/ProblemPaneView.h"
#include "host/Connect.h"

#include <QApplication>
#include <QComboBox>
#include <QShortcut>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace ov::gui {

namespace {
const char* const kGridNames[] = {"tdbI", "tdbS", "tdbG", "tdbU"};
}

EditorWindowWidget::EditorWindowWidget(editor::frmtabgridOPC& window, QWidget* parent) : QWidget(parent), m_window(window) {
    setObjectName(QStringLiteral("frmtabgridOPC"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_caption->setContentsMargins(6, 4, 6, 2);
    layout->addWidget(m_caption);

    auto* bar = new QWidget(this);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 6, 0);
    m_menuBar = new QMenuBar(bar);
    m_menuBar->setNativeMenuBar(false);
    barLayout->addWidget(m_menuBar, 1);
    m_language = new QComboBox(bar);
    m_language->setObjectName(QStringLiteral("cmbLanguage"));
    m_language->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    barLayout->addWidget(m_language);
    layout->addWidget(bar);

    // The function tool bar below the menu.
    m_functions = new QToolBar(this);
    m_functions->setObjectName(QStringLiteral("tbrfunc"));
    m_functions->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (const ui::Band* band = m_window.tbrfunc().FindBand(QStringLiteral("tbrfunc"))) {
        for (const ui::Tool& tool : band->tools) {
            QAction* action = m_functions->addAction(tool.caption);
            action->setObjectName(tool.name);
            action->setCheckable(tool.checkable);
            const QString name = tool.name;
            connect(action, &QAction::triggered, this, [this, name] { m_window.FunctionToolClick(name); });
        }
    }
    layout->addWidget(m_functions);

    m_menus = std::make_unique<MenuBarRenderer>(m_window.abr(), *m_menuBar);
    // While a menu is open its tools show their shortcut keys.
    m_menus->beforeShow = [this](const QString&) {
        m_window.ComputeAvailability(m_window.CurrentNode(), false);
        m_window.abr().ShowShortcuts(true);
    };
    m_menus->afterHide = [this] { m_window.abr().ShowShortcuts(false); };
    m_menus->onTool = [this](const QString& tool) { m_window.ClickTool(tool); };
    m_menus->Rebuild();

    connect(m_language, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        m_window.LanguageSelector().listIndex = index;
        m_window.LanguageSelected();
    });

    m_grids = new QStackedWidget(this);
    for (std::size_t i = 0; i < m_gridViews.size(); ++i) {
        m_gridViews[i] = new GridView(m_window.Grid(QString::fromUtf8(kGridNames[i])), m_grids);
        m_gridViews[i]->setObjectName(QString::fromUtf8(kGridNames[i]));
        m_grids->addWidget(m_gridViews[i]);
    }
    // Check Project's list below the grids, shown while the pane is open.
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("gridsAndProblems"));
    split->setChildrenCollapsible(false);
    split->addWidget(m_grids);
    m_problems = new ProblemPaneView(m_window.Session().Problems(), split);
    split->addWidget(m_problems);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    m_statusRow = new QWidget(this);
    auto* statusRows = new QVBoxLayout(m_statusRow);
    statusRows->setContentsMargins(6, 2, 6, 2);
    statusRows->setSpacing(2);
    // The notices have a line of their own above the panels: a long one
    // never squeezes the panels or widens the window past the screen.
    m_notices = new QLabel(m_statusRow);
    m_notices->setObjectName(QStringLiteral("sbNotices"));
    m_notices->setFrameShape(QFrame::StyledPanel);
    m_notices->setStyleSheet(QStringLiteral("font-weight: bold"));
    m_notices->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusRows->addWidget(m_notices);
    auto* statusLayout = new QHBoxLayout();
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusRows->addLayout(statusLayout);
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        m_panels[i] = new QLabel(m_statusRow);
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        // The function text (others' changes can make it long) is cut rather
        // than widening the window; its tooltip shows all of it.
        if (i == 0) m_panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        statusLayout->addWidget(m_panels[i], i == 0 ? 2 : 1);
    }
    layout->addWidget(m_statusRow);

    // F1 anywhere in the window: the topic of the grid that has the focus,
    // else the topic of the window.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WidgetWithChildrenShortcut);
    connect(help, &QShortcut::activated, this, [this] { m_window.ShowHelp(FocusedGridName()); });
    // Undo and redo anywhere in the window; a cell being typed into keeps
    // Ctrl+Z for its own text.
    const auto stepKey = [this](const QKeySequence& keys, const char* tool) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, tool] {
            m_window.ComputeAvailability(m_window.CurrentNode(), false);
            m_window.ClickTool(QString::fromUtf8(tool));
        });
    };
    stepKey(QKeySequence::Undo, "mnuEditUndo");
    stepKey(QKeySequence(Qt::CTRL | Qt::Key_Y), "mnuEditRedo");
    stepKey(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "mnuEditRedo");
    stepKey(QKeySequence(Qt::Key_F5), "mnuViewRefreshValues");
    // Check Project from anywhere in the studio's window, the project tree too.
    auto* check = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), this);
    check->setContext(Qt::WindowShortcut);
    connect(check, &QShortcut::activated, this, [this] {
        m_window.ComputeAvailability(m_window.CurrentNode(), false);
        m_window.ClickTool(QStringLiteral("mnuOptionCheck"));
    });
    Refresh();
}

EditorWindowWidget::~EditorWindowWidget() = default;

void EditorWindowWidget::Detach() {
    for (GridView* view : m_gridViews) view->Detach();
}

GridView* EditorWindowWidget::Grid(const QString& name) const {
    for (std::size_t i = 0; i < m_gridViews.size(); ++i)
        if (name.compare(QString::fromUtf8(kGridNames[i]), Qt::CaseInsensitive) == 0) return m_gridViews[i];
    return nullptr;
}

void EditorWindowWidget::Refresh() {
    m_caption->setText(m_window.Caption());
    m_menus->Refresh();
    for (QAction* action : m_functions->actions())
        if (const ui::Tool* tool = m_window.tbrfunc().FindTool(action->objectName())) {
            action->setEnabled(tool->enabled);
            action->setVisible(tool->visible);
            action->setChecked(tool->checked);
        }

    const ui::Control& selector = m_window.LanguageSelector();
    const QSignalBlocker block(m_language);
    m_language->clear();
    for (const ui::ValueItem& item : selector.list.Items()) m_language->addItem(item.text, item.value);
    m_language->setCurrentIndex(selector.listIndex);

    if (GridView* front = Grid(m_window.FrontGrid())) m_grids->setCurrentWidget(front);
    // Commands move recordsets without the grids noticing; show where they stand now.
    for (GridView* view : m_gridViews) view->ShowModelState();
    for (std::size_t i = 0; i < m_panels.size(); ++i) m_panels[i]->setText(m_window.sb().PanelText(static_cast<int>(i) + 1));
    m_panels[0]->setToolTip(m_panels[0]->text());
    const QString notices = m_window.sb().Notices().join(QStringLiteral("  "));
    m_notices->setText(notices);
    m_notices->setToolTip(notices);
    m_notices->setVisible(!notices.isEmpty());
    m_statusRow->setVisible(m_window.sb().visible);
    m_problems->Refresh();
    setVisible(m_window.IsVisible());
}

QString EditorWindowWidget::FocusedGridName() const {
    const QWidget* focus = QApplication::focusWidget();
    for (std::size_t i = 0; i < m_gridViews.size(); ++i)
        if (focus && m_gridViews[i]->isAncestorOf(focus)) return QString::fromUtf8(kGridNames[i]);
    return QString();
}

void EditorWindowWidget::FocusGrid(const QString& name) {
    if (GridView* view = Grid(name)) {
        m_grids->setCurrentWidget(view);
        view->ScrollingView()->setFocus();
    }
}

EditorWindowView::EditorWindowView(editor::frmtabgridOPC& window) : m_widget(new EditorWindowWidget(window)) {}

EditorWindowView::~EditorWindowView() {
    if (!m_widget) return;
    // A command chosen from this window's own menu may end the window
    // (Refresh View, an import, undo load the editor anew): the menu is
    // still closing then, so the widgets go once the event is over; the
    // window's models go now, and the grids let go of them first.
    m_widget->Detach();
    m_widget->hide();
    m_widget->setParent(nullptr);
    m_widget->deleteLater();
}

void EditorWindowView::EmbedInto(host::WindowHandle parent) {
    auto* area = reinterpret_cast<QWidget*>(parent);
    if (!m_widget || !area) return;
    if (area->layout())
        area->layout()->addWidget(m_widget);
    else
        m_widget->setParent(area);
    m_widget->Refresh();
}

void EditorWindowView::Release() {
    if (!m_widget) return;
    if (QWidget* parent = m_widget->parentWidget())
        if (parent->layout()) parent->layout()->removeWidget(m_widget);
    m_widget->hide();
    m_widget->setParent(nullptr);
}

void EditorWindowView::Refresh() {
    if (m_widget) m_widget->Refresh();
}

void EditorWindowView::FocusGrid(const QString& gridName) {
    if (m_widget) m_widget->FocusGrid(gridName);
}

}  // namespace ov::gui
