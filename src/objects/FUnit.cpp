#include "objects/FUnit.h"

#include "editor/NameGroups.h"
#include "model/StructureRules.h"
#include "model/UnitCatalogue.h"
#include "model/UnitConversion.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <cmath>

namespace ov::objects {

namespace units = model::units;
using settings::Text;
using units::FieldType;

namespace {

const QString kUtc = QStringLiteral("Utc");
constexpr int kSwitchVariableFlag = 32;  // the chooser's flag for a switch variable
constexpr int kDown = 40, kUp = 38, kEnter = 13, kAlt = 4;

const QString kProcessFrame = QStringLiteral("fraUnitClassProcess");
const QString kViewFrame = QStringLiteral("fraUnitClassView");
const QString kCatalogue = QStringLiteral("tvwUnits");

QString Shortest(double value) { return units::Format(value, FieldType::Double, -1); }

}  // namespace

// Unit classes.

FUnitClass::FUnitClass(editor::NameGroups& names, std::function<QString(const QString&, int)> chooseVariable)
    : ObjectDialog(QStringLiteral("FUnitClass"), 1001, settings::help::kUnitClassDialog),
      m_names(names),
      m_chooseVariable(std::move(chooseVariable)) {
    ui::Control& switchType = Add(ui::ControlType::TextBox, QStringLiteral("txtSwitchType"));
    switchType.visible = false;
    switchType.text = QStringLiteral("0");

    Add(ui::ControlType::Frame, kProcessFrame).tag = QStringLiteral("C507");
    AddField(ui::ControlType::TextBox, QStringLiteral("txtNameProcess"), 1002, -1, kProcessFrame);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtSwitchProcess"), 1004, -1, kProcessFrame);
    ui::Control& choose = Add(ui::ControlType::CommandButton, QStringLiteral("cmdChooseVar"));
    choose.caption = QStringLiteral("…");
    choose.buddy = QStringLiteral("txtSwitchProcess");
    choose.container = kProcessFrame;
    AddField(ui::ControlType::TextBox, QStringLiteral("txtCommentProcess"), 1010, -1, kProcessFrame).multiLine = true;

    Add(ui::ControlType::Frame, kViewFrame).tag = QStringLiteral("C508");
    AddField(ui::ControlType::TextBox, QStringLiteral("txtNameView"), 1002, -1, kViewFrame);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtSwitchView"), 1003, -1, kViewFrame);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtCommentView"), 1010, -1, kViewFrame).multiLine = true;
    ui::Control& update = Add(ui::ControlType::CheckBox, QStringLiteral("chkUpdateUnits"));
    update.tag = QStringLiteral("C1008");
    update.container = kViewFrame;
    AddOkAndCancel();
    ShowSwitchType();
}

bool FUnitClass::IsProcessClass() const { return Find(QStringLiteral("txtSwitchType"))->text.trimmed() != QStringLiteral("1"); }

void FUnitClass::ShowSwitchType() {
    const bool process = IsProcessClass();
    for (const auto& [frame, shown] : {std::pair{kProcessFrame, process}, std::pair{kViewFrame, !process}}) {
        ui::Control& box = Get(frame);
        box.visible = shown;
        box.enabled = shown;
    }
    SetNameBox(process ? QStringLiteral("txtNameProcess") : QStringLiteral("txtNameView"));
}

ui::Control& FUnitClass::Box(const QString& field) {
    return Get(QStringLiteral("txt") + field + (IsProcessClass() ? QStringLiteral("Process") : QStringLiteral("View")));
}

void FUnitClass::OnControlEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click || control.Name() != QStringLiteral("cmdChooseVar") || !m_chooseVariable) return;
    ui::Control& box = Get(QStringLiteral("txtSwitchProcess"));
    const QString chosen = m_chooseVariable(box.text, kSwitchVariableFlag);
    if (!chosen.isEmpty()) box.text = chosen;
}

bool FUnitClass::Accept() {
    const QString name = Get(NameBox()).text;
    if (name.size() > model::structures::kMaxNameLength) {
        Refuse(Text(settings::kTextNameTooLong).replace(QStringLiteral("<max>"), QString::number(model::structures::kMaxNameLength)),
               NameBox());
        return false;
    }
    if (name != StartName() && !m_names.TestNameInGroup(name, kUtc)) {
        Refuse(Text(405), NameBox());
        return false;
    }
    m_names.ChangeNameInGroup(StartName(), name, kUtc);
    return true;
}

