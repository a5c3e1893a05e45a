// What CCheckField lets through of a typed text in each mode, and the text box it watches.

#include "editor/CCheckField.h"
#include "platform/ui/Control.h"
#include "platform/ui/Desktop.h"

#include <gtest/gtest.h>

using ov::editor::CCheckField;

namespace {

// Bit 8 keeps spaces; a beep only when something was removed.
TEST(CCheckField, TheFourModesAndTheBeep) {
    const std::pair<int, const char*> modes[] = {
        {1, "Motor_(a)"}, {3, "Motor1_(a)"}, {5, "Motor_(a)-ä!"}, {6, "1_()-ä!"}, {3 | 8, "Motor 1_(a)"}};
    for (const auto& [mode, kept] : modes)
        EXPECT_EQ(CCheckField::Filter(QStringLiteral("Motor 1_(a)-ä!"), mode, false), QString::fromUtf8(kept)) << mode;

    const int before = ov::ui::DefaultDesktop().Beeps();
    EXPECT_EQ(CCheckField::Filter(QStringLiteral("Ch1"), 3, true), QStringLiteral("Ch1"));
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
    EXPECT_EQ(box.text, QStringLiteral("a b")) << "not while disabled";
}

}  // namespace
