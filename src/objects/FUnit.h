#pragma once

#include "objects/ObjectDialog.h"

#include <functional>

namespace ov::editor {
class NameGroups;
}

namespace ov::objects {

// The unit class dialog. A process class (switch type "0") shows its frame
// with name, switch variable and comment; a display class ("1") shows name,
// default language, comment and whether the project's languages get a unit
// each. The name must be free among the unit classes.
class FUnitClass : public ObjectDialog {
  public:
    // chooseVariable is the studio's variable chooser (text, flags) -> name.
    FUnitClass(editor::NameGroups& names, std::function<QString(const QString&, int)> chooseVariable);

    // After txtSwitchType was filled: shows the frame of the class's kind.
    void ShowSwitchType();
    bool IsProcessClass() const;
    // The boxes of the frame in view: "Name", "Switch" or "Comment".
    ui::Control& Box(const QString& field);

  protected:
    bool Accept() override;
    void OnControlEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    editor::NameGroups& m_names;
    std::function<QString(const QString&, int)> m_chooseVariable;
};

// The unit dialog: switch value, the two points of the conversion, decimal
// places and unit text; the straight line m·x + b computed from the points
// and back; a test of the conversion for a whole and a floating raw value;
// and the catalogue of predefined conversions opened below its box.
class FUnit : public ObjectDialog {
  public:
    // True when another unit of the class has that switch value.
    explicit FUnit(std::function<bool(int switchValue)> switchTaken);

    // The conversion functions behind the dialog's buttons; false when the
    // boxes did not allow them (the person was told why).
    bool TwoPointsToStraightLine();
    bool StraightLineToTwoPoints();
    bool TestConversion();
    // Takes a predefined conversion "x1;y1;x2;y2;DecPointDisp;text".
    bool ApplyConversion(const QString& label, const QString& data);
    void ShowCatalogue(bool shown);

  protected:
    bool Accept() override;
    void OnActivate() override;
    void OnControlEvent(ui::Control& control, ui::FormEvent event) override;
    void OnDialogKey(int& keyCode, int shift) override;

  private:
    void AddCatalogue();
    void Inform(int text);
    QString& BoxText(const char* box, int index = -1);

    std::function<bool(int)> m_switchTaken;
    int m_startSwitch = 0;
};

}  // namespace ov::objects
