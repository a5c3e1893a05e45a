#pragma once

#include <QString>
#include <functional>

namespace ov::ui {

// Runs the handler of something a person did: a key, a click, a menu
// command, a dialog button. A failure that no code on the way handled is
// shown in a message box and the program carries on; gives false then.
// Every entry point of an event from the studio or a renderer goes through
// here, so nothing can end the program from an event handler.
bool RunGuarded(const std::function<void()>& handler);

// The texts of those messages: the title of the editor's message boxes and
// the words for a failure that carries no description of its own.
void SetGuardTexts(const QString& title, const QString& unexpectedFailure);

}  // namespace ov::ui
