#include "automation/ScriptRunner.h"

#include "automation/ScriptOutput.h"
#include "automation/ScriptSession.h"
#include "automation/StudioObject.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"

#include <QJSEngine>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ov::automation {

namespace {

// Stops the engine when the time is up; ends early when the script does.
class Watchdog {
public:
    Watchdog(QJSEngine& engine, int timeoutMs) {
        if (timeoutMs <= 0) return;
        m_thread = std::thread([this, &engine, timeoutMs] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_finished; })) {
                m_fired = true;
                engine.setInterrupted(true);
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        if (m_thread.joinable()) m_thread.join();
    }
    bool Fired() const { return m_fired; }

private:
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::atomic<bool> m_fired = false;
};

// The script's own answerers replace whatever presents dialogs for as long as it runs.
class PresenterSwap {
public:
    PresenterSwap(ui::FormPresenter& forms, ui::MessageBoxHandler& messages, ui::PopupPresenter& popups)
        : m_forms(&ui::CurrentFormPresenter()), m_messages(&ui::CurrentMessageBoxes()), m_popups(&ui::CurrentPopups()) {
        ui::InstallFormPresenter(&forms);
        ui::InstallMessageBoxes(&messages);
        ui::InstallPopups(&popups);
    }
    ~PresenterSwap() {
        ui::InstallFormPresenter(m_forms);
        ui::InstallMessageBoxes(m_messages);
        ui::InstallPopups(m_popups);
    }

private:
    ui::FormPresenter* m_forms;
    ui::MessageBoxHandler* m_messages;
    ui::PopupPresenter* m_popups;
};

QString Describe(const QJSValue& error, const QString& fileName) {
    const int line = error.property(QStringLiteral("lineNumber")).toInt();
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(error.toString());
}

}  // namespace

ScriptRunner::Result ScriptRunner::Run(const QString& source, const QString& fileName, const QStringList& args, int timeoutMs) {
    ui::ScriptedFormRunner forms;
    ui::ScriptedMessageBoxes messages;
    ui::ScriptedPopups popups;
    PresenterSwap swap(forms, messages, popups);

    QJSEngine engine;
    StudioObject studio(engine, m_session, forms, messages, popups);
    studio.onWarning = onWarning;
    QJSEngine::setObjectOwnership(&studio, QJSEngine::CppOwnership);
    engine.globalObject().setProperty(QStringLiteral("studio"), engine.newQObject(&studio));
    QJSValue argv = engine.newArray(static_cast<uint>(args.size()));
    for (qsizetype i = 0; i < args.size(); ++i) argv.setProperty(static_cast<quint32>(i), args[i]);
    engine.globalObject().setProperty(QStringLiteral("args"), argv);

    // print(...): the arguments as text, separated by blanks, one line each call.
    ScriptOutput output;
    output.sink = onOutput;
    QJSEngine::setObjectOwnership(&output, QJSEngine::CppOwnership);
    engine.globalObject().setProperty(QStringLiteral("__out"), engine.newQObject(&output));
    engine.evaluate(QStringLiteral(
        "this.print = function() {"
        "  __out.write(Array.prototype.map.call(arguments, function(a) {"
        "    return (typeof a === 'object' && a !== null) ? JSON.stringify(a) : String(a); }).join(' '));"
        "};"));

    Watchdog watchdog(engine, timeoutMs);
    const QJSValue result = engine.evaluate(source, fileName);
    if (watchdog.Fired())
        return {false, QStringLiteral("%1: the script ran longer than %2 s and was stopped.").arg(fileName).arg(timeoutMs / 1000)};
    if (result.isError()) return {false, Describe(result, fileName)};
    return {};
}

}  // namespace ov::automation
