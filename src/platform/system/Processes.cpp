#include "platform/system/Processes.h"

#include "platform/ui/ModalState.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

namespace ov::sys {

namespace {
constexpr int kWaitMs = 200;  // between two looks at the program
}

bool RunAndWait(const QString& program, const QStringList& arguments, QString* error) {
    QProcess process;
    // The program's output belongs to it, not to our console or log.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        if (error) *error = process.errorString();
        return false;
    }
    // The editor's own windows ignore events meanwhile, as behind a dialog.
    ui::ModalScope waiting;
    while (!process.waitForFinished(kWaitMs)) {
        if (process.state() == QProcess::NotRunning) break;
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kWaitMs);
    }
    return true;
}

}  // namespace ov::sys
