#pragma once

#include "platform/db/DbTypes.h"
#include "platform/db/Field.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>
#include <optional>
#include <vector>

namespace ov::db {

class Connection;

// A cursor over the rows of a query or of a table, with the behaviour of a
// keyset cursor under optimistic locking: the set of rows is fixed when it is
// opened (Requery reads it again), their values are read when needed, and a
// change is written when Update is called or the cursor moves on. Rows are
// read in pages, so opening a query over 100,000 rows reads only their keys.
//
// Every failing operation throws DbError and records it on the connection.
class Recordset {
public:
    using Bookmark = qint64;

    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Opens SQL text, or with CommandType::TableDirect / Table a table by name.
    void Open(const QString& source, Connection& connection, CommandType type = CommandType::Text);
    // A pending change is saved first; if that fails it is cancelled.
    void Close();
    ObjectState State() const;
    QString Source() const;
    bool IsUpdatable() const;

    bool IsEOF() const;
    bool IsBOF() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int rows);

    int AbsolutePosition() const;  // 1-based, or kPositionBOF / kPositionEOF
    void SetAbsolutePosition(int position);
    Bookmark GetBookmark() const;
    void SetBookmark(Bookmark bookmark);
    int RecordCount() const;

    // Moves to the next row matching criteria such as "Name='x'" or "ID=5";
    // gives false and stands at EOF (BOF going backward) when none matches.
    bool Find(const QString& criteria, int skipRecords = 0, SearchDirection direction = SearchDirection::Forward,
              std::optional<Bookmark> start = std::nullopt);

    // Table-direct recordsets only: orders the rows by a named index and
    // seeks on its key values. Seek gives false and stands at EOF when no row fits.
    void SetIndex(const QString& indexName);
    QString Index() const;
    bool Seek(const QVariantList& keyValues, SeekOption option = SeekOption::FirstEQ);

    // Shows only the rows matching the criteria; an empty text shows all again.
    void SetFilter(const QString& criteria);
    QString Filter() const;

    void AddNew();
    void Update();
    void CancelUpdate();
    void Delete();
    EditMode GetEditMode() const;

    void Requery();  // reads the set of rows again
    // The rows with these keys were deleted by other statements of this
    // program: they leave the set, which is not read again.
    void Forget(const std::vector<qint64>& keys);
    void Resync();   // reads the values of the rows again
    Recordset Clone();

    int FieldCount() const;
    Field Fields(int index);
    Field Fields(const QString& name);
    QStringList FieldNames() const;
    int FieldIndex(const QString& name) const;  // -1 when there is no such field

    QVariant Value(const QString& field) { return Fields(field).Value(); }
    void SetValue(const QString& field, const QVariant& value) { Fields(field).SetValue(value); }

    // True when the current row was deleted by someone else since it was read.
    bool IsCurrentRowDeleted() const;

    // Used by Field.
    QString FieldName(int index) const;
    DataType FieldType(int index) const;
    int FieldDefinedSize(int index) const;
    bool FieldUpdatable(int index) const;
    QVariant FieldValue(int index) const;
    QVariant FieldOriginalValue(int index) const;
    void SetFieldValue(int index, const QVariant& value);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    Impl& Open_() const;
};

}  // namespace ov::db
