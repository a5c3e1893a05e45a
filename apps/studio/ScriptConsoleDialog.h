#pragma once

#include "platform/host/COV4Extensibility.h"

#include <QDialog>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace ov::studio {

// The script console: a JavaScript editor with Run, working on the live
// session of the open project; what the script prints shows below.
class ScriptConsoleDialog : public QDialog {
public:
    // console: null when the add-in offers none.
    ScriptConsoleDialog(std::unique_ptr<host::IScriptConsole> console, QWidget* parent = nullptr);
    ~ScriptConsoleDialog() override;

    QPlainTextEdit* Source() const { return m_source; }
    QPlainTextEdit* Output() const { return m_output; }
    QPushButton* RunButton() const { return m_run; }
    void Run();

    // Called after each run, so the studio can show what the script changed.
    std::function<void()> afterRun;

private:
    std::unique_ptr<host::IScriptConsole> m_console;
    QPlainTextEdit* m_source = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QPushButton* m_run = nullptr;
};

}  // namespace ov::studio