// Units.

FUnit::FUnit(std::function<bool(int switchValue)> switchTaken)
    : ObjectDialog(QStringLiteral("FUnit"), 1401, settings::help::kUnitDialog), m_switchTaken(std::move(switchTaken)) {
    SetNameBox(QStringLiteral("txtSwitch"));
    AddField(ui::ControlType::TextBox, QStringLiteral("txtSwitch"), 1402);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtPhysicalUnitText"), 1407);
    AddField(ui::ControlType::TextBox, QStringLiteral("txtDecPointDisp"), 1411);

    const QString points = QStringLiteral("fraTwoPoints");
    Add(ui::ControlType::Frame, points).tag = QStringLiteral("C1412");
    for (const auto& [box, label] : {std::pair{"txtX1", 1403}, std::pair{"txtY1", 1404}, std::pair{"txtX2", 1405},
                                     std::pair{"txtY2", 1406}})
        AddField(ui::ControlType::TextBox, QString::fromUtf8(box), label, -1, points);
    const QString line = QStringLiteral("fraStraightLine");
    Add(ui::ControlType::Frame, line).tag = QStringLiteral("C1414");
    for (const char* box : {"txtM", "txtB"}) {
        ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + QString::fromUtf8(box).mid(3));
        label.caption = QString::fromUtf8(box).mid(3).toLower();
        label.buddy = QString::fromUtf8(box);
        label.container = line;
        Add(ui::ControlType::TextBox, QString::fromUtf8(box)).container = line;
    }
    // The buttons sit beside the box their result starts from.
    for (const auto& [button, text, tip, buddy, frame] :
         {std::tuple{"cmdTwoPointsToStraightLine", "→ m, b", 1418, "txtY2", points},
          std::tuple{"cmdStraightLineToTwoPoints", "→ y1, y2", 1419, "txtB", line}}) {
        ui::Control& c = Add(ui::ControlType::CommandButton, QString::fromUtf8(button));
        c.caption = QString::fromUtf8(text);
        c.tag = QStringLiteral("T%1").arg(tip);
        c.buddy = QString::fromUtf8(buddy);
        c.container = frame;
    }

    const QString test = QStringLiteral("fraTestConversion");
    Add(ui::ControlType::Frame, test).tag = QStringLiteral("C1415");
    for (int row : {0, 1}) {
        ui::Control& rowLabel = Add(ui::ControlType::Label, QStringLiteral("lblRowKind"), row);
        rowLabel.tag = QStringLiteral("C%1").arg(row == 0 ? 1422 : 1423);
        rowLabel.container = test;
        ui::Control& rawLabel = Add(ui::ControlType::Label, QStringLiteral("lblRawValue"), row);
        rawLabel.tag = QStringLiteral("C1416");
        rawLabel.buddy = QStringLiteral("txtRawValue(%1)").arg(row);
        rawLabel.container = test;
        Add(ui::ControlType::TextBox, QStringLiteral("txtRawValue"), row).container = test;
        ui::Control& valueLabel = Add(ui::ControlType::Label, QStringLiteral("lblCalculatedValue"), row);
        valueLabel.tag = QStringLiteral("C1417");
        valueLabel.buddy = QStringLiteral("txtCalculatedValue(%1)").arg(row);
        valueLabel.container = test;
        ui::Control& value = Add(ui::ControlType::TextBox, QStringLiteral("txtCalculatedValue"), row);
        value.locked = true;
        value.container = test;
    }
    ui::Control& run = Add(ui::ControlType::CommandButton, QStringLiteral("cmdTestCalculation"));
    run.caption = QStringLiteral("=");
    run.tag = QStringLiteral("T1420");
    run.buddy = QStringLiteral("txtCalculatedValue(1)");
    run.container = test;

    AddCatalogue();
    AddOkAndCancel();
}

