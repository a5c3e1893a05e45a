#include "gui/FormDialog.h"

#include "gui/FormGrid.h"
#include "gui/FormListControls.h"
#include "gui/FormSimpleControls.h"
#include "gui/FormTreeView.h"
#include "gui/KeyMapping.h"

#include "platform/ui/MessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace ov::gui {

using ui::Control;
using ui::ControlType;

namespace {
QList<FormDialog*>& OpenDialogs() {
    static QList<FormDialog*> dialogs;
    return dialogs;
}
}  // namespace

FormDialog::FormDialog(ui::Form& form, QWidget* parent) : QDialog(parent), m_form(form) {
    OpenDialogs().append(this);
    auto* outer = new QVBoxLayout(this);
    auto* rootGrid = new QGridLayout;
    auto* buttonRow = new QHBoxLayout;
    outer->addLayout(rootGrid, 1);
    outer->addLayout(buttonRow);
    m_layout = std::make_unique<FormLayout>(m_form, *this, *rootGrid);

    for (const auto& control : m_form.Controls()) m_bound.push_back({control.get(), Create(*control)});
    m_layout->Arrange(m_bound, *buttonRow);
    // A form that previews keys sees them before the control with the focus.
    if (m_form.keyPreview)
        for (const BoundControl& bound : m_bound) bound.widget->installEventFilter(this);

    SyncFromModel();
    m_syncing = false;
}

void FormDialog::SyncAllOpen() {
    for (FormDialog* dialog : OpenDialogs()) dialog->SyncFromModel();
}

FormDialog::~FormDialog() {
    OpenDialogs().removeAll(this);
    // Widgets may signal while Qt takes them down after our members are gone.
    for (const BoundControl& bound : m_bound) disconnect(bound.widget, nullptr, this, nullptr);
}

QWidget* FormDialog::Create(Control& control) {
    switch (control.Type()) {
        case ControlType::Label:
            return CreateLabel(*this);
        case ControlType::TextBox:
            return CreateTextBox(*this, control);
        case ControlType::CheckBox:
            return CreateCheckBox(*this, control);
        case ControlType::OptionButton:
            return CreateOptionButton(*this, control);
        case ControlType::ComboBox:
            return CreateComboBox(*this, control);
        case ControlType::ListBox:
            return CreateListBox(*this, control);
        case ControlType::ListView:
            return CreateListView(*this, control);
        case ControlType::TreeView:
            return CreateTreeView(*this, control);
        case ControlType::TabStrip: {
            auto* tabs = new QTabWidget(this);
            m_layout->AddPages(control, *tabs);
            ConnectTabStrip(*this, control, *tabs);
            return tabs;
        }
        case ControlType::CommandButton:
            return CreateCommandButton(*this, control);
        case ControlType::Frame: {
            auto* frame = new QGroupBox(this);
            m_layout->AddFrame(control, *frame);
            return frame;
        }
        case ControlType::Grid:
            return CreateGrid(*this, control);
    }
    return new QWidget(this);
}

QButtonGroup& FormDialog::OptionGroup(const Control& option) {
    // The same grouping the model uses: one frame (or the form) on one page.
    const QString key = QString::number(option.tabPage) + u'|' + option.container;
    QButtonGroup*& group = m_optionGroups[key];
    if (!group) group = new QButtonGroup(this);
    return *group;
}

QWidget* FormDialog::WidgetFor(const QString& name, int index) const {
    const Control* control = m_form.Find(name, index);
    for (const BoundControl& bound : m_bound)
        if (bound.control == control) return bound.widget;
    return nullptr;
}

void FormDialog::SyncFromModel() {
    const bool wasSyncing = m_syncing;
    m_syncing = true;
    if (windowTitle() != m_form.caption) setWindowTitle(m_form.caption);
    // An exclusive group cannot be left without a checked button, but the
    // model may have none checked.
    for (QButtonGroup* group : std::as_const(m_optionGroups)) group->setExclusive(false);
    for (const BoundControl& bound : m_bound) Sync(*bound.control, bound.widget);
    for (QButtonGroup* group : std::as_const(m_optionGroups)) group->setExclusive(true);
    ApplyFocus();
    GrowForWrappedText();
    m_syncing = wasSyncing;
}

void FormDialog::GrowForWrappedText() {
    // A wrapping label that got a longer text needs more lines; without room
    // the layout would squeeze it over its neighbours.
    QLayout* grid = layout();
    if (!isVisible() || !grid || !grid->hasHeightForWidth()) return;
    const int needed = grid->totalHeightForWidth(width());
    if (needed > height()) resize(width(), needed);
}

