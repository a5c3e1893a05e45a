#include "tools/CsvTransfer.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Field.h"
#include "platform/db/Recordset.h"
#include "tools/Cp1252.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <cmath>
#include <optional>

namespace ov::tools {

namespace {

constexpr int kMaxFields = 31;
constexpr qint64 kProgressEvery = 1000;
constexpr int kIdChunk = 500;
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

QByteArray Encode(const QString& text, CsvEncoding encoding) {
    return encoding == CsvEncoding::Ansi ? EncodeCp1252(text) : text.toUtf8();
}

QString LineOf(db::Recordset& rs, const std::vector<FieldKind>& kinds, const QLocale& locale) {
    QString line;
    for (int i = 0; i < static_cast<int>(kinds.size()); ++i) {
        if (i > 0) line += u';';
        line += FormatField(rs.Fields(i).Value(), kinds[static_cast<std::size_t>(i)], locale);
    }
    line += QStringLiteral("\r\n");
    return line;
}

std::vector<FieldKind> KindsOf(db::Recordset& rs, db::Connection& connection) {
    // The kinds come from the table's declared types, by column name.
    QHash<QString, FieldKind> byName;
    for (const CsvColumn& column : ItemColumns(connection)) byName.insert(column.name.toCaseFolded(), column.kind);
    std::vector<FieldKind> kinds;
    for (int i = 0; i < rs.FieldCount(); ++i)
        kinds.push_back(byName.value(rs.Fields(i).Name().toCaseFolded(), FieldKind::Text));
    return kinds;
}

// Writes what the rows give, replacing the file only at the end.
class CsvWriter {
  public:
    CsvWriter(const QString& path, CsvEncoding encoding) : m_file(path), m_encoding(encoding) {}

    bool Open(QString* error) {
        if (!m_file.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
            return false;
        }
        if (m_encoding == CsvEncoding::Utf8WithBom) m_file.write(kUtf8Bom);
        return true;
    }
    void Add(const QString& line) {
        m_pending += line;
        if (m_pending.size() > 64 * 1024) Flush();
    }
    bool Commit(QString* error) {
        Flush();
        if (m_file.commit()) return true;
        *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }

  private:
    void Flush() {
        m_file.write(Encode(m_pending, m_encoding));
        m_pending.clear();
    }

    QSaveFile m_file;
    CsvEncoding m_encoding;
    QString m_pending;
};

}  // namespace

std::vector<CsvColumn> ItemColumns(db::Connection& connection) {
    std::vector<CsvColumn> columns;
    for (const db::ColumnInfo& info : connection.Columns(QStringLiteral("TpdbItems")))
        columns.push_back({info.name, info.type, FieldKindOf(info.type)});
    return columns;
}

bool IsValidImportMode(int mode) { return mode >= 0 && mode <= 7 && mode != 4; }

ExportResult ExportItemsBySql(db::Connection& connection, const QString& select, const QString& path,
                              CsvEncoding encoding, const QLocale& locale, const CsvProgress& progress) {
    ExportResult result;
    try {
        db::Recordset rs;
        rs.Open(select, connection);
        const std::vector<FieldKind> kinds = KindsOf(rs, connection);
        CsvWriter writer(path, encoding);
        if (!writer.Open(&result.error)) return result;
        const qint64 total = rs.RecordCount();
        for (; !rs.IsEOF(); rs.MoveNext()) {
            writer.Add(LineOf(rs, kinds, locale));
            if (++result.rows % kProgressEvery == 0 && progress && !progress(result.rows, total)) {
                result.error = QStringLiteral("The export was stopped; the file was not written.");
                return result;
            }
        }
        if (!writer.Commit(&result.error)) result.rows = 0;
    } catch (const db::DbError& e) {
        result.error = e.Description();
    }
    return result;
}

ExportResult ExportItemsById(db::Connection& connection, const std::vector<int>& ids, const QString& path,
                             CsvEncoding encoding, const QLocale& locale, const CsvProgress& progress) {
    ExportResult result;
    try {
        CsvWriter writer(path, encoding);
        if (!writer.Open(&result.error)) return result;
        // Read in chunks, written in the order the IDs were given.
        for (std::size_t start = 0; start < ids.size(); start += kIdChunk) {
            const std::size_t end = std::min(ids.size(), start + kIdChunk);
            QStringList list;
            for (std::size_t i = start; i < end; ++i) list << QString::number(ids[i]);
            db::Recordset rs;
            rs.Open(QStringLiteral("SELECT * FROM TpdbItems WHERE ID IN (%1)").arg(list.join(u',')), connection);
            const std::vector<FieldKind> kinds = KindsOf(rs, connection);
            QHash<int, QString> lines;
            for (; !rs.IsEOF(); rs.MoveNext()) lines.insert(rs.Fields(0).Value().toInt(), LineOf(rs, kinds, locale));
            for (std::size_t i = start; i < end; ++i) {
                const auto line = lines.constFind(ids[i]);
                if (line == lines.cend()) continue;  // deleted meanwhile
                writer.Add(*line);
                ++result.rows;
            }
            if (progress && !progress(static_cast<qint64>(end), static_cast<qint64>(ids.size()))) {
                result.error = QStringLiteral("The export was stopped; the file was not written.");
                return result;
            }
        }
        if (!writer.Commit(&result.error)) result.rows = 0;
    } catch (const db::DbError& e) {
        result.error = e.Description();
    }
    return result;
}

namespace {

// One accepted line: where it is in the file, so that the whole file never
// has to be held, and the two fields the modes look at.
struct KeptLine {
    qint64 index = 0;
    qint64 offset = 0;
    qint64 length = 0;
    qint64 id = 0;
    qint64 thirdField = 0;
};

class CsvReader {
  public:
    explicit CsvReader(const QString& path) : m_file(path) {}

