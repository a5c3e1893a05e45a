#include "platform/db/DbError.h"

namespace ov::db {

DbError::DbError(ErrorInfo info) : m_info(std::move(info)), m_what(m_info.description.toStdString()) {}

DbError::DbError(std::uint32_t number, const QString& description, int nativeError)
    : DbError(ErrorInfo{number, description, QString(), nativeError}) {}

DbError DbError::ForLogin(LoginFailure why, const QString& role, const QString& description) {
    ErrorInfo info;
    info.number = err::Fail;
    info.description = description;
    info.login = why;
    info.role = role;
    return DbError(std::move(info));
}

bool DbError::IsUniqueViolation() const {
    // Every engine reports a refused duplicate with this number and nothing else.
    return m_info.number == err::ErrorsOccurred;
}

}  // namespace ov::db
