#include "gui/QtProgress.h"

#include <QApplication>
#include <QProgressDialog>

namespace ov::gui {

namespace {
constexpr int kSteps = 1000;  // the bar's resolution, whatever the total
}

QtProgress::QtProgress() = default;
QtProgress::~QtProgress() = default;

void QtProgress::Begin(const QString& title, qint64 total) {
    m_total = total;
    m_dialog = std::make_unique<QProgressDialog>(title, QApplication::translate("QtProgress", "Cancel"), 0, kSteps,
                                                 QApplication::activeWindow());
    m_dialog->setWindowTitle(title);
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setValue(0);
}

bool QtProgress::Advance(qint64 done) {
    if (!m_dialog) return true;
    const int value = m_total > 0 ? static_cast<int>(std::min<qint64>(kSteps, done * kSteps / m_total)) : 0;
    if (value != m_dialog->value()) m_dialog->setValue(value);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !m_dialog->wasCanceled();
}

void QtProgress::End() { m_dialog.reset(); }

}  // namespace ov::gui
