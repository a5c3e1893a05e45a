// One long command on a project, run as a person runs it, so that the
// crash test can kill the process at any moment:
//   ov_crash_worker PROJECT paste|rename|devdelete|csvimport|browseapply [CSV|NODESET]
// The project is a generated one (model/LargeProject): device "Plant1"
// with the folders Area0..Area9.

#include "components/InstalledPrograms.h"
#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "objects/MItem.h"
#include "opc/MOpc.h"
#include "platform/db/Recordset.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/Registry.h"
#include "platform/system/SystemTools.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "tools/CsvTransfer.h"
#include "tools/MTools.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using namespace ov;
namespace nk = ov::host::nodekey;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: ov_crash_worker PROJECT COMMAND [CSV]\n");
        return 2;
    }
    const QString file = args[0], command = args[1];
    sys::SystemTools::Instance().SetRegistryFile(QFileInfo(file).absolutePath() + QStringLiteral("/registry.ini"));
    if (command == QStringLiteral("browseapply") && args.size() > 2) {
        // PLC1's server serves the address space of the NodeSet2 file given.
        sys::Registry registry(QFileInfo(file).absolutePath() + QStringLiteral("/registry.ini"));
        components::RegisterDemoInstallation(registry, QString());
        registry.WriteValue(sys::Hive::LocalMachine, QString::fromUtf8(components::kServersKey) + QStringLiteral("\\OVOPC.Simulation.1"),
                            QStringLiteral("NodeSet"), args[2]);
    }
    opc::InstallEditor();
    tools::InstallEditor();
    host::InMemoryHost host;
    host::Connect session;
    session.Initialize(file, QString(), &host, &host);
    session.NodeExpand(QString(), nk::kRoot, QString());
    auto* window = dynamic_cast<editor::frmtabgridOPC*>(session.Window());
    if (!window || !window->Data()) return 3;
    window->Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false);
    int device = 0;
    {
        db::Recordset rs;
        rs.Open(QStringLiteral("SELECT ID FROM TpdbDevices WHERE Name = 'Plant1'"), window->Data()->Connection());
        if (rs.IsEOF()) return 3;
        device = rs.Fields(0).Value().toInt();
    }
    const QString deviceKey = nk::DeviceKey(device, QStringLiteral("."), false);
    const auto folder = [&](const char* path) { return deviceKey + nk::kSeparator + QString::fromUtf8(path); };
    const auto tool = [&](const QString& key, const char* name) {
        session.NodeClick(QString(), key, QString());
        window->ComputeAvailability(key, true);
        window->ClickTool(QString::fromUtf8(name));
    };
    // A disk that fills up: no file may grow beyond this many bytes.
    if (const qint64 limit = qEnvironmentVariableIntValue("OV_WORKER_FILE_LIMIT"); limit > 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit bytes{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        setrlimit(RLIMIT_FSIZE, &bytes);
    }
    // Told on stdout, so the test knows the command itself has begun.
    std::printf("ready\n");
    std::fflush(stdout);
    if (command == QStringLiteral("paste")) {
        tool(folder("Area0"), "mnuDeviceHelperItemsCopy");
        tool(deviceKey, "mnuDeviceHelperItemsPaste");
    } else if (command == QStringLiteral("rename")) {
        ui::DefaultFormRunner().Always(QStringLiteral("FItemStructEditor"), [](ui::Form& f) {
            f.UserSetText(QStringLiteral("TxtName"), QStringLiteral("Renamed1"));
            f.PressDefault();
        });
        tool(folder("Area1"), "mnuDeviceHelperItemRename");
    } else if (command == QStringLiteral("devdelete")) {
        session.NodeClick(QString(), deviceKey, QString());
        window->ComputeAvailability(deviceKey, false);
        window->ClickTool(QStringLiteral("mnuDeviceDelete"));
    } else if (command == QStringLiteral("csvimport") && args.size() > 2) {
        const tools::ImportResult result = tools::ImportItems(window->Data()->Connection(), args[2], 0, {},
                                                              [](qint64 line) { return QString::number(line); });
        if (!result.Applied()) return 4;
    } else if (command == QStringLiteral("browseapply")) {
        // Every top folder of the address space ticked, then OK: its items become new items of PLC1.
        ui::DefaultFormRunner().Once(QStringLiteral("FBrowseItemsOCX"), [](ui::Form& f) {
            QStringList tops;
            for (const ui::TreeNode& node : f.Get(QStringLiteral("oib")).nodes)
                if (node.parentKey.isEmpty()) tops << node.key;
            for (const QString& top : tops) f.UserCheckNode(QStringLiteral("oib"), top, true);
            f.PressDefault();
        });
        const QString plc = nk::DeviceKey(1, QStringLiteral("."), false);
        session.NodeClick(QString(), plc, QString());
        window->RunObjectFunction(QStringLiteral("mnuDeviceFunc"), 5);
    } else {
        return 2;
    }
    for (const auto& shown : ui::DefaultMessageBoxes().Shown())
        std::printf("message: %s\n", qPrintable(QString(shown.text).replace(u'\n', u' ')));
    std::printf("done\n");
    std::fflush(stdout);
    session.Terminate();
    return 0;
}
