#include "model/ProjectCopy.h"

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/db/DatabaseFile.h"
#include "platform/db/DbError.h"
#include "platform/db/SqlDialect.h"

#include <QStringList>
#include <algorithm>

namespace ov::model {

namespace {

constexpr qint64 kProgressEvery = 10000;
// Well below what either engine takes in one statement (SQLite 32,766, PostgreSQL 65,535).
constexpr int kParametersPerStatement = 4000;

// The declaration that makes a column of this kind on either engine.
QString DeclarationOf(const db::ColumnInfo& column) {
    switch (column.type) {
        case db::DataType::SmallInt:
        case db::DataType::UnsignedTinyInt: return QStringLiteral("SMALLINT");
        case db::DataType::Integer:
        case db::DataType::BigInt: return QStringLiteral("INTEGER");
        case db::DataType::Single:
        case db::DataType::Double:
        case db::DataType::Currency: return QStringLiteral("DOUBLE");
        case db::DataType::Boolean: return QStringLiteral("BOOLEAN");
        case db::DataType::VarWChar:
            return column.definedSize > 0 ? QStringLiteral("VARCHAR(%1)").arg(column.definedSize) : QStringLiteral("LONGTEXT");
        default: return QStringLiteral("LONGTEXT");
    }
}

// Gives the target every table and column the source has beyond the template.
void MatchSchema(db::Connection& from, db::Connection& to, const QString& table) {
    const std::vector<db::ColumnInfo> columns = from.Columns(table);
    if (!to.HasTable(table)) {
        QStringList definitions;
        for (const db::ColumnInfo& c : columns) definitions << db::QuoteName(c.name) + u' ' + DeclarationOf(c);
        to.Execute(QStringLiteral("CREATE TABLE %1 (%2)").arg(db::QuoteName(table), definitions.join(QStringLiteral(", "))));
    } else {
        for (const db::ColumnInfo& c : columns)
            if (!to.HasColumn(table, c.name))
                to.Execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(db::QuoteName(table), db::QuoteName(c.name), DeclarationOf(c)));
    }
    for (const db::IndexInfo& index : from.Indexes(table))
        if (!index.primaryKey && !to.HasIndex(table, index.name)) to.CreateIndex(table, index);
}

qint64 CountRows(db::Connection& connection, const QStringList& tables) {
    qint64 total = 0;
    for (const QString& table : tables) {
        db::Cursor count(connection, QStringLiteral("SELECT COUNT(*) FROM %1").arg(db::QuoteName(table)));
        if (count.Next()) total += count.Value(0).toLongLong();
    }
    return total;
}

struct Stopped {};

}  // namespace

qint64 CopyProject(const QString& source, const QString& target, const CopyOptions& options) {
    db::Connection from;
    from.SetBusyTimeout(options.busyTimeout);
    from.Open(ProjectReadConnectionString(source));
    const QStringList tables = from.Tables();
    const qint64 total = CountRows(from, tables);
    qint64 done = 0;
    const auto report = [&] {
        if (options.progress && !options.progress(done, total)) throw Stopped{};
    };
    try {
        db::CreateDatabaseFile(target, [&](db::Connection& to) {
            to.SetChangeLogging(false);
            WriteProjectTemplate(to);
            for (const QString& table : tables) {
                MatchSchema(from, to, table);
                // The template's own rows (the first group, the languages) come with the source.
                to.Execute(QStringLiteral("DELETE FROM %1").arg(db::QuoteName(table)));
                QStringList names;
                for (const db::ColumnInfo& c : from.Columns(table)) names << db::QuoteName(c.name);
                const QString list = names.join(QStringLiteral(", "));
                // Many rows per statement: a server answers each statement once.
                const int perStatement = std::max<int>(1, kParametersPerStatement / static_cast<int>(names.size()));
                const QString row = u'(' + QStringList(names.size(), QStringLiteral("?")).join(QStringLiteral(", ")) + u')';
                const auto insert = [&](int rowCount) {
                    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                        .arg(db::QuoteName(table), list, QStringList(rowCount, row).join(QStringLiteral(", ")));
                };
                const QString full = insert(perStatement);
                db::Cursor rows(from, QStringLiteral("SELECT %1 FROM %2").arg(list, db::QuoteName(table)));
                std::vector<QVariant> values;
                values.reserve(static_cast<std::size_t>(perStatement * names.size()));
                const auto flush = [&] {
                    if (values.empty()) return;
                    const int rowCount = static_cast<int>(values.size() / static_cast<std::size_t>(names.size()));
                    to.Execute(rowCount == perStatement ? full : insert(rowCount), values);
                    values.clear();
                };
                while (rows.Next()) {
                    for (int c = 0; c < names.size(); ++c) values.push_back(rows.Value(c));
                    if (static_cast<int>(values.size()) == perStatement * names.size()) flush();
                    if (++done % kProgressEvery == 0) report();
                }
                flush();
            }
            report();
        });
    } catch (const Stopped&) {
        throw db::DbError(db::err::Fail, QStringLiteral("The copy was stopped; '%1' was not made.").arg(target));
    }
    return done;
}

}  // namespace ov::model
