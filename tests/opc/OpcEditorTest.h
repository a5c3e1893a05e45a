#pragma once

// The editor on the demo project for the OPC commands on PLC1: its browse
// dialog driven by a script, the dialog's tree walked by node texts, the
// count of PLC1's items, and the server PLC1 addresses with its registry keys.

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "opc/FBrowseItemsOCX.h"
#include "platform/system/Registry.h"
#include "platform/ui/ModalState.h"
#include "support/EditorTest.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace ov::test {

class OpcEditorTest : public EditorTest {
  protected:
    static inline const QString kServersKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\OPCServers\\");
    static inline const QString kTree = QStringLiteral("oib");
    static inline const QString kConnection = QStringLiteral("lblConnection");

    void TearDown() override {
        ui::SetEventPump({});
        EditorTest::TearDown();
    }
    // For a suite with live servers: the helper's certificate goes to a
    // folder of the tests, not the user's.
    static void UseOwnPki() {
        pki = std::make_unique<QTemporaryDir>();
        qputenv("OVOPC_PKI", pki->path().toLocal8Bit());
    }
    static void DropOwnPki() {
        qunsetenv("OVOPC_PKI");
        pki.reset();
    }
    static inline std::unique_ptr<QTemporaryDir> pki;
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
            if (!key.isEmpty()) form.UserExpandNode(kTree, key, true);
            QString next;
            for (const ui::TreeNode& node : form.Get(kTree).nodes)
                if (node.parentKey == key && node.text == text) next = node.key;
            if (next.isEmpty()) return QString();
            key = next;
        }
        return key;
    }
    int PlcItems() { return Count(QStringLiteral("SELECT Count(*) FROM TpdbItems WHERE DeviceID = 1")); }
    // A registry value of the server registered under the ProgID.
    void ServerKey(const QString& progId, const char* name, const QString& value) {
        harness.Registry().WriteValue(sys::Hive::LocalMachine, kServersKey + progId, QString::fromUtf8(name), value);
    }
    // PLC1 addresses the server, on the computer given.
    void UseServer(const QString& progId) {
        Window().Data()->Connection().Execute(QStringLiteral("UPDATE TpdbDevices SET ProgID = ? WHERE ID = 1"), {progId});
    }
    static void OnForm(const char* form, std::function<void(ui::Form&)> script) {
        ui::DefaultFormRunner().Once(QString::fromUtf8(form), std::move(script));
    }
    static qsizetype TimesShown(const char* form) { return ui::DefaultFormRunner().Shown().count(QString::fromUtf8(form)); }

    const QString plc = host::nodekey::DeviceKey(1, QStringLiteral("."), false);
};

}  // namespace ov::test
