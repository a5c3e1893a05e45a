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
    FDemo() : Form("FDemo") {
        Add(ControlType::TextBox, "txtName");
        Add(ControlType::OptionButton, "optMode", 0).checkState = 1;
        Add(ControlType::OptionButton, "optMode", 1);
        Control& combo = Add(ControlType::ComboBox, "cmbType");
        combo.list.Add(4, "VT_R4");
        combo.list.Add(5, "VT_R8");
        Add(ControlType::CheckBox, "chkEnabled");
        Add(ControlType::CommandButton, "cmdOK").isDefault = true;
        Add(ControlType::CommandButton, "cmdCancel").isCancel = true;
    }
    QStringList events;
    int loads = 0, activations = 0, unloads = 0;

protected:
    void OnLoad() override { ++loads; }
    void OnActivate() override { ++activations; }
    void OnUnload() override { ++unloads; }
    void OnEvent(Control& control, FormEvent event) override {
        events << control.FullName() + ":" + QString::number(static_cast<int>(event));
        if (control.Name() == "txtName") Get("cmdOK").enabled = !control.text.isEmpty();
        if (control.Name() == "cmdOK") Hide(true);
        if (control.Name() == "cmdCancel") Hide(false);
    }
};

// The person types a name and presses Enter.
void TypePumpAndConfirm(Form& f) {
    f.UserSetText("txtName", "Pump");
    f.PressDefault();
}

TEST(Form, UserActionsChangeTheModelAndRunTheHandlersOrAreRefused) {
    FDemo form;
    form.UserSetText("txtName", "Motor");
    EXPECT_EQ(form.Get("txtName").text, "Motor");
    form.UserClick("optMode", 1);
    EXPECT_EQ(form.Get("optMode", 0).checkState, 0) << "option buttons exclude each other";
    EXPECT_TRUE(form.Get("optMode", 1).IsChecked());
    EXPECT_TRUE(form.UserChoose("cmbType", "vt_r8"));
    EXPECT_EQ(form.Get("cmbType").SelectedData().toInt(), 5);
    EXPECT_TRUE(form.UserChoose("cmbType", 4)) << "by item data too";
    EXPECT_FALSE(form.UserChoose("cmbType", "VT_BOOL"));
    form.UserCheck("chkEnabled", true);
    EXPECT_TRUE(form.Get("chkEnabled").IsChecked());
    EXPECT_EQ(form.events.size(), 5);
    EXPECT_EQ(form.events[1], "optMode(1):0");

    // What a person could not do is refused.
    EXPECT_THROW(form.UserSetText("txtMissing", "x"), FormError);
    form.UserSetText("txtName", QString());
    EXPECT_THROW(form.UserClick("cmdOK"), FormError) << "the handler disabled OK";
    EXPECT_FALSE(form.PressDefault()) << "Enter does nothing while OK is disabled";
    form.Get("txtName").locked = true;
    EXPECT_THROW(form.UserSetText("txtName", "x"), FormError);
    EXPECT_TRUE(form.PressCancel());
    EXPECT_FALSE(form.Confirmed());
}

TEST(Form, ScriptedRunnerPlaysThePersonsPartAndAViewedDialogNeverConfirms) {
    ScriptedFormRunner& runner = DefaultFormRunner();
    runner.Clear();
    runner.Once("fdemo", TypePumpAndConfirm);
    FDemo form;
    EXPECT_TRUE(ShowModal(form));
    EXPECT_FALSE(form.ViewOnly());
    EXPECT_EQ(form.Get("txtName").text, "Pump");
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(form.activations, 1);

    // Shown again without a script: cancelled and noted.
    EXPECT_FALSE(ShowModal(form));
    EXPECT_EQ(form.loads, 1) << "a loaded form is not loaded twice";
    EXPECT_EQ(form.activations, 2);
    EXPECT_EQ(runner.Unexpected(), QStringList{"FDemo"});
    form.Unload();
    EXPECT_EQ(form.unloads, 1);

    // A script that leaves the form open: it is cancelled.
    runner.Always("FDemo", [](Form& f) { f.UserSetText("txtName", "x"); });
    FDemo other;
    EXPECT_FALSE(ShowModal(other));
    EXPECT_FALSE(other.IsShown());
    runner.Clear();

    // A dialog shown for viewing never confirms. The person reads, types and tries every way to confirm.
    const auto tryToConfirm = [](Form& f) {
        EXPECT_FALSE(f.Get("cmdOK").enabled) << "OK is off from the start";
        f.UserSetText("txtName", "Pump");
        EXPECT_FALSE(f.Get("cmdOK").enabled) << "the handler's enabling does not hold";
        EXPECT_THROW(f.UserClick("cmdOK"), FormError);
        EXPECT_FALSE(f.PressDefault()) << "nor does Enter";
        // A handler that hides the dialog as confirmed, as a double click may.
        f.Hide(true);
    };
    FDemo viewed;
    {
        ViewOnlyScope viewing;
        runner.Once("FDemo", tryToConfirm);
        EXPECT_FALSE(ShowModal(viewed));
        EXPECT_TRUE(viewed.ViewOnly());
        EXPECT_EQ(viewed.Get("txtName").text, "Pump") << "the values were there to see";
    }
    EXPECT_FALSE(ViewOnlyActive()) << "the scope ends with its command";

    // The same dialog outside the scope confirms as ever.
    FDemo edited;
    runner.Once("FDemo", TypePumpAndConfirm);
    EXPECT_TRUE(ShowModal(edited));
    runner.Clear();
}

TEST(Form, GridCellsAndTabs) {
    Form form("FGrid");
    Control& grid = form.Add(ControlType::Grid, "tdbValues");
    grid.grid.columnCaptions = {"Parameter", "Value"};
    grid.grid.columnLocked = {true, false};
    grid.grid.rows = {{"P1", "0"}};
    form.UserEditCell("tdbValues", 0, 1, "42");
    EXPECT_EQ(grid.grid.rows[0][1].toString(), "42");
    EXPECT_THROW(form.UserEditCell("tdbValues", 0, 0, "x"), FormError);
    EXPECT_THROW(form.UserEditCell("tdbValues", 3, 1, "x"), FormError);

    Control& tabs = form.Add(ControlType::TabStrip, "tabPages");
    tabs.list.Add(0, "Common");
    tabs.list.Add(1, "Extended");
    form.UserSelectTab("tabPages", 1);
    EXPECT_EQ(tabs.listIndex, 1);
    EXPECT_THROW(form.UserSelectTab("tabPages", 2), FormError);
}

TEST(MessageBoxes, QueuedAnswersThenTheDefaultButton) {
    ScriptedMessageBoxes boxes;
    InstallMessageBoxes(&boxes);
    boxes.Queue(Answer::Yes);
    EXPECT_EQ(ShowMessage("Delete?", QString(), Buttons::YesNo, 1), Answer::Yes);
    EXPECT_EQ(ShowMessage("Delete?", QString(), Buttons::YesNo, 1), Answer::No) << "the default button";
    EXPECT_EQ(ShowMessage("Done"), Answer::OK);
    ASSERT_EQ(boxes.Shown().size(), 3u);
    EXPECT_EQ(boxes.Shown()[2].text, "Done");
    InstallMessageBoxes(nullptr);
}

}  // namespace
