// ovstudio: the engineering studio that hosts the editor add-in.

#include "studio/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

namespace {

// Long enough for the window to appear and the editor to settle.
constexpr int kScreenshotDelayMs = 1500;
constexpr int kRepaintDelayMs = 500;

void PrintError(const QString& text) { std::fprintf(stderr, "ovstudio: %s\n", qPrintable(text)); }

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ovstudio"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Engineering studio with the process-variable editor."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Project file (.ovs) to open."), QStringLiteral("[FILE]"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Open the first item folder, save a picture of the window to PATH and quit."),
        QStringLiteral("PATH"));
    parser.addOption(screenshotOption);
    const QCommandLineOption readOnlyOption(
        QStringLiteral("read-only"), QStringLiteral("Open FILE for viewing only: nothing writes to it or its folder."));
    parser.addOption(readOnlyOption);
    const QCommandLineOption scriptOption(
        QStringLiteral("script"),
        QStringLiteral("Run the script PATH on the open project once the window is shown, as the script console "
                       "does; its output goes to stdout, an error to stderr."),
        QStringLiteral("PATH"));
    parser.addOption(scriptOption);
    parser.process(app);

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        PrintError(QStringLiteral("give at most one project file."));
        return 2;
    }
    const QString screenshot = parser.value(screenshotOption);

    ov::studio::MainWindow window;
    // Nobody is there to close a message box during an unattended screenshot.
    if (!screenshot.isEmpty())
        window.SetMessageHandler([](const QString& title, const QString& text) {
            PrintError(title + QStringLiteral(": ") + QString(text).replace(u'\n', u' '));
        });
    window.show();
    window.LoadAddin();
    if (!files.isEmpty()) window.OpenProject(files.front(), parser.isSet(readOnlyOption));

    const QString script = parser.value(scriptOption);
    const auto takeScreenshot = [&window, &screenshot] {
        QTimer::singleShot(kRepaintDelayMs, &window, [&window, &screenshot] {
            const bool saved = window.SaveScreenshot(screenshot);
            if (saved)
                std::fprintf(stdout, "ovstudio: screenshot saved to %s\n", qPrintable(screenshot));
            else
                PrintError(QStringLiteral("could not save the screenshot to %1").arg(screenshot));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    };
    if (!script.isEmpty()) {
        // The script chooses what to show; the picture is taken once it ended.
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, script, &screenshot, takeScreenshot] {
            QString output, error;
            const bool ran = window.RunScriptFile(script, output, error);
            std::fputs(qPrintable(output), stdout);
            std::fflush(stdout);
            if (!ran) PrintError(QStringLiteral("the script %1 stopped: %2").arg(script, error));
            if (!screenshot.isEmpty()) takeScreenshot();
        });
    } else if (!screenshot.isEmpty()) {
        QTimer::singleShot(kScreenshotDelayMs, &window, [&window, takeScreenshot] {
            window.ShowFirstItemFolder();
            takeScreenshot();
        });
    }
    return QApplication::exec();
}
