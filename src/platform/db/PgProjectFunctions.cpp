#include "platform/db/PgDialect.h"

namespace ov::db {

QStringList PgProjectFunctions() {
    return {
        QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext WITH SCHEMA public"),
        // A name column compared with a text expression ignores letter case,
        // as a NOCASE column does in a file. citext has no operators for
        // citext and text, so the server would compare both as text, with
        // regard to case: the upper bound of a prefix range ("Name <
        // 'area3.' || chr(1114111)") then lets every "Area..." row through.
        // The operators are plain SQL: the planner puts citext's own
        // comparison in place, which the name indexes serve.
        QStringLiteral(R"(DO $$
DECLARE
    op record;
BEGIN
    FOR op IN SELECT * FROM (VALUES ('<', 'lt'), ('<=', 'le'), ('>', 'gt'), ('>=', 'ge'), ('=', 'eq'), ('<>', 'ne'))
              AS v(sign, name) LOOP
        EXECUTE format('CREATE OR REPLACE FUNCTION ov_nocase_%s(a citext, b text) RETURNS boolean '
                       'LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS %L', op.name, 'SELECT a ' || op.sign || ' b::citext');
        IF NOT EXISTS (SELECT 1 FROM pg_operator o WHERE o.oprnamespace = quote_ident(current_schema())::regnamespace
                       AND o.oprname = op.sign AND o.oprleft = 'citext'::regtype AND o.oprright = 'text'::regtype) THEN
            EXECUTE format('CREATE OPERATOR %s (LEFTARG = citext, RIGHTARG = text, FUNCTION = ov_nocase_%s)',
                           op.sign, op.name);
        END IF;
    END LOOP;
END
$$)"),
        // One character of a pattern as the expression writes it: letters
        // and digits as they are, anything else by its code point.
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION ov_like_char(c text) RETURNS text
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$
SELECT CASE WHEN c ~ '^[a-z0-9]$' THEN c
            WHEN ascii(c) < 65536 THEN '\u' || lpad(to_hex(ascii(c)), 4, '0')
            ELSE '\U' || lpad(to_hex(ascii(c)), 8, '0') END
$$)"),
        // The pattern as an anchored regular expression over case-folded
        // text ("%" any run, "_" one character, "[a-z]" and "[!a-z]" sets
        // with their bounds folded, the character after the escape
        // literal), parsed exactly as LikePattern parses it.
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION ov_like_regex(pattern text, escape_char text) RETURNS text
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
    n int := length(pattern);
    i int := 1;
    j int;
    close int;
    c text;
    low text;
    high text;
    folded text;
    k int;
    result text := '^';
    run boolean := false;
BEGIN
    IF pattern IS NULL THEN
        RETURN NULL;
    END IF;
    IF escape_char IS NOT NULL AND length(escape_char) <> 1 THEN
        RAISE EXCEPTION 'ESCAPE expression must be a single character' USING ERRCODE = '22025';
    END IF;
    WHILE i <= n LOOP
        c := substr(pattern, i, 1);
        IF escape_char IS NOT NULL AND c = escape_char AND i < n THEN
            i := i + 1;
            folded := lower(upper(substr(pattern, i, 1)));
            FOR k IN 1 .. length(folded) LOOP
                result := result || ov_like_char(substr(folded, k, 1));
            END LOOP;
            run := false;
        ELSIF c = '%' THEN
            IF NOT run THEN
                result := result || '.*';
            END IF;
            run := true;
        ELSIF c = '_' THEN
            result := result || '.';
            run := false;
        ELSIF c = '[' AND strpos(substr(pattern, i + 2), ']') > 0 THEN
            close := i + 1 + strpos(substr(pattern, i + 2), ']');
            j := i + 1;
            result := result || '[';
            IF substr(pattern, j, 1) = '!' AND j + 1 < close THEN
                result := result || '^';
                j := j + 1;
            END IF;
            WHILE j < close LOOP
                low := left(lower(upper(substr(pattern, j, 1))), 1);
                IF j + 2 < close AND substr(pattern, j + 1, 1) = '-' THEN
                    high := left(lower(upper(substr(pattern, j + 2, 1))), 1);
                    IF ascii(low) > ascii(high) THEN
                        c := low;
                        low := high;
                        high := c;
                    END IF;
                    result := result || ov_like_char(low) || '-' || ov_like_char(high);
                    j := j + 3;
                ELSE
                    result := result || ov_like_char(low);
                    j := j + 1;
                END IF;
            END LOOP;
            result := result || ']';
            i := close;
            run := false;
        ELSE
            folded := lower(upper(c));
            FOR k IN 1 .. length(folded) LOOP
                result := result || ov_like_char(substr(folded, k, 1));
            END LOOP;
            run := false;
        END IF;
        i := i + 1;
    END LOOP;
    RETURN result || '$';
END
$$)"),
        // Plain SQL, so the planner puts the body in place and works out the
        // expression of a constant pattern once.
        QStringLiteral(R"(CREATE OR REPLACE FUNCTION ov_like(subject text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT lower(upper(subject)) ~ ov_like_regex(pattern, NULL)
$$)"),
        QStringLiteral(
            R"(CREATE OR REPLACE FUNCTION ov_like(subject text, pattern text, escape_char text) RETURNS boolean
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
SELECT lower(upper(subject)) ~ ov_like_regex(pattern, coalesce(escape_char, ''))
$$)"),
    };
}

}  // namespace ov::db
