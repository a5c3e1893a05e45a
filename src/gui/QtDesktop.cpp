#include "gui/QtDesktop.h"

#include <QApplication>
#include <QCursor>

namespace ov::gui {

namespace {
bool HaveGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }
}  // namespace

void QtDesktop::SetBusy(bool busy) {
    if (busy) {
        ++m_depth;
        if (HaveGui()) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        return;
    }
    // An unbalanced end must not take away a cursor someone else set.
    if (m_depth == 0) return;
    --m_depth;
    if (HaveGui()) QApplication::restoreOverrideCursor();
}

void QtDesktop::Beep() {
    if (HaveGui()) QApplication::beep();
}

void QtDesktop::Reset() {
    while (m_depth > 0) SetBusy(false);
}

}  // namespace ov::gui
