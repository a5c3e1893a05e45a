#pragma once

#include "platform/ui/Form.h"

#include <vector>

namespace ov::objects {

// A dialog of check boxes, one per bit of a value: the surrogate mode
// (FDefaultMode) and the item options (FItemOptions).
class FBitOptions : public ui::Form {
public:
    static FBitOptions DefaultMode(int mode);
    static FBitOptions ItemOptions(int options);

    // The value as the boxes say: the sum of 2^i over the checked boxes.
    int Value() const;

    FBitOptions(FBitOptions&&) = delete;

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

private:
    FBitOptions(const QString& name, int captionText, const QString& arrayName, const std::vector<int>& texts, int value,
                int helpTopic);

    QString m_arrayName;
    int m_boxes = 0;
};

// Shows one of them; gives true and the new value when confirmed.
bool ShowDefaultModeDialog(int& mode);
bool ShowItemOptionsDialog(int& options);

}  // namespace ov::objects
