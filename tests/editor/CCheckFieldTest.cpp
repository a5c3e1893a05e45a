#include "editor/CCheckField.h"
#include "platform/ui/Control.h"
#include "platform/ui/Desktop.h"

#include <gtest/gtest.h>

using ov::editor::CCheckField;

namespace {

TEST(CCheckField, TheFourModes) {
    const QString text = QStringLiteral("Motor 1_(a)-ä!");
    EXPECT_EQ(CCheckField::Filter(text, 1, false), QStringLiteral("Motor_(a)"));
    EXPECT_EQ(CCheckField::Filter(text, 3, false), QStringLiteral("Motor1_(a)"));
    EXPECT_EQ(CCheckField::Filter(text, 5, false), QStringLiteral("Motor_(a)-ä!"));
    EXPECT_EQ(CCheckField::Filter(text, 6, false), QStringLiteral("1_()-ä!"));
    EXPECT_EQ(CCheckField::Filter(text, 3 | 8, false), QStringLiteral("Motor 1_(a)")) << "bit 8 keeps spaces";
    EXPECT_EQ(CCheckField::Filter(QStringLiteral("Ch1"), 3, false), QStringLiteral("Ch1"));
}

TEST(CCheckField, BeepsOnlyWhenSomethingWasRemoved) {
    const int before = ov::ui::DefaultDesktop().Beeps();
    CCheckField::Filter(QStringLiteral("Ch1"), 3, true);
    EXPECT_EQ(ov::ui::DefaultDesktop().Beeps(), before);
    CCheckField::Filter(QStringLiteral("Ch 1"), 3, true);
    EXPECT_EQ(ov::ui::DefaultDesktop().Beeps(), before + 1);
}

TEST(CCheckField, WatchesATextBoxWhileEnabled) {
    ov::ui::Control box(ov::ui::ControlType::TextBox, QStringLiteral("txtName"));
    CCheckField check;
    check.InitializeTextBox(box, 2, 3);
    box.text = QStringLiteral("Pump #2");
    check.TextBoxChanged();
    EXPECT_EQ(box.text, QStringLiteral("Pump2"));
    CCheckField off;
    off.InitializeTextBox(box, 0, 3);
    box.text = QStringLiteral("a b");
    off.TextBoxChanged();
    EXPECT_EQ(box.text, QStringLiteral("a b"));
}

}  // namespace
