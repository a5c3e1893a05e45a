// End-to-end tests of the ovopc program: real processes on real files.

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/system/Registry.h"
#include "support/NetworkShare.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome RunProgram(const QString& program, const QStringList& arguments, const QString& registryFile,
            const QStringList& more = {}) {
    // Never the user's own registry: "new --demo" writes to it.
    QTemporaryDir own;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OVSTUDIO_REGISTRY"),
                       registryFile.isEmpty() ? own.filePath(QStringLiteral("registry.ini")) : registryFile);
    for (const QString& assignment : more) environment.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
}

Outcome Ovopc(const QStringList& arguments, const QString& registryFile = QString()) {
    return RunProgram(QStringLiteral(OVOPC_PATH), arguments, registryFile);
}

void ExpectOneErrorLine(const Outcome& run, const char* mentions) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("ovopc: error: "))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(mentions))) << run.err.toStdString();
}

TEST(Ovopc, NewDemoThenInfoPrintsTheSevenCountsInOrder) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plant.ovs"));
    const Outcome created = Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    const Outcome info = Ovopc({QStringLiteral("info"), file});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_EQ(info.out, QStringLiteral("devices: 3\ngroups: 3\nitems: 22\nunit classes: 2\nunits: 4\n"
                                       "structure definitions: 2\nstructure members: 7\n"));

    const Outcome json = Ovopc({QStringLiteral("info"), file, QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0);
    EXPECT_TRUE(json.out.contains(QStringLiteral("\"items\": 22")));
    EXPECT_TRUE(json.out.contains(QStringLiteral("\"structureMembers\": 7")));
}

TEST(Ovopc, TheDemoBringsItsServersAndDriverAlong) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString file = dir.filePath(QStringLiteral("plant with blanks.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}, registry).exitCode, 0);
    QFile ini(registry);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(ini.readAll());
    EXPECT_TRUE(content.contains(QStringLiteral("OPCServers\\OVOPC.Simulation.1]")));
    EXPECT_TRUE(content.contains(QStringLiteral("Drivers\\ModbusTCP]")));
    EXPECT_TRUE(content.contains(QStringLiteral("Path=") + QStringLiteral(DEMO_DRIVERS_DIR)));

    // The demo driver's configuration program, as the editor starts it, stores
    // the device's settings; the driver reads them back.
    const QString drivers = QStringLiteral(DEMO_DRIVERS_DIR);
    if (QFile::exists(drivers + QStringLiteral("/ovdemodrvk.bin"))) {
        const Outcome configured = RunProgram(drivers + QStringLiteral("/ovdemodrvk.bin"), {file, QStringLiteral("Device1")}, registry,
                                       {QStringLiteral("OVDEMODRV_ACCEPT=1"), QStringLiteral("QT_QPA_PLATFORM=offscreen")});
        EXPECT_EQ(configured.exitCode, 0) << configured.err.toStdString();
    }
    const Outcome driver = RunProgram(drivers + QStringLiteral("/ovdemodrv.bin"), {file, QStringLiteral("Device1")}, registry);
    ASSERT_EQ(driver.exitCode, 0) << driver.err.toStdString();
    EXPECT_TRUE(driver.out.contains(QStringLiteral("Port = 502"))) << driver.out.toStdString();
}

TEST(Ovopc, BrowsePrintsTheAddressSpaceOfADevicesServer) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString file = dir.filePath(QStringLiteral("plant.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}, registry).exitCode, 0);

    // PLC1's server reads the demo's NodeSet2 file.
    const Outcome json = Ovopc({QStringLiteral("browse"), file, QStringLiteral("--device"), QStringLiteral("PLC1"),
                                QStringLiteral("--json")},
                               registry);
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray nodes = QJsonDocument::fromJson(json.out.toUtf8()).array();
    int variables = 0;
    QJsonObject pressures;
    for (const QJsonValue& node : nodes) {
        if (node[QLatin1String("kind")] == QLatin1String("variable")) ++variables;
        if (node[QLatin1String("browseName")] == QLatin1String("NozzlePressures")) pressures = node.toObject();
    }
    EXPECT_EQ(variables, 40);
    EXPECT_EQ(pressures[QLatin1String("itemName")].toString(), QStringLiteral("DemoPlant.Filling.NozzlePressures"));
    EXPECT_EQ(pressures[QLatin1String("dataType")].toInt(), 8192 + 4);
    EXPECT_EQ(pressures[QLatin1String("fieldSize")].toInt(), 8);
    EXPECT_EQ(pressures[QLatin1String("nodeId")].toString(), QStringLiteral("nsu=urn:ovopc:demo;s=DemoPlant.Filling.NozzlePressures"));

    const Outcome text = Ovopc({QStringLiteral("browse"), file, QStringLiteral("--device"), QStringLiteral("PLC1")}, registry);
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("DemoPlant/\n  Boiler/\n"))) << text.out.toStdString();

    // What cannot be browsed says why, in one line.
    ExpectOneErrorLine(Ovopc({QStringLiteral("browse"), file, QStringLiteral("--device"), QStringLiteral("Nobody's")}, registry),
                       "Nobody's");
    ExpectOneErrorLine(Ovopc({QStringLiteral("browse"), file, QStringLiteral("--device"), QStringLiteral("Press")}, registry),
                       "Orvana32");
    QFile::remove(registry);
    ExpectOneErrorLine(Ovopc({QStringLiteral("browse"), file, QStringLiteral("--device"), QStringLiteral("PLC1")}, registry),
                       "OVOPC.Simulation.1");
    EXPECT_EQ(Ovopc({QStringLiteral("browse"), file}).exitCode, 2) << "a device is needed";
}

