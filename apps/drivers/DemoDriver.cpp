// The demo driver: tells what it would connect to for a device of a project.
// Usage: ovdemodrv.bin PROJECT DeviceN

#include "DemoDriverSettings.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: ovdemodrv.bin PROJECT DeviceN\n");
        return 2;
    }
    ov::sys::ProjectSettings settings;
    if (!ov::demodriver::OpenSettings(args[1], settings)) {
        std::fprintf(stderr, "ovdemodrv: the project %s has no settings\n", qPrintable(args[1]));
        return 1;
    }
    std::printf("%s of %s:\n", qPrintable(args[2]), qPrintable(args[1]));
    for (const auto& setting : ov::demodriver::kSettings)
        std::printf("  %s = %s\n", setting.key,
                    qPrintable(settings.Read(args[2], QString::fromUtf8(setting.key), QString::fromUtf8(setting.initial))));
    return 0;
}
