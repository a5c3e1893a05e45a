#pragma once

#include "platform/db/DbTypes.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace ov::db {

struct ColumnInfo {
    QString name;
    DataType type = DataType::Empty;
    int definedSize = 0;  // characters for text columns, 0 when unbounded
    bool nullable = true;
    QString defaultExpression;  // as written in the table definition, empty when none
};

struct IndexInfo {
    QString name;  // the name callers use; unique within its table
    QStringList columns;
    bool unique = false;
    bool primaryKey = false;
};

// Maps a declared column type ("SMALLINT", "VARCHAR(255)", "BOOLEAN", ...) to
// the type code callers switch on; definedSize receives a text length.
DataType DataTypeFromDeclaration(const QString& declaration, int* definedSize = nullptr);

// SQLite index names are global to the file while project tables each have
// their own index names ("ItemID" on several tables); the file stores them
// as "<table>.<index>".
QString StoredIndexName(const QString& table, const QString& index);

}  // namespace ov::db
