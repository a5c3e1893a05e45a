#include "platform/system/ProjectSettings.h"

#include "platform/system/ProjectResolution.h"

namespace ov::sys {

QString ProjectSettings::SettingsFileFor(const QString& projectFile) {
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
    m_file = std::make_unique<IniFile>(SettingsFileFor(projectFile));
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
