#include "studio/LastShownNodes.h"

#include "platform/db/PgBackend.h"

#include <QFileInfo>
#include <QSettings>

namespace ov::studio {

namespace {

QSettings UserSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ovstudio"), QStringLiteral("studio"));
}

// One key per project below the group: its absolute path (the settings file
// writes its slashes as backslashes and reads them back alike).
QString KeyOf(const QString& projectPath) {
    return QStringLiteral("LastShownNode/") +
           (ov::db::IsServerDataSource(projectPath) ? projectPath : QFileInfo(projectPath).absoluteFilePath());
}

}  // namespace

QString LastShownNodes::Read(const QString& projectPath) {
    if (projectPath.isEmpty()) return QString();
    return UserSettings().value(KeyOf(projectPath)).toString();
}

void LastShownNodes::Write(const QString& projectPath, const QString& nodeKey) {
    if (projectPath.isEmpty()) return;
    QSettings settings = UserSettings();
    if (nodeKey.isEmpty())
        settings.remove(KeyOf(projectPath));
    else
        settings.setValue(KeyOf(projectPath), nodeKey);
}

}  // namespace ov::studio