void FUnit::AddCatalogue() {
    const QString help = QStringLiteral("fraInputHelp");
    Add(ui::ControlType::Frame, help).tag = QStringLiteral("C1413");
    ui::Control& chosen = Add(ui::ControlType::TextBox, QStringLiteral("txtSelectUnit"));
    chosen.locked = true;
    chosen.container = help;
    ui::Control& drop = Add(ui::ControlType::CommandButton, QStringLiteral("cmdSelectUnit"));
    drop.caption = QStringLiteral("▼");
    drop.buddy = QStringLiteral("txtSelectUnit");
    drop.container = help;
    ui::Control& tree = Add(ui::ControlType::TreeView, kCatalogue);
    tree.container = help;
    tree.visible = false;
    tree.dropDown = true;
    tree.buddy = QStringLiteral("txtSelectUnit");
    const bool german = settings::TextTable::Instance().Language() == settings::TextTable::kGerman;
    for (const units::CatalogueNode& node : units::ConversionCatalogue())
        tree.nodes.push_back({node.key, node.parentKey, german ? node.german : node.english, node.image, node.data,
                              node.parentKey.isEmpty()});
}

QString& FUnit::BoxText(const char* box, int index) { return Get(QString::fromUtf8(box), index).text; }

void FUnit::Inform(int text) { ui::ShowMessage(Text(text), Text(1401), ui::Buttons::OK, 0, ui::Icon::Information); }

void FUnit::OnActivate() {
    BoxText("txtSelectUnit") = Text(1421);
    m_startSwitch = static_cast<int>(units::Parse(BoxText("txtSwitch"), FieldType::Integer));
    ObjectDialog::OnActivate();
}

bool FUnit::TwoPointsToStraightLine() {
    for (const char* box : {"txtX1", "txtY1", "txtX2", "txtY2"})
        if (!units::IsNumeric(BoxText(box))) {
            Inform(1453);
            return false;
        }
    const auto read = [&](const char* box) { return units::Parse(BoxText(box), FieldType::Double); };
    const auto line = units::LineThrough(read("txtX1"), read("txtY1"), read("txtX2"), read("txtY2"));
    if (!line) {
        Inform(1452);
        return false;
    }
    BoxText("txtM") = Shortest(line->m);
    // b from m as the box shows it, so the two boxes agree with each other.
    BoxText("txtB") = Shortest(read("txtY1") - read("txtM") * read("txtX1"));
    return true;
}

bool FUnit::StraightLineToTwoPoints() {
    if (!units::IsNumeric(BoxText("txtX1")) || !units::IsNumeric(BoxText("txtX2"))) {
        Inform(1455);
        return false;
    }
    if (!units::IsNumeric(BoxText("txtM")) || !units::IsNumeric(BoxText("txtB"))) {
        Inform(1454);
        return false;
    }
    const auto read = [&](const char* box) { return units::Parse(BoxText(box), FieldType::Double); };
    const double m = read("txtM"), b = read("txtB");
    BoxText("txtY1") = Shortest(m * read("txtX1") + b);
    BoxText("txtY2") = Shortest(m * read("txtX2") + b);
    return true;
}

bool FUnit::TestConversion() {
    if (!TwoPointsToStraightLine()) return false;
    const double m = units::Parse(BoxText("txtM"), FieldType::Double);
    const double b = units::Parse(BoxText("txtB"), FieldType::Double);
    const int digits = static_cast<int>(units::Parse(BoxText("txtDecPointDisp"), FieldType::Integer));
    const QString unit = QStringLiteral(" ") + BoxText("txtPhysicalUnitText");
    // The whole-number row rounds half to even, as the runtime does.
    const double whole = std::nearbyint(m * units::Parse(BoxText("txtRawValue", 0), FieldType::Integer) + b);
    BoxText("txtCalculatedValue", 0) = units::Format(whole, FieldType::Integer, digits) + unit;
    const double floating = m * units::Parse(BoxText("txtRawValue", 1), FieldType::Double) + b;
    BoxText("txtCalculatedValue", 1) = units::Format(floating, FieldType::Double, digits) + unit;
    return true;
}

