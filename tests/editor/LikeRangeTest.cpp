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
    ".lead",     "trail.",    "Straße.q",  "STRASSE.r",  "ÉTÉ.s",       "été.t",    "Ete.u"};

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
};

TEST_F(LikeRangeTest, AFoldersRowsAreTheSameWithAndWithoutTheRange) {
    const QString device = host::nodekey::DeviceKey(7, QStringLiteral("."), false);
    for (const QString& path : QStringList{"Line1", "line1", "LINE1", "Line1.Sub", "Ölpumpe", "ÖLPUMPE", "K-Wert", "k-wert", "s",
                                "S", "50%", "a_b", "[x]", "x]", "trail", "Straße", "STRASSE", "été", "ÉTÉ", "Ete"}) {
        const QString key = device + host::nodekey::kSeparator + path;
        const QString sql = editor::ItemViewBuilder::ForNode(key, QStringLiteral("Name"), QString()).sql;
        // What the folder is: its items, and nothing below its subfolders, by the Like alone.
        const QString p = editor::ItemViewBuilder::LikeLiteral(path);
        const QString likeOnly = QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 AND Name Like '%1.%' AND Name Not Like '%1.%.%'").arg(p);
        EXPECT_EQ(Rows(sql), Rows(likeOnly)) << path.toStdString() << " " << sql.toStdString();
        EXPECT_FALSE(Rows(likeOnly).isEmpty() && path == QStringLiteral("Line1")) << "the test finds rows at all";
    }
}

TEST_F(LikeRangeTest, TheRangeCoversOnlyCharactersWithoutNonAsciiPartners) {
    EXPECT_EQ(db::LikePrefixRange(QStringLiteral("Name"), QStringLiteral("Line1.")),
              QStringLiteral("Name >= 'Line1.' AND Name < 'Line1.' || char(1114111)"));
    // The Kelvin sign folds to "k", the long s to "s": the range stops before them.
    EXPECT_EQ(db::LikePrefixRange(QStringLiteral("Name"), QStringLiteral("Tank.")),
              QStringLiteral("Name >= 'Tan' AND Name < 'Tan' || char(1114111)"));
    EXPECT_TRUE(db::LikePrefixRange(QStringLiteral("Name"), QStringLiteral("Straße.")).isEmpty()) << "S";
    EXPECT_TRUE(db::LikePrefixRange(QStringLiteral("Name"), QStringLiteral("Öl.")).isEmpty());
    EXPECT_EQ(db::LikePrefixRange(QStringLiteral("Name"), QStringLiteral("O'Neil.")),
              QStringLiteral("Name >= 'O''Neil.' AND Name < 'O''Neil.' || char(1114111)"));
}

TEST_F(LikeRangeTest, ItemsOutsideEveryFolderAreTheSameFoundEitherWay) {
    const QString device = host::nodekey::DeviceKey(7, QStringLiteral("."), false);
    const QString sql = editor::ItemViewBuilder::ForNode(device, QStringLiteral("Name"), QString()).sql;
    EXPECT_TRUE(sql.contains(QStringLiteral("instr(")));
    EXPECT_EQ(Rows(sql), Rows(QStringLiteral("SELECT * FROM TpdbItems WHERE DeviceID = 7 AND Name Not Like '%.%'")));
    // A separator with letter case keeps the case-insensitive Like.
    const QString lettered = host::nodekey::DeviceKey(7, QStringLiteral("x"), false);
    EXPECT_FALSE(editor::ItemViewBuilder::ForNode(lettered, QStringLiteral("Name"), QString()).sql.contains(QStringLiteral("instr(")));
}

}  // namespace
