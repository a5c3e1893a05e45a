#include "platform/db/Field.h"

#include "platform/db/Recordset.h"

namespace ov::db {

QString Field::Name() const { return m_recordset->FieldName(m_index); }
DataType Field::Type() const { return m_recordset->FieldType(m_index); }
int Field::DefinedSize() const { return m_recordset->FieldDefinedSize(m_index); }
bool Field::IsUpdatable() const { return m_recordset->FieldUpdatable(m_index); }
QVariant Field::Value() const { return m_recordset->FieldValue(m_index); }
void Field::SetValue(const QVariant& value) { m_recordset->SetFieldValue(m_index, value); }
QVariant Field::OriginalValue() const { return m_recordset->FieldOriginalValue(m_index); }

}  // namespace ov::db
