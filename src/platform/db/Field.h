#pragma once

#include "platform/db/DbTypes.h"

#include <QString>
#include <QVariant>

namespace ov::db {

class Recordset;

// One field of the current record of a recordset. A light handle: it reads
// and writes through its recordset, so it follows the cursor.
class Field {
public:
    Field(Recordset* recordset, int index) : m_recordset(recordset), m_index(index) {}

    QString Name() const;
    DataType Type() const;
    int DefinedSize() const;
    bool IsUpdatable() const;
    int Index() const { return m_index; }

    QVariant Value() const;
    bool IsNull() const { return Value().isNull(); }
    void SetValue(const QVariant& value);
    Field& operator=(const QVariant& value) {
        SetValue(value);
        return *this;
    }
    // The value as read from the database, before the pending change.
    QVariant OriginalValue() const;

private:
    Recordset* m_recordset;
    int m_index;
};

}  // namespace ov::db
