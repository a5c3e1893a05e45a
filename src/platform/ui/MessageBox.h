#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace ov::ui {

enum class Buttons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
// YesToAll and NoToAll answer questions that offer them (no message box does).
// Help is the Help button of a message that has a help topic: it shows the
// topic and the message stays.
enum class Answer { None = 0, OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7, YesToAll = 8, NoToAll = 9, Help = 10 };
enum class Icon { None, Critical, Question, Warning, Information };

struct MessageRequest {
    QString text;
    QString title;
    Buttons buttons = Buttons::OK;
    int defaultButton = 0;  // index among the buttons, left to right
    Icon icon = Icon::None;
    int helpTopic = 0;  // not 0: a Help button opens this topic of the session's help
};

// The answers a set of buttons offers, left to right.
std::vector<Answer> AnswersOf(Buttons buttons);
QString AnswerName(Answer answer);  // "OK", "Yes", ...

// Shows a message box and waits for the answer. The program installs its
// Qt dialogs; headless runs and tests use ScriptedMessageBoxes.
class MessageBoxHandler {
public:
    virtual ~MessageBoxHandler() = default;
    virtual Answer Show(const MessageRequest& request) = 0;
};

// Answers from a queue; without a queued answer the default button is taken.
// Every message shown is kept.
class ScriptedMessageBoxes : public MessageBoxHandler {
public:
    Answer Show(const MessageRequest& request) override;
    void Queue(Answer answer) { m_answers.push_back(answer); }
    // The next queued answer for a question of the program's own; None when none is queued.
    Answer TakeQueued();
    const std::vector<MessageRequest>& Shown() const { return m_shown; }
    void Clear() { m_shown.clear(); m_answers.clear(); }

private:
    std::deque<Answer> m_answers;
    std::vector<MessageRequest> m_shown;
};

// The handler in use; a scripted one until the program installs its own.
MessageBoxHandler& CurrentMessageBoxes();
void InstallMessageBoxes(MessageBoxHandler* handler);  // null restores the scripted default
ScriptedMessageBoxes& DefaultMessageBoxes();

Answer ShowMessage(const MessageRequest& request);
Answer ShowMessage(const QString& text, const QString& title = QString(), Buttons buttons = Buttons::OK,
                   int defaultButton = 0, Icon icon = Icon::None);

}  // namespace ov::ui
