#include "automation/ScriptConsole.h"

#include "automation/ScriptRunner.h"
#include "automation/ScriptSession.h"
#include "host/Connect.h"

namespace ov::automation {

host::Connect*& ScriptConsole::CurrentSession() {
    static host::Connect* session = nullptr;
    return session;
}

bool ScriptConsole::Run(const QString& source, QString& output, QString& error) {
    host::Connect* session = CurrentSession();
    if (!session || !session->Host()) {
        error = QStringLiteral("No project is open in the studio.");
        return false;
    }
    LiveSession live(*session, *session->Host());
    ScriptRunner runner(live);
    runner.onOutput = [&output](const QString& text) { output += text + u'\n'; };
    runner.onWarning = [&output](const QString& text) { output += QStringLiteral("warning: ") + text + u'\n'; };
    const auto result = runner.Run(source, QStringLiteral("console"), {}, 60000);
    error = result.error;
    return result.ok;
}

}  // namespace ov::automation
