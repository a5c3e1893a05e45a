#pragma once

#include "platform/db/ConnectionImpl.h"
#include "platform/db/DbTypes.h"
#include "platform/db/SqlDialect.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ov::db {

class Statement;

struct FieldInfo {
    QString name;
    DataType type = DataType::Empty;
    int definedSize = 0;
    QString baseColumn;  // column of the base table behind the field, empty for computed fields
    bool updatable = false;
};

struct Row {
    std::vector<QVariant> values;
    bool missing = false;  // deleted by someone else since the keys were read
    bool stale = false;    // written through this source; read again on next use
};

using EditValues = std::vector<std::optional<QVariant>>;

// The rows behind a recordset and its clones. Statements with one base table
// keep only the ordered row keys and read the rows in pages by key; a small
// cache of pages serves the cursor. Other statements are read whole.
class RowSource {
public:
    static std::shared_ptr<RowSource> ForSql(std::shared_ptr<ConnectionImpl> connection, const QString& sql);
    static std::shared_ptr<RowSource> ForTable(std::shared_ptr<ConnectionImpl> connection, const QString& table);
    ~RowSource();

    const std::vector<FieldInfo>& Fields() const { return m_fields; }
    int FieldIndex(const QString& name) const;
    bool IsUpdatable() const { return m_updatable; }
    bool IsTableDirect() const { return m_tableDirect; }
    ConnectionImpl* Connection() const { return m_connection.get(); }

    std::size_t Size() const { return m_keys.size(); }
    std::size_t LiveCount() const { return m_keys.size() - m_removedCount; }
    bool IsRemoved(std::size_t i) const { return m_removed[i]; }
    qint64 KeyAt(std::size_t i) const { return m_keys[i]; }
    std::optional<std::size_t> IndexOfKey(qint64 key);
    const Row& RowAt(std::size_t i);
    quint64 KeysetVersion() const { return m_keysetVersion; }

    void Requery();
    // The rows with these keys are gone: drops them from the set without
    // reading it again (a set read whole is read again).
    void Forget(const std::vector<qint64>& keys);
    void InvalidateRows();
    void SetIndex(const QString& name);
    const QString& IndexName() const { return m_indexName; }
    std::optional<std::size_t> Seek(const QVariantList& keys, SeekOption option);

    // Writes; values and originals are indexed like Fields().
    std::size_t Insert(const EditValues& values);
    void Update(std::size_t i, const EditValues& values, const std::vector<QVariant>& originals);
    void Remove(std::size_t i);

    static constexpr std::size_t kPageSize = 64;
    static constexpr std::size_t kMaxCachedPages = 32;

private:
    RowSource() = default;
    Backend& Db() const { return m_connection->Db(); }
    void PrepareKeyset(const SelectParts& parts, bool tableDirect);
    void PrepareStatic(const QString& sql);
    void ReadKeys();
    void DescribeFields();
    void CheckGeneration();
    void LoadPage(std::size_t page);
    std::optional<std::vector<QVariant>> ReadOne(qint64 key);
    std::optional<std::vector<QVariant>> ReadStored(qint64 key);  // the values as the database holds them
    QVariant Converted(std::size_t column, const QVariant& raw);
    std::vector<QVariant> ConvertRow(const Statement& statement, int firstColumn);
    Statement& CachedStatement(const QString& sql);
    void NoteOwnWrite();
    Row* CachedRow(std::size_t i);
    void RequireUpdatable() const;

    struct Page {
        std::vector<Row> rows;
        quint64 lastUse = 0;
    };

    std::shared_ptr<ConnectionImpl> m_connection;
    bool m_static = false;
    bool m_updatable = false;
    bool m_tableDirect = false;
    SelectParts m_parts;
    QString m_sql;
    QString m_rowKey;  // the base table's column that keys its rows, quoted
    QString m_indexName;
    QStringList m_indexColumns;
    std::vector<FieldInfo> m_fields;

    std::vector<qint64> m_keys;
    std::vector<bool> m_removed;
    std::size_t m_removedCount = 0;
    std::unordered_map<qint64, std::size_t> m_keyIndex;  // built on first lookup by key
    quint64 m_keysetVersion = 0;

    std::vector<Row> m_staticRows;
    std::unordered_map<std::size_t, Page> m_pages;
    quint64 m_useCounter = 0;
    quint64 m_cacheGeneration = 0;
    std::unique_ptr<Statement> m_pageStatement;
    std::unique_ptr<Statement> m_rowStatement;
    std::unordered_map<QString, std::unique_ptr<Statement>> m_writeStatements;
};

// Converts a stored value to the field's type (Yes/No to bool, ...).
QVariant FromStorage(const QVariant& raw, DataType type);

// Checks and converts a value assigned to a field; throws DbError with a
// clear text when it does not fit (text too long, not a number, out of range).
QVariant ToFieldValue(const QVariant& value, const FieldInfo& field);

}  // namespace ov::db