    bool Open(QString* error) {
        if (!m_file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(m_file.fileName(), m_file.errorString());
            return false;
        }
        const QByteArray head = m_file.peek(4);
        if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
            *error = QStringLiteral("%1 is written in UTF-16; save it as ANSI (Windows-1252) or UTF-8 text.")
                         .arg(m_file.fileName());
            return false;
        }
        if (head.startsWith(kUtf8Bom)) {
            m_utf8 = true;
            m_file.seek(kUtf8Bom.size());
        }
        return true;
    }
    qint64 Size() const { return m_file.size(); }
    qint64 Position() const { return m_file.pos(); }
    bool AtEnd() const { return m_file.atEnd(); }

    // The next line without its CR LF (a lone LF ends a line too).
    QByteArray NextLine() {
        QByteArray line = m_file.readLine();
        if (line.endsWith('\n')) line.chop(1);
        if (line.endsWith('\r')) line.chop(1);
        return line;
    }
    QByteArray LineAt(qint64 offset, qint64 length) {
        m_file.seek(offset);
        return m_file.read(length);
    }
    QString Decode(const QByteArray& bytes) const { return m_utf8 ? QString::fromUtf8(bytes) : DecodeCp1252(bytes); }

  private:
    QFile m_file;
    bool m_utf8 = false;
};

struct Statements {
    QString insert;
    QString update;
    std::vector<std::size_t> written;  // the columns after ID that receive values
};

Statements StatementsFor(const std::vector<CsvColumn>& columns) {
    Statements s;
    QStringList names, marks, sets;
    for (std::size_t i = 1; i < columns.size(); ++i) {
        if (columns[i].kind == FieldKind::Other) continue;
        s.written.push_back(i);
        const QString name = u'[' + columns[i].name + u']';
        names << name;
        marks << QStringLiteral("?");
        sets << name + QStringLiteral(" = ?");
    }
    s.insert = QStringLiteral("INSERT INTO TpdbItems (%1) VALUES (%2)").arg(names.join(u','), marks.join(u','));
    s.update = QStringLiteral("UPDATE TpdbItems SET %1 WHERE ID = ?").arg(sets.join(u','));
    return s;
}

// The values of a line's fields for the written columns; nothing with the
// reason when a field cannot be taken.
std::optional<std::vector<QVariant>> ValuesOf(const QStringList& fields, const std::vector<CsvColumn>& columns,
                                              const Statements& statements, QString* error) {
    std::vector<QVariant> values;
    values.reserve(statements.written.size() + 1);
    for (const std::size_t column : statements.written) {
        QString why;
        const auto value = ImportField(fields[static_cast<qsizetype>(column)], columns[column].kind, columns[column].type, &why);
        if (!value) {
            *error = QStringLiteral("field %1 (%2): %3").arg(column).arg(columns[column].name, why);
            return std::nullopt;
        }
        values.push_back(value->value);
    }
    return values;
}

// Thrown when the person stops the import; the transaction is rolled back.
struct Stopped {};

qint64 WholeNumber(const QString& field) {
    const std::optional<double> number = LeadingNumber(field);
    return number && std::fabs(*number) < 9.2e18 ? static_cast<qint64>(*number) : 0;
}

}  // namespace