void FormDialog::ApplyFocus() {
    const ui::Form::FocusRequest& request = m_form.Focus();
    if (request.serial == m_focusSerial) return;
    m_focusSerial = request.serial;
    QWidget* widget = WidgetFor(request.control, request.index);
    if (!widget) return;
    widget->setFocus(Qt::OtherFocusReason);
    if (!request.selectAll) return;
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->selectAll();
    else if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) text->selectAll();
}

void FormDialog::Sync(const Control& control, QWidget* widget) {
    // The widget's own settings, not what it inherits from a disabled or
    // hidden frame; a new widget is hidden until its dialog shows, so only
    // setting it makes an invisible control stay hidden.
    if (widget->testAttribute(Qt::WA_ForceDisabled) == control.enabled) widget->setEnabled(control.enabled);
    if (control.dropDown)
        ShowDropDown(control, *widget);
    else
        widget->setVisible(control.visible);
    if (widget->toolTip() != control.toolTip) widget->setToolTip(control.toolTip);

    switch (control.Type()) {
        case ControlType::Label:
            SyncLabel(control, *static_cast<QLabel*>(widget));
            break;
        case ControlType::TextBox:
            SyncTextBox(control, *widget);
            break;
        case ControlType::CheckBox:
            SyncCheckBox(control, *static_cast<QCheckBox*>(widget));
            break;
        case ControlType::OptionButton:
            SyncOptionButton(control, *static_cast<QRadioButton*>(widget));
            break;
        case ControlType::ComboBox:
            SyncComboBox(control, *static_cast<QComboBox*>(widget));
            break;
        case ControlType::ListBox:
            SyncListBox(control, *static_cast<QListWidget*>(widget));
            break;
        case ControlType::ListView:
            SyncListView(control, *static_cast<QTreeWidget*>(widget));
            break;
        case ControlType::TabStrip:
            SyncTabStrip(control, *static_cast<QTabWidget*>(widget));
            break;
        case ControlType::CommandButton:
            SyncCommandButton(control, *static_cast<QPushButton*>(widget));
            break;
        case ControlType::Frame:
            SyncFrame(control, *static_cast<QGroupBox*>(widget));
            break;
        case ControlType::Grid:
            SyncGrid(control, *static_cast<QTableWidget*>(widget));
            break;
        case ControlType::TreeView:
            SyncTreeView(control, *static_cast<QTreeWidget*>(widget));
            break;
    }
}

void FormDialog::ShowDropDown(const Control& control, QWidget& popup) {
    if (!control.visible) {
        popup.hide();
        return;
    }
    if (popup.isVisible()) return;
    // Below the box it belongs to, as wide as that box's row.
    QWidget* anchor = WidgetFor(control.buddy);
    if (!anchor || !anchor->isVisible()) return;
    const QPoint below = anchor->mapToGlobal(QPoint(0, anchor->height()));
    const int width = std::max(anchor->width(), 360);
    popup.setGeometry(below.x(), below.y(), width, std::max(popup.fontMetrics().height() * 16, 200));
    popup.show();
    popup.setFocus(Qt::PopupFocusReason);
}

void FormDialog::Act(const std::function<void()>& action) {
    if (m_syncing || m_finished) return;
    try {
        action();
    } catch (const std::exception& error) {
        // Refused or failed: say why and let the person carry on in the dialog.
        ui::ShowMessage(QString::fromUtf8(error.what()), QString(), ui::Buttons::OK, 0, ui::Icon::Warning);
    }
    SyncFromModel();
    FinishWhenHidden();
}

void FormDialog::ActLater(std::function<void()> action) {
    QMetaObject::invokeMethod(this, [this, action = std::move(action)] {
        if (!m_finished) Act(action);
    }, Qt::QueuedConnection);
}

void FormDialog::FinishWhenHidden() {
    if (m_finished || m_form.IsShown()) return;
    m_finished = true;
    done(m_form.Confirmed() ? QDialog::Accepted : QDialog::Rejected);
}

bool FormDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && !m_syncing && !m_finished) {
        // A drop-down closed by Qt (a click elsewhere, Escape) is closed in the model too.
        for (const BoundControl& bound : m_bound)
            if (bound.widget == watched && bound.control->dropDown) bound.control->visible = false;
    }
    if (event->type() == QEvent::KeyPress && !m_syncing && !m_finished) {
        auto* key = static_cast<QKeyEvent*>(event);
        int code = KeyCode(key->key());
        if (code != 0) {
            QString inControl;
            for (const BoundControl& bound : m_bound)
                if (bound.widget == watched) inControl = bound.control->Name();
            Act([&] { m_form.UserKeyDown(code, ShiftState(key->modifiers()), inControl); });
            if (code == 0) return true;  // the form took the key
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormDialog::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        Act([this] { m_form.PressCancel(); });
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        Act([this] { m_form.UserHelp(); });
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FormDialog::reject() {
    Act([this] {
        if (!m_form.PressCancel()) m_form.Hide(false);
    });
}

}  // namespace ov::gui
