#include "platform/ui/MessageBox.h"

#include "platform/host/HelpViewer.h"
#include "platform/ui/ModalState.h"

namespace ov::ui {

namespace {
MessageBoxHandler* g_handler = nullptr;
}  // namespace

std::vector<Answer> AnswersOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::OK: return {Answer::OK};
        case Buttons::OKCancel: return {Answer::OK, Answer::Cancel};
        case Buttons::AbortRetryIgnore: return {Answer::Abort, Answer::Retry, Answer::Ignore};
        case Buttons::YesNoCancel: return {Answer::Yes, Answer::No, Answer::Cancel};
        case Buttons::YesNo: return {Answer::Yes, Answer::No};
        case Buttons::RetryCancel: return {Answer::Retry, Answer::Cancel};
    }
    return {Answer::OK};
}

QString AnswerName(Answer answer) {
    switch (answer) {
        case Answer::OK: return QStringLiteral("OK");
        case Answer::Cancel: return QStringLiteral("Cancel");
        case Answer::Abort: return QStringLiteral("Abort");
        case Answer::Retry: return QStringLiteral("Retry");
        case Answer::Ignore: return QStringLiteral("Ignore");
        case Answer::Yes: return QStringLiteral("Yes");
        case Answer::No: return QStringLiteral("No");
        case Answer::YesToAll: return QStringLiteral("YesToAll");
        case Answer::NoToAll: return QStringLiteral("NoToAll");
        case Answer::Help: return QStringLiteral("Help");
        case Answer::None: break;
    }
    return QString();
}

Answer ScriptedMessageBoxes::Show(const MessageRequest& request) {
    m_shown.push_back(request);
    const std::vector<Answer> offered = AnswersOf(request.buttons);
    if (!m_answers.empty()) {
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    const auto index = static_cast<std::size_t>(request.defaultButton);
    return index < offered.size() ? offered[index] : offered.front();
}

Answer ScriptedMessageBoxes::TakeQueued() {
    if (m_answers.empty()) return Answer::None;
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

ScriptedMessageBoxes& DefaultMessageBoxes() {
    static ScriptedMessageBoxes scripted;
    return scripted;
}

MessageBoxHandler& CurrentMessageBoxes() { return g_handler ? *g_handler : DefaultMessageBoxes(); }

void InstallMessageBoxes(MessageBoxHandler* handler) { g_handler = handler; }

Answer ShowMessage(const MessageRequest& request) {
    ModalScope open;
    for (;;) {
        const Answer answer = CurrentMessageBoxes().Show(request);
        if (answer != Answer::Help || request.helpTopic == 0) return answer;
        // Help leaves the question open, as it does on the desktop.
        host::ShowContextHelp(request.helpTopic);
    }
}

Answer ShowMessage(const QString& text, const QString& title, Buttons buttons, int defaultButton, Icon icon) {
    return ShowMessage(MessageRequest{text, title, buttons, defaultButton, icon});
}

}  // namespace ov::ui
