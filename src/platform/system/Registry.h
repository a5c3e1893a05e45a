#pragma once

#include "platform/system/IniFile.h"
#include "platform/system/RegistryError.h"

#include <QString>
#include <QStringList>

namespace ov::sys {

enum class Hive { LocalMachine, CurrentUser };

// The installation's registry values, kept in an INI file: a key is a section
// named by its path under HKEY_LOCAL_MACHINE ("SOFTWARE\Senmark GmbH\Orvana\4.0"),
// a value is a line of it ("LCID=1033"). Keys of HKEY_CURRENT_USER carry the
// prefix "HKEY_CURRENT_USER\". A value with no name (the key's default value)
// is the line "@=...".
//
// A Registry is only a handle to the file; copies refer to the same values.
class Registry {
public:
    // The file named by OVSTUDIO_REGISTRY, else registry.ini in the "ovstudio"
    // folder of the user's configuration folder.
    static QString DefaultFilePath();

    Registry();
    explicit Registry(const QString& filePath);

    const QString& FilePath() const { return m_file.Path(); }

    // Key paths and value names compare without regard to letter case; "\" and
    // "/" both separate keys, and separators at either end do not count.
    // A missing file, key or value gives the default; lines that are not values
    // are ignored. Throws RegistryError when the file exists but cannot be read.
    QString ReadValue(Hive hive, const QString& keyPath, const QString& valueName,
                      const QString& defaultValue = QString()) const;

    // Creates the file, the key and the value as needed; false when the file
    // cannot be written or read, or the name or value does not fit in a line.
    bool WriteValue(Hive hive, const QString& keyPath, const QString& valueName, const QString& value);

    // The names of the keys directly below a key, in file order, each once
    // whatever its letter case. A key counts when it or a key below it has
    // a section. Throws RegistryError when the file cannot be read.
    QStringList SubKeys(Hive hive, const QString& keyPath) const;

private:
    // The section that holds the key, as spelled in the file, or the key's
    // normalised name when the file has no such section.
    QString SectionOf(Hive hive, const QString& keyPath) const;

    IniFile m_file;
};

}  // namespace ov::sys
