// The demo driver's configuration program, as the editor starts it for an
// own-driver device: ovdemodrvk.bin PROJECT DeviceN. It shows the device's
// settings and keeps them in the project's settings. With
// OVDEMODRV_ACCEPT=1 in the environment it stores what it would show and
// ends at once, for unattended runs.

#include "DemoDriverSettings.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QMessageBox::critical(nullptr, QStringLiteral("Demo driver"),
                              QStringLiteral("Usage: ovdemodrvk.bin PROJECT DeviceN"));
        return 2;
    }
    const QString project = args[1];
    const QString section = args[2];
    ov::sys::ProjectSettings settings;
    if (!ov::demodriver::OpenSettings(project, settings)) {
        QMessageBox::critical(nullptr, QStringLiteral("Demo driver"),
                              QStringLiteral("The project %1 cannot be found.").arg(project));
        return 1;
    }

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Modbus TCP demo driver - %1").arg(section));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    std::vector<QLineEdit*> edits;
    for (const auto& setting : ov::demodriver::kSettings) {
        auto* edit = new QLineEdit(
            settings.Read(section, QString::fromUtf8(setting.key), QString::fromUtf8(setting.initial)), &dialog);
        form->addRow(QString::fromUtf8(setting.caption), edit);
        edits.push_back(edit);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    const bool accept = qEnvironmentVariable("OVDEMODRV_ACCEPT") == QStringLiteral("1") || dialog.exec() == QDialog::Accepted;
    if (!accept) return 0;
    for (std::size_t i = 0; i < edits.size(); ++i)
        settings.Write(section, QString::fromUtf8(ov::demodriver::kSettings[i].key), edits[i]->text());
    return 0;
}
