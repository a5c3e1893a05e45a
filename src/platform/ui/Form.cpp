#include "platform/ui/Form.h"

#include "platform/host/HelpViewer.h"
#include "platform/ui/EventGuard.h"

namespace ov::ui {

Form::Form(const QString& name) : m_name(name) {}

Form::~Form() = default;

Control& Form::Add(ControlType type, const QString& name, int index) {
    if (Find(name, index))
        throw FormError(QStringLiteral("The form %1 already has a control %2.").arg(m_name, name));
    m_controls.push_back(std::make_unique<Control>(type, name, index));
    return *m_controls.back();
}

void Form::AddOkAndCancel() {
    Control& ok = Add(ControlType::CommandButton, QStringLiteral("cmdOK"));
    ok.tag = QStringLiteral("C10");
    ok.isDefault = true;
    Control& cancel = Add(ControlType::CommandButton, QStringLiteral("cmdCancel"));
    cancel.tag = QStringLiteral("C11");
    cancel.isCancel = true;
    Add(ControlType::CommandButton, QStringLiteral("cmdHelp")).tag = QStringLiteral("C12");
}

Control* Form::Find(const QString& name, int index) {
    for (const auto& control : m_controls)
        if (control->Index() == index && control->Name().compare(name, Qt::CaseInsensitive) == 0)
            return control.get();
    return nullptr;
}

const Control* Form::Find(const QString& name, int index) const {
    return const_cast<Form*>(this)->Find(name, index);
}

Control& Form::Get(const QString& name, int index) {
    Control* control = Find(name, index);
    if (!control)
        throw FormError(QStringLiteral("The form %1 has no control %2.")
                            .arg(m_name, index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(index)));
    return *control;
}

std::vector<Control*> Form::ControlArray(const QString& name) {
    std::vector<Control*> elements;
    for (const auto& control : m_controls)
        if (control->Index() >= 0 && control->Name().compare(name, Qt::CaseInsensitive) == 0)
            elements.push_back(control.get());
    return elements;
}

void Form::Load() {
    if (m_loaded) return;
    m_loaded = true;
    OnLoad();
}

void Form::Activate() {
    m_shown = true;
    OnActivate();
    LockDefaultButtons();
}

void Form::Shown() {
    if (m_shown) OnShown();
}

void Form::Unload() {
    if (!m_loaded) return;
    OnUnload();
    m_loaded = false;
    m_shown = false;
}

void Form::SetFocus(const QString& name, int index, bool selectAll) {
    const Control& control = Get(name, index);  // a control that does not exist cannot take the focus
    // A control on another page brings its page to the front.
    if (Control* strip = TabStripOf(control)) strip->listIndex = control.tabPage;
    m_focus = FocusRequest{name, index, selectAll, m_focus.serial + 1};
}

void Form::Hide(bool confirmed) {
    m_confirmed = confirmed && !m_viewOnly;
    m_shown = false;
}

void Form::SetViewOnly(bool viewOnly) {
    m_viewOnly = viewOnly;
    LockDefaultButtons();
}

void Form::LockDefaultButtons() {
    // The dialogs enable OK as their fields fill; for viewing it stays off.
    if (!m_viewOnly) return;
    for (const auto& control : m_controls)
        if (control->Type() == ControlType::CommandButton && control->isDefault) control->enabled = false;
}

Control& Form::Usable(const QString& name, int index) {
    Control& control = Get(name, index);
    if (!control.enabled || !control.visible)
        throw FormError(QStringLiteral("The control %1 of %2 is %3.")
                            .arg(control.FullName(), m_name,
                                 control.enabled ? QStringLiteral("hidden") : QStringLiteral("disabled")));
    return control;
}

void Form::UserSetText(const QString& name, const QString& text, int index) {
    Control& control = Usable(name, index);
    if (control.locked)
        throw FormError(QStringLiteral("The control %1 of %2 is read-only.").arg(control.FullName(), m_name));
    control.text = control.maxLength > 0 ? text.left(control.maxLength) : text;
    Fire(control, FormEvent::Change);
}

void Form::UserCheck(const QString& name, bool checked, int index) {
    Control& control = Usable(name, index);
    if (control.Type() == ControlType::OptionButton) {
        if (checked) UserClick(name, index);
        return;
    }
    control.checkState = checked ? 1 : 0;
    Fire(control, FormEvent::Click);
}

bool Form::UserChoose(const QString& name, const QVariant& textOrData, int index) {
    Control& control = Usable(name, index);
    if (!control.Select(textOrData)) return false;
    Fire(control, control.Type() == ControlType::TabStrip ? FormEvent::TabChanged : FormEvent::Click);
    return true;
}

void Form::UserClick(const QString& name, int index) {
    Control& control = Usable(name, index);
    if (control.Type() == ControlType::OptionButton) {
        // Option buttons in one container exclude each other.
        for (const auto& other : m_controls)
            if (other->Type() == ControlType::OptionButton && other->container == control.container &&
                other->tabPage == control.tabPage)
                other->checkState = 0;
        control.checkState = 1;
    } else if (control.Type() == ControlType::CheckBox) {
        control.checkState = control.checkState == 1 ? 0 : 1;
    }
    Fire(control, FormEvent::Click);
}

void Form::UserDblClick(const QString& name, int index) {
    Fire(Usable(name, index), FormEvent::DblClick);
}

void Form::UserEditCell(const QString& name, int row, int column, const QVariant& value) {
    Control& control = Usable(name, -1);
    GridData& g = control.grid;
    if (row < 0 || static_cast<std::size_t>(row) >= g.rows.size() || column < 0 ||
        column >= g.columnCaptions.size())
        throw FormError(
            QStringLiteral("The grid %1 of %2 has no cell (%3, %4).").arg(name, m_name).arg(row).arg(column));
    if (static_cast<std::size_t>(column) < g.columnLocked.size() &&
        g.columnLocked[static_cast<std::size_t>(column)])
        throw FormError(
            QStringLiteral("The column %1 of %2 cannot be changed.").arg(g.columnCaptions[column], name));
    auto& cells = g.rows[static_cast<std::size_t>(row)];
    if (cells.size() <= static_cast<std::size_t>(column)) cells.resize(static_cast<std::size_t>(column) + 1);
    cells[static_cast<std::size_t>(column)] = value;
    g.currentRow = row;
    g.currentColumn = column;
    Fire(control, FormEvent::CellEdited);
}

void Form::UserSelectTab(const QString& name, int page) {
    Control& control = Usable(name, -1);
    if (page < 0 || static_cast<std::size_t>(page) >= control.list.Size())
        throw FormError(QStringLiteral("The tab strip %1 of %2 has no page %3.").arg(name, m_name).arg(page));
    control.listIndex = page;
    Fire(control, FormEvent::TabChanged);
}

void Form::UserClickNode(const QString& name, const QString& key) {
    Control& control = TreeWithNode(name, key);
    control.selectedNode = key;
    Fire(control, FormEvent::NodeClick);
}

Control& Form::TreeWithNode(const QString& name, const QString& key) {
    Control& control = Usable(name, -1);
    if (control.Type() != ControlType::TreeView || !control.Node(key))
        throw FormError(QStringLiteral("The tree %1 of %2 has no node \"%3\".").arg(name, m_name, key));
    return control;
}

void Form::UserExpandNode(const QString& name, const QString& key, bool expand) {
    Control& control = TreeWithNode(name, key);
    control.eventNode = key;
    Fire(control, expand ? FormEvent::NodeExpand : FormEvent::NodeCollapse);
}

void Form::UserCheckNode(const QString& name, const QString& key, bool checked) {
    Control& control = TreeWithNode(name, key);
    if (!control.checkBoxes)
        throw FormError(QStringLiteral("The tree %1 of %2 has no check boxes.").arg(name, m_name));
    control.eventNode = key;
    for (TreeNode& node : control.nodes)
        if (node.key == key) node.checkState = checked ? 1 : 0;
    Fire(control, FormEvent::NodeCheck);
}

bool Form::PressFlagged(bool defaultButton) {
    for (const auto& control : m_controls) {
        if (control->Type() != ControlType::CommandButton) continue;
        if ((defaultButton ? control->isDefault : control->isCancel) && control->enabled &&
            control->visible) {
            Fire(*control, FormEvent::Click);
            return true;
        }
    }
    return false;
}

void Form::Fire(Control& control, FormEvent event) {
    RunGuarded([&] {
        // Help buttons send F1, whatever else the dialog does with them.
        if (event == FormEvent::Click && control.Name().compare(QStringLiteral("cmdHelp"), Qt::CaseInsensitive) == 0)
            UserHelp();
        OnEvent(control, event);
    });
    LockDefaultButtons();
}

Control* Form::TabStripOf(const Control& control) {
    if (control.tabPage < 0) return nullptr;
    for (const auto& strip : m_controls) {
        if (strip->Type() != ControlType::TabStrip) continue;
        if (control.tabStrip.isEmpty() || strip->Name().compare(control.tabStrip, Qt::CaseInsensitive) == 0)
            return strip.get();
    }
    return nullptr;
}

void Form::UserKeyDown(int& keyCode, int shift, const QString& inControl) {
    m_keyControl = inControl;
    RunGuarded([&] { OnKeyDown(keyCode, shift); });
    m_keyControl.clear();
    LockDefaultButtons();
}

void Form::UserHelp() {
    host::ShowContextHelp(helpContextId);
}

bool Form::PressDefault() {
    return PressFlagged(true);
}
bool Form::PressCancel() {
    return PressFlagged(false);
}

}  // namespace ov::ui
