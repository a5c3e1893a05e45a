#include "gui/QtFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

namespace ov::gui {

namespace {

// "csv-Files (*.csv)|*.csv|All (*.*)|*.*" as Qt writes it: "csv-Files (*.csv);;All (*.*)".
QString QtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = QString(parts[i + 1]).replace(u';', u' ');
        filters << (parts[i].contains(u'(') ? parts[i] : QStringLiteral("%1 (%2)").arg(parts[i], pattern));
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace

QString QtFileDialog::Choose(int mode, const QString& title, const QString& startFolder, const QString& filter,
                             int /*flags*/, quintptr /*ownerWindow*/) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    return mode == kModeSave ? QFileDialog::getSaveFileName(parent, title, startFolder, QtFilter(filter))
                             : QFileDialog::getOpenFileName(parent, title, startFolder, QtFilter(filter));
}

}  // namespace ov::gui
