#include "tools/CsvTransfer.h"

#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DbError.h"
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

// A row as a line of fields, ended by CR LF.
void AppendLine(QString& out, const db::Cursor& row, const std::vector<FieldKind>& kinds, const QLocale& locale) {
    for (int i = 0; i < static_cast<int>(kinds.size()); ++i) {
        if (i > 0) out += u';';
        out += FormatField(row.Value(i), kinds[static_cast<std::size_t>(i)], locale);
    }
    out += QStringLiteral("\r\n");
}

std::vector<FieldKind> KindsOf(const db::Cursor& rows, db::Connection& connection) {
    // The kinds come from the table's declared types, by column name.
    QHash<QString, FieldKind> byName;
    for (const CsvColumn& column : ItemColumns(connection)) byName.insert(column.name.toCaseFolded(), column.kind);
    std::vector<FieldKind> kinds;
    for (int i = 0; i < rows.ColumnCount(); ++i)
        kinds.push_back(byName.value(rows.ColumnName(i).toCaseFolded(), FieldKind::Text));
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
        FlushWhenFull();
    }
    // The text being gathered, for a line to be appended in place.
    QString& Pending() { return m_pending; }
    void FlushWhenFull() {
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
        qint64 total = 0;
        if (progress) {
            db::Cursor count(connection, QStringLiteral("SELECT Count(*) FROM (%1) AS counted").arg(select));
            if (count.Next()) total = count.Value(0).toLongLong();
        }
        db::Cursor rows(connection, select);
        const std::vector<FieldKind> kinds = KindsOf(rows, connection);
        CsvWriter writer(path, encoding);
        if (!writer.Open(&result.error)) return result;
        while (rows.Next()) {
            AppendLine(writer.Pending(), rows, kinds, locale);
            writer.FlushWhenFull();
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
            db::Cursor rows(connection, QStringLiteral("SELECT * FROM TpdbItems WHERE ID IN (%1)").arg(list.join(u',')));
            const std::vector<FieldKind> kinds = KindsOf(rows, connection);
            QHash<int, QString> lines;
            while (rows.Next()) {
                QString line;
                AppendLine(line, rows, kinds, locale);
                lines.insert(rows.Value(0).toInt(), line);
            }
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

// One accepted line: its index in the file and the two fields the modes look at.
struct KeptLine {
    qint64 index = 0;
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

    // The next record without its CR LF (a lone LF ends a line too): one
    // line, or several where a quoted field holds line breaks, which then
    // stay in the field as they are. A quote still open at the end of the
    // file takes only its first line; the lines after it are read again.
    struct Record {
        QByteArray bytes;
        qint64 line = 0;  // the index of its first line, counted from 0
        bool unterminated = false;
    };
    Record NextRecord() {
        Record record{m_file.readLine(), m_line++};
        if (ReadsQuotedFields(Decode(record.bytes))) {
            QuoteScanner quotes;
            quotes.Feed(Decode(record.bytes));
            const qint64 afterFirstLine = m_file.pos();
            const qsizetype firstLineSize = record.bytes.size();
            qint64 lines = 1;
            while (quotes.Open() && !m_file.atEnd()) {
                const QByteArray more = m_file.readLine();
                quotes.Feed(Decode(more));
                record.bytes += more;
                ++lines;
            }
            if (quotes.Open()) {
                record.bytes.truncate(firstLineSize);
                record.unterminated = true;
                m_file.seek(afterFirstLine);
            } else {
                m_line += lines - 1;
            }
        }
        if (record.bytes.endsWith('\n')) record.bytes.chop(1);
        if (record.bytes.endsWith('\r')) record.bytes.chop(1);
        return record;
    }
    QString Decode(const QByteArray& bytes) const { return m_utf8 ? QString::fromUtf8(bytes) : DecodeCp1252(bytes); }

  private:
    QFile m_file;
    bool m_utf8 = false;
    qint64 m_line = 0;
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

namespace {

// Reads every line, rejecting the bad ones with their reason, and hands each
// good one with its values to take (false from take or from progress stops).
enum class ReadOutcome { Done, NoText, Stopped };
ReadOutcome ReadLines(CsvReader& reader, const std::vector<CsvColumn>& columns, const Statements& statements,
                      const std::function<QString(qint64)>& rejectText, ImportResult& result,
                      const std::function<bool(KeptLine&, const QByteArray&, std::vector<QVariant>&)>& take) {
    while (!reader.AtEnd()) {
        const CsvReader::Record record = reader.NextRecord();
        const qint64 index = record.line;
        const QByteArray& bytes = record.bytes;
        if (bytes.contains('\0')) {
            result.fileError = QStringLiteral("The file is no text file (line %1 holds a NUL byte).").arg(index);
            return ReadOutcome::NoText;
        }
        const QString line = reader.Decode(bytes);
        if (line.trimmed().isEmpty()) continue;
        bool unterminated = record.unterminated;
        const QStringList fields = SplitCsvLine(line, kMaxFields, unterminated ? nullptr : &unterminated);
        if (fields.size() != static_cast<qsizetype>(columns.size())) {
            result.rejected << rejectText(index);
            continue;
        }
        if (unterminated) {
            result.rejected << QStringLiteral("Line %1: a double quote is not closed.").arg(index);
            continue;
        }
        QString why;
        std::optional<std::vector<QVariant>> values = ValuesOf(fields, columns, statements, &why);
        if (!values) {
            result.rejected << QStringLiteral("Line %1: %2.").arg(index).arg(why);
            continue;
        }
        KeptLine kept{index, WholeNumber(fields[0]), WholeNumber(fields[2])};
        if (!take(kept, bytes, *values)) return ReadOutcome::Stopped;
    }
    return ReadOutcome::Done;
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
    qint64 steps = 0;
    // Progress by the share of the file read; the second pass of the update
    // modes counts as the second half.
    const auto advance = [&](qint64 done) {
        return ++steps % kProgressEvery != 0 || !progress || progress(done, total);
    };
    qint64 currentLine = -1;
    try {
        connection.BeginTrans();
        try {
            if (mode == 0) {
                // Every line a new item, written as it is read.
                const ReadOutcome read = ReadLines(reader, columns, statements, rejectText, result,
                                                   [&](KeptLine& line, const QByteArray&, std::vector<QVariant>& values) {
                                                       currentLine = line.index;
                                                       connection.Execute(statements.insert, values);
                                                       ++result.inserted;
                                                       return advance(reader.Position());
                                                   });
                if (read == ReadOutcome::Stopped) throw Stopped{};
                if (read == ReadOutcome::NoText) throw Stopped{};
            } else {
                // The good lines, kept as text (no more than the file holds): the updates run from the end.
                std::vector<KeptLine> kept;
                std::vector<QByteArray> texts;
                const ReadOutcome read = ReadLines(reader, columns, statements, rejectText, result,
                                                   [&](KeptLine& line, const QByteArray& bytes, std::vector<QVariant>&) {
                                                       kept.push_back(line);
                                                       texts.push_back(bytes);
                                                       return advance(reader.Position() / 2);
                                                   });
                if (read != ReadOutcome::Done) throw Stopped{};
                const auto valuesAt = [&](std::size_t k) {
                    QString ignored;
                    return *ValuesOf(SplitCsvLine(reader.Decode(texts[k]), kMaxFields), columns, statements, &ignored);
                };
                const auto stepOf = [&](std::size_t k) { return total / 2 + total / 2 * static_cast<qint64>(k) / std::max<qint64>(1, kept.size()); };
                std::vector<bool> done(kept.size(), false);
                const auto update = [&](std::size_t k) {
                    currentLine = kept[k].index;
                    std::vector<QVariant> values = valuesAt(k);
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
                        if (!advance(stepOf(k))) throw Stopped{};
                    }
                } else {
                    for (std::size_t k = kept.size(); k-- > 0;) {
                        if (base == 2 && kept[k].thirdField != scope.viewId) continue;
                        done[k] = update(k);
                        if (!advance(stepOf(kept.size() - k))) throw Stopped{};
                    }
                }
                if (mode > 4) {
                    for (std::size_t k = 0; k < kept.size(); ++k) {
                        if (done[k]) continue;
                        currentLine = kept[k].index;
                        connection.Execute(statements.insert, valuesAt(k));
                        ++result.inserted;
                        if (!advance(stepOf(k))) throw Stopped{};
                    }
                }
            }
            connection.CommitTrans();
        } catch (...) {
            connection.RollbackTrans();
            throw;
        }
    } catch (const db::DbError& e) {
        // A lock or a full disk before the first line was written names no line.
        result.dbError = currentLine < 0 ? e.Description() : QStringLiteral("Line %1: %2").arg(currentLine).arg(e.Description());
    } catch (const Stopped&) {
        result.cancelled = result.fileError.isEmpty();
    }
    if (!result.Applied()) result.updated = result.inserted = 0;
    return result;
}

}  // namespace ov::tools
