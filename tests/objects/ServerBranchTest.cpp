// A folder's item commands on a project on a server: what they read below
// the folder must be SQL the server takes as well as a file does.

#include "objects/ObjectTest.h"
#include "support/TempProject.h"

#include <memory>

using namespace ov;
using test::Store;
using test::TempProject;
using test::Words;

namespace {

class ServerBranchTest : public test::ObjectTest {
  protected:
    void SetUp() override {
        OV_REQUIRE_STORE(Store::Server);
        server = std::make_unique<TempProject>(Store::Server);
        {
            const auto c = server->Open();
            c->Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) "
                                      "VALUES (1, 'Dev', '.'), (2, 'Other', '.')"));
            test::AddItems(*c, 1, Words("A.B.t1 A.B.C.t2 A.t3 C.x Top"), 1, 1);
        }
        harness.Start(server->Path());
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        harness.Load();
        ClearShown();
    }
    void TearDown() override {
        harness.Session().Terminate();
        test::ObjectTest::TearDown();
    }

    QString Folder(const char* path) const {
        return host::nodekey::DeviceKey(1, QStringLiteral("."), false) + host::nodekey::kSeparator + QString::fromUtf8(path);
    }
    QStringList Values(const QString& sql) const {
        const auto c = server->Open();
        db::Recordset rs;
        QStringList values;
        for (rs.Open(sql, *c); !rs.IsEOF(); rs.MoveNext()) values << rs.Fields(0).Value().toString();
        return values;
    }
    QStringList Names() const { return Values(QStringLiteral("SELECT Name FROM TpdbItems WHERE DeviceID = 1 ORDER BY Name")); }

    std::unique_ptr<TempProject> server;
};

TEST_F(ServerBranchTest, AFoldersItemsAreCopiedPastedAndDeletedWithWhatHangsOnThem) {
    OnNode(Folder("A.B"), "mnuDeviceHelperItemsCopy", true);
    ASSERT_TRUE(Window().itemBufferFilled) << "the copy read no items below the folder";
    OnNode(Folder("C"), "mnuDeviceHelperItemsPaste", true);
    EXPECT_EQ(Names(), Words("A.B.C.t2 A.B.t1 A.t3 C.B.C.t2 C.B.t1 C.x Top"));

    // "A" but not "C" nor "Top": every item below the folder goes with its connections.
    DontAskOnDelete();
    OnNode(Folder("A"), "mnuDeviceHelperItemsDelete", true);
    EXPECT_EQ(LastMessage(), QString());
    EXPECT_EQ(Names(), Words("C.B.C.t2 C.B.t1 C.x Top"));
    EXPECT_EQ(Values(QStringLiteral("SELECT COUNT(*) FROM TpdbConnections c LEFT JOIN TpdbItems i ON i.ID = c.ItemID "
                                    "WHERE i.ID IS NULL")),
              QStringList{QStringLiteral("0")});
}

}  // namespace
