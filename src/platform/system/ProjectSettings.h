#pragma once

#include "platform/system/IniFile.h"

#include <QString>
#include <memory>

namespace ov::sys {

class Registry;

// Where this computer keeps its own files of a project on a server (an
// engineer's settings, the values they wrote), which has no folder to keep
// them beside: the user's configuration folder, named by server, port,
// database and project (never by role or password), without an extension.
QString ServerProjectLocalBase(const QString& url);

// The project settings service: settings kept per project in a file beside
// the project file ("/x/plant.ovs" keeps them in "/x/plant.settings.ini").
// Opened with the same project argument the editor gets, a file path or a
// registered project name. Reading from a project without a settings file
// gives the defaults; the file is made by the first Write.
class ProjectSettings {
public:
    // False when the argument is empty or names no registered project; a
    // registry that cannot be read throws RegistryError.
    bool Open(const QString& projectArgument, const Registry& registry);
    void Close() { m_file.reset(); }
    bool IsOpen() const { return m_file != nullptr; }
    // Empty while closed.
    QString FilePath() const { return m_file ? m_file->Path() : QString(); }

    // While closed, Read gives the default and the changes fail.
    QString Read(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    bool Write(const QString& section, const QString& key, const QString& value);
    bool DeleteSection(const QString& section);

    static QString SettingsFileFor(const QString& projectFile);

private:
    // On the heap: GCC 12 at -O2 takes an optional IniFile for uninitialised.
    std::unique_ptr<IniFile> m_file;
};

}  // namespace ov::sys