TEST(Ovopc, ExportAndImportGoThroughOneFile) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString file = dir.filePath(QStringLiteral("plant.ovs"));
    const QString csv = dir.filePath(QStringLiteral("plc1.csv"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}, registry).exitCode, 0);
    const Outcome exported = Ovopc({QStringLiteral("export"), file, QStringLiteral("--device"), QStringLiteral("PLC1"),
                                    QStringLiteral("-o"), csv, QStringLiteral("--encoding"), QStringLiteral("utf8")},
                                   registry);
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith(QStringLiteral("exported: ")));
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QByteArray content = written.readAll();
    written.close();
    EXPECT_TRUE(content.startsWith("\xEF\xBB\xBF"));
    const int lines = static_cast<int>(content.count("\r\n"));

    // The same lines back, plus one too short: all updated, that one rejected.
    QFile append(csv);
    ASSERT_TRUE(append.open(QIODevice::Append));
    append.write("1;2;3\r\n");
    append.close();
    const Outcome imported = Ovopc({QStringLiteral("import"), file, csv, QStringLiteral("--mode"), QStringLiteral("3")}, registry);
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("updated: %1\ninserted: 0\nrejected: 1\n").arg(lines));
    EXPECT_TRUE(imported.err.contains(QString::number(lines))) << "the rejected line by its index: " << imported.err.toStdString();

    // Inserting them all again collides with their names: nothing is imported.
    const Outcome refused = Ovopc({QStringLiteral("import"), file, csv, QStringLiteral("--mode"), QStringLiteral("0")}, registry);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("nothing was imported"))) << refused.err.toStdString();
    EXPECT_EQ(Ovopc({QStringLiteral("info"), file}, registry).out.section(u'\n', 2, 2), QStringLiteral("items: 22"));

    EXPECT_EQ(Ovopc({QStringLiteral("import"), file, csv, QStringLiteral("--mode"), QStringLiteral("4")}, registry).exitCode, 2);
    EXPECT_EQ(Ovopc({QStringLiteral("export"), file, QStringLiteral("-o"), csv}, registry).exitCode, 2) << "a scope is needed";
    ExpectOneErrorLine(Ovopc({QStringLiteral("export"), file, QStringLiteral("--group"), QStringLiteral("Nobody"),
                              QStringLiteral("-o"), csv}, registry),
                       "Nobody");
}

TEST(Ovopc, AProjectOnReadOnlyMediaIsReadButNeverWritten) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString folder = dir.filePath(QStringLiteral("media"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/plant.ovs");
    const QString csv = dir.filePath(QStringLiteral("all.csv"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}, registry).exitCode, 0);
    const auto bytes = [&file] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    // The write bits go, as on a CD or a write-protected share (they bind the administrator too).
    QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    const Outcome info = Ovopc({QStringLiteral("info"), file}, registry);
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_EQ(info.out.section(u'\n', 2, 2), QStringLiteral("items: 22"));
    const Outcome exported = Ovopc({QStringLiteral("export"), file, QStringLiteral("--all"), QStringLiteral("-o"), csv}, registry);
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    ExpectOneErrorLine(Ovopc({QStringLiteral("import"), file, csv, QStringLiteral("--mode"), QStringLiteral("3")}, registry), "read-only");
    EXPECT_EQ(bytes(), before) << "not a byte changed";

    // Writable again, it takes the work.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    const Outcome imported = Ovopc({QStringLiteral("import"), file, csv, QStringLiteral("--mode"), QStringLiteral("3")}, registry);
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.startsWith(QStringLiteral("updated: 22"))) << imported.out.toStdString();
}

