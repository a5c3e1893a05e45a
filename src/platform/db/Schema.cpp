#include "platform/db/Schema.h"

#include <QRegularExpression>

namespace ov::db {

DataType DataTypeFromDeclaration(const QString& declaration, int* definedSize) {
    const QString d = declaration.trimmed().toUpper();
    if (definedSize) *definedSize = 0;
    if (d.isEmpty()) return DataType::Empty;
    static const QRegularExpression sizePattern(QStringLiteral("\\(\\s*(\\d+)"));
    const auto size = sizePattern.match(d);
    const int declaredSize = size.hasMatch() ? size.captured(1).toInt() : 0;

    if (d.contains(u"BOOL") || d == u"BIT" || d.contains(u"YESNO") || d.contains(u"LOGICAL"))
        return DataType::Boolean;
    if (d.startsWith(u"SMALLINT") || d.startsWith(u"SHORT") || d == u"INT2" || d == u"INTEGER2")
        return DataType::SmallInt;
    if (d.startsWith(u"TINYINT") || d == u"BYTE" || d.startsWith(u"UNSIGNED TINYINT"))
        return DataType::UnsignedTinyInt;
    if (d.startsWith(u"BIGINT") || d == u"INT8" || d == u"INTEGER8") return DataType::BigInt;
    if (d.contains(u"LONGTEXT") || d.contains(u"LONGCHAR") || d.contains(u"MEMO") || d.contains(u"NOTE") ||
        d.contains(u"CLOB") || d == u"TEXT" || d == u"NTEXT")
        return DataType::LongVarWChar;
    if (d.contains(u"BLOB") || d.contains(u"BINARY") || d.contains(u"IMAGE") || d.contains(u"OLEOBJECT"))
        return DataType::LongVarBinary;
    if (d.contains(u"INT") || d.contains(u"COUNTER") || d == u"LONG" || d.startsWith(u"AUTOINCREMENT"))
        return DataType::Integer;
    if (d == u"SINGLE" || d == u"FLOAT4" || d == u"REAL4" || d == u"IEEESINGLE") return DataType::Single;
    if (d.contains(u"CURRENCY") || d.contains(u"MONEY")) return DataType::Currency;
    if (d.contains(u"REAL") || d.contains(u"DOUB") || d.contains(u"FLOA") || d.contains(u"NUMERIC") ||
        d.contains(u"DECIMAL") || d.contains(u"NUMBER"))
        return DataType::Double;
    if (d.contains(u"DATE") || d.contains(u"TIME")) return DataType::Date;
    if (d.contains(u"CHAR") || d.contains(u"TEXT") || d.contains(u"STRING")) {
        if (definedSize) *definedSize = declaredSize > 0 ? declaredSize : 255;
        return DataType::VarWChar;
    }
    return DataType::Empty;
}

QString StoredIndexName(const QString& table, const QString& index) { return table + u'.' + index; }

}  // namespace ov::db
