#pragma once

// The editor on the demo project for the OPC commands on PLC1: its browse
// dialog driven by a script, the dialog's tree walked by node texts, and
// the count of PLC1's items.

#include "host/NodeKey.h"
#include "opc/FBrowseItemsOCX.h"
#include "support/EditorTest.h"

#include <functional>

namespace ov::test {

class OpcEditorTest : public EditorTest {
  protected:
    // Browses PLC1's server with the script acting on the dialog.
    void Browse(const std::function<void(opc::FBrowseItemsOCX&)>& script) {
        ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCX"),
                                     [script](ui::Form& f) { script(dynamic_cast<opc::FBrowseItemsOCX&>(f)); });
        Click(plc);
        Window().RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    }
    // The node at a path of node texts, opening the nodes on the way as a person would.
    static QString NodeAt(ui::Form& form, const QString& path) {
        QString key;
        for (const QString& text : path.split(u'/')) {
            if (!key.isEmpty()) form.UserExpandNode(QStringLiteral("oib"), key, true);
            QString next;
            for (const ui::TreeNode& node : form.Get(QStringLiteral("oib")).nodes)
                if (node.parentKey == key && node.text == text) next = node.key;
            if (next.isEmpty()) return QString();
            key = next;
        }
        return key;
    }
    int PlcItems() { return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID = 1")); }

    const QString plc = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

}  // namespace ov::test
