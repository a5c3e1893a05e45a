// Extras, Options: the column lists of the four grids, the font, the three
// options and the alias function, as they reach the grids, the settings and
// the project database.

#include "host/NodeKey.h"
#include "platform/host/HelpViewer.h"
#include "settings/HelpTopics.h"
#include "model/DataConnection.h"
#include "platform/db/Connection.h"
#include "platform/ui/Progress.h"
#include "support/EditorTest.h"
#include "support/QtPrinters.h"
#include "tools/FConfigEditor.h"

#include <gtest/gtest.h>

using namespace ov;
using settings::Text;

namespace {

class OptionsTest : public test::EditorTest {
  protected:
    void SetUp() override {
        Open();
        Click(motor1);
        ClearShown();
    }
    void Options(const std::function<void(ui::Form&)>& script) {
        ui::DefaultFormRunner().Once(QStringLiteral("FConfigEditor"), script);
        RunTool("mnuOptionOption");
    }
    static QStringList Entries(ui::Form& f, const char* list) {
        QStringList texts;
        for (const auto& item : f.Get(QString::fromUtf8(list)).list.Items()) texts << item.text;
        return texts;
    }
    static void Select(ui::Form& f, const char* list, const QString& text) {
        ui::Control& box = f.Get(QString::fromUtf8(list));
        box.listIndex = static_cast<int>(box.list.IndexOfText(text).value_or(-1));
    }
    QStringList ShownCaptions(ui::GridModel& grid) {
        QStringList captions;
        for (int c : grid.DisplayColumns(1)) captions << grid.Column(c).caption;
        return captions;
    }

