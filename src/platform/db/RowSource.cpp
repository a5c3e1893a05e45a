#include "platform/db/RowSource.h"

#include <unordered_set>

#include "platform/db/Criteria.h"
#include "platform/db/Schema.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ov::db {

namespace {

DataType TypeOfStoredValue(const QVariant& raw) {
    switch (raw.typeId()) {
        case QMetaType::LongLong: {
            const qlonglong v = raw.toLongLong();
            return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max()
                       ? DataType::Integer
                       : DataType::BigInt;
        }
        case QMetaType::Double:
            return DataType::Double;
        case QMetaType::QByteArray:
            return DataType::LongVarBinary;
        default:
            return DataType::VarWChar;
    }
}

QString Placeholders(std::size_t n) {
    QStringList marks;
    for (std::size_t i = 0; i < n; ++i) marks << QStringLiteral("?");
    return marks.join(u',');
}

[[noreturn]] void CannotConvert(const QVariant& value, const FieldInfo& field, const QString& expected) {
    throw DbError(err::CantConvertValue, QStringLiteral("The value \"%1\" cannot be stored in the field '%2': %3 is expected.")
                                             .arg(value.toString().left(100), field.name, expected));
}

[[noreturn]] void OutOfRange(const QVariant& value, const FieldInfo& field) {
    throw DbError(err::DataOverflow,
                  QStringLiteral("The value %1 is out of the range of the field '%2'.").arg(value.toString(), field.name));
}

std::optional<double> ParseNumber(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    double v = QLocale::c().toDouble(t, &ok);
    if (!ok) v = QLocale::system().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool IsNumeric(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return true;
        default:
            return false;
    }
}

QVariant ToWholeNumber(const QVariant& value, const FieldInfo& field, qint64 low, qint64 high) {
    double v = 0;
    if (value.typeId() == QMetaType::Bool) {
        v = value.toBool() ? -1 : 0;
    } else if (IsNumeric(value)) {
        v = value.toDouble();
    } else {
        const auto parsed = ParseNumber(value.toString());
        if (!parsed) CannotConvert(value, field, QStringLiteral("a whole number"));
        v = *parsed;
    }
    // Rounds half to even, as assignments to whole-number fields always did.
    const double rounded = std::nearbyint(v);
    if (!std::isfinite(rounded) || rounded < static_cast<double>(low) || rounded > static_cast<double>(high))
        OutOfRange(value, field);
    const auto whole = static_cast<qint64>(rounded);
    if (field.type == DataType::BigInt) return QVariant(static_cast<qlonglong>(whole));
    return QVariant(static_cast<int>(whole));
}

}  // namespace

QVariant FromStorage(const QVariant& raw, DataType type) {
    if (raw.isNull()) return QVariant();
    switch (type) {
        case DataType::Boolean:
            if (raw.typeId() == QMetaType::QString) {
                const QString t = raw.toString().trimmed();
                if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
                if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
            }
            return QVariant(raw.toDouble() != 0.0);
        case DataType::SmallInt:
        case DataType::Integer:
        case DataType::UnsignedTinyInt:
            if (raw.typeId() == QMetaType::LongLong) return QVariant(static_cast<int>(raw.toLongLong()));
            return raw;
        case DataType::BigInt:
            return raw;
        case DataType::Single:
        case DataType::Double:
        case DataType::Currency:
            if (raw.typeId() == QMetaType::LongLong || raw.typeId() == QMetaType::Double)
                return QVariant(raw.toDouble());
            return raw;
        case DataType::Date: {
            if (raw.typeId() != QMetaType::QString) return raw;
            QDateTime date = QDateTime::fromString(raw.toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!date.isValid()) date = QDateTime::fromString(raw.toString(), Qt::ISODate);
            return date.isValid() ? QVariant(date) : raw;
        }
        case DataType::VarWChar:
        case DataType::LongVarWChar:
            return raw.typeId() == QMetaType::QString ? raw : QVariant(raw.toString());
        default:
            return raw.typeId() == QMetaType::LongLong ? FromStorage(raw, TypeOfStoredValue(raw)) : raw;
    }
}

