#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace ov::automation {

class ScriptSession;

// Runs a JavaScript program against a session: the global "studio", the
// arguments in "args" and print(). While it runs, dialogs, message boxes and
// menus are answered by the script, not by a person.
class ScriptRunner {
public:
    struct Result {
        bool ok = true;
        QString error;  // "file:line: message" when not ok
    };

    explicit ScriptRunner(ScriptSession& session) : m_session(session) {}

    std::function<void(const QString&)> onOutput;   // print()
    std::function<void(const QString&)> onWarning;  // dialogs nobody answered

    // A script that runs longer than timeoutMs is stopped (0: no limit).
    Result Run(const QString& source, const QString& fileName, const QStringList& args, int timeoutMs);

private:
    ScriptSession& m_session;
};

}  // namespace ov::automation
