#pragma once

#include <QHash>
#include <QString>
#include <functional>
#include <optional>

namespace ov::db {
class Connection;
}

namespace ov::studio {

// The roles and passwords the person typed for projects on servers. They
// live in this object for this run of the studio only, never in a settings
// file or the registry, so that opening a project of the same server again
// asks no more.
class ServerLogins {
public:
    struct Login {
        QString role;  // empty: the address's role and libpq's own places serve
        QString password;
    };
    // Asks the person (server as shown, whether the server refused the last
    // try, the role in and out, the password out); false when they cancelled.
    using Asker = std::function<bool(const QString&, bool, QString&, QString&)>;

    // Opens connection on the server project url names with the login given
    // for that server before, asking while the server wants a password or
    // refuses the one it got. Gives the login that worked, nothing when the
    // person cancelled; every other failure is thrown as a db::DbError.
    std::optional<Login> Open(db::Connection& connection, const QString& url, const QString& connectionString,
                              const Asker& ask);

private:
    QHash<QString, Login> m_logins;  // by the server's address without the project
};

}  // namespace ov::studio