QVariant ToFieldValue(const QVariant& value, const FieldInfo& field) {
    if (!value.isValid() || value.isNull()) return QVariant();
    switch (field.type) {
        case DataType::Boolean: {
            if (value.typeId() == QMetaType::Bool) return value;
            if (IsNumeric(value)) return QVariant(value.toDouble() != 0.0);
            const QString t = value.toString().trimmed();
            if (t.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
                t.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0)
                return true;
            if (t.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0 ||
                t.compare(QStringLiteral("no"), Qt::CaseInsensitive) == 0)
                return false;
            const auto number = ParseNumber(t);
            if (!number) CannotConvert(value, field, QStringLiteral("True or False"));
            return QVariant(*number != 0.0);
        }
        case DataType::SmallInt:
            return ToWholeNumber(value, field, -32768, 32767);
        case DataType::UnsignedTinyInt:
            return ToWholeNumber(value, field, 0, 255);
        case DataType::Integer:
            return ToWholeNumber(value, field, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
        case DataType::BigInt:
            return ToWholeNumber(value, field, std::numeric_limits<qint64>::min() / 2, std::numeric_limits<qint64>::max() / 2);
        case DataType::Single:
        case DataType::Double:
        case DataType::Currency: {
            if (value.typeId() == QMetaType::Bool) return QVariant(value.toBool() ? -1.0 : 0.0);
            if (IsNumeric(value)) {
                const double v = value.toDouble();
                if (!std::isfinite(v)) OutOfRange(value, field);
                return QVariant(v);
            }
            const auto number = ParseNumber(value.toString());
            if (!number) CannotConvert(value, field, QStringLiteral("a number"));
            return QVariant(*number);
        }
        case DataType::Date: {
            if (value.typeId() == QMetaType::QDateTime) return value;
            if (value.typeId() == QMetaType::QDate) return QVariant(value.toDate().startOfDay());
            QDateTime date = QDateTime::fromString(value.toString().trimmed(), Qt::ISODate);
            if (!date.isValid()) CannotConvert(value, field, QStringLiteral("a date"));
            return QVariant(date);
        }
        case DataType::VarWChar:
        case DataType::LongVarWChar: {
            const QString text = value.toString();
            if (field.type == DataType::VarWChar && field.definedSize > 0 && text.size() > field.definedSize)
                throw DbError(err::DataOverflow,
                              QStringLiteral("The text for the field '%1' is too long: %2 characters, at most %3 "
                                             "are allowed.")
                                  .arg(field.name)
                                  .arg(text.size())
                                  .arg(field.definedSize));
            return QVariant(text);
        }
        case DataType::LongVarBinary:
            return QVariant(value.toByteArray());
        default:
            return value;
    }
}

std::shared_ptr<RowSource> RowSource::ForSql(std::shared_ptr<ConnectionImpl> connection, const QString& sql) {
    std::shared_ptr<RowSource> source(new RowSource());
    source->m_connection = std::move(connection);
    source->m_sql = TranslateSql(sql);
    const auto parts = AnalyseSelect(source->m_sql);
    bool keyset = false;
    if (parts) {
        try {
            source->PrepareKeyset(*parts, false);
            keyset = true;
        } catch (const DbError& e) {
            // A view or a statement whose base has no row key: read it whole instead.
            if (e.Number() == err::ObjectClosed) throw;
        }
    }
    if (!keyset) source->PrepareStatic(source->m_sql);
    return source;
}

std::shared_ptr<RowSource> RowSource::ForTable(std::shared_ptr<ConnectionImpl> connection, const QString& table) {
    std::shared_ptr<RowSource> source(new RowSource());
    source->m_connection = std::move(connection);
    if (!source->Db().Tables().contains(table, Qt::CaseInsensitive))
        throw DbError(err::NoTable, QStringLiteral("The table '%1' does not exist.").arg(table));
    SelectParts parts;
    parts.selectList = QStringLiteral("*");
    parts.from = QuoteName(table);
    parts.baseTable = table;
    parts.baseQualifier = QuoteName(table);
    source->PrepareKeyset(parts, true);
    return source;
}

RowSource::~RowSource() = default;

void RowSource::PrepareKeyset(const SelectParts& parts, bool tableDirect) {
    m_parts = parts;
    m_tableDirect = tableDirect;
    m_rowKey = QuoteName(Db().RowKey(parts.baseTable));
    const QString key = parts.baseQualifier + u'.' + m_rowKey;
    QString pageSql = QStringLiteral("SELECT %1, %2 FROM %3 WHERE ").arg(key, parts.selectList, parts.from);
    if (parts.isJoin && !parts.where.isEmpty()) pageSql += u'(' + parts.where + QStringLiteral(") AND ");
    m_pageStatement = Db().Prepare(pageSql + QStringLiteral("%1 IN (%2)").arg(key, Placeholders(kPageSize)));
    m_rowStatement = Db().Prepare(pageSql + key + QStringLiteral(" = ?"));
    DescribeFields();
    ReadKeys();
}

void RowSource::DescribeFields() {
    const Statement& s = *m_pageStatement;
    m_fields.clear();
    bool anyUpdatable = false;
    for (int c = 1; c < s.ColumnCount(); ++c) {
        FieldInfo field;
        field.name = s.ColumnName(c);
        field.type = DataTypeFromDeclaration(s.ColumnDeclType(c), &field.definedSize);
        const QString table = s.ColumnTableName(c);
        if (!table.isEmpty() && table.compare(m_parts.baseTable, Qt::CaseInsensitive) == 0) {
            field.baseColumn = s.ColumnOriginName(c);
            field.updatable = !field.baseColumn.isEmpty();
            anyUpdatable = anyUpdatable || field.updatable;
        }
        m_fields.push_back(field);
    }
    m_updatable = anyUpdatable && !Db().IsReadOnly();
}

void RowSource::ReadKeys() {
    const QString key = m_parts.baseQualifier + u'.' + m_rowKey;
    QString tail = QStringLiteral(" FROM ") + m_parts.from;
    if (!m_parts.where.isEmpty()) tail += QStringLiteral(" WHERE ") + m_parts.where;
    QString order = m_parts.orderBy;
    if (m_tableDirect) {
        QStringList columns;
        for (const QString& c : m_indexColumns) columns << QuoteName(c);
        columns << key;
        order = columns.join(QStringLiteral(", "));
    }
    // Without an order of its own a query gives its rows in table order, as
    // the row key orders them: never in the order of whatever index SQLite reads.
    if (order.isEmpty()) order = key;
    tail += QStringLiteral(" ORDER BY ") + order;

    std::unique_ptr<Statement> statement;
    try {
        statement = Db().Prepare(QStringLiteral("SELECT ") + key + tail);
    } catch (const DbError&) {
        // ORDER BY may name a column alias of the select list.
        statement = Db().Prepare(QStringLiteral("SELECT %1, %2").arg(key, m_parts.selectList) + tail);
    }
    m_keys.clear();
    while (statement->Step()) m_keys.push_back(statement->ColumnInt64(0));
    m_removed.assign(m_keys.size(), false);
    m_removedCount = 0;
    m_keyIndex.clear();
    m_pages.clear();
    m_cacheGeneration = m_connection->Generation();
    ++m_keysetVersion;
}

void RowSource::PrepareStatic(const QString& sql) {
    m_static = true;
    m_updatable = false;
    const std::unique_ptr<Statement> prepared = Db().Prepare(sql);
    Statement& statement = *prepared;
    if (!statement.IsReadOnly())
        throw DbError(err::IllegalOperation,
                      QStringLiteral("Only queries can be opened as recordsets; use Execute for other statements."));
    m_fields.clear();
    for (int c = 0; c < statement.ColumnCount(); ++c) {
        FieldInfo field;
        field.name = statement.ColumnName(c);
        field.type = DataTypeFromDeclaration(statement.ColumnDeclType(c), &field.definedSize);
        m_fields.push_back(field);
    }
    m_staticRows.clear();
    while (statement.Step()) {
        Row row;
        for (int c = 0; c < statement.ColumnCount(); ++c) {
            const QVariant raw = statement.Column(c);
            FieldInfo& field = m_fields[static_cast<std::size_t>(c)];
            if (field.type == DataType::Empty && !raw.isNull()) field.type = TypeOfStoredValue(raw);
            row.values.push_back(raw);
        }
        m_staticRows.push_back(std::move(row));
    }
    for (Row& row : m_staticRows)
        for (std::size_t c = 0; c < row.values.size(); ++c) row.values[c] = FromStorage(row.values[c], m_fields[c].type);
    m_keys.resize(m_staticRows.size());
    for (std::size_t i = 0; i < m_keys.size(); ++i) m_keys[i] = static_cast<qint64>(i);
    m_removed.assign(m_keys.size(), false);
    m_removedCount = 0;
    m_keyIndex.clear();
    ++m_keysetVersion;
}

int RowSource::FieldIndex(const QString& name) const {
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
}

std::optional<std::size_t> RowSource::IndexOfKey(qint64 key) {
    if (m_keyIndex.empty() && !m_keys.empty()) {
        m_keyIndex.reserve(m_keys.size());
        for (std::size_t i = m_keys.size(); i-- > 0;) m_keyIndex[m_keys[i]] = i;  // first occurrence wins
    }
    const auto it = m_keyIndex.find(key);
    if (it == m_keyIndex.end()) return std::nullopt;
    return it->second;
}

void RowSource::CheckGeneration() {
    if (m_cacheGeneration == m_connection->Generation()) return;
    m_pages.clear();
    m_cacheGeneration = m_connection->Generation();
}

QVariant RowSource::Converted(std::size_t column, const QVariant& raw) {
    FieldInfo& field = m_fields[column];
    if (field.type == DataType::Empty && !raw.isNull()) field.type = TypeOfStoredValue(raw);
    return FromStorage(raw, field.type);
}

std::vector<QVariant> RowSource::ConvertRow(const Statement& statement, int firstColumn) {
    std::vector<QVariant> values;
    values.reserve(m_fields.size());
    for (std::size_t c = 0; c < m_fields.size(); ++c) values.push_back(Converted(c, statement.Column(static_cast<int>(c) + firstColumn)));
    return values;
}

void RowSource::LoadPage(std::size_t page) {
    if (m_pages.size() >= kMaxCachedPages) {
        auto oldest = std::min_element(m_pages.begin(), m_pages.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        m_pages.erase(oldest);
    }
    const std::size_t first = page * kPageSize;
    const std::size_t count = std::min(kPageSize, m_keys.size() - first);
    Statement& s = *m_pageStatement;
    s.Reset();
    for (std::size_t i = 0; i < kPageSize; ++i)
        s.Bind(static_cast<int>(i) + 1, i < count ? QVariant(static_cast<qlonglong>(m_keys[first + i])) : QVariant());
    std::unordered_map<qint64, std::vector<QVariant>> found;
    found.reserve(count);
    while (s.Step()) found.emplace(s.ColumnInt64(0), ConvertRow(s, 1));
    s.Reset();
    Page& target = m_pages[page];
    target.rows.clear();
    target.rows.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto it = found.find(m_keys[first + i]);
        if (it == found.end()) {
            target.rows[i].missing = true;
            target.rows[i].values.assign(m_fields.size(), QVariant());
        } else {
            target.rows[i].values = it->second;
        }
    }
}

std::optional<std::vector<QVariant>> RowSource::ReadOne(qint64 key) {
    auto values = ReadStored(key);
    if (values)
        for (std::size_t c = 0; c < values->size(); ++c) (*values)[c] = Converted(c, (*values)[c]);
    return values;
}

std::optional<std::vector<QVariant>> RowSource::ReadStored(qint64 key) {
    Statement& s = *m_rowStatement;
    s.Reset();
    s.Bind(1, QVariant(static_cast<qlonglong>(key)));
    std::optional<std::vector<QVariant>> values;
    if (s.Step()) {
        values.emplace();
        for (std::size_t c = 0; c < m_fields.size(); ++c) values->push_back(s.Column(static_cast<int>(c) + 1));
    }
    s.Reset();
    return values;
}

Row* RowSource::CachedRow(std::size_t i) {
    const auto it = m_pages.find(i / kPageSize);
    if (it == m_pages.end() || i % kPageSize >= it->second.rows.size()) return nullptr;
    return &it->second.rows[i % kPageSize];
}

const Row& RowSource::RowAt(std::size_t i) {
    if (m_static) return m_staticRows[i];
    CheckGeneration();
    const std::size_t page = i / kPageSize;
    if (!m_pages.contains(page)) LoadPage(page);
    Page& cached = m_pages[page];
    cached.lastUse = ++m_useCounter;
    Row& row = cached.rows[i % kPageSize];
    if (row.stale) {
        auto values = ReadOne(m_keys[i]);
        row.missing = !values.has_value();
        row.values = values ? std::move(*values) : std::vector<QVariant>(m_fields.size());
        row.stale = false;
    }
    return row;
}

void RowSource::Requery() {
    if (m_static) {
        PrepareStatic(m_sql);
        return;
    }
    ReadKeys();
}

void RowSource::Forget(const std::vector<qint64>& keys) {
    if (m_static) {
        PrepareStatic(m_sql);
        return;
    }
    const std::unordered_set<qint64> gone(keys.begin(), keys.end());
    std::size_t kept = 0;
    m_removedCount = 0;
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (gone.contains(m_keys[i])) continue;
        m_keys[kept] = m_keys[i];
        m_removed[kept] = m_removed[i];
        m_removedCount += m_removed[kept] ? 1 : 0;
        ++kept;
    }
    m_keys.resize(kept);
    m_removed.resize(kept);
    m_keyIndex.clear();
    m_pages.clear();
    m_cacheGeneration = m_connection->Generation();
    ++m_keysetVersion;
}