TEST(Ovopc, DiffSaysWhatDiffersAndExitsLikeDiff) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString a = dir.filePath(QStringLiteral("a.ovs")), b = dir.filePath(QStringLiteral("b.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), a, QStringLiteral("--demo")}, registry).exitCode, 0);
    ASSERT_TRUE(QFile::copy(a, b));
    const Outcome same = Ovopc({QStringLiteral("diff"), a, b}, registry);
    EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty());
    {
        // One more item in the second project.
        ov::db::Connection c;
        c.Open(ov::model::ProjectConnectionString(b));
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (2, 'Extra', 'Extra')"));
    }
    const Outcome differs = Ovopc({QStringLiteral("diff"), a, b}, registry);
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_EQ(differs.out, QStringLiteral("+ item Press/Extra\n"));
    const Outcome json = Ovopc({QStringLiteral("diff"), b, a, QStringLiteral("--json")}, registry);
    EXPECT_EQ(json.exitCode, 1);
    const QJsonObject parsed = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(parsed.value(QStringLiteral("removed")).toArray().size(), 1) << json.out.toStdString();
    EXPECT_TRUE(parsed.value(QStringLiteral("added")).toArray().isEmpty());
    EXPECT_EQ(Ovopc({QStringLiteral("diff"), a}, registry).exitCode, 2) << "two files are needed";
}

TEST(Ovopc, InfoSaysOnceThatAProjectLiesOnANetworkShare) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    ov::sys::Registry(registry).WriteValue(ov::sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"),
                                           QStringLiteral("LCID"), QStringLiteral("1033"));
    const QString share = dir.filePath(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(share));
    const QString file = share + QStringLiteral("/plant.ovs");
    const QStringList onShare{QStringLiteral("OV_TEST_NETWORK_SHARES=") + share};
    const auto run = [&](const QStringList& arguments, const QStringList& environment) {
        return RunProgram(QStringLiteral(OVOPC_PATH), arguments, registry, environment);
    };
    ASSERT_EQ(run({QStringLiteral("new"), file, QStringLiteral("--demo")}, onShare).exitCode, 0);
    EXPECT_EQ(ov::test::JournalVersion(file), ov::test::kRollbackJournal);

    const QString notice =
        QStringLiteral("The project lies on a network share (NFS): only one computer at a time should write to it.");
    const Outcome plain = run({QStringLiteral("info"), file}, onShare);
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, QStringLiteral("devices: 3\ngroups: 3\nitems: 22\nunit classes: 2\nunits: 4\n"
                                        "structure definitions: 2\nstructure members: 7\n") +
                             notice + u'\n');
    const Outcome json = run({QStringLiteral("info"), file, QStringLiteral("--json")}, onShare);
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject parsed = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(parsed.value(QStringLiteral("items")).toInt(), 22);
    EXPECT_TRUE(parsed.value(QStringLiteral("networkShare")).toBool());
    EXPECT_EQ(parsed.value(QStringLiteral("fileSystem")).toString(), QStringLiteral("NFS"));
    EXPECT_EQ(parsed.value(QStringLiteral("notice")).toString(), notice);

    // The same file on a local disk: nothing to tell.
    const Outcome local = run({QStringLiteral("info"), file}, {});
    EXPECT_EQ(local.out.count(u'\n'), 7) << local.out.toStdString();
    const QJsonObject localJson =
        QJsonDocument::fromJson(run({QStringLiteral("info"), file, QStringLiteral("--json")}, {}).out.toUtf8()).object();
    EXPECT_FALSE(localJson.value(QStringLiteral("networkShare")).toBool(true));
    EXPECT_FALSE(localJson.contains(QStringLiteral("notice")));
}

TEST(Ovopc, NewRefusesToOverwrite) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("p.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file}).exitCode, 0);
    const Outcome empty = Ovopc({QStringLiteral("info"), file});
    EXPECT_TRUE(empty.out.startsWith(QStringLiteral("devices: 0\ngroups: 1\n")));
    ExpectOneErrorLine(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}), "already exists");
    EXPECT_TRUE(Ovopc({QStringLiteral("info"), file}).out.contains(QStringLiteral("items: 0")));
}

