#include "gui/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>

namespace ov::gui {

namespace {

QMessageBox::Icon IconOf(ui::Icon icon) {
    switch (icon) {
        case ui::Icon::Critical: return QMessageBox::Critical;
        case ui::Icon::Question: return QMessageBox::Question;
        case ui::Icon::Warning: return QMessageBox::Warning;
        case ui::Icon::Information: return QMessageBox::Information;
        case ui::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ButtonOf(ui::Answer answer) {
    switch (answer) {
        case ui::Answer::OK: return QMessageBox::Ok;
        case ui::Answer::Cancel: return QMessageBox::Cancel;
        case ui::Answer::Abort: return QMessageBox::Abort;
        case ui::Answer::Retry: return QMessageBox::Retry;
        case ui::Answer::Ignore: return QMessageBox::Ignore;
        case ui::Answer::Yes: return QMessageBox::Yes;
        case ui::Answer::No: return QMessageBox::No;
        case ui::Answer::YesToAll: return QMessageBox::YesToAll;
        case ui::Answer::NoToAll: return QMessageBox::NoToAll;
        case ui::Answer::Help: return QMessageBox::Help;
        case ui::Answer::None: break;
    }
    return QMessageBox::Ok;
}

}  // namespace

ui::Answer QtMessageBoxes::Show(const ui::MessageRequest& request) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QMessageBox box(parent);
    box.setIcon(IconOf(request.icon));
    box.setWindowTitle(request.title.isEmpty() ? QGuiApplication::applicationDisplayName() : request.title);
    // Messages quote names people typed; none of it is markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);

    const std::vector<ui::Answer> answers = ui::AnswersOf(request.buttons);
    std::vector<std::pair<QPushButton*, ui::Answer>> buttons;
    for (const ui::Answer answer : answers) buttons.emplace_back(box.addButton(ButtonOf(answer)), answer);
    const std::size_t byDefault =
        request.defaultButton >= 0 && static_cast<std::size_t>(request.defaultButton) < buttons.size()
            ? static_cast<std::size_t>(request.defaultButton)
            : 0;
    box.setDefaultButton(buttons[byDefault].first);
    QPushButton* help = request.helpTopic != 0 ? box.addButton(QMessageBox::Help) : nullptr;
    // Escape answers Cancel or No where offered; Abort/Retry/Ignore cannot be
    // closed without an answer, as people know it from the desktop.
    box.exec();

    if (help && box.clickedButton() == help) return ui::Answer::Help;
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button) return answer;
    return buttons[byDefault].second;
}

}  // namespace ov::gui
