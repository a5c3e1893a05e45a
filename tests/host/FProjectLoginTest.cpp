// The log-on dialog of a project on a server, played by the scripted runner
// as the studio's person would.

#include "host/FProjectLogin.h"
#include "platform/ui/FormPresenter.h"
#include "settings/TextTable.h"

#include <gtest/gtest.h>

using namespace ov;

namespace {

const QString kServer = QStringLiteral("plant-db:5432/plant");

class FProjectLoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ui::DefaultFormRunner().Clear();
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
    }
    void TearDown() override {
        EXPECT_TRUE(ui::DefaultFormRunner().Unexpected().isEmpty());
        ui::DefaultFormRunner().Clear();
    }
    static void Answer(ui::ScriptedFormRunner::Script script) {
        ui::DefaultFormRunner().Once(QStringLiteral("FProjectLogin"), std::move(script));
    }
};

TEST_F(FProjectLoginTest, TheKnownRoleIsOfferedAndThePasswordTypedComesBack) {
    QString prompt;
    Answer([&](ui::Form& f) {
        prompt = f.Get(QStringLiteral("lblPrompt")).caption;
        EXPECT_EQ(f.Get(QStringLiteral("txtUser")).text, QStringLiteral("anna"));
        EXPECT_TRUE(f.Get(QStringLiteral("txtPassword")).masked);
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtPassword")) << "the role is known";
        f.UserSetText(QStringLiteral("txtPassword"), QStringLiteral(" s3cret "));
        EXPECT_TRUE(f.PressDefault());
    });
    QString role = QStringLiteral("anna"), password;
    ASSERT_TRUE(host::AskProjectLogin(kServer, false, role, password));
    EXPECT_TRUE(prompt.contains(kServer)) << prompt.toStdString();
    EXPECT_EQ(role, QStringLiteral("anna"));
    EXPECT_EQ(password, QStringLiteral(" s3cret ")) << "a password is taken as typed, blanks and all";

    // After a refusal the dialog says so instead, and another role may be typed.
    Answer([&](ui::Form& f) {
        prompt = f.Get(QStringLiteral("lblPrompt")).caption;
        f.UserSetText(QStringLiteral("txtUser"), QStringLiteral("  bert "));
        f.UserSetText(QStringLiteral("txtPassword"), QStringLiteral("other"));
        f.PressDefault();
    });
    ASSERT_TRUE(host::AskProjectLogin(kServer, true, role, password));
    EXPECT_EQ(prompt, QStringLiteral("The project server refused the password of the role 'anna'."));
    EXPECT_EQ(role, QStringLiteral("bert"));
    EXPECT_EQ(password, QStringLiteral("other"));
}

TEST_F(FProjectLoginTest, OkNeedsARoleAndCancelChangesNothing) {
    Answer([](ui::Form& f) {
        EXPECT_EQ(f.Focus().control, QStringLiteral("txtUser"));
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled);
        f.UserSetText(QStringLiteral("txtUser"), QStringLiteral("   "));
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled) << "blanks are no role";
        f.UserSetText(QStringLiteral("txtUser"), QStringLiteral("carl"));
        EXPECT_TRUE(f.Get(QStringLiteral("cmdOK")).enabled);
        f.UserSetText(QStringLiteral("txtPassword"), QStringLiteral("typed"));
        EXPECT_TRUE(f.PressCancel());
    });
    QString role, password = QStringLiteral("before");
    EXPECT_FALSE(host::AskProjectLogin(kServer, false, role, password));
    EXPECT_TRUE(role.isEmpty());
    EXPECT_EQ(password, QStringLiteral("before"));
}

}  // namespace
