#include "platform/ui/EventGuard.h"

#include "platform/db/DbError.h"
#include "platform/ui/MessageBox.h"

#include <exception>

namespace ov::ui {

namespace {

QString g_title;
QString g_unexpected = QStringLiteral("Unexpected error");

void Report(const QString& text) {
    try {
        ShowMessage(text.isEmpty() ? g_unexpected : text, g_title, Buttons::OK, 0, Icon::Critical);
    } catch (...) {
        // Showing the failure failed as well; nothing more can be done for it.
    }
}

}  // namespace

bool RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const db::DbError& e) {
        Report(e.Description());
    } catch (const std::exception& e) {
        Report(QString::fromUtf8(e.what()));
    } catch (...) {
        Report(QString());
    }
    return false;
}

void SetGuardTexts(const QString& title, const QString& unexpectedFailure) {
    g_title = title;
    if (!unexpectedFailure.isEmpty()) g_unexpected = unexpectedFailure;
}

}  // namespace ov::ui
