#include "platform/db/DbError.h"

namespace ov::db {

DbError::DbError(ErrorInfo info) : m_info(std::move(info)), m_what(m_info.description.toStdString()) {}

DbError::DbError(std::uint32_t number, const QString& description, int nativeError)
    : DbError(ErrorInfo{number, description, QString(), nativeError}) {}

bool DbError::IsUniqueViolation() const {
    // Every engine reports a refused duplicate with this number and nothing else.
    return m_info.number == err::ErrorsOccurred;
}

}  // namespace ov::db
