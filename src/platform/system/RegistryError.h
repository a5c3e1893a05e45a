#pragma once

#include <QString>
#include <exception>
#include <string>

namespace ov::sys {

// The registry file exists but cannot be read. Unlike a missing value, this
// is an error: callers that depend on the registry report it and stop.
class RegistryError : public std::exception {
public:
    explicit RegistryError(const QString& message);

    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
};

}  // namespace ov::sys