bool FUnit::ApplyConversion(const QString& label, const QString& data) {
    const auto parts = units::SplitConversionData(data);
    if (!parts) {
        ui::Beep();
        return false;
    }
    BoxText("txtSelectUnit") = label;
    const auto number = [](const QString& text) { return Shortest(units::Parse(text, FieldType::Double)); };
    BoxText("txtX1") = number(parts->x1);
    BoxText("txtY1") = number(parts->y1);
    BoxText("txtX2") = number(parts->x2);
    BoxText("txtY2") = number(parts->y2);
    BoxText("txtDecPointDisp") = number(parts->decimals);
    BoxText("txtPhysicalUnitText") = parts->unitText;
    BoxText("txtRawValue", 0) = QStringLiteral("1");
    BoxText("txtRawValue", 1) = Shortest(1.1);
    return TestConversion();
}

void FUnit::ShowCatalogue(bool shown) {
    Get(kCatalogue).visible = shown;
    if (shown) SetFocus(kCatalogue);
}

void FUnit::OnControlEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::NodeClick && name == kCatalogue) {
        const ui::TreeNode* node = control.Node(control.selectedNode);
        // Categories and groups only open and close.
        if (!node || node->data.isEmpty()) return;
        ShowCatalogue(false);
        ApplyConversion(node->text, node->data);
        return;
    }
    if (event != ui::FormEvent::Click) return;
    if (name == QStringLiteral("cmdSelectUnit")) {
        ShowCatalogue(!Get(kCatalogue).visible);
        return;
    }
    // A click anywhere else closes the catalogue.
    ShowCatalogue(false);
    if (name == QStringLiteral("cmdTwoPointsToStraightLine")) TwoPointsToStraightLine();
    else if (name == QStringLiteral("cmdStraightLineToTwoPoints")) StraightLineToTwoPoints();
    else if (name == QStringLiteral("cmdTestCalculation")) TestConversion();
}

void FUnit::OnDialogKey(int& keyCode, int shift) {
    if (shift == kAlt && keyCode == kDown && KeyControl().compare(QStringLiteral("txtSelectUnit"), Qt::CaseInsensitive) == 0) {
        ShowCatalogue(true);
        keyCode = 0;
    } else if (shift == kAlt && keyCode == kUp && KeyControl().compare(kCatalogue, Qt::CaseInsensitive) == 0) {
        ShowCatalogue(false);
        SetFocus(QStringLiteral("txtSelectUnit"));
        keyCode = 0;
    } else if (keyCode == kEnter && KeyControl().compare(kCatalogue, Qt::CaseInsensitive) == 0) {
        // Enter in the catalogue takes the node, not the dialog.
        keyCode = 0;
        if (const ui::Control& tree = Get(kCatalogue); !tree.selectedNode.isEmpty()) UserClickNode(kCatalogue, tree.selectedNode);
    }
}

bool FUnit::Accept() {
    ShowCatalogue(false);
    // The points are numbers with a decimal point; the boxes show them so.
    for (const char* box : {"txtX1", "txtY1", "txtX2", "txtY2"}) BoxText(box).replace(u',', u'.');
    const auto tooLarge = [&](const char* box) {
        Refuse(Text(settings::kTextNumberOutOfRange).replace(QStringLiteral("<v>"), BoxText(box)), QString::fromUtf8(box));
        return false;
    };
    for (const char* box : {"txtX1", "txtY1", "txtX2", "txtY2"})
        if (!units::ParseChecked(BoxText(box), FieldType::Double)) return tooLarge(box);
    const auto switchValue = units::ParseChecked(BoxText("txtSwitch"), FieldType::Integer);
    if (!switchValue) return tooLarge("txtSwitch");
    const auto digits = units::ParseChecked(BoxText("txtDecPointDisp"), FieldType::Integer);
    if (!digits || *digits < 0 || *digits > units::kMaxDecimals) {
        Refuse(Text(settings::kTextDecimalsOutOfRange).replace(QStringLiteral("<max>"), QString::number(units::kMaxDecimals)),
               QStringLiteral("txtDecPointDisp"));
        return false;
    }
    const int value = static_cast<int>(*switchValue);
    if (value != m_startSwitch && m_switchTaken && m_switchTaken(value)) {
        Refuse(Text(405), QStringLiteral("txtSwitch"));
        return false;
    }
    return true;
}

}  // namespace ov::objects