void RowSource::InvalidateRows() {
    if (m_static) return;
    m_pages.clear();
}

void RowSource::SetIndex(const QString& name) {
    if (!m_tableDirect)
        throw DbError(err::FeatureNotAvailable,
                      QStringLiteral("An index can only be set on a recordset opened directly on a table."));
    QStringList columns;
    if (!name.isEmpty()) {
        for (const IndexInfo& index : Db().Indexes(m_parts.baseTable))
            if (index.name.compare(name, Qt::CaseInsensitive) == 0) columns = index.columns;
        if (columns.isEmpty())
            throw DbError(err::ItemNotFound,
                          QStringLiteral("The table '%1' has no index '%2'.").arg(m_parts.baseTable, name));
    }
    m_indexName = name;
    m_indexColumns = columns;
    ReadKeys();
}

std::optional<std::size_t> RowSource::Seek(const QVariantList& keys, SeekOption option) {
    if (m_indexColumns.isEmpty())
        throw DbError(err::FeatureNotAvailable, QStringLiteral("Seek needs an index; set the recordset's Index first."));
    if (keys.isEmpty() || keys.size() > m_indexColumns.size())
        throw DbError(err::InvalidArgument, QStringLiteral("Seek needs between 1 and %1 key values for the index '%2'.")
                                                .arg(m_indexColumns.size())
                                                .arg(m_indexName));
    QStringList keyColumns, order;
    for (qsizetype i = 0; i < keys.size(); ++i) keyColumns << QuoteName(m_indexColumns[i]);
    const bool descending = option == SeekOption::LastEQ || option == SeekOption::BeforeEQ || option == SeekOption::Before;
    for (const QString& c : m_indexColumns) order << QuoteName(c) + (descending ? QStringLiteral(" DESC") : QString());
    order << (descending ? m_rowKey + QStringLiteral(" DESC") : m_rowKey);
    QString op;
    switch (option) {
        case SeekOption::FirstEQ:
        case SeekOption::LastEQ: op = QStringLiteral("="); break;
        case SeekOption::AfterEQ: op = QStringLiteral(">="); break;
        case SeekOption::After: op = QStringLiteral(">"); break;
        case SeekOption::BeforeEQ: op = QStringLiteral("<="); break;
        case SeekOption::Before: op = QStringLiteral("<"); break;
    }
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE (%3) %4 (%5) ORDER BY %6 LIMIT 1")
                            .arg(m_rowKey, QuoteName(m_parts.baseTable), keyColumns.join(QStringLiteral(", ")), op,
                                 Placeholders(static_cast<std::size_t>(keys.size())), order.join(QStringLiteral(", ")));
    Statement& s = CachedStatement(sql);
    s.Reset();
    for (qsizetype i = 0; i < keys.size(); ++i) s.Bind(static_cast<int>(i) + 1, keys[i]);
    std::optional<std::size_t> position;
    if (s.Step()) {
        position = IndexOfKey(s.ColumnInt64(0));
        if (position && m_removed[*position]) position.reset();
    }
    s.Reset();
    return position;
}

