#include "studio/EditorArea.h"

#include <QChildEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace ov::studio {

EditorArea::EditorArea(QWidget* parent) : QWidget(parent) {
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_hint = new QLabel(QStringLiteral("Select an item node in the project tree to open the editor."), this);
    m_hint->setAlignment(Qt::AlignCenter);
    m_hint->setWordWrap(true);
    m_hint->setObjectName(QStringLiteral("editorHint"));
    m_layout->addWidget(m_hint);
}

bool EditorArea::HasEditor() const {
    for (const QObject* child : children()) {
        if (!child->isWidgetType() || child == m_hint) continue;
        if (!static_cast<const QWidget*>(child)->isWindow()) return true;
    }
    return false;
}

void EditorArea::UpdateHint() {
    if (m_hint) m_hint->setVisible(!HasEditor());
}

void EditorArea::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    // A widget announces itself before it is fully made and leaves while it
    // is being destroyed: look once the event loop has settled.
    if ((event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) && event->child() != m_hint)
        QMetaObject::invokeMethod(this, &EditorArea::UpdateHint, Qt::QueuedConnection);
}

}  // namespace ov::studio
