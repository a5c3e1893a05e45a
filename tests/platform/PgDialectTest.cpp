// The SQL of the data layer in PostgreSQL's form: statements the editor and
// its tools write, translated and compared with the expected server text and
// prepared on a server project made from the translated template; the
// template's column types read back; the classic Like on the server set
// against LikePattern.

#include "model/ProjectTemplate.h"
#include "platform/db/DbError.h"
#include "platform/db/LikePattern.h"
#include "platform/db/PgDialect.h"
#include "platform/db/Schema.h"
#include "platform/db/SqlDialect.h"
#include "support/PgCluster.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>
#include <map>

using namespace ov::db;
using ov::test::TempProject;

namespace {

// The names of the template's tables and columns, as the schema gives them.
const PgNames& TemplateNames() {
    static const PgNames names = [] {
        PgNames n;
        TempProject project;
        const auto connection = project.Open();
        std::map<QString, bool> neverNull;  // as the server knows it: row keys and NOT NULL columns
        for (const QString& table : connection->Tables()) {
            QStringList columns;
            QString key;
            for (const IndexInfo& index : connection->Indexes(table))
                if (index.primaryKey && index.columns.size() == 1) key = index.columns[0];
            for (const ColumnInfo& c : connection->Columns(table)) {
                columns << c.name;
                const bool never = !c.nullable || c.name.compare(key, Qt::CaseInsensitive) == 0;
                const auto [it, isNew] = neverNull.try_emplace(c.name.toLower(), never);
                if (!isNew) it->second = it->second && never;
            }
            AddPgNames(n, table, columns);
        }
        for (const auto& [column, never] : neverNull)
            if (never) AddPgNeverNull(n, column);
        return n;
    }();
    return names;
}

QString Pg(const QString& sql, int* parameters = nullptr) {
    return PgSql(TranslateSql(sql), TemplateNames(), parameters);
}

QString SqlText(const QString& text) {
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

// Statements the code writes (placeholders filled in) and their server form.
struct Case {
    const char* where;
    const char* sql;
    const char* pg;
};

const Case kStatements[] = {
    {"ItemViewBuilder, a device without separator",
     "SELECT * FROM [TpdbItems] WHERE DeviceID = 3 ORDER BY TpdbItems.Name",
     R"(SELECT * FROM "TpdbItems" WHERE "DeviceID" = 3 ORDER BY "TpdbItems"."Name" NULLS FIRST)"},
    {"ItemViewBuilder, no device", "SELECT * FROM [TpdbItems] WHERE DeviceID = 0 AND 0 = 1",
     R"(SELECT * FROM "TpdbItems" WHERE "DeviceID" = 0 AND 0 = 1)"},
    {"ItemViewBuilder, top level by instr",
     "SELECT * FROM [TpdbItems] WHERE (DeviceID = 3 AND Name >= '' AND instr(Name, '.') = 0 )",
     R"(SELECT * FROM "TpdbItems" WHERE ("DeviceID" = 3 AND "Name" >= '' AND strpos("Name", '.') = 0 ))"},
    {"ItemViewBuilder, top level by Not Like",
     "SELECT * FROM [TpdbItems] WHERE (DeviceID = 3 AND ItemAccess Not Like '%a%' )",
     R"(SELECT * FROM "TpdbItems" WHERE ("DeviceID" = 3 AND NOT ov_like("ItemAccess", '%a%') ))"},
    {"ItemViewBuilder, a folder by Like",
     "SELECT * FROM [TpdbItems] WHERE (DeviceID = 3 AND Name Like 'Motor[_]1.%' AND Name Not Like "
     "'Motor[_]1.%.%') ",
     R"(SELECT * FROM "TpdbItems" WHERE ("DeviceID" = 3 AND ov_like("Name", 'Motor[_]1.%') AND NOT ov_like("Name", 'Motor[_]1.%.%')) )"},
    {"ItemViewBuilder, the rest of a folder",
     "SELECT * FROM TpdbItems WHERE +DeviceID = 3 AND instr(substr(Name, 8), '.') = 0",
     R"(SELECT * FROM "TpdbItems" WHERE +"DeviceID" = 3 AND strpos(substr("Name", 8), '.') = 0)"},
    {"ItemViewBuilder, the next folder",
     "SELECT Name FROM TpdbItems WHERE DeviceID = 2 AND Name > 'Line1' ORDER BY Name LIMIT 1",
     R"(SELECT "Name" FROM "TpdbItems" WHERE "DeviceID" = 2 AND "Name" > 'Line1' ORDER BY "Name" NULLS FIRST LIMIT 1)"},
    {"EditorViews, units of a class", "SELECT * FROM TpdbUnits WHERE ParentID =4",
     R"(SELECT * FROM "TpdbUnits" WHERE "ParentID" =4)"},
    {"LargeProject, an item with its text",
     "INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType, AccessRights, MaxVal, TextID) VALUES (?, "
     "?, ?, ?, 3, "
     "100, last_insert_rowid())",
     R"(INSERT INTO "TpdbItems" ("DeviceID", "Name", "ItemAccess", "DataType", "AccessRights", "MaxVal", "TextID") VALUES ($1, $2, $3, $4, 3, 100, lastval()))"},
    {"LargeProject, a simulation",
     "INSERT INTO TpdbSimulation (ItemID, SimulationFunction, SimulationParameters) SELECT ItemID, "
     "'Function1', "
     "'0;100;0;10;0' FROM TpdbConnections WHERE ID = last_insert_rowid()",
     R"(INSERT INTO "TpdbSimulation" ("ItemID", "SimulationFunction", "SimulationParameters") SELECT "ItemID", 'Function1', '0;100;0;10;0' FROM "TpdbConnections" WHERE "ID" = lastval())"},
    {"ProjectTemplate, the default group", "INSERT INTO TpdbGroups (ID, Name) VALUES (1, ?)",
     R"(INSERT INTO "TpdbGroups" ("ID", "Name") VALUES (1, $1))"},
    {"ProjectTemplate, the items text group",
     "INSERT INTO TidxGroups (Name, ParentID, Type) VALUES ('Items?', 0, -3)",
     R"(INSERT INTO "TidxGroups" ("Name", "ParentID", "Type") VALUES ('Items?', 0, -3))"},
    {"ProjectDiff, units in name order",
     "SELECT c.Name || '/' || u.SwitchID AS k, u.[ID], u.[ParentID] FROM TpdbUnits u JOIN TpdbUnitClasses c "
     "ON c.ID = u.ParentID ORDER BY k COLLATE BINARY",
     R"(SELECT * FROM (SELECT "c"."Name" || '/' || "u"."SwitchID" AS "k", "u"."ID", "u"."ParentID" FROM "TpdbUnits" "u" JOIN "TpdbUnitClasses" "c" ON "c"."ID" = "u"."ParentID") AS "ov_rows" ORDER BY CAST("k" AS text) COLLATE "C" NULLS FIRST)"},
    {"A column in binary order", "SELECT Name FROM TpdbDevices ORDER BY Name COLLATE BINARY",
     R"(SELECT "Name" FROM "TpdbDevices" ORDER BY CAST("Name" AS text) COLLATE "C" NULLS FIRST)"},
    {"UndoHistory, a connection's name",
     "SELECT g.Name || ': ' || Coalesce(i.Name, i.ItemAccess) FROM TpdbConnections c JOIN TpdbGroups g ON "
     "g.ID = "
     "c.GroupID JOIN TpdbItems i ON i.ID = c.ItemID WHERE c.ID = 7",
     R"(SELECT "g"."Name" || ': ' || coalesce("i"."Name", "i"."ItemAccess") FROM "TpdbConnections" "c" JOIN "TpdbGroups" "g" ON "g"."ID" = "c"."GroupID" JOIN "TpdbItems" "i" ON "i"."ID" = "c"."ItemID" WHERE "c"."ID" = 7)"},
    {"ProjectCheck PV101",
     "SELECT i.ID, COALESCE(d.Name, CASE WHEN i.DeviceID = 0 THEN 'Intern' ELSE '#' || i.DeviceID END) || "
     "':' || "
     "COALESCE(i.Name, i.ItemAccess, '#' || i.ID) FROM TpdbItems i LEFT JOIN TpdbDevices d ON d.ID = "
     "i.DeviceID WHERE "
     "NOT EXISTS (SELECT 1 FROM TpdbConnections c JOIN TpdbGroups g ON g.ID = c.GroupID WHERE c.ItemID = "
     "i.ID) ORDER BY i.ID",
     R"(SELECT "i"."ID", coalesce("d"."Name", CASE WHEN "i"."DeviceID" = 0 THEN 'Intern' ELSE '#' || "i"."DeviceID" END) || ':' || coalesce("i"."Name", "i"."ItemAccess", '#' || "i"."ID") FROM "TpdbItems" "i" LEFT JOIN "TpdbDevices" "d" ON "d"."ID" = "i"."DeviceID" WHERE NOT EXISTS (SELECT 1 FROM "TpdbConnections" "c" JOIN "TpdbGroups" "g" ON "g"."ID" = "c"."GroupID" WHERE "c"."ItemID" = "i"."ID") ORDER BY "i"."ID")"},
    {"ProjectCheck PV102",
     "SELECT i.ID, i.DeviceID FROM TpdbItems i LEFT JOIN TpdbDevices d ON d.ID = i.DeviceID WHERE d.ID IS "
     "NULL AND i.DeviceID <> 0",
     R"(SELECT "i"."ID", "i"."DeviceID" FROM "TpdbItems" "i" LEFT JOIN "TpdbDevices" "d" ON "d"."ID" = "i"."DeviceID" WHERE "d"."ID" IS NULL AND "i"."DeviceID" <> 0)"},
    {"ProjectCheck PV110",
     "WITH RECURSIVE items(ID) AS (SELECT ID FROM TidxGroups WHERE ParentID = 0 AND Type = -3 UNION SELECT "
     "g.ID FROM "
     "TidxGroups g JOIN items ON g.ParentID = items.ID), used(ID) AS (SELECT TextID FROM TpdbItems WHERE "
     "TextID > 0) "
     "SELECT t.ID, 'TidxTexts #' || t.ID, t.Name FROM TidxTexts t WHERE t.ParentID IN (SELECT ID FROM items) "
     "AND t.ID NOT "
     "IN (SELECT ID FROM used) ORDER BY t.ID",
     R"(WITH RECURSIVE "items"("ID") AS (SELECT "ID" FROM "TidxGroups" WHERE "ParentID" = 0 AND "Type" = -3 UNION SELECT "g"."ID" FROM "TidxGroups" "g" JOIN "items" ON "g"."ParentID" = "items"."ID"), "used"("ID") AS (SELECT "TextID" FROM "TpdbItems" WHERE "TextID" > 0) SELECT "t"."ID", 'TidxTexts #' || "t"."ID", "t"."Name" FROM "TidxTexts" "t" WHERE "t"."ParentID" IN (SELECT "ID" FROM "items") AND "t"."ID" NOT IN (SELECT "ID" FROM "used") ORDER BY "t"."ID")"},
    {"ProjectCheck PV504",
     "SELECT t.ID FROM TidxTexts t WHERE (COALESCE(L1031, '') = '' OR COALESCE(L1033, '') = '') AND t.ID IN "
     "(4,5)",
     R"(SELECT "t"."ID" FROM "TidxTexts" "t" WHERE (coalesce("L1031", '') = '' OR coalesce("L1033", '') = '') AND "t"."ID" IN (4,5))"},
    {"ProjectCheck, repair",
     "DELETE FROM TidxTexts WHERE ID IN (SELECT TextID FROM TpdbItems WHERE ID = ? AND TextID > 0)",
     R"(DELETE FROM "TidxTexts" WHERE "ID" IN (SELECT "TextID" FROM "TpdbItems" WHERE "ID" = $1 AND "TextID" > 0))"},
    {"OnlineValues, the fastest group",
     "SELECT TpdbConnections.ItemID, MIN(TpdbGroups.UpdateRate) FROM TpdbConnections JOIN TpdbGroups ON "
     "TpdbGroups.ID = "
     "TpdbConnections.GroupID GROUP BY TpdbConnections.ItemID",
     R"(SELECT "TpdbConnections"."ItemID", min("TpdbGroups"."UpdateRate") FROM "TpdbConnections" JOIN "TpdbGroups" ON "TpdbGroups"."ID" = "TpdbConnections"."GroupID" GROUP BY "TpdbConnections"."ItemID")"},
    {"OnlineItems, items by a Like",
     "SELECT * FROM TpdbItems WHERE DeviceID = 1 AND Name Like 'Line1.%' ORDER BY Name",
     R"(SELECT * FROM "TpdbItems" WHERE "DeviceID" = 1 AND ov_like("Name", 'Line1.%') ORDER BY "Name" NULLS FIRST)"},
    {"BrowseApply, a structure and its comment",
     "UPDATE TpdbItems SET StructID = ?, Comment = COALESCE(?, Comment) WHERE ID = ?",
     R"(UPDATE "TpdbItems" SET "StructID" = $1, "Comment" = coalesce($2, "Comment") WHERE "ID" = $3)"},
    {"BrowseApply, the connection to group 1",
     "INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (?, last_insert_rowid())",
     R"(INSERT INTO "TpdbConnections" ("GroupID", "ItemID") VALUES ($1, lastval()))"},
    {"MStructure, the highest order number",
     "SELECT Max(OrderNum) FROM TpdbStructMembers WHERE ParentID = 12",
     R"(SELECT max("OrderNum") FROM "TpdbStructMembers" WHERE "ParentID" = 12)"},
    {"The classic dialect: True, double quotes and &",
     "SELECT * FROM TpdbDevices WHERE Enabled = True AND IsBrowsed = False AND ProgID = \"<1>\" & 'Drv'",
     R"(SELECT * FROM "TpdbDevices" WHERE "Enabled" = -1 AND "IsBrowsed" = 0 AND "ProgID" = '<1>' || 'Drv')"},
    {"Keyword-like column names", "SELECT ID, Name, ParentID, Type, [Delete], Rename FROM TidxGroups",
     R"(SELECT "ID", "Name", "ParentID", "Type", "Delete", "Rename" FROM "TidxGroups")"},
    {"Names in any case, unknown names as written",
     "select tpdbitems.name AS ItemName from TPDBITEMS where `DEVICEID` = 1",
     R"(select "TpdbItems"."Name" AS "ItemName" from "TpdbItems" where "DeviceID" = 1)"},
    // Rules the code may need: the operand shapes of Like, IS, the functions.
    {"Like: a parameter, a call, a || chain, an escape",
     "SELECT ID FROM TpdbItems WHERE ? LIKE Name AND lower(Comment) Like ? || '%' || ? AND (AccessPath) LIKE "
     "'a!%%' "
     "ESCAPE '!'",
     R"(SELECT "ID" FROM "TpdbItems" WHERE ov_like($1, "Name") AND ov_like(lower("Comment"), $2 || '%' || $3) AND ov_like(("AccessPath"), 'a!%%', '!'))"},
    {"Like with a || chain on the value side",
     "SELECT ID FROM TpdbItems i WHERE i.Name || '.' NOT LIKE substr(i.ItemAccess, 1, 3) || '%'",
     R"(SELECT "ID" FROM "TpdbItems" "i" WHERE NOT ov_like("i"."Name" || '.', substr("i"."ItemAccess", 1, 3) || '%'))"},
    {"IS and IS NOT a value",
     "SELECT ID FROM TpdbItems WHERE TextID IS ? AND Comment IS NOT NULL AND Name IS NOT ItemAccess",
     R"(SELECT "ID" FROM "TpdbItems" WHERE "TextID" IS NOT DISTINCT FROM $1 AND "Comment" IS NOT NULL AND "Name" IS DISTINCT FROM "ItemAccess")"},
    {"COLLATE NOCASE dropped",
     "SELECT Name FROM TpdbDevices WHERE Name = ? COLLATE NOCASE ORDER BY Name COLLATE NOCASE",
     R"(SELECT "Name" FROM "TpdbDevices" WHERE "Name" = $1 ORDER BY "Name" NULLS FIRST)"},
    {"SQLite's functions",
     "SELECT group_concat(ID), group_concat(Name, '; '), ifnull(max(Comment), ''), max(1, count(*)), "
     "char(65) FROM TpdbItems "
     "WHERE ID == 1 AND replace(Name, '.', '/') LIKE 'a/%'",
     R"(SELECT string_agg(CAST("ID" AS text), ','), string_agg(CAST("Name" AS text), '; '), coalesce(max("Comment"), ''), greatest(1, count(*)), chr(65) FROM "TpdbItems" WHERE "ID" = 1 AND ov_like(replace("Name", '.', '/'), 'a/%'))"},
    // Empty values sort first as in a file; row keys and NOT NULL columns need no word on it.
    {"Empty values first", "SELECT * FROM TpdbItems ORDER BY Comment DESC, TpdbItems.ID, MaxVal ASC, DeviceID",
     R"(SELECT * FROM "TpdbItems" ORDER BY "Comment" DESC NULLS LAST, "TpdbItems"."ID", "MaxVal" ASC NULLS FIRST, "DeviceID")"},
    {"Empty values first, in a sub-query", "SELECT (SELECT Name FROM TpdbDevices ORDER BY Name LIMIT 1) FROM TpdbItems ORDER BY ID",
     R"(SELECT (SELECT "Name" FROM "TpdbDevices" ORDER BY "Name" NULLS FIRST LIMIT 1) FROM "TpdbItems" ORDER BY "ID")"},
    {"Index made by name", "CREATE UNIQUE INDEX [TpdbItems.UniqueName] ON [TpdbItems] ([Name], [DeviceID])",
     R"(CREATE UNIQUE INDEX "TpdbItems.UniqueName" ON "TpdbItems" ("Name" NULLS FIRST, "DeviceID"))"},
    {"A column dropped", "ALTER TABLE TpdbItems DROP COLUMN TextID",
     R"(ALTER TABLE "TpdbItems" DROP COLUMN "TextID")"},
    {"A language added", "ALTER TABLE TidxTexts ADD COLUMN L1036 LONGTEXT",
     R"(ALTER TABLE "TidxTexts" ADD COLUMN "L1036" ov_longtext)"},
    {"A name column added", "ALTER TABLE tidxtexts ADD Alias VARCHAR(64) COLLATE NOCASE NOT NULL DEFAULT ''",
     R"(ALTER TABLE "TidxTexts" ADD COLUMN "Alias" ov_nocase_64 NOT NULL DEFAULT '')"},
};

TEST(PgDialect, StatementsOfTheCodeBaseInTheServersForm) {
    for (const Case& c : kStatements) {
        EXPECT_EQ(Pg(QString::fromUtf8(c.sql)), QString::fromUtf8(c.pg)) << c.where << "\n" << Pg(QString::fromUtf8(c.sql)).toStdString();
    }
}

TEST(PgDialect, ParametersAreNumberedInOrderOutsideQuotes) {
    int count = -1;
    EXPECT_EQ(
        Pg(QStringLiteral("UPDATE TpdbItems SET Comment = '?', Name = ?, DefaultVal = \"a?b\" WHERE ID = ? "
                          "AND [x?] = ?"),
           &count),
        QStringLiteral(
            R"(UPDATE "TpdbItems" SET "Comment" = '?', "Name" = $1, "DefaultVal" = 'a?b' WHERE "ID" = $2 AND "x?" = $3)"));
    EXPECT_EQ(count, 3);
    Pg(QStringLiteral("SELECT 1"), &count);
    EXPECT_EQ(count, 0);
}

TEST(PgDialect, TheIndexRangesOfAPrefixLikeRunOnTheServer) {
    const PrefixRanges ranges = LikePrefixRanges(QStringLiteral("Name"), QStringLiteral("Area3.L"));
    ASSERT_FALSE(ranges.conditions.isEmpty());
    EXPECT_EQ(Pg(ranges.conditions[0]),
              QStringLiteral(R"("Name" >= 'area3.l' AND "Name" < 'area3.l' || chr(1114111))"));
}

TEST(PgDialect, StatementsWithoutAServerFormAreRefused) {
    try {
        Pg(QStringLiteral("PRAGMA user_version = 1"));
        FAIL() << "PRAGMA was translated";
    } catch (const DbError& e) {
        EXPECT_EQ(e.Number(), err::ErrorsInCommand);
    }
    EXPECT_THROW(Pg(QStringLiteral("SELECT max(ID FROM TpdbItems WHERE Name LIKE ")), DbError);
}

TEST(PgDialect, TheTemplatesTablesInTheServersForm) {
    const QStringList tables = ov::model::ProjectTemplateTables();
    ASSERT_GE(tables.size(), 3);
    EXPECT_EQ(PgSql(tables[0], {}), QStringLiteral(R"(CREATE TABLE "TpdbDevices" (
    "ID" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    "Name" ov_nocase_255,
    "BlobMode" smallint NOT NULL DEFAULT 0,
    "ProgID" ov_nocase_255,
    "ProgIDConfigTool" ov_text_255,
    "ShortDescriptor" ov_text_255,
    "HierarchBrowseSeparator" ov_text_1,
    "IsBrowsed" ov_boolean NOT NULL DEFAULT 0,
    "CreateItems" ov_boolean NOT NULL DEFAULT 0,
    "WriteSingleFieldElements" ov_boolean NOT NULL DEFAULT 0,
    "Enabled" ov_boolean NOT NULL DEFAULT -1,
    "Comment" ov_longtext))"));
    EXPECT_EQ(PgDomainsFor(tables[0]).size(), 5) << "boolean, long text, two text lengths, one name length";
    EXPECT_TRUE(PgDomainsFor(tables[0]).join(u'\n').contains(
        QStringLiteral("CREATE DOMAIN ov_nocase_255 AS citext")));

    for (const QString& table : tables) {
        if (!table.contains(QStringLiteral("TpdbStructDefs"))) continue;
        EXPECT_TRUE(PgSql(table, {}).contains(QStringLiteral(
            R"("ID" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY CHECK ("ID" < 65536))")));
    }
    for (const QString& table : tables) {
        if (!table.contains(QStringLiteral("TpdbSimulation"))) continue;
        EXPECT_TRUE(PgSql(table, {}).contains(QStringLiteral(R"("ItemID" bigint PRIMARY KEY,)")))
            << "a key the rows bring themselves is no identity";
    }
}

TEST(PgDialect, DeclarationsReadBackFromTheServersTypes) {
    struct Back {
        const char* type;
        int length;
        const char* declaration;
    };
    for (const Back& b : std::initializer_list<Back>{{"ov_nocase_255", 0, "VARCHAR(255)"},
                                                     {"ov_text_1", 0, "VARCHAR(1)"},
                                                     {"ov_boolean", 0, "BOOLEAN"},
                                                     {"ov_longtext", 0, "LONGTEXT"},
                                                     {"int8", 0, "INTEGER"},
                                                     {"int2", 0, "SMALLINT"},
                                                     {"float8", 0, "DOUBLE"},
                                                     {"varchar", 40, "VARCHAR(40)"},
                                                     {"bool", 0, "BOOLEAN"}})
        EXPECT_EQ(DeclarationOfPgType(QString::fromUtf8(b.type), b.length), QString::fromUtf8(b.declaration))
            << b.type;
    EXPECT_EQ(DefaultOfPg(QStringLiteral("'-1'::integer")), QStringLiteral("-1"));
    EXPECT_EQ(DefaultOfPg(QStringLiteral("'x'::text")), QStringLiteral("'x'"));
    EXPECT_EQ(DefaultOfPg(QStringLiteral("1000")), QStringLiteral("1000"));
}

// --- on a server ---

// A database with one project schema made from the translated template.
class PgProject : public ::testing::Test {
  protected:
    void SetUp() override {
        cluster = ov::test::SharedPgCluster();
        if (!cluster) {
            if (ov::test::PgClusterMissing()) GTEST_SKIP() << ov::test::PgClusterUnavailable().toStdString();
            FAIL() << ov::test::PgClusterUnavailable().toStdString();
        }
        static int made = 0;
        database = QStringLiteral("dialect%1").arg(++made);
        cluster->CreateDatabase(database);
        QStringList script{QStringLiteral("CREATE SCHEMA plant"),
                           QStringLiteral("SET search_path = plant, public")};
        script << PgProjectFunctions();
        for (const QString& table : ov::model::ProjectTemplateTables())
            script << PgDomainsFor(table) << PgSql(table, {});
        Run(script);
    }

    // Statements run in order on one session, the project's schema first.
    void Run(QStringList statements) const {
        statements.prepend(QStringLiteral("SET search_path = plant, public"));
        cluster->RunSql(database, statements.join(QStringLiteral(";\n")));
    }
    std::vector<QStringList> Query(const QString& sql) const {
        return cluster->Query(database, QStringLiteral("SET search_path = plant, public;\n") + sql);
    }

    const ov::test::PgCluster* cluster = nullptr;
    QString database;
};

TEST_F(PgProject, TheTranslatedStatementsPrepareOnTheTemplatesTables) {
    int n = 0;
    for (const Case& c : kStatements) {
        const QString pg = Pg(QString::fromUtf8(c.sql));
        if (pg.startsWith(QLatin1String("CREATE")) || pg.startsWith(QLatin1String("ALTER"))) continue;
        const QString name = QStringLiteral("s%1").arg(++n);
        EXPECT_NO_THROW(Run({QStringLiteral("PREPARE %1 AS %2").arg(name, pg)})) << c.where << "\n"
                                                                                 << pg.toStdString();
    }
    // The prefix ranges the item views write.
    for (const QString& condition :
         LikePrefixRanges(QStringLiteral("Name"), QStringLiteral("Line1.K")).conditions)
        EXPECT_NO_THROW(
            Run({QStringLiteral("PREPARE r AS SELECT * FROM \"TpdbItems\" WHERE ") + Pg(condition)}));
}

TEST_F(PgProject, TheTemplatesColumnsReadBackAsDeclared) {
    TempProject file;
    const auto sqlite = file.Open();
    for (const QString& table : sqlite->Tables()) {
        const auto rows = Query(QString(PgColumnsQuery()).replace(QStringLiteral("$1"), SqlText(table)));
        const std::vector<ColumnInfo> declared = sqlite->Columns(table);
        ASSERT_EQ(rows.size(), declared.size()) << table.toStdString();
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const QStringList& row = rows[k];
            const ColumnInfo& column = declared[k];
            EXPECT_EQ(row[0], column.name) << "column order and proper case";
            int size = 0;
            const DataType type = DataTypeFromDeclaration(DeclarationOfPgType(row[1], row[2].toInt()), &size);
            EXPECT_EQ(type, column.type)
                << table.toStdString() << "." << column.name.toStdString() << " " << row[1].toStdString();
            EXPECT_EQ(size, column.definedSize) << table.toStdString() << "." << column.name.toStdString();
            EXPECT_EQ(row[3] == QLatin1String("YES"), column.nullable) << column.name.toStdString();
            EXPECT_EQ(DefaultOfPg(row[4]), column.defaultExpression)
                << table.toStdString() << "." << column.name.toStdString();
        }
    }
}

TEST_F(PgProject, NameColumnsCompareWithoutRegardToCase) {
    Run({Pg(QStringLiteral("CREATE UNIQUE INDEX [TpdbDevices.Name] ON TpdbDevices (Name)")),
         Pg(QStringLiteral("INSERT INTO TpdbDevices (Name, Enabled) VALUES ('Motor', True)"))});
    EXPECT_THROW(Run({Pg(QStringLiteral("INSERT INTO TpdbDevices (Name) VALUES ('MOTOR')"))}),
                 std::runtime_error);
    EXPECT_EQ(Query(Pg(QStringLiteral(
                  "SELECT ID, Enabled FROM TpdbDevices WHERE Name = 'motor' COLLATE NOCASE")))[0][1],
              QStringLiteral("-1"));
    // An identity column gives 1, 2, ... and a row may bring its own key.
    Run({Pg(QStringLiteral("INSERT INTO TpdbGroups (ID, Name) VALUES (1, 'Standard')"))});
    EXPECT_EQ(Query(Pg(QStringLiteral(
                  "INSERT INTO TpdbItems (Name, DeviceID) VALUES ('a', 1) RETURNING ID")))[0][0],
              QStringLiteral("1"));
}

// The classic Like on the server against LikePattern, case by case.
TEST_F(PgProject, OvLikeAgreesWithLikePattern) {
    struct Pair {
        const char* value;
        const char* pattern;
        const char* escape;  // nullptr: none
    };
    const Pair pairs[] = {
        {"Motor1", "Motor1", nullptr},
        {"Motor1", "motor1", nullptr},
        {"Motor1", "Motor", nullptr},
        {"Motor1", "Mot%", nullptr},
        {"Motor1", "%1", nullptr},
        {"Motor1", "%", nullptr},
        {"", "%", nullptr},
        {"", "_", nullptr},
        {"Motor1", "M_tor_", nullptr},
        {"Motor1", "M_tor", nullptr},
        {"Line1.Motor1.Speed", "Line1.%.%", nullptr},
        {"Line1.Speed", "Line1.%.%", nullptr},
        {"a%b", "a[%]b", nullptr},
        {"axb", "a[%]b", nullptr},
        {"a_b", "a[_]b", nullptr},
        {"a[b", "a[[]b", nullptr},
        {"Q", "[a-z]", nullptr},
        {"7", "[a-z]", nullptr},
        {"7", "[!a-z]", nullptr},
        {"q", "[!a-z]", nullptr},
        {"m", "[z-a]", nullptr},
        {"b", "[abc]", nullptr},
        {"B", "[abc]", nullptr},
        {"!", "[!]", nullptr},
        {"-", "[a-]", nullptr},
        {"]", "[]]", nullptr},
        {"a[", "a[", nullptr},
        {"a[]", "a[]", nullptr},
        {"x.y", "x_y", nullptr},
        {"x+y*z", "x+y*z", nullptr},
        {"(a)|b$", "(a)|b$", nullptr},
        {"a\\b", "a\\b", nullptr},
        {"line\nfeed", "line%feed", nullptr},
        {"Öl", "öl", nullptr},
        {"ÖL", "[ö]l", nullptr},
        {"STRAßE", "straße", nullptr},
        {"\u212A", "k", nullptr},
        {"Σίσυφος", "σίσυφοσ", nullptr},
        {"10%", "10!%", "!"},
        {"105", "10!%", "!"},
        {"a_b", "a\\_b", "\\"},
        {"axb", "a\\_b", "\\"},
        {"A", "!A", "!"},
        {"50%", "%!%", "!"},
        {"ab", "a%%%b", nullptr},
        {"aXXbXXc", "a%b%c", nullptr},
        {"€ 5", "€ _", nullptr},
        {"😀x", "_x", nullptr},
    };
    QStringList rows;
    for (std::size_t k = 0; k < std::size(pairs); ++k)
        rows << QStringLiteral("(%1, %2, %3, %4)")
                    .arg(k)
                    .arg(SqlText(QString::fromUtf8(pairs[k].value)),
                         SqlText(QString::fromUtf8(pairs[k].pattern)),
                         pairs[k].escape ? SqlText(QString::fromUtf8(pairs[k].escape))
                                         : QStringLiteral("NULL"));
    const auto answers =
        Query(QStringLiteral(
                  "SELECT n, CASE WHEN e IS NULL THEN ov_like(v, p) ELSE ov_like(v, p, e) END, "
                  "CASE WHEN e IS NULL THEN ov_like(v::citext, p) ELSE ov_like(v::citext, p::citext, e) END "
                  "FROM (VALUES %1) AS t(n, v, p, e) ORDER BY n")
                  .arg(rows.join(u',')));
    ASSERT_EQ(answers.size(), std::size(pairs));
    for (std::size_t k = 0; k < std::size(pairs); ++k) {
        const Pair& pair = pairs[k];
        const QChar escape = pair.escape ? QString::fromUtf8(pair.escape)[0] : QChar();
        const bool expected =
            LikePattern(QString::fromUtf8(pair.pattern), escape).Matches(QString::fromUtf8(pair.value));
        const QString want = expected ? QStringLiteral("t") : QStringLiteral("f");
        EXPECT_EQ(answers[k][1], want) << "'" << pair.value << "' Like '" << pair.pattern << "'";
        EXPECT_EQ(answers[k][2], want) << "citext: '" << pair.value << "' Like '" << pair.pattern << "'";
    }
}

TEST_F(PgProject, OvLikeOfNullIsNullAndABadEscapeIsRefused) {
    const auto row = Query(QStringLiteral(
        "SELECT ov_like(NULL, 'a') IS NULL, ov_like('a', NULL) IS NULL, ov_like(NULL, 'a', '!') IS NULL"));
    EXPECT_EQ(row[0], (QStringList{QStringLiteral("t"), QStringLiteral("t"), QStringLiteral("t")}));
    EXPECT_THROW(Query(QStringLiteral("SELECT ov_like('a', 'a', '!!')")), std::runtime_error);
    EXPECT_THROW(Query(QStringLiteral("SELECT ov_like('a', 'a', NULL)")), std::runtime_error);
}

// A name column against a text expression ignores letter case, so the
// prefix ranges of a folder give its rows and no others, whatever the case
// of the names; and compared with a text value the name matches as it does
// with a literal.
TEST_F(PgProject, PrefixRangesOfNameColumnsGiveTheFoldersRowsInAnyCase) {
    const QStringList names = {QStringLiteral("Area3.Line5.Motor"), QStringLiteral("AREA3.LINE5.Pump"),
                               QStringLiteral("area3.line5.valve"), QStringLiteral("Area3.Line50.Fan"),
                               QStringLiteral("Area3.Line4.Belt"),  QStringLiteral("Area4.Line5.Gate"),
                               QStringLiteral("Zone1.Drive"),       QStringLiteral("B.Line5.Motor")};
    QStringList values;
    for (const QString& name : names) values << QStringLiteral("(%1, %1, 1)").arg(SqlText(name));
    Run({Pg(QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) VALUES ") + values.join(u','))});
    for (const char* folder : {"Area3.Line5.", "area3.LINE5.", "Area3.", "Zone"}) {
        const QString prefix = QString::fromUtf8(folder);
        const PrefixRanges ranges = LikePrefixRanges(QStringLiteral("ItemAccess"), prefix);
        ASSERT_TRUE(ranges.exact) << folder;
        const auto rows = Query(Pg(QStringLiteral("SELECT Name FROM TpdbItems WHERE (") +
                                   ranges.conditions.join(QStringLiteral(") OR (")) + QStringLiteral(")")));
        QStringList found;
        for (const QStringList& row : rows) found << row[0];
        QStringList expected;
        const LikePattern like(prefix + u'%');
        for (const QString& name : names)
            if (like.Matches(name)) expected << name;
        found.sort();
        expected.sort();
        EXPECT_EQ(found, expected) << folder;
    }
    EXPECT_EQ(Query(QStringLiteral("SELECT count(*) FROM \"TpdbItems\" WHERE \"Name\" = 'ZONE1.drive'::text"))[0][0],
              QStringLiteral("1"));
    EXPECT_EQ(Query(QStringLiteral("SELECT count(*) FROM \"TpdbItems\" WHERE \"Name\" <> 'ZONE1.drive'::text"))[0][0],
              QString::number(names.size() - 1));
}

TEST_F(PgProject, ALikeInAStatementRunsOnNameColumns) {
    Run({Pg(
        QStringLiteral("INSERT INTO TpdbItems (Name, ItemAccess, DeviceID) VALUES ('Line1.Motor1', 'x', 1), "
                       "('LINE1.Pump', 'y', 1), ('Line1.Motor1.Speed', 'z', 1), ('Line2.Motor', 'w', 1)"))});
    const auto rows =
        Query(Pg(QStringLiteral("SELECT Name FROM [TpdbItems] WHERE (DeviceID = 1 AND Name Like 'line1.%' "
                                "AND Name Not Like 'Line1.%.%') ORDER BY Name")));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], QStringLiteral("Line1.Motor1"));
    EXPECT_EQ(rows[1][0], QStringLiteral("LINE1.Pump"));
}

}  // namespace
