#include "gui/QtFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QMimeDatabase>
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

// Icons and type names told by the file name alone. Qt's own provider
// reads a file whose extension it does not know to guess its type; for the
// open project (its database, write-ahead log and shared memory beside it)
// closing that read drops every lock this program holds on the file, and
// another program could then take the log away under the editor.
class NameOnlyIconProvider : public QFileIconProvider {
  public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override {
        return QFileIconProvider::icon(info.isDir() ? QFileIconProvider::Folder : QFileIconProvider::File);
    }
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QFileIconProvider::type(info);
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
    }
};

}  // namespace

QString QtFileDialog::Choose(int mode, const QString& title, const QString& startFolder, const QString& filter,
                             int /*flags*/, quintptr /*ownerWindow*/) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent) parent = QApplication::activeWindow();
    QFileDialog dialog(parent, title, startFolder, QtFilter(filter));
    NameOnlyIconProvider icons;
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(mode == kModeSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(mode == kModeSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace ov::gui
