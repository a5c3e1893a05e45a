#pragma once

#include "platform/ui/Form.h"

namespace ov::objects {

// The one-field name dialog, used to rename an item folder.
class FItemStructEditor : public ui::Form {
public:
    explicit FItemStructEditor(const QString& name);
    QString EnteredName() const { return Find(QStringLiteral("TxtName"))->text; }

protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
};

}  // namespace ov::objects
