#include "platform/system/IniFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

namespace ov::sys {

namespace {

enum class Kind { Blank, Comment, Header, Entry, Other };

struct Parsed {
    Kind kind = Kind::Other;
    QString name;   // the section of a header, the key of an entry
    QString value;  // entries only
};

// Lines stay as the bytes read, so lines we do not change are written back
// exactly, even when they are not valid UTF-8.
struct Line {
    QByteArray raw;  // without its line end
    QByteArray end;  // "\r\n", "\n", or empty for a last line without one
    Parsed parsed;
};

struct Document {
    IniFile::Access access = IniFile::Access::Missing;
    bool bom = false;
    QByteArray lineEnd = "\n";  // for the lines we add: the style of the file
    std::vector<Line> lines;
};

// A section or key ends where its range ends: the lines (header, end).
struct Range {
    qsizetype header = -1;
    qsizetype end = 0;
};

const QByteArray kBom("\xEF\xBB\xBF");

bool SameName(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) == 0; }

Parsed Parse(const QByteArray& raw) {
    const QString text = QString::fromUtf8(raw).trimmed();
    if (text.isEmpty()) return {Kind::Blank, {}, {}};
    const QChar first = text.front();
    if (first == u';' || first == u'#') return {Kind::Comment, {}, {}};
    if (first == u'[') {
        // The last "]" closes the name, so key paths with "]" in them survive.
        // Without one the line still starts a section: its keys must not fall
        // into the section before it.
        const qsizetype close = text.lastIndexOf(u']');
        return {Kind::Header, (close > 0 ? text.mid(1, close - 1) : text.mid(1)).trimmed(), {}};
    }
    const qsizetype equals = text.indexOf(u'=');
    if (equals <= 0) return {Kind::Other, {}, {}};
    QString value = text.mid(equals + 1).trimmed();
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') value = value.mid(1, value.size() - 2);
    return {Kind::Entry, text.left(equals).trimmed(), value};
}

Document Load(const QString& path) {
    Document doc;
    const QFileInfo info(path);
    if (!info.exists()) return doc;
    QFile file(path);
    // Not only folders: a pipe or device would block or never end.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        doc.access = IniFile::Access::Unreadable;
        return doc;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        doc.access = IniFile::Access::Unreadable;
        return doc;
    }
    doc.access = IniFile::Access::Readable;
    if (data.startsWith(kBom)) {
        doc.bom = true;
        data.remove(0, kBom.size());
    }
    bool styleKnown = false;
    qsizetype start = 0;
    while (start < data.size()) {
        Line line;
        const qsizetype newline = data.indexOf('\n', start);
        if (newline < 0) {
            line.raw = data.mid(start);
            start = data.size();
        } else {
            const qsizetype stop = newline > start && data.at(newline - 1) == '\r' ? newline - 1 : newline;
            line.raw = data.mid(start, stop - start);
            line.end = data.mid(stop, newline + 1 - stop);
            start = newline + 1;
            if (!styleKnown) {
                doc.lineEnd = line.end;
                styleKnown = true;
            }
        }
        line.parsed = Parse(line.raw);
        doc.lines.push_back(std::move(line));
    }
    return doc;
}

bool Save(const QString& path, const Document& doc) {
    // The permission bits, not access(): a file marked read-only stays as it
    // is, for an administrator too. QSaveFile alone would replace it through
    // the folder.
    const QFileInfo info(path);
    if (info.exists() && !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        return false;
    QByteArray data;
    if (doc.bom) data += kBom;
    for (const Line& line : doc.lines) data += line.raw + line.end;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

Range FindSection(const Document& doc, const QString& section, qsizetype from = 0) {
    const auto count = static_cast<qsizetype>(doc.lines.size());
    for (qsizetype i = from; i < count; ++i) {
        const Parsed& parsed = doc.lines[i].parsed;
        if (parsed.kind != Kind::Header || !SameName(parsed.name, section)) continue;
        qsizetype end = i + 1;
        while (end < count && doc.lines[end].parsed.kind != Kind::Header) ++end;
        return {i, end};
    }
    return {};
}

qsizetype FindKey(const Document& doc, const Range& range, const QString& key) {
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const Parsed& parsed = doc.lines[i].parsed;
        if (parsed.kind == Kind::Entry && SameName(parsed.name, key)) return i;
    }
    return -1;
}

void Insert(Document& doc, qsizetype index, const QByteArray& raw) {
    Line line{raw, doc.lineEnd, Parse(raw)};
    if (index == static_cast<qsizetype>(doc.lines.size()) && !doc.lines.empty() && doc.lines.back().end.isEmpty()) {
        // The file ended without a line end; so does it afterwards.
        doc.lines.back().end = doc.lineEnd;
        line.end.clear();
    }
    doc.lines.insert(doc.lines.begin() + index, std::move(line));
}

void Erase(Document& doc, qsizetype from, qsizetype to) {
    const bool endedWithout = to == static_cast<qsizetype>(doc.lines.size()) && doc.lines.back().end.isEmpty();
    doc.lines.erase(doc.lines.begin() + from, doc.lines.begin() + to);
    if (endedWithout && !doc.lines.empty()) doc.lines.back().end.clear();
}

bool IsSingleLine(const QString& text) { return !text.contains(u'\n') && !text.contains(u'\r'); }

bool IsSectionName(const QString& name) { return !name.isEmpty() && IsSingleLine(name); }

// A key that would read back as a comment, a header or another key cannot be written.
bool IsKeyName(const QString& name) {
    return !name.isEmpty() && IsSingleLine(name) && !name.contains(u'=') && name.front() != u'[' &&
           name.front() != u';' && name.front() != u'#';
}

// Reading trims values and drops one pair of quotes; quoting such values
// makes them read back exactly as written.
QByteArray EncodedValue(const QString& value) {
    const bool quoted = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
    if (quoted || value != value.trimmed()) return '"' + value.toUtf8() + '"';
    return value.toUtf8();
}

}  // namespace

