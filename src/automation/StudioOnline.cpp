// The studio object's calls for live values.

#include "automation/StudioObject.h"
#include "editor/frmtabgridOPC.h"
#include "platform/ui/FormPresenter.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJSEngine>
#include <QTimer>
#include <utility>

namespace ov::automation {

namespace {

constexpr int kLongestWaitMs = 10 * 60 * 1000;

// For as long as it lives, types the text into the Write Value dialog when
// the command opens it and hands every other dialog on to the script's
// answerers. A command that opens no dialog (a device that is not online)
// leaves no typing behind for a later one.
class WriteValueTyping : public ui::FormPresenter {
  public:
    WriteValueTyping(ui::ScriptedFormRunner& forms, QString text)
        : m_forms(forms), m_text(std::move(text)), m_previous(ui::CurrentFormPresenter()) {
        ui::InstallFormPresenter(this);
    }
    ~WriteValueTyping() override { ui::InstallFormPresenter(&m_previous); }
    WriteValueTyping(const WriteValueTyping&) = delete;
    WriteValueTyping& operator=(const WriteValueTyping&) = delete;

    void ShowModal(ui::Form& form) override {
        if (!m_opened && form.Name().compare(QStringLiteral("FWriteValue"), Qt::CaseInsensitive) == 0) {
            m_opened = true;
            m_forms.Once(form.Name(), [text = m_text](ui::Form& dialog) {
                dialog.UserSetText(QStringLiteral("txtNewValue"), text);
                dialog.UserClick(QStringLiteral("cmdOK"));
            });
        }
        m_forms.ShowModal(form);
    }
    bool Opened() const { return m_opened; }

  private:
    ui::ScriptedFormRunner& m_forms;
    QString m_text;
    ui::FormPresenter& m_previous;
    bool m_opened = false;
};

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
    bool opened = false;
    {
        WriteValueTyping typing(m_forms, text);
        window->ClickTool(QStringLiteral("mnuItemWriteValue"));
        opened = typing.Opened();
    }
    AfterEvent();
    return opened;
}

void StudioObject::wait(int milliseconds) {
    if (milliseconds < 0 || milliseconds > kLongestWaitMs) {
        Fail(QStringLiteral("wait takes 0 to %1 milliseconds, not %2.").arg(kLongestWaitMs).arg(milliseconds));
        return;
    }
    // The window's timers run meanwhile: live values arrive, and a value
    // that arrived shows in the grid's rows. A script stopped for taking too
    // long stops waiting too.
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired() && !m_engine.isInterrupted()) {
        QEventLoop loop;
        QTimer::singleShot(std::min<qint64>(deadline.remainingTime(), 50), &loop, &QEventLoop::quit);
        loop.exec();
    }
    AfterEvent();
}

}  // namespace ov::automation
