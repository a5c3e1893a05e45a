#pragma once

#include "platform/db/DbTypes.h"

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace ov::db {

// Why a project server turned a login away, where a person can help: by
// typing the password it wants, or another one than it refused.
enum class LoginFailure { None, PasswordWanted, PasswordRefused };

// One entry of a connection's error list.
struct ErrorInfo {
    std::uint32_t number = 0;
    QString description;
    QString source;
    int nativeError = 0;  // the engine's own code behind it, 0 when none
    LoginFailure login = LoginFailure::None;
    QString role{};  // the role of a refused login
};

// Thrown by every failing database operation; the same information is also
// appended to the connection's error list.
class DbError : public std::exception {
public:
    explicit DbError(ErrorInfo info);
    DbError(std::uint32_t number, const QString& description, int nativeError = 0);
    // A server that wants a password for the role, or refused the one given.
    static DbError ForLogin(LoginFailure why, const QString& role, const QString& description);

    std::uint32_t Number() const { return m_info.number; }
    const QString& Description() const { return m_info.description; }
    int NativeError() const { return m_info.nativeError; }
    const ErrorInfo& Info() const { return m_info; }

    // A unique index refused the new or changed row; the caller may retry with another value.
    bool IsUniqueViolation() const;
    LoginFailure Login() const { return m_info.login; }
    const QString& LoginRole() const { return m_info.role; }

    const char* what() const noexcept override { return m_what.c_str(); }

private:
    ErrorInfo m_info;
    std::string m_what;
};

}  // namespace ov::db