Statement& RowSource::CachedStatement(const QString& sql) {
    auto it = m_writeStatements.find(sql);
    if (it != m_writeStatements.end()) return *it->second;
    if (m_writeStatements.size() > 64) m_writeStatements.clear();
    auto statement = Db().Prepare(sql);
    return *m_writeStatements.emplace(sql, std::move(statement)).first->second;
}

void RowSource::RequireUpdatable() const {
    if (!m_updatable)
        throw DbError(err::FeatureNotAvailable,
                      QStringLiteral("This recordset cannot be changed (the query has no single base table, or the "
                                     "database is open read-only)."));
}

void RowSource::NoteOwnWrite() {
    // Other recordsets re-read their rows; this one keeps its cache, whose
    // written rows are already marked stale.
    const bool wasCurrent = m_cacheGeneration == m_connection->Generation();
    m_connection->NoteWrite();
    if (!wasCurrent) m_pages.clear();
    m_cacheGeneration = m_connection->Generation();
}

std::size_t RowSource::Insert(const EditValues& values) {
    RequireUpdatable();
    QStringList columns;
    std::vector<QVariant> parameters;
    for (std::size_t c = 0; c < m_fields.size(); ++c) {
        if (!values[c] || !m_fields[c].updatable) continue;
        columns << QuoteName(m_fields[c].baseColumn);
        parameters.push_back(*values[c]);
    }
    const QString table = QuoteName(m_parts.baseTable);
    const QString sql = columns.isEmpty()
                            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(table, columns.join(QStringLiteral(", ")), Placeholders(parameters.size()));
    Statement& s = CachedStatement(sql);
    s.Reset();
    s.BindAll(parameters);
    s.Step();
    s.Reset();
    const qint64 key = Db().LastInsertId();
    m_keys.push_back(key);
    m_removed.push_back(false);
    if (!m_keyIndex.empty()) m_keyIndex.emplace(key, m_keys.size() - 1);
    const std::size_t index = m_keys.size() - 1;
    // A cached last page grows by the new row, to be read when first used.
    const auto page = m_pages.find(index / kPageSize);
    if (page != m_pages.end() && page->second.rows.size() == index % kPageSize) {
        Row row;
        row.stale = true;
        page->second.rows.push_back(std::move(row));
    }
    NoteOwnWrite();
    return index;
}

