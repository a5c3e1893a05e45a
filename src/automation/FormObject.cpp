#include "automation/FormObject.h"

#include "automation/ScriptKeys.h"
#include "automation/StudioObject.h"
#include "platform/ui/Form.h"

namespace ov::automation {

QString FormObject::Name() const { return m_form.Name(); }
QString FormObject::Caption() const { return m_form.caption; }

template <typename Fn>
void FormObject::Act(Fn&& fn) {
    try {
        fn();
    } catch (const ui::FormError& e) {
        m_studio.Fail(QString::fromUtf8(e.what()));
    }
}

QVariant FormObject::get(const QString& control, int index) {
    ui::Control* c = m_form.Find(control, index);
    if (!c) {
        m_studio.Fail(QStringLiteral("The dialog %1 has no control %2.").arg(m_form.Name(), control));
        return QVariant();
    }
    switch (c->Type()) {
        case ui::ControlType::CheckBox:
        case ui::ControlType::OptionButton:
            return c->IsChecked();
        case ui::ControlType::ComboBox:
        case ui::ControlType::ListBox:
        case ui::ControlType::TabStrip:
            return c->SelectedText();
        case ui::ControlType::Label:
        case ui::ControlType::Frame:
        case ui::ControlType::CommandButton:
            return c->caption;
        case ui::ControlType::TreeView:
            return c->selectedNode;
        default:
            return c->text;
    }
}

void FormObject::set(const QString& control, const QString& text, int index) {
    Act([&] { m_form.UserSetText(control, text, index); });
}

void FormObject::check(const QString& control, bool checked, int index) {
    Act([&] { m_form.UserCheck(control, checked, index); });
}

void FormObject::choose(const QString& control, const QVariant& textOrData, int index) {
    Act([&] {
        if (!m_form.UserChoose(control, textOrData, index))
            throw ui::FormError(QStringLiteral("%1 of %2 has no entry \"%3\".").arg(control, m_form.Name(), textOrData.toString()));
    });
}

void FormObject::click(const QString& control, int index) {
    Act([&] { m_form.UserClick(control, index); });
}

void FormObject::setCell(const QString& grid, int row, int column, const QVariant& value) {
    Act([&] { m_form.UserEditCell(grid, row, column, value); });
}

QVariant FormObject::nodes(const QString& control) {
    const ui::Control* c = m_form.Find(control);
    if (!c || c->Type() != ui::ControlType::TreeView) {
        m_studio.Fail(QStringLiteral("The dialog %1 has no tree %2.").arg(m_form.Name(), control));
        return QVariant();
    }
    QVariantList list;
    for (const ui::TreeNode& node : c->nodes)
        list << QVariantMap{{QStringLiteral("key"), node.key},
                            {QStringLiteral("parent"), node.parentKey},
                            {QStringLiteral("text"), node.text},
                            {QStringLiteral("data"), node.data},
                            {QStringLiteral("checked"), node.checkState}};
    return list;
}

void FormObject::clickNode(const QString& control, const QString& key) {
    Act([&] { m_form.UserClickNode(control, key); });
}

std::pair<QString, QString> FormObject::NodeAt(const QString& path, const QString& control) {
    const ui::Control* tree = nullptr;
    for (const auto& c : m_form.Controls())
        if (c->Type() == ui::ControlType::TreeView && (control.isEmpty() || c->Name() == control)) {
            tree = c.get();
            break;
        }
    if (!tree) {
        m_studio.Fail(QStringLiteral("The dialog %1 has no tree %2.").arg(m_form.Name(), control));
        return {};
    }
    const QString name = tree->Name();
    QString key;
    for (const QString& text : path.split(u'/', Qt::SkipEmptyParts)) {
        // The children of a closed node may only come when it opens.
        if (!key.isEmpty() && !tree->Node(key)->expanded) {
            try {
                m_form.UserExpandNode(name, key, true);
            } catch (const ui::FormError& e) {
                m_studio.Fail(QString::fromUtf8(e.what()));
                return {};
            }
        }
        QString next;
        for (const ui::TreeNode& node : tree->nodes)
            if (node.parentKey == key && node.text == text) next = node.key;
        if (next.isEmpty()) {
            m_studio.Fail(QStringLiteral("The tree %1 of %2 has no node \"%3\".").arg(name, m_form.Name(), path));
            return {};
        }
        key = next;
    }
    if (key.isEmpty()) m_studio.Fail(QStringLiteral("No node path given."));
    return {name, key};
}

void FormObject::expand(const QString& path, const QString& control) {
    const auto node = NodeAt(path, control);
    if (!node.second.isEmpty()) Act([&] { m_form.UserExpandNode(node.first, node.second, true); });
}

void FormObject::collapse(const QString& path, const QString& control) {
    const auto node = NodeAt(path, control);
    if (!node.second.isEmpty()) Act([&] { m_form.UserExpandNode(node.first, node.second, false); });
}

void FormObject::tick(const QString& path, const QString& control) {
    const auto node = NodeAt(path, control);
    if (!node.second.isEmpty()) Act([&] { m_form.UserCheckNode(node.first, node.second, true); });
}

void FormObject::untick(const QString& path, const QString& control) {
    const auto node = NodeAt(path, control);
    if (!node.second.isEmpty()) Act([&] { m_form.UserCheckNode(node.first, node.second, false); });
}

void FormObject::key(const QString& keys, const QString& control) {
    int code = 0, shift = 0;
    if (!ParseKeys(keys, code, shift)) {
        m_studio.Fail(QStringLiteral("\"%1\" names no key.").arg(keys));
        return;
    }
    m_form.UserKeyDown(code, shift, control);
    // A key the dialog left alone: Enter and Escape press its buttons.
    if (code == 13 && shift == 0) m_form.PressDefault();
    else if (code == 27 && shift == 0) m_form.PressCancel();
}

void FormObject::ok() {
    if (!m_form.PressDefault()) m_studio.Fail(QStringLiteral("The dialog %1 has no default button that can be pressed.").arg(m_form.Name()));
}

void FormObject::cancel() {
    if (!m_form.PressCancel()) m_form.Hide(false);
}

}  // namespace ov::automation
