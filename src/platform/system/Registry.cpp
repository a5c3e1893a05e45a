#include "platform/system/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ov::sys {

namespace {

// "SOFTWARE/Senmark GmbH\\Orvana\4.0\" -> "SOFTWARE\Senmark GmbH\Orvana\4.0"
QString NormalisedKeyPath(const QString& keyPath) {
    QString path = keyPath.trimmed();
    path.replace(u'/', u'\\');
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

QString SectionName(Hive hive, const QString& keyPath) {
    const QString path = NormalisedKeyPath(keyPath);
    return hive == Hive::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER\\") + path : path;
}

QString ValueKey(const QString& valueName) {
    return valueName.trimmed().isEmpty() ? QStringLiteral("@") : valueName;
}

}  // namespace

QString Registry::DefaultFilePath() {
    const QString fromEnvironment = qEnvironmentVariable("OVSTUDIO_REGISTRY");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ovstudio/registry.ini");
}

Registry::Registry() : Registry(DefaultFilePath()) {}

Registry::Registry(const QString& filePath) : m_file(filePath) {}

QString Registry::SectionOf(Hive hive, const QString& keyPath) const {
    // The file is edited by hand too, so its section names get the same
    // lenience as the key paths callers pass.
    const QString wanted = SectionName(hive, keyPath);
    for (const QString& section : m_file.Sections())
        if (QString::compare(NormalisedKeyPath(section), wanted, Qt::CaseInsensitive) == 0) return section;
    return wanted;
}

QString Registry::ReadValue(Hive hive, const QString& keyPath, const QString& valueName,
                            const QString& defaultValue) const {
    if (m_file.FileAccess() == IniFile::Access::Unreadable)
        throw RegistryError(QStringLiteral("The registry file '%1' cannot be read.").arg(m_file.Path()));
    if (NormalisedKeyPath(keyPath).isEmpty()) return defaultValue;
    return m_file.Read(SectionOf(hive, keyPath), ValueKey(valueName), defaultValue);
}

QStringList Registry::SubKeys(Hive hive, const QString& keyPath) const {
    if (m_file.FileAccess() == IniFile::Access::Unreadable)
        throw RegistryError(QStringLiteral("The registry file '%1' cannot be read.").arg(m_file.Path()));
    const QString parent = SectionName(hive, keyPath) + u'\\';
    QStringList names;
    for (const QString& section : m_file.Sections()) {
        const QString path = NormalisedKeyPath(section);
        if (!path.startsWith(parent, Qt::CaseInsensitive)) continue;
        const QString child = path.mid(parent.size()).section(u'\\', 0, 0);
        if (!child.isEmpty() && !names.contains(child, Qt::CaseInsensitive)) names << child;
    }
    return names;
}

bool Registry::WriteValue(Hive hive, const QString& keyPath, const QString& valueName, const QString& value) {
    if (NormalisedKeyPath(keyPath).isEmpty()) return false;
    // A new account has no configuration folder of ours yet.
    QDir().mkpath(QFileInfo(m_file.Path()).absolutePath());
    return m_file.Write(SectionOf(hive, keyPath), ValueKey(valueName), value);
}

}  // namespace ov::sys