    const QString motor1 = host::nodekey::DeviceKey(1, QStringLiteral("."), false) + host::nodekey::kSeparator + QStringLiteral("Line1.Motor1");
};

TEST_F(OptionsTest, ChosenColumnsAreShownInTheirListOrderAndTheRestHidden) {
    QString moved;
    Options([&moved](ui::Form& f) {
        const QStringList chosen = Entries(f, "lstItemColChoosed");
        ASSERT_GE(chosen.size(), 3);
        // The second one up to the top, then the first one out.
        Select(f, "lstItemColChoosed", chosen[1]);
        f.UserClick(QStringLiteral("tbrItemCol"), 2);
        EXPECT_EQ(Entries(f, "lstItemColChoosed").front(), chosen[1]);
        Select(f, "lstItemColChoosed", chosen[1]);
        f.UserDblClick(QStringLiteral("lstItemColChoosed"));
        EXPECT_TRUE(Entries(f, "lstItemColExist").contains(chosen[1]));
        // Up at the top does nothing.
        Select(f, "lstItemColChoosed", chosen[0]);
        f.UserClick(QStringLiteral("tbrItemCol"), 2);
        EXPECT_EQ(Entries(f, "lstItemColChoosed").front(), chosen[0]);
        moved = chosen[1];
        f.PressDefault();
    });
    EXPECT_FALSE(ShownCaptions(Window().tdbI()).contains(moved));
    EXPECT_EQ(std::get<QString>(*Window().Settings().ReadAValueFromCInits(QStringLiteral("TDBIColOrders"))).isEmpty(), false);

    // Every chosen unit column back to Existing: split 1 shows none of them.
    Options([](ui::Form& f) {
        while (!Entries(f, "lstUnitColChoosed").isEmpty()) {
            Select(f, "lstUnitColChoosed", Entries(f, "lstUnitColChoosed").front());
            f.UserClick(QStringLiteral("tbrUnitCol"), 1);
        }
        f.PressDefault();
    });
    for (int c : Window().tdbU().DisplayColumns(1)) {
        const ui::GridColumn& column = Window().tdbU().Column(c);
        EXPECT_FALSE(Window().Settings().ParamExist(QStringLiteral("tdbU.Columns(\"%1\").AllowSizing").arg(column.dataField)))
            << column.caption.toStdString();
    }
}

TEST_F(OptionsTest, CancelKeepsEverythingAndOKTakesTheGeneralOptionsAndTheFont) {
    const QStringList before = ShownCaptions(Window().tdbI());
    const auto orders = Window().Settings().ReadAValueFromCInits(QStringLiteral("TDBIColOrders"));
    Options([](ui::Form& f) {
        Select(f, "lstItemColChoosed", Entries(f, "lstItemColChoosed").front());
        f.UserClick(QStringLiteral("tbrItemCol"), 1);
        f.UserCheck(QStringLiteral("chkDelQuestion"), false);
        f.UserCheck(QStringLiteral("chkShowStatusBar"), false);
        f.PressCancel();
    });
    EXPECT_EQ(ShownCaptions(Window().tdbI()), before);
    EXPECT_EQ(Window().Settings().ReadAValueFromCInits(QStringLiteral("TDBIColOrders")), orders);
    EXPECT_TRUE(Window().RequestOnDelete());
    EXPECT_TRUE(Window().sb().visible);

    ui::DefaultFormRunner().Once(QStringLiteral("FFontChoice"), [](ui::Form& f) {
        f.UserChoose(QStringLiteral("cboFontName"), QStringLiteral("DejaVu Sans Mono"));
        f.UserSetText(QStringLiteral("txtFontSize"), QStringLiteral("99"));
        f.PressDefault();
        EXPECT_TRUE(f.IsShown()) << "a size out of range is refused";
        f.UserSetText(QStringLiteral("txtFontSize"), QStringLiteral("10,5"));
        f.UserCheck(QStringLiteral("chkBold"), true);
        f.PressDefault();
    });
    Options([](ui::Form& f) {
        f.UserClick(QStringLiteral("cmdEditorFont"));
        EXPECT_EQ(f.Get(QStringLiteral("txtEditorFont")).text, QStringLiteral("DejaVu Sans Mono"));
        f.UserCheck(QStringLiteral("chkDelQuestion"), false);
        f.UserCheck(QStringLiteral("chkShowStatusBar"), false);
        f.UserCheck(QStringLiteral("chkSaveOnExit"), false);
        f.PressDefault();
    });
    EXPECT_EQ(Window().tdbG().font.name, QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(Window().tdbI().font.size, 10.5);
    EXPECT_TRUE(Window().tdbU().font.bold);
    EXPECT_FALSE(Window().RequestOnDelete());
    EXPECT_FALSE(Window().sb().visible);
    EXPECT_EQ(Window().Settings().ReadAValueFromCInits(QStringLiteral("SaveOnExit")), settings::InitValue(false));
}

class AliasTest : public OptionsTest {
  protected:
    void SetUp() override {
        // A project with the alias function on: no unique item access.
        project.Open()->DropIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess"));
        OptionsTest::SetUp();
    }
    void SwitchOff(bool yes) {
        ui::DefaultMessageBoxes().Queue(yes ? ui::Answer::Yes : ui::Answer::No);
        Options([](ui::Form& f) {
            ASSERT_TRUE(f.Get(QStringLiteral("chkSwitchView")).IsChecked());
            f.UserCheck(QStringLiteral("chkSwitchView"), false);
            f.PressDefault();
        });
    }
    bool IndexThere() { return project.Open()->HasIndex(QStringLiteral("TpdbItems"), QStringLiteral("UniqueItemAccess")); }
};

TEST_F(AliasTest, SwitchingItOffNamesEveryItemByItsAccessAndOnAgainKeepsTheNames) {
    ASSERT_TRUE(Window().SwitchViewFlag());
    // The item access column leaves the lists when the function goes off, and comes back.
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Options([](ui::Form& f) {
        const QString access = Text(112);
        const auto listed = [&] {
            return Entries(f, "lstItemColExist").contains(access) || Entries(f, "lstItemColChoosed").contains(access);
        };
        EXPECT_TRUE(listed()) << "shown in the scrolled part while on";
        f.UserCheck(QStringLiteral("chkSwitchView"), false);
        EXPECT_FALSE(listed());
        f.UserCheck(QStringLiteral("chkSwitchView"), true);
        EXPECT_TRUE(Entries(f, "lstItemColExist").contains(access));
        f.PressCancel();
    });
    ClearShown();
    project.Open()->Execute(QStringLiteral("UPDATE TpdbItems SET Name = 'Alias' || ID"));
    // Help opens the dialog's topic and leaves the question open; No then keeps it on.
    const std::size_t helpShown = host::DefaultHelpViewer().Requests().size();
    ui::DefaultMessageBoxes().Queue(ui::Answer::Help);
    SwitchOff(false);
    EXPECT_FALSE(IndexThere()) << "No keeps it on";
    ASSERT_EQ(Messages().size(), 2u) << "asked again after Help";
    EXPECT_EQ(Messages().front(), Text(2050) + u'\n' + Text(2051));
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown().front().helpTopic, settings::help::kOptionsDialog);
    ASSERT_EQ(host::DefaultHelpViewer().Requests().size(), helpShown + 1);
    EXPECT_EQ(host::DefaultHelpViewer().Requests().back().topic, settings::help::kOptionsDialog);

    SwitchOff(true);
    EXPECT_TRUE(IndexThere());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name IS NOT ItemAccess")), 0);
    EXPECT_FALSE(dynamic_cast<editor::frmtabgridOPC&>(*harness.Session().Window()).SwitchViewFlag()) << "the window follows";

    Options([](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkSwitchView"), true);
        f.PressDefault();
    });
    EXPECT_FALSE(IndexThere());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name IS NOT ItemAccess")), 0) << "names kept";
}

TEST_F(AliasTest, ADuplicateItemAccessKeepsItOnAndChangesNothing) {
    auto c = project.Open();
    c->Execute(QStringLiteral("UPDATE TpdbItems SET Name = 'Alias' || ID"));
    c->Execute(QStringLiteral("UPDATE TpdbItems SET ItemAccess = 'Same' WHERE DeviceID = 1 AND ID IN "
                              "(SELECT ID FROM TpdbItems WHERE DeviceID = 1 LIMIT 2)"));
    const bool deleteQuestion = Window().RequestOnDelete();
    ui::DefaultMessageBoxes().Queue(ui::Answer::Yes);
    Options([](ui::Form& f) {
        f.UserCheck(QStringLiteral("chkSwitchView"), false);
        f.UserCheck(QStringLiteral("chkDelQuestion"), false);
        f.PressDefault();
    });
    ASSERT_EQ(Messages().size(), 2u) << "the question and one message, not 1751 after it";
    EXPECT_EQ(ui::DefaultMessageBoxes().Shown()[1].text, Text(1753));
    EXPECT_FALSE(IndexThere());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name NOT LIKE 'Alias%'")), 0);
    EXPECT_EQ(Window().RequestOnDelete(), deleteQuestion) << "the dialog's other changes stay unapplied";
}

// Switching the alias function off at a size where it takes a while.
class LargeAliasTest : public AliasTest {
  protected:
    void SetUp() override {
        auto c = project.Open();
        c->BeginTrans();
        for (int i = 0; i < 25000; ++i)
            c->Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (1, ?, ?)"),
                       {QStringLiteral("Alias%1").arg(i), QStringLiteral("Big.I%1").arg(i)});
        c->CommitTrans();
        AliasTest::SetUp();
    }
    void TearDown() override {
        ui::DefaultProgress().cancelAt = -1;
        AliasTest::TearDown();
    }
};

TEST_F(LargeAliasTest, CancelDuringTheSwitchKeepsItOnAndEveryName) {
    ui::DefaultProgress().cancelAt = 0;
    SwitchOff(true);
    ui::DefaultProgress().cancelAt = -1;
    EXPECT_FALSE(IndexThere());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name = 'Alias7'")), 1);
    EXPECT_EQ(Messages().size(), 1) << "the question only, a Cancel is no error: " << Messages().join(u'|').toStdString();
    EXPECT_TRUE(Window().SwitchViewFlag());

    SwitchOff(true);
    EXPECT_TRUE(IndexThere());
    EXPECT_EQ(Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE Name IS NOT ItemAccess")), 0);
}

}  // namespace
