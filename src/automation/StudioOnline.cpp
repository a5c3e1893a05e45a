// The studio object's calls for live values.

#include "automation/StudioObject.h"
#include "editor/frmtabgridOPC.h"
#include "platform/ui/FormPresenter.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace ov::automation {

namespace {

constexpr int kLongestWaitMs = 10 * 60 * 1000;

}  // namespace

bool StudioObject::online(bool on) {
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded."));
    if (window->Online().IsOn() != on) {
        window->ComputeAvailability(window->CurrentNode(), false);
        window->ClickTool(QStringLiteral("mnuViewOnline"));
        AfterEvent();
    }
    return window->Online().IsOn();
}

bool StudioObject::writeValue(int row, const QString& text) {
    editor::frmtabgridOPC* window = Window();
    if (!window) return Fail(QStringLiteral("The editor is not loaded."));
    ui::GridModel& items = window->tdbI();
    if (row < 0 || row >= items.RowCount())
        return Fail(QStringLiteral("Row %1 is outside the grid tdbI (0 to %2).").arg(row).arg(items.RowCount() - 1));
    items.SetCurrentCell(row, std::max(0, items.CurrentColumn()));
    window->ComputeAvailability(window->CurrentNode(), false);
    if (!window->IsToolEnabled(QStringLiteral("mnuItemWriteValue"))) return false;
    m_forms.Once(QStringLiteral("FWriteValue"), [text](ui::Form& form) {
        form.UserSetText(QStringLiteral("txtNewValue"), text);
        form.UserClick(QStringLiteral("cmdOK"));
    });
    window->ClickTool(QStringLiteral("mnuItemWriteValue"));
    AfterEvent();
    return true;
}

void StudioObject::wait(int milliseconds) {
    if (milliseconds < 0 || milliseconds > kLongestWaitMs) {
        Fail(QStringLiteral("wait takes 0 to %1 milliseconds.").arg(kLongestWaitMs));
        return;
    }
    // The window's timers run meanwhile: live values arrive, and a value
    // that arrived shows in the grid's rows.
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(deadline.remainingTime(), 50), &loop, &QEventLoop::quit);
        loop.exec();
    }
    AfterEvent();
}

}  // namespace ov::automation
