#pragma once

#include "platform/system/SaveFileDialog.h"

#include <QString>
#include <deque>
#include <vector>

namespace ov::sys {

// A file dialog with the user's answers given in advance: each Choose takes
// the next queued answer, or cancels when none is left. Every call is kept,
// so a test can check what the user would have been shown.
class ScriptedSaveFileDialog : public SaveFileDialog {
public:
    struct Call {
        int mode = 0;
        QString title;
        QString startFolder;
        QString filter;
        int flags = 0;
        quintptr ownerWindow = 0;
    };

    // An empty answer stands for Cancel.
    void Queue(const QString& answer) { m_answers.push_back(answer); }
    qsizetype PendingAnswers() const { return static_cast<qsizetype>(m_answers.size()); }
    const std::vector<Call>& Calls() const { return m_calls; }

    QString Choose(int mode, const QString& title, const QString& startFolder, const QString& filter, int flags,
                   quintptr ownerWindow) override;

private:
    std::deque<QString> m_answers;
    std::vector<Call> m_calls;
};

}  // namespace ov::sys
