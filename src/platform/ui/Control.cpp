#include "platform/ui/Control.h"

namespace ov::ui {

QString Control::FullName() const {
    return m_index < 0 ? m_name : QStringLiteral("%1(%2)").arg(m_name).arg(m_index);
}

QVariant Control::SelectedData() const {
    if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= list.Size()) return QVariant();
    return list.Items()[static_cast<std::size_t>(listIndex)].value;
}

QString Control::SelectedText() const {
    if (listIndex < 0 || static_cast<std::size_t>(listIndex) >= list.Size()) return QString();
    return list.Items()[static_cast<std::size_t>(listIndex)].text;
}

bool Control::Select(const QVariant& textOrData) {
    std::optional<std::size_t> index = list.IndexOfText(textOrData.toString());
    if (!index) index = list.IndexOfValue(textOrData);
    if (!index) return false;
    listIndex = static_cast<int>(*index);
    return true;
}

const TreeNode* Control::Node(const QString& key) const {
    for (const TreeNode& node : nodes)
        if (node.key == key) return &node;
    return nullptr;
}

QStringList GridData::ChoicesFor(int row, int column) const {
    const auto r = static_cast<std::size_t>(row);
    const auto c = static_cast<std::size_t>(column);
    if (row >= 0 && r < rowChoices.size() && column >= 0 && c < rowChoices[r].size() && !rowChoices[r][c].isEmpty())
        return rowChoices[r][c];
    return column >= 0 && c < columnChoices.size() ? columnChoices[c] : QStringList();
}

}  // namespace ov::ui
