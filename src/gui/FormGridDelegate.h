#pragma once

// How the cells of a form's small grid are edited: cells with values to offer
// in a combo box that also takes free text, all others as Qt edits them.

#include "platform/ui/Form.h"

#include <QStyledItemDelegate>

namespace ov::gui {

class FormGridDelegate : public QStyledItemDelegate {
public:
    FormGridDelegate(const ui::Control& control, QObject* parent) : QStyledItemDelegate(parent), m_control(control) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    const ui::Control& m_control;
};

}  // namespace ov::gui
