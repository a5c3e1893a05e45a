#include "platform/db/PgProjectSchema.h"

namespace ov::db {

namespace {

// The trigger functions keep the project's search path of their making, so
// that a write from any program (psql, a script of the team's own) is logged
// and keeps the keys ahead as the editor's own writes do.
//
// A key given explicitly (the template's first group, a row brought back by
// undo, a copied project) moves the table's key sequence past it, so that the
// next new row does not collide with it, as a file's next row ID would not.
const char* const kKeepKeyAhead = R"(
CREATE FUNCTION ov_keep_key_ahead() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
    sequence text := pg_get_serial_sequence(quote_ident(TG_TABLE_SCHEMA) || '.' || quote_ident(TG_TABLE_NAME), TG_ARGV[0]);
    top bigint;
BEGIN
    EXECUTE format('SELECT max(%I) FROM ov_new_rows', TG_ARGV[0]) INTO top;
    IF top IS NOT NULL AND top > coalesce(pg_sequence_last_value(sequence::regclass), 0) THEN
        PERFORM setval(sequence, top);
    END IF;
    RETURN NULL;
END $$)";

// Every row change of a project, for each engineer's undo and for telling
// the other studios what changed: who, when, which table, the row before and after.
const char* const kChangeLog[] = {
    R"(CREATE TABLE ov_changes (
        seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        pid integer NOT NULL DEFAULT pg_backend_pid(),
        who text NOT NULL DEFAULT session_user,
        at timestamptz NOT NULL DEFAULT clock_timestamp(),
        tbl text NOT NULL,
        before jsonb,
        after jsonb))",
    // Trimming by age reads only the oldest pages: the log is written in time order.
    "CREATE INDEX ov_changes_at ON ov_changes USING brin (at)",
    R"(CREATE FUNCTION ov_log_change() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    -- A connection filling a new project (a copy) keeps no log.
    IF current_setting('ov.log', true) = 'off' THEN
        RETURN NULL;
    END IF;
    INSERT INTO ov_changes (tbl, before, after)
    VALUES (TG_TABLE_NAME, CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END,
            CASE WHEN TG_OP <> 'DELETE' THEN to_jsonb(NEW) END);
    -- One notice per transaction (the server folds equal ones): the
    -- listeners read what changed from the log.
    PERFORM pg_notify('ov_changes', TG_TABLE_SCHEMA);
    RETURN NULL;
END $$)",
};

}  // namespace

void CreateProjectObjects(PgSession& session) {
    for (const QString& statement : PgProjectFunctions()) session.Run(statement);
    session.Run(QString::fromUtf8(kKeepKeyAhead));
    for (const char* statement : kChangeLog) session.Run(QString::fromUtf8(statement));
}

void AddTableTriggers(PgSession& s) {
    pg::Result unlogged =
        s.Run(QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                             "WHERE n.nspname = $1 AND c.relkind = 'r' AND c.relname NOT LIKE 'ov\\_%' "
                             "AND NOT EXISTS (SELECT 1 FROM pg_trigger g WHERE g.tgrelid = c.oid "
                             "AND g.tgname = 'ov_log')"),
              {s.schema});
    for (int i = 0; i < PQntuples(unlogged.get()); ++i)
        s.Run(QStringLiteral("CREATE TRIGGER ov_log AFTER INSERT OR UPDATE OR DELETE ON \"%1\" FOR EACH ROW "
                             "EXECUTE FUNCTION ov_log_change()")
                  .arg(QString::fromUtf8(PQgetvalue(unlogged.get(), i, 0))));
    pg::Result r =
        s.Run(QStringLiteral(
                  "SELECT c.relname, a.attname FROM pg_attribute a JOIN pg_class c ON c.oid = a.attrelid "
                  "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 "
                  "AND a.attidentity <> '' AND NOT EXISTS (SELECT 1 FROM pg_trigger g "
                  "WHERE g.tgrelid = c.oid AND g.tgname = 'ov_key_ahead')"),
              {s.schema});
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        const QString table = QString::fromUtf8(PQgetvalue(r.get(), i, 0));
        const QString key = QString::fromUtf8(PQgetvalue(r.get(), i, 1));
        s.Run(QStringLiteral(
                  "CREATE TRIGGER ov_key_ahead AFTER INSERT ON \"%1\" REFERENCING NEW TABLE AS ov_new_rows "
                  "FOR EACH STATEMENT EXECUTE FUNCTION ov_keep_key_ahead('%2')")
                  .arg(table, key));
    }
}

void TrimChangeLog(PgSession& session) {
    session.Run(QStringLiteral("DELETE FROM ov_changes WHERE at < now() - make_interval(hours => $1::int)"),
                {QString::number(kChangeLogHours)});
}

void RefreshStatistics(PgSession& session) {
    pg::Result r =
        session.Run(QStringLiteral("SELECT string_agg(quote_ident(c.relname), ', ') FROM pg_class c "
                                   "JOIN pg_namespace n ON n.oid = c.relnamespace "
                                   "WHERE n.nspname = $1 AND c.relkind = 'r'"),
                    {session.schema});
    const QString tables = QString::fromUtf8(PQgetvalue(r.get(), 0, 0));
    // VACUUM marks the pages all-visible too, so the tree's queries can
    // answer from the indexes alone. It runs outside a transaction only.
    if (!tables.isEmpty()) session.Run(QStringLiteral("VACUUM (ANALYZE) %1").arg(tables));
}

}  // namespace ov::db