ImportResult ImportItems(db::Connection& connection, const QString& path, int mode, const ImportScope& scope,
                         const std::function<QString(qint64)>& rejectText, const CsvProgress& progress) {
    ImportResult result;
    if (!IsValidImportMode(mode)) {
        result.fileError = QStringLiteral("There is no import mode %1 (0 to 3 and 5 to 7).").arg(mode);
        return result;
    }
    CsvReader reader(path);
    if (!reader.Open(&result.fileError)) return result;
    const std::vector<CsvColumn> columns = ItemColumns(connection);
    const Statements statements = StatementsFor(columns);
    const qint64 total = reader.Size();
    const auto stopped = [&](qint64 done) {
        return progress && !progress(done, total);
    };

    // First pass: check every line; keep where the good ones are.
    std::vector<KeptLine> kept;
    for (qint64 index = 0; !reader.AtEnd(); ++index) {
        const qint64 offset = reader.Position();
        const QByteArray bytes = reader.NextLine();
        if (bytes.contains('\0')) {
            result.fileError = QStringLiteral("%1 is no text file (line %2 holds a NUL byte).").arg(path).arg(index);
            return result;
        }
        const QString line = reader.Decode(bytes);
        if (line.trimmed().isEmpty()) continue;
        bool unterminated = false;
        const QStringList fields = SplitCsvLine(line, kMaxFields, &unterminated);
        if (fields.size() != static_cast<qsizetype>(columns.size())) {
            result.rejected << rejectText(index);
            continue;
        }
        QString why;
        if (unterminated) {
            result.rejected << QStringLiteral("Line %1: a double quote is not closed.").arg(index);
            continue;
        }
        if (!ValuesOf(fields, columns, statements, &why)) {
            result.rejected << QStringLiteral("Line %1: %2.").arg(index).arg(why);
            continue;
        }
        kept.push_back({index, offset, static_cast<qint64>(bytes.size()), WholeNumber(fields[0]),
                        fields.size() > 2 ? WholeNumber(fields[2]) : 0});
        if (index % kProgressEvery == 0 && stopped(offset / 2)) {
            result.cancelled = true;
            return result;
        }
    }

    // Second pass: every kept line in one transaction.
    const auto valuesAt = [&](const KeptLine& line) {
        QString ignored;
        return *ValuesOf(SplitCsvLine(reader.Decode(reader.LineAt(line.offset, line.length)), kMaxFields), columns,
                         statements, &ignored);
    };
    std::vector<bool> done(kept.size(), false);
    qint64 applied = 0;
    const auto step = [&] {
        return ++applied % kProgressEvery != 0 || !stopped(total / 2 + total / 2 * applied / std::max<qint64>(1, kept.size()));
    };
    qint64 currentLine = -1;
    try {
        connection.BeginTrans();
        try {
            const auto update = [&](std::size_t k) {
                currentLine = kept[k].index;
                std::vector<QVariant> values = valuesAt(kept[k]);
                values.push_back(kept[k].id);
                const bool found = connection.Execute(statements.update, values) > 0;
                if (found) ++result.updated;
                return found;
            };
            const int base = mode > 4 ? mode - 4 : mode;
            if (base == 1) {
                const QSet<qint64> selected(scope.selectedIds.begin(), scope.selectedIds.end());
                for (std::size_t k = 0; k < kept.size(); ++k) {
                    if (!selected.contains(kept[k].id)) continue;
                    update(k);
                    done[k] = true;  // a selected line never becomes a new item
                    if (!step()) throw Stopped{};
                }
            } else if (base == 2 || base == 3) {
                for (std::size_t k = kept.size(); k-- > 0;) {
                    if (base == 2 && kept[k].thirdField != scope.viewId) continue;
                    done[k] = update(k);
                    if (!step()) throw Stopped{};
                }
            }
            if (mode == 0 || mode > 4) {
                for (std::size_t k = 0; k < kept.size(); ++k) {
                    if (done[k]) continue;
                    currentLine = kept[k].index;
                    connection.Execute(statements.insert, valuesAt(kept[k]));
                    ++result.inserted;
                    if (!step()) throw Stopped{};
                }
            }
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
    } catch (const db::DbError& e) {
        result.dbError = QStringLiteral("Line %1: %2").arg(currentLine).arg(e.Description());
    } catch (const Stopped&) {
        result.cancelled = true;
    }
    if (!result.Applied()) result.updated = result.inserted = 0;
    return result;
}

}  // namespace ov::tools