TEST(Ovopc, BadProjectFilesGiveOneClearLine) {
    QTemporaryDir dir;
    ExpectOneErrorLine(Ovopc({QStringLiteral("info"), dir.filePath(QStringLiteral("missing.ovs"))}), "Could not find");

    const QString text = dir.filePath(QStringLiteral("text.ovs"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(200, 'x'));
    file.close();
    ExpectOneErrorLine(Ovopc({QStringLiteral("info"), text}), "not a project database");
    EXPECT_EQ(QFile(text).size(), 200);

    const QString readOnly = dir.filePath(QStringLiteral("ro.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), readOnly}).exitCode, 0);
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    // Read, yes; written, never.
    EXPECT_EQ(Ovopc({QStringLiteral("info"), readOnly}).exitCode, 0);
    ExpectOneErrorLine(Ovopc({QStringLiteral("import"), readOnly, text, QStringLiteral("--mode"), QStringLiteral("0")}), "read-only");
}

TEST(Ovopc, ADatabaseLockedByAnotherProcess) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("locked.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file}).exitCode, 0);
    QProcess holder;
    holder.start(QStringLiteral(LOCK_HOLDER_PATH), {file});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_TRUE(holder.readAllStandardOutput().contains("locked"));

    ExpectOneErrorLine(Ovopc({QStringLiteral("info"), file, QStringLiteral("--busy-timeout"), QStringLiteral("100")}),
                       "locked");
    holder.closeWriteChannel();
    holder.waitForFinished();
    EXPECT_EQ(Ovopc({QStringLiteral("info"), file}).exitCode, 0);
}

TEST(Ovopc, TreePrintsTheEditorsBranchInTheChosenLanguage) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plant.ovs"));
    ASSERT_EQ(Ovopc({QStringLiteral("new"), file, QStringLiteral("--demo")}).exitCode, 0);
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    QFile ini(registry);
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\nLCID=1033\nPath=" + dir.path().toUtf8() + "\n\n"
              "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Projects\\plant]\nPath=" + dir.path().toUtf8() + "\n");
    ini.close();

    const Outcome english = Ovopc({QStringLiteral("tree"), file}, registry);
    ASSERT_EQ(english.exitCode, 0) << english.err.toStdString();
    const QStringList lines = english.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.value(0), QStringLiteral("OPCE0\tItems \ticoOPCEditor"));
    EXPECT_EQ(lines.value(1), QStringLiteral("  OPCD0\tInternal\ticoVarIntern"));
    EXPECT_TRUE(lines.contains(QStringLiteral("      OPCD1|.|O|Line1\tLine1\ticoItemBranch\t9")));
    EXPECT_TRUE(lines.contains(QStringLiteral("          OPCD1|.|O|Line2.Pump.Alarm\tAlarm\ticoItemBranch\t1")));
    EXPECT_TRUE(lines.contains(QStringLiteral("    OPCD2||D\tPress: Hydraulic press\ticoOPCDevice")));
    EXPECT_EQ(lines.last(), QStringLiteral("    OPCS2\tDrive\ticoOPCStruct"));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("OVOPCSimulation.ini"))))
        << "loading the editor writes the simulation definitions";

    const Outcome german = Ovopc({QStringLiteral("tree"), QStringLiteral("plant"), QStringLiteral("--lang"), QStringLiteral("1031")}, registry);
    ASSERT_EQ(german.exitCode, 0) << german.err.toStdString();
    EXPECT_TRUE(german.out.contains(QStringLiteral("  OPCD\tExtern\t")));
    EXPECT_TRUE(german.out.contains(QStringLiteral("  OPCG0\tGruppierungen\t")));
    EXPECT_EQ(german.out.count(u'\n'), english.out.count(u'\n'));
}

TEST(Ovopc, TreeOnBadInput) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    ExpectOneErrorLine(Ovopc({QStringLiteral("tree"), dir.filePath(QStringLiteral("gone.ovs"))}, registry), "Could not find");
    ExpectOneErrorLine(Ovopc({QStringLiteral("tree"), QStringLiteral("Unregistered")}, registry), "registered");
    const QString text = dir.filePath(QStringLiteral("text.ovs"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(300, 'x'));
    file.close();
    ExpectOneErrorLine(Ovopc({QStringLiteral("tree"), text}, registry), "not a project database");
    EXPECT_EQ(Ovopc({QStringLiteral("tree"), text, QStringLiteral("--lang"), QStringLiteral("1036")}, registry).exitCode, 1)
        << "the file is checked first";
}

TEST(Ovopc, UsageErrors) {
    EXPECT_EQ(Ovopc({}).exitCode, 2);
    EXPECT_EQ(Ovopc({QStringLiteral("frobnicate")}).exitCode, 2);
    EXPECT_EQ(Ovopc({QStringLiteral("info")}).exitCode, 2);
    EXPECT_EQ(Ovopc({QStringLiteral("info"), QStringLiteral("x.ovs"), QStringLiteral("--yaml")}).exitCode, 2);
    const Outcome help = Ovopc({QStringLiteral("help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("new FILE")));
}

}  // namespace
