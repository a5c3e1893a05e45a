// Dialog models driven as a person would, the scripted runner that plays
// the person in tests, view-only dialogs and scripted message boxes.

#include "platform/ui/Form.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/ModalState.h"

#include <gtest/gtest.h>

using namespace ov::ui;

namespace {

// A small dialog with the usual parts: a name box, options, a list and OK/Cancel.
class FDemo : public Form {
public:
    FDemo() : Form(QStringLiteral("FDemo")) {
        Add(ControlType::TextBox, QStringLiteral("txtName"));
        Add(ControlType::OptionButton, QStringLiteral("optMode"), 0).checkState = 1;
        Add(ControlType::OptionButton, QStringLiteral("optMode"), 1);
        Control& combo = Add(ControlType::ComboBox, QStringLiteral("cmbType"));
        combo.list.Add(4, QStringLiteral("VT_R4"));
        combo.list.Add(5, QStringLiteral("VT_R8"));
        Add(ControlType::CheckBox, QStringLiteral("chkEnabled"));
        Add(ControlType::CommandButton, QStringLiteral("cmdOK")).isDefault = true;
        Add(ControlType::CommandButton, QStringLiteral("cmdCancel")).isCancel = true;
    }
    QStringList events;
    int loads = 0, activations = 0, unloads = 0;

protected:
    void OnLoad() override { ++loads; }
    void OnActivate() override { ++activations; }
    void OnUnload() override { ++unloads; }
    void OnEvent(Control& control, FormEvent event) override {
        events << control.FullName() + QStringLiteral(":") + QString::number(static_cast<int>(event));
        if (control.Name() == QStringLiteral("txtName")) Get(QStringLiteral("cmdOK")).enabled = !control.text.isEmpty();
        if (control.Name() == QStringLiteral("cmdOK")) Hide(true);
        if (control.Name() == QStringLiteral("cmdCancel")) Hide(false);
    }
};

// The person types a name and presses Enter.
void TypePumpAndConfirm(Form& f) {
    f.UserSetText(QStringLiteral("txtName"), QStringLiteral("Pump"));
    f.PressDefault();
}

TEST(Form, UserActionsChangeTheModelAndRunTheHandlers) {
    FDemo form;
    form.UserSetText(QStringLiteral("txtName"), QStringLiteral("Motor"));
    EXPECT_EQ(form.Get(QStringLiteral("txtName")).text, QStringLiteral("Motor"));
    form.UserClick(QStringLiteral("optMode"), 1);
    EXPECT_EQ(form.Get(QStringLiteral("optMode"), 0).checkState, 0) << "option buttons exclude each other";
    EXPECT_TRUE(form.Get(QStringLiteral("optMode"), 1).IsChecked());
    EXPECT_TRUE(form.UserChoose(QStringLiteral("cmbType"), QStringLiteral("vt_r8")));
    EXPECT_EQ(form.Get(QStringLiteral("cmbType")).SelectedData().toInt(), 5);
    EXPECT_TRUE(form.UserChoose(QStringLiteral("cmbType"), 4)) << "by item data too";
    EXPECT_FALSE(form.UserChoose(QStringLiteral("cmbType"), QStringLiteral("VT_BOOL")));
    form.UserCheck(QStringLiteral("chkEnabled"), true);
    EXPECT_TRUE(form.Get(QStringLiteral("chkEnabled")).IsChecked());
    EXPECT_EQ(form.events.size(), 5);
    EXPECT_EQ(form.events[1], QStringLiteral("optMode(1):0"));
}

TEST(Form, RefusesWhatAPersonCouldNotDo) {
    FDemo form;
    EXPECT_THROW(form.UserSetText(QStringLiteral("txtMissing"), QStringLiteral("x")), FormError);
    form.UserSetText(QStringLiteral("txtName"), QString());
    EXPECT_THROW(form.UserClick(QStringLiteral("cmdOK")), FormError) << "the handler disabled OK";
    EXPECT_FALSE(form.PressDefault()) << "Enter does nothing while OK is disabled";
    form.Get(QStringLiteral("txtName")).locked = true;
    EXPECT_THROW(form.UserSetText(QStringLiteral("txtName"), QStringLiteral("x")), FormError);
    EXPECT_TRUE(form.PressCancel());
    EXPECT_FALSE(form.Confirmed());
}

TEST(Form, ScriptedRunnerPlaysThePersonsPart) {
    ScriptedFormRunner& runner = DefaultFormRunner();
    runner.Clear();
    runner.Once(QStringLiteral("fdemo"), TypePumpAndConfirm);
    FDemo form;
    EXPECT_TRUE(ShowModal(form));
    EXPECT_FALSE(form.ViewOnly());
    EXPECT_EQ(form.Get(QStringLiteral("txtName")).text, QStringLiteral("Pump"));
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.activations, 1);

