// The index range beside a folder's Like: for every folder path it must let
// through exactly the rows the case-insensitive Like gives, whatever the
// letters, the pattern characters or the separators in the names.

#include "editor/ItemViewBuilder.h"
#include "host/NodeKey.h"
#include "platform/db/Connection.h"
#include "platform/db/LikePattern.h"
#include "platform/db/Recordset.h"
#include "support/QtPrinters.h"
#include "support/TempProject.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

const QStringList kNames = {
    "Line1.A",   "Line10.B",  "line1.c",   "LINE1.D",    "Line1.",      "Line1..x", "Line1.Sub.E",
    "Ölpumpe.X", "ölpumpe.Y", "ÖLPUMPE.Z", "K-Wert.a",   "\u212A-Wert.b", "s.x",    "\u017F.y",
    "S.z",       "50%.x",     "5000.y",    "a_b.x",      "axb.y",       "[x].y",    "x].z",
    ".lead",     "trail.",    "Straße.q",  "STRASSE.r",  "ÉTÉ.s",       "été.t",    "Ete.u",
    "Σ.a",       "σ.b",       "ς.c",       "\U0001D538bc.d", "\U0001D538bc.e.f", "sss.g", "ſſ.h"};

class LikeRangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (7, 'Dev', '.')"));
        int n = 0;
        for (const QString& name : kNames)
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (7, ?, ?)"),
                       {name, QStringLiteral("A%1.").arg(n++) + name});
    }
    QStringList Rows(const QString& sql) {
        db::Recordset rs;
        rs.Open(sql, *c);
        QStringList names;
        for (; !rs.IsEOF(); rs.MoveNext()) names << rs.Value(QStringLiteral("Name")).toString();
        names.sort();
        return names;
    }

    test::TempProject project;
    std::unique_ptr<db::Connection> c = project.Open();
    const QString device = host::nodekey::DeviceKey(7, QStringLiteral("."), false);
};

TEST_F(LikeRangeTest, AFoldersRowsAreTheSameWithAndWithoutTheRange) {
    for (const QString& path : QStringList{"Line1", "line1", "LINE1", "Line1.Sub", "Ölpumpe", "ÖLPUMPE", "K-Wert", "k-wert", "s",
                                "S", "50%", "a_b", "[x]", "x]", "trail", "Straße", "STRASSE", "été", "ÉTÉ", "Ete", "σ", "ς",
                                "\U0001D538bc", "SSS", "ſſ"}) {
        const QString key = device + host::nodekey::kSeparator + path;
        const QString sql = editor::ItemViewBuilder::ForNode(key, QStringLiteral("Name"), QString()).sql;
        // What the folder is: its items, and nothing below its subfolders, by the Like alone.
        const QString p = editor::ItemViewBuilder::LikeLiteral(path);
        const QString likeOnly = QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 AND Name Like '%1.%' AND Name Not Like '%1.%.%'").arg(p);
        EXPECT_EQ(Rows(sql), Rows(likeOnly)) << path.toStdString() << " " << sql.toStdString();
        EXPECT_FALSE(Rows(likeOnly).isEmpty() && path == QStringLiteral("Line1")) << "the test finds rows at all";
    }
}

TEST_F(LikeRangeTest, EverySpellingTheIndexKeepsApartGetsItsOwnRange) {
    const auto ranges = [](const char* literal) { return db::LikePrefixRanges(QStringLiteral("Name"), QString::fromUtf8(literal)); };
    EXPECT_EQ(ranges("Line1.").conditions, QStringList{"Name >= 'line1.' AND Name < 'line1.' || char(1114111)"})
        << "ASCII letters and their partners are one range of the NOCASE index";
    // The Kelvin sign folds to "k", the long s to "s", capital sharp s to ß. Many such
    // letters: the ranges stop early and only narrow the search.
    for (const auto& [literal, count, exact] : {std::tuple{"Line1.", 1, true}, {"Tank.", 2, true}, {"Straße.", 4, true},
                                                {"Öl.", 2, true}, {"Kessel.Sensors.", 8, false}, {"", 0, false}}) {
        EXPECT_EQ(ranges(literal).conditions.size(), count) << literal;
        EXPECT_EQ(ranges(literal).exact, exact) << literal;
    }
    EXPECT_TRUE(ranges("Kessel.Sensors.").conditions.front().contains(QStringLiteral("'kessel.'")));
    EXPECT_EQ(ranges("O'Neil.").conditions, QStringList{"Name >= 'o''neil.' AND Name < 'o''neil.' || char(1114111)"});
}

TEST_F(LikeRangeTest, ItemsBelowAFolderAreTheSameWithAndWithoutTheRanges) {
    // The rows a branch command works on, for paths with several spellings.
    for (const QString& path : QStringList{"s.", "K-Wert.", "ölpumpe.", "Line1.", "Σ.", "\U0001D538bc.", "ss", ""}) {
        const db::PrefixRanges ranges = db::LikePrefixRanges(QStringLiteral("Name"), path);
        for (const QString& field : {QStringLiteral("Name"), QStringLiteral("ItemAccess")}) {
            const QString like = QStringLiteral("%1 Like '%2%'").arg(field, editor::ItemViewBuilder::LikeLiteral(path));
            const QString where = editor::ItemViewBuilder::RowsInRanges(
                7, field, db::LikePrefixRanges(field, path), ranges.exact ? QStringLiteral("1") : like);
            EXPECT_EQ(Rows(QStringLiteral("SELECT * FROM TpdbItems WHERE ") + where),
                      Rows(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 AND ") + like))
                << path.toStdString() << " " << where.toStdString();
        }
    }
}

TEST_F(LikeRangeTest, ItemsOutsideEveryFolderAreTheSameFoundEitherWay) {
    const QString sql = editor::ItemViewBuilder::ForNode(device, QStringLiteral("Name"), QString()).sql;
    EXPECT_TRUE(sql.contains(QStringLiteral("instr(")));
    EXPECT_EQ(Rows(sql), Rows(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 AND Name Not Like '%.%'")));
    // A separator with letter case keeps the case-insensitive Like.
    const QString lettered = host::nodekey::DeviceKey(7, QStringLiteral("x"), false);
    EXPECT_FALSE(editor::ItemViewBuilder::ForNode(lettered, QStringLiteral("Name"), QString()).sql.contains(QStringLiteral("instr(")));
}

}  // namespace
