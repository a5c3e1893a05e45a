#pragma once

#include <QString>
#include <utility>
#include <vector>
#include <QStringList>

namespace ov::sys {

// An INI file with the behaviour of the Windows private-profile calls: section
// and key names compare without regard to letter case, a missing file, section
// or key gives the caller's default. Other programs may change the file at any
// time, so every call reads it again (these files are small). Writing keeps
// every line it does not change byte for byte: comments, blank lines, unknown
// lines, the order of keys, the UTF-8 BOM and the line ends.
class IniFile {
public:
    enum class Access {
        Missing,     // reads as an empty file; writing creates it
        Readable,
        Unreadable,  // exists but cannot be read (a folder, no permission)
    };

    explicit IniFile(const QString& path) : m_path(path) {}

    const QString& Path() const { return m_path; }
    Access FileAccess() const;
    // False only when the file exists but cannot be read; a missing file is fine.
    bool IsReadable() const { return FileAccess() != Access::Unreadable; }

    // Names as written in the file, in file order; a name repeated in another
    // letter case is listed once, as first written.
    QStringList Sections() const;
    QStringList Keys(const QString& section) const;

    // The text after the first "=", trimmed and without one pair of enclosing
    // double quotes. When a section or key occurs twice, the first one counts.
    QString Read(const QString& section, const QString& key, const QString& defaultValue = QString()) const;

    // Each gives false when the file cannot be written or is marked read-only,
    // when it cannot be read (a file we could not read is never replaced), or
    // when a name or value does not fit in an INI line (line breaks, "=" in a
    // key). The file is replaced as a whole, so a crash leaves either the old
    // or the new file.
    bool Write(const QString& section, const QString& key, const QString& value);
    // Several entries of one section in one go: the file is written once.
    bool WriteMany(const QString& section, const std::vector<std::pair<QString, QString>>& entries);
    // Deleting what is not there succeeds without touching the file.
    bool DeleteKey(const QString& section, const QString& key);
    // Removes every section of that name, header and lines up to the next header.
    bool DeleteSection(const QString& section);

private:
    QString m_path;
};

}  // namespace ov::sys
