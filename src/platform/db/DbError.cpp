#include "platform/db/DbError.h"

#include <sqlite3.h>

namespace ov::db {

DbError::DbError(ErrorInfo info) : m_info(std::move(info)), m_what(m_info.description.toStdString()) {}

DbError::DbError(std::uint32_t number, const QString& description, int nativeError)
    : DbError(ErrorInfo{number, description, QString(), nativeError}) {}

bool DbError::IsUniqueViolation() const {
    return m_info.number == err::ErrorsOccurred &&
           (m_info.nativeError == SQLITE_CONSTRAINT_UNIQUE || m_info.nativeError == SQLITE_CONSTRAINT_PRIMARYKEY);
}

}  // namespace ov::db