namespace {

[[noreturn]] void ChangedByOthers(const FieldInfo& field) {
    throw DbError(err::RowNotFoundForUpdate, QStringLiteral("The field '%1' was changed by another program since the record was "
                                                            "read; the change cannot be saved.")
                                                 .arg(field.name));
}

[[noreturn]] void DeletedByOthers() {
    throw DbError(err::DeletedRow, QStringLiteral("The record was deleted by another program; the change cannot be saved."));
}

}  // namespace

void RowSource::Update(std::size_t i, const EditValues& values, const std::vector<QVariant>& originals) {
    RequireUpdatable();
    const qint64 key = m_keys[i];
    Row* cached = CachedRow(i);
    // Whatever happens, the row is read again when next shown.
    if (cached) cached->stale = true;
    // Optimistic locking: refuse when another program changed one of the same
    // fields since this row was read; changes to other fields are kept.
    const auto stored = ReadStored(key);
    if (!stored) DeletedByOthers();
    QStringList assignments, unchanged;
    std::vector<QVariant> parameters, expected;
    std::size_t first = m_fields.size();
    for (std::size_t c = 0; c < m_fields.size(); ++c) {
        if (!values[c]) continue;
        if (!m_fields[c].updatable)
            throw DbError(err::FeatureNotAvailable, QStringLiteral("The field '%1' cannot be changed.").arg(m_fields[c].name));
        if (c < originals.size() && Converted(c, (*stored)[c]) != originals[c]) ChangedByOthers(m_fields[c]);
        first = std::min(first, c);
        const QString column = QuoteName(m_fields[c].baseColumn);
        assignments << column + QStringLiteral(" = ?");
        parameters.push_back(*values[c]);
        unchanged << column + QStringLiteral(" IS ?");
        expected.push_back((*stored)[c]);
    }
    if (assignments.isEmpty()) return;
    // The values just compared are a condition of the write itself: another
    // program's write that lands between the read and this statement makes
    // it change nothing, and is never overwritten unseen.
    parameters.push_back(QVariant(static_cast<qlonglong>(key)));
    parameters.insert(parameters.end(), expected.begin(), expected.end());
    Statement& s = CachedStatement(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ? AND %4")
                                       .arg(QuoteName(m_parts.baseTable), assignments.join(QStringLiteral(", ")), m_rowKey,
                                            unchanged.join(QStringLiteral(" AND "))));
    s.Reset();
    s.BindAll(parameters);
    s.Step();
    s.Reset();
    if (Db().ChangedRows() == 0) {
        if (!ReadStored(key)) DeletedByOthers();
        ChangedByOthers(m_fields[first]);
    }
    NoteOwnWrite();
}

void RowSource::Remove(std::size_t i) {
    RequireUpdatable();
    Statement& s = CachedStatement(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(QuoteName(m_parts.baseTable), m_rowKey));
    s.Reset();
    s.Bind(1, QVariant(static_cast<qlonglong>(m_keys[i])));
    s.Step();
    s.Reset();
    // A row someone else deleted already is just as gone: no error.
    if (!m_removed[i]) {
        m_removed[i] = true;
        ++m_removedCount;
    }
    NoteOwnWrite();
}

}  // namespace ov::db
