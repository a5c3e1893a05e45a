#include "studio/ServerLogins.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/PgBackend.h"

#include <QUrl>

namespace ov::studio {

namespace {

// "host:port/database": enough for the person to know which server asks.
QString ServerShown(const QString& url) {
    const QUrl address(url);
    QString shown = address.host();
    if (address.port() > 0) shown += u':' + QString::number(address.port());
    return shown + address.path();
}

}  // namespace

std::optional<ServerLogins::Login> ServerLogins::Open(db::Connection& connection, const QString& url,
                                                      const QString& connectionString, const Asker& ask) {
    const QString server = db::ParseServerDataSource(url).conninfo;
    Login login = m_logins.value(server);
    bool asked = false;
    for (;;) {
        try {
            connection.Open(connectionString, login.role, login.password);
            if (!login.role.isEmpty()) m_logins.insert(server, login);
            return login;
        } catch (const db::DbError& e) {
            if (e.Login() == db::LoginFailure::None || !ask) throw;
            m_logins.remove(server);
            // The first question says who asks; every later one that the last answer failed.
            const bool refused = asked || e.Login() == db::LoginFailure::PasswordRefused;
            QString role = login.role.isEmpty() ? e.LoginRole() : login.role;
            QString password;
            if (!ask(ServerShown(url), refused, role, password)) return std::nullopt;
            login = {role, password};
            asked = true;
        }
    }
}

}  // namespace ov::studio
