#pragma once

#include "opc/OnlineValues.h"
#include "platform/ui/Form.h"

namespace ov::opc {

// Writing one value to the plant: the item, its current value and its type,
// and the new value. OK converts the typed text by the item's type and range
// (refused with a message, the dialog stays) and asks a second time before
// it confirms; Cancel there closes the dialog with nothing to write.
class FWriteValue : public ui::Form {
  public:
    FWriteValue(OnlineItem item, QString currentValue);

    QString Entered() const;
    const OnlineItem& Item() const { return m_item; }

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    void Confirm();

    OnlineItem m_item;
    QString m_current;
};

}  // namespace ov::opc