IniFile::Access IniFile::FileAccess() const { return Load(m_path).access; }

QStringList IniFile::Sections() const {
    QStringList names;
    for (const Line& line : Load(m_path).lines) {
        const Parsed& parsed = line.parsed;
        if (parsed.kind == Kind::Header && !parsed.name.isEmpty() && !names.contains(parsed.name, Qt::CaseInsensitive))
            names.append(parsed.name);
    }
    return names;
}

QStringList IniFile::Keys(const QString& section) const {
    QStringList names;
    const QString sectionName = section.trimmed();
    if (sectionName.isEmpty()) return names;
    const Document doc = Load(m_path);
    const Range range = FindSection(doc, sectionName);
    for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
        const Parsed& parsed = doc.lines[i].parsed;
        if (parsed.kind == Kind::Entry && !names.contains(parsed.name, Qt::CaseInsensitive)) names.append(parsed.name);
    }
    return names;
}

QString IniFile::Read(const QString& section, const QString& key, const QString& defaultValue) const {
    const QString sectionName = section.trimmed();
    if (sectionName.isEmpty()) return defaultValue;
    const Document doc = Load(m_path);
    const Range range = FindSection(doc, sectionName);
    if (range.header < 0) return defaultValue;
    const qsizetype line = FindKey(doc, range, key.trimmed());
    return line < 0 ? defaultValue : doc.lines[line].parsed.value;
}

namespace {

// Sets one entry in a loaded file; false when nothing had to change.
bool ApplyWrite(Document& doc, const QString& sectionName, const QString& keyName, const QByteArray& text) {
    const Range range = FindSection(doc, sectionName);
    if (range.header < 0) {
        if (!doc.lines.empty() && doc.lines.back().parsed.kind != Kind::Blank)
            Insert(doc, static_cast<qsizetype>(doc.lines.size()), QByteArray());
        Insert(doc, static_cast<qsizetype>(doc.lines.size()), '[' + sectionName.toUtf8() + ']');
        Insert(doc, static_cast<qsizetype>(doc.lines.size()), keyName.toUtf8() + '=' + text);
        return true;
    }

    const qsizetype existing = FindKey(doc, range, keyName);
    if (existing >= 0) {
        // Only the value changes: the key as written and the blanks after "=" stay.
        Line& line = doc.lines[existing];
        qsizetype valueStart = line.raw.indexOf('=') + 1;
        while (valueStart < line.raw.size() && (line.raw.at(valueStart) == ' ' || line.raw.at(valueStart) == '\t'))
            ++valueStart;
        const QByteArray changed = line.raw.left(valueStart) + text;
        if (changed == line.raw) return false;
        line.raw = changed;
        line.parsed = Parse(changed);
        return true;
    }

    // After the last key, so comments and blank lines closing the section stay below it.
    qsizetype lastEntry = range.header;
    for (qsizetype i = range.header + 1; i < range.end; ++i)
        if (doc.lines[i].parsed.kind == Kind::Entry) lastEntry = i;
    Insert(doc, lastEntry + 1, keyName.toUtf8() + '=' + text);
    return true;
}

}  // namespace

bool IniFile::Write(const QString& section, const QString& key, const QString& value) {
    return WriteMany(section, {{key, value}});
}

bool IniFile::WriteMany(const QString& section, const std::vector<std::pair<QString, QString>>& entries) {
    const QString sectionName = section.trimmed();
    if (!IsSectionName(sectionName)) return false;
    for (const auto& [key, value] : entries)
        if (!IsKeyName(key.trimmed()) || !IsSingleLine(value)) return false;
    Document doc = Load(m_path);
    if (doc.access == Access::Unreadable) return false;
    bool changed = false;
    for (const auto& [key, value] : entries)
        changed = ApplyWrite(doc, sectionName, key.trimmed(), EncodedValue(value)) || changed;
    return !changed || Save(m_path, doc);
}

bool IniFile::DeleteKey(const QString& section, const QString& key) {
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || keyName.isEmpty()) return true;
    Document doc = Load(m_path);
    if (doc.access == Access::Unreadable) return false;
    const Range range = FindSection(doc, sectionName);
    bool removed = false;
    // Every line of the key goes, or a repeated line would take its place.
    for (qsizetype i = range.end - 1; range.header >= 0 && i > range.header; --i) {
        const Parsed& parsed = doc.lines[i].parsed;
        if (parsed.kind == Kind::Entry && SameName(parsed.name, keyName)) {
            Erase(doc, i, i + 1);
            removed = true;
        }
    }
    return !removed || Save(m_path, doc);
}

bool IniFile::DeleteSection(const QString& section) {
    const QString sectionName = section.trimmed();
    if (sectionName.isEmpty()) return true;
    Document doc = Load(m_path);
    if (doc.access == Access::Unreadable) return false;
    bool removed = false;
    // Every section of the name goes, or a repeated one would take its place.
    for (Range range = FindSection(doc, sectionName); range.header >= 0;
         range = FindSection(doc, sectionName, range.header)) {
        Erase(doc, range.header, range.end);
        removed = true;
    }
    return !removed || Save(m_path, doc);
}

}  // namespace ov::sys