    // Shown again without a script: cancelled and noted.
    EXPECT_FALSE(ShowModal(form));
    EXPECT_EQ(form.loads, 1) << "a loaded form is not loaded twice";
    EXPECT_EQ(form.activations, 2);
    EXPECT_EQ(runner.Unexpected(), QStringList{QStringLiteral("FDemo")});
    form.Unload();
    EXPECT_EQ(form.unloads, 1);

    // A script that leaves the form open: it is cancelled.
    runner.Always(QStringLiteral("FDemo"), [](Form& f) { f.UserSetText(QStringLiteral("txtName"), QStringLiteral("x")); });
    FDemo other;
    EXPECT_FALSE(ShowModal(other));
    EXPECT_FALSE(other.IsShown());
    runner.Clear();
}

TEST(Form, ADialogShownForViewingNeverConfirms) {
    ScriptedFormRunner& runner = DefaultFormRunner();
    runner.Clear();
    // The person reads, types and tries every way to confirm.
    const auto tryToConfirm = [](Form& f) {
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled) << "OK is off from the start";
        f.UserSetText(QStringLiteral("txtName"), QStringLiteral("Pump"));
        EXPECT_FALSE(f.Get(QStringLiteral("cmdOK")).enabled) << "the handler's enabling does not hold";
        EXPECT_THROW(f.UserClick(QStringLiteral("cmdOK")), FormError);
        EXPECT_FALSE(f.PressDefault()) << "nor does Enter";
        // A handler that hides the dialog as confirmed, as a double click may.
        f.Hide(true);
    };
    FDemo viewed;
    {
        ViewOnlyScope viewing;
        runner.Once(QStringLiteral("FDemo"), tryToConfirm);
        EXPECT_FALSE(ShowModal(viewed));
        EXPECT_TRUE(viewed.ViewOnly());
        EXPECT_EQ(viewed.Get(QStringLiteral("txtName")).text, QStringLiteral("Pump")) << "the values were there to see";
    }
    EXPECT_FALSE(ViewOnlyActive()) << "the scope ends with its command";

    // The same dialog outside the scope confirms as ever.
    FDemo edited;
    runner.Once(QStringLiteral("FDemo"), TypePumpAndConfirm);
    EXPECT_TRUE(ShowModal(edited));
    runner.Clear();
}

TEST(Form, GridCellsAndTabs) {
    Form form(QStringLiteral("FGrid"));
    Control& grid = form.Add(ControlType::Grid, QStringLiteral("tdbValues"));
    grid.grid.columnCaptions = {QStringLiteral("Parameter"), QStringLiteral("Value")};
    grid.grid.columnLocked = {true, false};
    grid.grid.rows = {{QStringLiteral("P1"), QStringLiteral("0")}};
    form.UserEditCell(QStringLiteral("tdbValues"), 0, 1, QStringLiteral("42"));
    EXPECT_EQ(grid.grid.rows[0][1].toString(), QStringLiteral("42"));
    EXPECT_THROW(form.UserEditCell(QStringLiteral("tdbValues"), 0, 0, QStringLiteral("x")), FormError);
    EXPECT_THROW(form.UserEditCell(QStringLiteral("tdbValues"), 3, 1, QStringLiteral("x")), FormError);

    Control& tabs = form.Add(ControlType::TabStrip, QStringLiteral("tabPages"));
    tabs.list.Add(0, QStringLiteral("Common"));
    tabs.list.Add(1, QStringLiteral("Extended"));
    form.UserSelectTab(QStringLiteral("tabPages"), 1);
    EXPECT_EQ(tabs.listIndex, 1);
    EXPECT_THROW(form.UserSelectTab(QStringLiteral("tabPages"), 2), FormError);
}

TEST(MessageBoxes, QueuedAnswersThenTheDefaultButton) {
    ScriptedMessageBoxes boxes;
    InstallMessageBoxes(&boxes);
    boxes.Queue(Answer::Yes);
    EXPECT_EQ(ShowMessage(QStringLiteral("Delete?"), QString(), Buttons::YesNo, 1), Answer::Yes);
    EXPECT_EQ(ShowMessage(QStringLiteral("Delete?"), QString(), Buttons::YesNo, 1), Answer::No) << "the default button";
    EXPECT_EQ(ShowMessage(QStringLiteral("Done")), Answer::OK);
    ASSERT_EQ(boxes.Shown().size(), 3u);
    EXPECT_EQ(boxes.Shown()[2].text, QStringLiteral("Done"));
    InstallMessageBoxes(nullptr);
}

}  // namespace
