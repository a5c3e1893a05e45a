#include "platform/system/ProjectSettings.h"

#include "platform/db/PgBackend.h"
#include "platform/system/ProjectResolution.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace ov::sys {

QString ServerProjectLocalBase(const QString& url) {
    const QUrl parsed(url);
    QString name = QStringLiteral("%1_%2%3_%4")
                       .arg(parsed.host(), QString::number(parsed.port(5432)), parsed.path(),
                            QUrlQuery(parsed).queryItemValue(QStringLiteral("project")));
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    // The studio's and ovopc's alike, so a value written by either lands in one log.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ovstudio/server-projects/") + name;
}

QString ProjectSettings::SettingsFileFor(const QString& projectFile) {
    // A server project keeps each engineer's settings on their own computer.
    if (db::IsServerDataSource(projectFile)) return ServerProjectLocalBase(projectFile) + QStringLiteral(".settings.ini");
    // Only the extension goes: "plant.v2.ovs" keeps its "plant.v2".
    QString base = projectFile;
    if (base.endsWith(QStringLiteral(".ovs"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".settings.ini");
}

bool ProjectSettings::Open(const QString& projectArgument, const Registry& registry) {
    Close();
    const QString projectFile = ResolveProjectFile(projectArgument, registry);
    if (projectFile.isEmpty()) return false;
    // A name without a registered folder has no project beside which to keep settings.
    if (IsProjectName(projectArgument) && RegisteredProjectFolder(projectArgument, registry).isEmpty()) return false;
    const QString file = SettingsFileFor(projectFile);
    if (db::IsServerDataSource(projectFile)) QDir().mkpath(QFileInfo(file).absolutePath());
    m_file = std::make_unique<IniFile>(file);
    return true;
}

QString ProjectSettings::Read(const QString& section, const QString& key, const QString& defaultValue) const {
    return m_file ? m_file->Read(section, key, defaultValue) : defaultValue;
}

bool ProjectSettings::Write(const QString& section, const QString& key, const QString& value) {
    return m_file && m_file->Write(section, key, value);
}

bool ProjectSettings::DeleteSection(const QString& section) { return m_file && m_file->DeleteSection(section); }

}  // namespace ov::sys
