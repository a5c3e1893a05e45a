// End-to-end tests of the ovopc program: real processes on real files.

#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/db/Cursor.h"
#include "platform/system/Registry.h"
#include "support/Files.h"
#include "support/PgCluster.h"
#include "support/NetworkShare.h"
#include "opc/TestServer.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Never with the user's own registry: "new --demo" writes to it.
QProcessEnvironment Environment(const QString& registryFile, const QStringList& more) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OVSTUDIO_REGISTRY"), registryFile);
    for (const QString& assignment : more) environment.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    return environment;
}

Outcome RunProgram(const QString& program, const QStringList& arguments, const QString& registryFile,
                   const QStringList& more = {}) {
    QProcess process;
    process.setProcessEnvironment(Environment(registryFile, more));
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()), QString::fromLocal8Bit(process.readAllStandardError())};
}

void ExpectOneErrorLine(const Outcome& run, const char* mentions) {
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("ovopc: error: "))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(mentions))) << run.err.toStdString();
}

const QString kDemoInfo = QStringLiteral("devices: 3\ngroups: 3\nitems: 23\nunit classes: 2\nunits: 4\n"
                                         "structure definitions: 2\nstructure members: 7\n");

// A folder of its own with a registry of its own; plant.ovs is the project
// of the test, made by NewDemo.
class Ovopc : public ::testing::Test {
  protected:
    Outcome Run(const QStringList& arguments, const QStringList& environment = {}) {
        return RunProgram(QStringLiteral(OVOPC_PATH), arguments, registry, environment);
    }
    void NewDemo(const QString& project) {
        const Outcome created = Run({"new", project, "--demo"});
        ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    }
    // The file of the project that is no database.
    QString TextFile() { return ov::test::WriteFile(dir.filePath(QStringLiteral("text.ovs")), QByteArray(200, 'x')); }
    // What a command with --json printed, as an object.
    QJsonObject Json(const QStringList& arguments, const QStringList& environment = {}) {
        const Outcome run = Run(arguments + QStringList{"--json"}, environment);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }
    // The "items: N" line of info.
    QString ItemsLine(const QString& project) { return Run({"info", project}).out.section(u'\n', 2, 2); }
    // An English installation; the weather station's server at the endpoint, with the user, where given.
    void English(const QString& weatherEndpoint = {}, const QString& user = {}) {
        ov::sys::Registry installation(registry);
        const QString root = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0");
        installation.WriteValue(ov::sys::Hive::LocalMachine, root, QStringLiteral("LCID"), QStringLiteral("1033"));
        const QString weather = root + QStringLiteral("\\OPCServers\\Demo.WeatherStation.2");
        if (!weatherEndpoint.isEmpty())
            installation.WriteValue(ov::sys::Hive::LocalMachine, weather, QStringLiteral("Endpoint"), weatherEndpoint);
        if (!user.isEmpty()) installation.WriteValue(ov::sys::Hive::LocalMachine, weather, QStringLiteral("User"), user);
    }

    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.ini"));
    const QString file = dir.filePath(QStringLiteral("plant.ovs"));
};

TEST_F(Ovopc, TheDemoBringsItsServersAndDriverAlong) {
    const QString blanks = dir.filePath(QStringLiteral("plant with blanks.ovs"));
    NewDemo(blanks);
    const QString content = QString::fromUtf8(ov::test::ReadFile(registry));
    EXPECT_TRUE(content.contains(QStringLiteral("OPCServers\\OVOPC.Simulation.1]")));
    EXPECT_TRUE(content.contains(QStringLiteral("Drivers\\ModbusTCP]")));
    EXPECT_TRUE(content.contains(QStringLiteral("Path=") + QStringLiteral(DEMO_DRIVERS_DIR)));

    // The demo driver's configuration program, as the editor starts it, stores
    // the device's settings; the driver reads them back.
    const QString drivers = QStringLiteral(DEMO_DRIVERS_DIR);
    if (QFile::exists(drivers + QStringLiteral("/ovdemodrvk.bin"))) {
        const Outcome configured = RunProgram(drivers + QStringLiteral("/ovdemodrvk.bin"), {blanks, "Device1"}, registry,
                                              {"OVDEMODRV_ACCEPT=1", "QT_QPA_PLATFORM=offscreen"});
        EXPECT_EQ(configured.exitCode, 0) << configured.err.toStdString();
    }
    const Outcome driver = RunProgram(drivers + QStringLiteral("/ovdemodrv.bin"), {blanks, "Device1"}, registry);
    ASSERT_EQ(driver.exitCode, 0) << driver.err.toStdString();
    EXPECT_TRUE(driver.out.contains(QStringLiteral("Port = 502"))) << driver.out.toStdString();
}

TEST_F(Ovopc, BrowsePrintsTheAddressSpaceOfADevicesServer) {
    NewDemo(file);
    // PLC1's server reads the demo's NodeSet2 file.
    const Outcome json = Run({"browse", file, "--device", "PLC1", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    int variables = 0;
    QJsonObject pressures;
    for (const QJsonValue& node : QJsonDocument::fromJson(json.out.toUtf8()).array()) {
        if (node[QLatin1String("kind")] == QLatin1String("variable")) ++variables;
        if (node[QLatin1String("browseName")] == QLatin1String("NozzlePressures")) pressures = node.toObject();
    }
    EXPECT_EQ(variables, 40);
    EXPECT_EQ(pressures[QLatin1String("itemName")].toString(), QStringLiteral("DemoPlant.Filling.NozzlePressures"));
    EXPECT_EQ(pressures[QLatin1String("dataType")].toInt(), 8192 + 4);
    EXPECT_EQ(pressures[QLatin1String("fieldSize")].toInt(), 8);
    EXPECT_EQ(pressures[QLatin1String("nodeId")].toString(), QStringLiteral("nsu=urn:ovopc:demo;s=DemoPlant.Filling.NozzlePressures"));

    const Outcome text = Run({"browse", file, "--device", "PLC1"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("DemoPlant/\n  Boiler/\n"))) << text.out.toStdString();

    // What cannot be browsed says why, in one line.
    ExpectOneErrorLine(Run({"browse", file, "--device", "Nobody's"}), "Nobody's");
    ExpectOneErrorLine(Run({"browse", file, "--device", "Press"}), "Orvana32");
    QFile::remove(registry);
    ExpectOneErrorLine(Run({"browse", file, "--device", "PLC1"}), "OVOPC.Simulation.1");
}

// The helper's test server with SignAndEncrypt and a user: the password comes
// from the environment (there is no terminal here), and the server's
// certificate, not trusted yet, stops the browse until the command line
// trusts it.
TEST_F(Ovopc, BrowseOfASecuredServerNeedsThePasswordAndTrustsACertificateOnlyWhenTold) {
    if (!ov::test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing";
    const QString pki = dir.filePath(QStringLiteral("pki"));
    ov::test::TestServer server({"--nodeset", OV_SOURCE_DIR "/tests/fixtures/plant.NodeSet2.xml", "--security",
                                 "SignAndEncrypt:Basic256Sha256", "--user", "operator:s3cret", "--pki", pki + "/server"});
    ASSERT_FALSE(server.Endpoint().isEmpty());
    NewDemo(file);
    English(server.Endpoint(), QStringLiteral("operator"));
    const QStringList client{QStringLiteral("OVOPC_PKI=") + pki + QStringLiteral("/client")};
    const QStringList withPassword = client + QStringList{"OVOPC_OPCUA_PASSWORD=s3cret"};
    const QStringList browse{"browse", file, "--device", "Weather"};

    ExpectOneErrorLine(Run(browse, client), "set OVOPC_OPCUA_PASSWORD");
    const Outcome untrusted = Run(browse, withPassword);
    ExpectOneErrorLine(untrusted, server.Thumbprint().toUtf8().constData());
    EXPECT_TRUE(untrusted.err.contains(QStringLiteral("not trusted"))) << untrusted.err.toStdString();

    const Outcome accepted = Run(browse + QStringList{"--accept-server-certificate"}, withPassword);
    ASSERT_EQ(accepted.exitCode, 0) << accepted.err.toStdString();
    EXPECT_TRUE(accepted.out.startsWith(QStringLiteral("Plant/\n"))) << accepted.out.toStdString();
    EXPECT_TRUE(accepted.err.contains(QStringLiteral("(SignAndEncrypt, Basic256Sha256, user operator)"))) << accepted.err.toStdString();
    EXPECT_EQ(Run(browse, withPassword).exitCode, 0) << "trusted for good";
    ExpectOneErrorLine(Run(browse, client + QStringList{"OVOPC_OPCUA_PASSWORD=wrong"}), "refused the user name or password");
}

// Export and import through one file, on a project that is read-only first.
TEST_F(Ovopc, AProjectOnReadOnlyMediaIsReadButNeverWritten) {
    const QString folder = dir.filePath(QStringLiteral("media"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString media = folder + QStringLiteral("/plant.ovs");
    const QString csv = dir.filePath(QStringLiteral("plc1.csv"));
    NewDemo(media);
    const QByteArray before = ov::test::ReadFile(media);
    // The write bits go, as on a CD or a write-protected share (they bind the administrator too).
    QFile::setPermissions(media, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    EXPECT_EQ(ItemsLine(media), QStringLiteral("items: 23"));
    const Outcome exported = Run({"export", media, "--device", "PLC1", "-o", csv, "--encoding", "utf8"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_TRUE(exported.out.startsWith(QStringLiteral("exported: ")));
    const QByteArray content = ov::test::ReadFile(csv);
    EXPECT_TRUE(content.startsWith("\xEF\xBB\xBF"));
    const int lines = static_cast<int>(content.count("\r\n"));
    ExpectOneErrorLine(Run({"import", media, csv, "--mode", "3"}), "read-only");
    EXPECT_EQ(ov::test::ReadFile(media), before) << "not a byte changed";

    // Writable again, it takes the same lines back, plus one too short: all updated, that one rejected.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(media, QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_EQ(ov::test::WriteFile(csv, content + "1;2;3\r\n"), csv);
    const Outcome imported = Run({"import", media, csv, "--mode", "3"});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("updated: %1\ninserted: 0\nrejected: 1\n").arg(lines));
    EXPECT_TRUE(imported.err.contains(QString::number(lines))) << "the rejected line by its index: " << imported.err.toStdString();

    // Inserting them all again collides with their names: nothing is imported.
    const Outcome refused = Run({"import", media, csv, "--mode", "0"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("nothing was imported"))) << refused.err.toStdString();
    EXPECT_EQ(ItemsLine(media), QStringLiteral("items: 23"));
    ExpectOneErrorLine(Run({"export", media, "--group", "Nobody", "-o", csv}), "Nobody");
    EXPECT_EQ(Run({"export", media, "--all", "-o", csv}).out, QStringLiteral("exported: 23\n"));
}

TEST_F(Ovopc, DiffSaysWhatDiffersAndExitsLikeDiff) {
    const QString a = dir.filePath(QStringLiteral("a.ovs")), b = dir.filePath(QStringLiteral("b.ovs"));
    NewDemo(a);
    ASSERT_TRUE(QFile::copy(a, b));
    const Outcome same = Run({"diff", a, b});
    EXPECT_EQ(same.exitCode, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty());
    {
        // One more item in the second project.
        ov::db::Connection c;
        c.Open(ov::model::ProjectConnectionString(b));
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess) VALUES (2, 'Extra', 'Extra')"));
    }
    const Outcome differs = Run({"diff", a, b});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_EQ(differs.out, QStringLiteral("+ item Press/Extra\n"));
    const Outcome json = Run({"diff", b, a, "--json"});
    EXPECT_EQ(json.exitCode, 1);
    const QJsonObject parsed = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(parsed.value(QStringLiteral("removed")).toArray().size(), 1) << json.out.toStdString();
    EXPECT_TRUE(parsed.value(QStringLiteral("added")).toArray().isEmpty());
}

// The seven counts of the demo in order, and a notice once on a network share.
TEST_F(Ovopc, InfoPrintsTheCountsAndSaysOnceThatAProjectLiesOnANetworkShare) {
    English();
    const QString share = dir.filePath(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(share));
    const QString shared = share + QStringLiteral("/plant.ovs");
    const QStringList onShare{QStringLiteral("OV_TEST_NETWORK_SHARES=") + share};
    ASSERT_EQ(Run({"new", shared, "--demo"}, onShare).exitCode, 0);
    EXPECT_EQ(ov::test::JournalVersion(shared), ov::test::kRollbackJournal);

    const QString notice =
        QStringLiteral("The project lies on a network share (NFS): only one computer at a time should write to it.");
    const Outcome plain = Run({"info", shared}, onShare);
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out, kDemoInfo + notice + u'\n');
    const QJsonObject parsed = Json({"info", shared}, onShare);
    EXPECT_EQ(parsed.value(QStringLiteral("items")).toInt(), 23);
    EXPECT_TRUE(parsed.value(QStringLiteral("networkShare")).toBool());
    EXPECT_EQ(parsed.value(QStringLiteral("fileSystem")).toString(), QStringLiteral("NFS"));
    EXPECT_EQ(parsed.value(QStringLiteral("notice")).toString(), notice);

    // The same file on a local disk: nothing to tell.
    const Outcome info = Run({"info", shared});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_EQ(info.out, kDemoInfo);
    const QJsonObject local = Json({"info", shared});
    EXPECT_EQ(local.value(QStringLiteral("structureMembers")).toInt(), 7);
    EXPECT_FALSE(local.value(QStringLiteral("networkShare")).toBool(true));
    EXPECT_FALSE(local.contains(QStringLiteral("notice")));
}

TEST_F(Ovopc, RefusalsAreOneClearLineAndChangeNothing) {
    ASSERT_EQ(Run({"new", file}).exitCode, 0);
    const QString text = TextFile(), readOnly = dir.filePath(QStringLiteral("ro.ovs"));
    ASSERT_EQ(Run({"new", readOnly}).exitCode, 0);
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    const QString missing = dir.filePath(QStringLiteral("missing.ovs"));
    // Read, yes; written, never. With a language, the file is checked first.
    const std::pair<QStringList, const char*> refusals[] = {
        {{"new", file, "--demo"}, "already exists"}, {{"info", missing}, "Could not find"},
        {{"info", text}, "not a project database"},  {{"import", readOnly, text, "--mode", "0"}, "read-only"},
        {{"tree", missing}, "Could not find"},        {{"tree", "Unregistered"}, "registered"},
        {{"tree", text}, "not a project database"},  {{"tree", text, "--lang", "1036"}, "not a project database"},
        {{"check", text}, "not a project database"}, {{"check", missing}, "Could not find"}};
    for (const auto& [arguments, mentions] : refusals) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        ExpectOneErrorLine(Run(arguments), mentions);
    }
    EXPECT_TRUE(Run({"info", file}).out.startsWith(QStringLiteral("devices: 0\ngroups: 1\n")));
    EXPECT_EQ(ItemsLine(file), QStringLiteral("items: 0")) << "not overwritten by the demo";
    EXPECT_EQ(QFile(text).size(), 200);
    EXPECT_EQ(Run({"info", readOnly}).exitCode, 0);
}

TEST_F(Ovopc, ADatabaseLockedByAnotherProcess) {
    ASSERT_EQ(Run({"new", file}).exitCode, 0);
    QProcess holder;
    holder.start(QStringLiteral(LOCK_HOLDER_PATH), {file});
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    ASSERT_TRUE(holder.readAllStandardOutput().contains("locked"));
    ExpectOneErrorLine(Run({"info", file, "--busy-timeout", "100"}), "locked");
    holder.closeWriteChannel();
    holder.waitForFinished();
    EXPECT_EQ(Run({"info", file}).exitCode, 0);
}

TEST_F(Ovopc, TreePrintsTheEditorsBranchInTheChosenLanguage) {
    NewDemo(file);
    // An English installation where the project is registered by its name.
    ASSERT_EQ(ov::test::WriteFile(registry, "[SOFTWARE\\Senmark GmbH\\Orvana\\4.0]\nLCID=1033\nPath=" + dir.path().toUtf8() +
                                            "\n\n[SOFTWARE\\Senmark GmbH\\Orvana\\4.0\\Projects\\plant]\nPath=" +
                                            dir.path().toUtf8() + "\n"),
              registry);
    const Outcome english = Run({"tree", file});
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

    const Outcome german = Run({"tree", "plant", "--lang", "1031"});
    ASSERT_EQ(german.exitCode, 0) << german.err.toStdString();
    EXPECT_TRUE(german.out.contains(QStringLiteral("  OPCD\tExtern\t")));
    EXPECT_TRUE(german.out.contains(QStringLiteral("  OPCG0\tGruppierungen\t")));
    EXPECT_EQ(german.out.count(u'\n'), english.out.count(u'\n'));
}

TEST_F(Ovopc, UsageErrorsExitWithTwo) {
    ASSERT_EQ(Run({"new", file}).exitCode, 0);
    const QString csv = TextFile();
    // Browse and monitor need a device, export a scope, diff two files, write a value; there is no
    // import mode 4, no monitor of no time, no rule PV999, no severity "fatal".
    const QStringList usageErrors[] = {{}, {"frobnicate"}, {"info"}, {"info", "x.ovs", "--yaml"}, {"browse", file},
                                       {"import", file, csv, "--mode", "4"}, {"export", file, "-o", csv}, {"diff", file},
                                       {"monitor", file}, {"monitor", file, "--device", "Weather", "--seconds", "0"},
                                       {"write", file, "--device", "Weather", "--item", "Humidity"},
                                       {"check", file, "--rules", "PV101,PV999"}, {"check", file, "--severity", "fatal"},
                                       {"check", file, "--fix"}, {"check"}};
    for (const QStringList& arguments : usageErrors) EXPECT_EQ(Run(arguments).exitCode, 2) << arguments.join(u' ').toStdString();
    const Outcome help = Run({"help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("new FILE")));
}

// The demo passes; an item of a device that is gone and a connection of an
// item that is gone fail the build until --fix-orphans deletes them.
TEST_F(Ovopc, CheckFailsOnErrorsOnlyNarrowsByRuleAndSeverityAndRepairsTheOrphans) {
    NewDemo(file);
    English();
    const QRegularExpression finding(QStringLiteral("^(error|warning|note) PV[1-5]\\d\\d \\S.*: \\S.*$"));
    const QRegularExpression summary(QStringLiteral("^(\\d+) errors, (\\d+) warnings, (\\d+) notes$"));
    // Every line a finding, the last the counts; the counts of the lines by severity.
    const auto lines = [&](const Outcome& run) {
        QStringList all = run.out.split(u'\n', Qt::SkipEmptyParts);
        const QString counts = all.isEmpty() ? QString() : all.takeLast();
        const QRegularExpressionMatch match = summary.match(counts);
        EXPECT_TRUE(match.hasMatch()) << run.out.toStdString();
        for (const QString& line : all) EXPECT_TRUE(finding.match(line).hasMatch()) << line.toStdString();
        for (int s = 0; s < 3; ++s) {
            const QString severity = QStringList{"error ", "warning ", "note "}[s];
            EXPECT_EQ(match.captured(s + 1).toInt(), all.filter(QRegularExpression(u'^' + severity)).size()) << run.out.toStdString();
        }
        return all;
    };
    const Outcome demo = Run({"check", file});
    EXPECT_EQ(demo.exitCode, 0) << demo.out.toStdString() << demo.err.toStdString();
    EXPECT_TRUE(lines(demo).filter(QRegularExpression(QStringLiteral("^error "))).isEmpty());

    qint64 stray = 0, orphan = 0;
    {
        ov::db::Connection c;
        c.Open(ov::model::ProjectConnectionString(file));
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (77, 'Stray', 'Stray', 5)"));
        stray = c.LastInsertId();
        c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, ?)"), {stray});
        c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) VALUES (1, 9999)"));
        orphan = c.LastInsertId();
        // A warning besides: an item of PLC1 in no group.
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (1, 'Lonely', 'Lonely', 5)"));
    }
    const QString strayLine = QStringLiteral("error PV102 #77:Stray: The item belongs to device #77, which does not exist.");
    const QString orphanLine = QStringLiteral("error PV107 TpdbConnections #%1: The connection belongs to item #9999, which "
                                              "does not exist.").arg(orphan);
    const QString lonelyLine = QStringLiteral("warning PV101 PLC1:Lonely: The item is connected to no group; the runtime never reads it.");
    const Outcome broken = Run({"check", file});
    EXPECT_EQ(broken.exitCode, 1);
    const QStringList all = lines(broken);
    EXPECT_EQ(all.mid(0, 2), (QStringList{strayLine, orphanLine})) << "errors first";
    EXPECT_TRUE(all.contains(lonelyLine)) << broken.out.toStdString();
    for (const QString& line : lines(demo)) EXPECT_TRUE(all.contains(line)) << "the demo's own findings stay: " << line.toStdString();

    const Outcome errors = Run({"check", file, "--severity", "error"});
    EXPECT_EQ(errors.exitCode, 1);
    EXPECT_EQ(errors.out, strayLine + u'\n' + orphanLine + QStringLiteral("\n2 errors, 0 warnings, 0 notes\n"));
    // Only the rule asked for: a warning, so the build passes.
    const Outcome lonely = Run({"check", file, "--rules", "PV101"});
    EXPECT_EQ(lonely.exitCode, 0);
    EXPECT_EQ(lonely.out, lonelyLine + QStringLiteral("\n0 errors, 1 warnings, 0 notes\n"));

    const Outcome json = Run({"check", file, "--json", "--rules", "PV102,pv101"});
    EXPECT_EQ(json.exitCode, 1);
    const QJsonObject parsed = QJsonDocument::fromJson(json.out.toUtf8()).object();
    const QJsonArray findings = parsed[QLatin1String("findings")].toArray();
    ASSERT_EQ(findings.size(), 2) << json.out.toStdString();
    EXPECT_EQ(findings[0].toObject(), (QJsonObject{{"code", "PV102"}, {"severity", "error"}, {"kind", "item"},
                                                   {"id", stray}, {"object", "#77:Stray"},
                                                   {"message", "The item belongs to device #77, which does not exist."},
                                                   {"repairable", true}}));
    EXPECT_EQ(findings[1][QLatin1String("code")].toString(), QStringLiteral("PV101"));
    EXPECT_FALSE(findings[1][QLatin1String("repairable")].toBool(true));
    EXPECT_EQ(parsed[QLatin1String("errors")].toInt(), 1);
    EXPECT_EQ(parsed[QLatin1String("warnings")].toInt(), 1);
    EXPECT_EQ(parsed[QLatin1String("notes")].toInt(), 0);
    EXPECT_FALSE(parsed.contains(QLatin1String("repaired"))) << "nothing was repaired";

    // The item of no device with its connection, and the orphan connection; the warning stays.
    const Outcome fixed = Run({"check", file, "--fix-orphans"});
    EXPECT_EQ(fixed.exitCode, 0) << fixed.out.toStdString();
    EXPECT_TRUE(fixed.out.contains(QStringLiteral("\nrepaired: 3 orphan rows deleted\n0 errors, "))) << fixed.out.toStdString();
    EXPECT_TRUE(fixed.out.contains(lonelyLine));
    {
        ov::db::Connection c;
        c.Open(ov::model::ProjectReadConnectionString(file));
        ov::db::Cursor left(c, QStringLiteral("SELECT (SELECT COUNT(*) FROM TpdbItems WHERE DeviceID = 77), (SELECT COUNT(*) "
                                              "FROM TpdbConnections WHERE ItemID IN (9999, %1)), (SELECT COUNT(*) FROM "
                                              "TpdbItems)").arg(stray));
        ASSERT_TRUE(left.Next());
        EXPECT_EQ(left.Value(0).toInt(), 0);
        EXPECT_EQ(left.Value(1).toInt(), 0);
        EXPECT_EQ(left.Value(2).toInt(), 24) << "the demo's items and Lonely";
    }
    EXPECT_EQ(Json({"check", file, "--fix-orphans"})[QLatin1String("repaired")].toInt(-1), 0) << "nothing left to repair";
}

TEST_F(Ovopc, ImportPlcShowsWhatItWouldDoWritesItAndThenFindsNothingMore) {
    NewDemo(file);
    English();
    const QString program = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plc/sample.st");
    const QString before = Run({"diff", file, file}).out;
    const Outcome plan = Run({"import-plc", file, program, "--device", "Press", "--dry-run"});
    ASSERT_EQ(plan.exitCode, 0) << plan.err.toStdString();
    EXPECT_TRUE(plan.out.startsWith(QStringLiteral("+ structure ST_Motor\n+ structure ST_Line\n+ xStart (I0.1)\n")))
        << plan.out.toStdString();
    EXPECT_TRUE(plan.out.contains(QStringLiteral("\n+ MAIN.counter\n")));
    EXPECT_TRUE(plan.err.contains(QStringLiteral("note: Line 61: valve1 is an instance of the function block")))
        << plan.err.toStdString();
    EXPECT_EQ(ItemsLine(file), QStringLiteral("items: 23")) << "a dry run writes nothing";

    const QJsonObject done = Json({"import-plc", file, program, "--device", "Press"});
    EXPECT_EQ(done[QLatin1String("structuresAdded")].toInt(), 2);
    EXPECT_EQ(done[QLatin1String("added")].toInt(), 32);
    EXPECT_EQ(done[QLatin1String("deleted")].toInt(), 3) << "Press had three items of its own";
    EXPECT_EQ(ItemsLine(file), QStringLiteral("items: 52"));
    const Outcome again = Run({"import-plc", file, program, "--device", "Press", "--dry-run"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.out.isEmpty()) << again.out.toStdString();

    // With --tick only the variables named join the device's items.
    const QJsonObject ticked = Json({"import-plc", file, program, "--device", "PLC1", "--tick", "MAIN", "--tick",
                                     "xStart", "--dry-run"});
    QStringList added;
    for (const QJsonValue& item : ticked[QLatin1String("added")].toArray()) added << item[QLatin1String("name")].toString();
    EXPECT_EQ(added, (QStringList{"xStart", "MAIN.counter", "MAIN.steps", "MAIN.start", "MAIN.running"}));
    EXPECT_EQ(ticked[QLatin1String("removed")].toArray().size(), 14) << "PLC1's items are not in the program";

    const Outcome unknown = Run({"import-plc", file, program, "--device", "PLC1", "--tick", "GVL.Nothing"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.endsWith(QStringLiteral("ovopc: error: the program has no variable or folder \"GVL.Nothing\".\n")))
        << unknown.err.toStdString();
    ExpectOneErrorLine(Run({"import-plc", file, TextFile(), "--device", "PLC1"}), "not a PLC program");
    ExpectOneErrorLine(Run({"import-plc", file, program, "--device", "Nobody"}), "Nobody");
    EXPECT_EQ(Run({"import-plc", file, program}).exitCode, 2);
    EXPECT_EQ(Run({"import-plc", file, program, "--device", "PLC1", "--all"}).exitCode, 2);
}

// The Weather device on the helper's test server with its changing variables,
// with items of our own in the fast group (100 ms).
class OvopcLive : public Ovopc {
  protected:
    void SetUp() override {
        if (!ov::test::HelperInstalled()) GTEST_SKIP() << "node or the helper's npm packages are missing";
        server = std::make_unique<ov::test::TestServer>(QStringList{"--alive"});
        ASSERT_FALSE(server->Endpoint().isEmpty());
        NewDemo(file);
        English(server->Endpoint());
        ov::db::Connection c;
        c.Open(ov::model::ProjectConnectionString(file));
        const struct {
            const char* name;
            const char* node;
            int dataType;
            double minVal, maxVal;
        } items[] = {{"Cli.Ramp", "Ramp", 5, 0, 0},           {"Cli.Counter", "Counter", 19, 0, 0},
                     {"Cli.Typo", "Typo", 5, 0, 0},           {"Cli.Setpoint", "Setpoint", 5, 0, 50},
                     {"Cli.ReadOnly", "ReadOnly", 5, 0, 0}};
        for (const auto& item : items)
            c.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType, MinVal, MaxVal) "
                                     "SELECT ID, ?, ?, ?, ?, ? FROM TpdbDevices WHERE Name = 'Weather'"),
                      {QString::fromUtf8(item.name), QStringLiteral("nsu=urn:ovopc:alive;s=Alive.") + QString::fromUtf8(item.node),
                       item.dataType, item.minVal, item.maxVal});
        c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT g.ID, i.ID FROM TpdbGroups g, "
                                 "TpdbItems i WHERE g.Name = 'Fast' AND i.Name Like 'Cli.%'"));
    }
    Outcome Live(const QStringList& arguments) { return Run(arguments, {QStringLiteral("OVOPC_PKI=") + dir.filePath("pki")}); }
    // The JSON lines of a monitor run by item name.
    QMap<QString, QList<QJsonObject>> Monitored(const QString& items, const char* seconds, const QString& project = {}) {
        const Outcome run = Live({"monitor", project.isEmpty() ? file : project, "--device", "Weather", "--items", items,
                                  "--seconds", seconds, "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QMap<QString, QList<QJsonObject>> lines;
        for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject json = QJsonDocument::fromJson(line.toUtf8()).object();
            lines[json.value("item").toString()] << json;
        }
        return lines;
    }
    static QSet<double> Values(const QList<QJsonObject>& lines) {
        QSet<double> values;
        for (const QJsonObject& line : lines) values << line.value("value").toDouble();
        return values;
    }

    std::unique_ptr<ov::test::TestServer> server;
};

TEST_F(OvopcLive, MonitorPrintsEachValueChangeOfTheItemsLikeThePattern) {
    QElapsedTimer took;
    took.start();
    const auto lines = Monitored(QStringLiteral("Cli.%"), "2");
    EXPECT_LT(took.elapsed(), 15000);
    EXPECT_GE(Values(lines["Cli.Ramp"]).size(), 5) << "sampled every 100 ms by the fast group";
    EXPECT_GE(Values(lines["Cli.Counter"]).size(), 2);
    const QJsonObject ramp = lines["Cli.Ramp"].value(0);
    EXPECT_EQ(ramp.value("itemId").toString(), QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Ramp"));
    EXPECT_EQ(ramp.value("quality").toString(), QStringLiteral("Good"));
    EXPECT_EQ(ramp.value("text").toString(), QString::number(ramp.value("value").toDouble()));
    EXPECT_TRUE(QDateTime::fromString(ramp.value("time").toString(), Qt::ISODateWithMs).isValid());
    ASSERT_EQ(lines["Cli.Typo"].size(), 1) << "a wrong ID is said once";
    EXPECT_EQ(lines["Cli.Typo"][0].value("quality").toString(), QStringLiteral("Bad_NodeIdUnknown"));
    EXPECT_TRUE(lines["Cli.Typo"][0].value("value").isNull());
    EXPECT_EQ(lines["Cli.Setpoint"].value(0).value("value").toDouble(), 20);

    // Without --json: item, value, quality and time by tabs; the pattern by the classic Like rules.
    const Outcome text = Live({"monitor", file, "--device", "Weather", "--items", "%.r[a-c]_P", "--seconds", "1"});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList textLines = text.out.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_FALSE(textLines.isEmpty());
    for (const QString& line : textLines) {
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 4) << line.toStdString();
        EXPECT_EQ(fields[0], QStringLiteral("Cli.Ramp"));
        EXPECT_EQ(fields[2], QStringLiteral("Good"));
    }
}

TEST_F(OvopcLive, MonitorEndsCleanlyWhenStoppedOrWhenItsReaderGoes) {
    QElapsedTimer took;
    took.start();
    // A pipe that takes three lines ends a monitor that would run for a minute.
    const Outcome piped = RunProgram(QStringLiteral("/bin/sh"),
                                     {"-c", "\"$0\" monitor \"$1\" --device Weather --items Cli.Ramp --seconds 60 | head -3",
                                      QStringLiteral(OVOPC_PATH), file},
                                     registry, {QStringLiteral("OVOPC_PKI=") + dir.filePath("pki")});
    EXPECT_EQ(piped.out.count(u'\n'), 3) << piped.err.toStdString();
    EXPECT_LT(took.elapsed(), 20000);

    QProcess monitor;
    monitor.setProcessEnvironment(Environment(registry, {QStringLiteral("OVOPC_PKI=") + dir.filePath("pki")}));
    monitor.start(QStringLiteral(OVOPC_PATH), {"monitor", file, "--device", "Weather", "--items", "Cli.Ramp", "--seconds", "60"});
    ASSERT_TRUE(monitor.waitForReadyRead(15000));
    monitor.terminate();
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(monitor.exitCode(), 0);
}

TEST_F(OvopcLive, WriteTakesOnlyWhatTheItemAndTheServerAllow) {
    const QString log = dir.filePath(QStringLiteral("plant.writes.log"));
    const QStringList setpoint{"write", file, "--device", "Weather", "--item", "cli.setpoint", "--value"};
    // Nothing is sent without --yes when nobody can be asked, nor a value outside MinVal to MaxVal.
    ExpectOneErrorLine(Live(setpoint + QStringList{"30"}), "--yes");
    ExpectOneErrorLine(Live(setpoint + QStringList{"50,5", "--yes"}), "outside");
    ExpectOneErrorLine(Live(setpoint + QStringList{"warm", "--yes"}), "no value");
    EXPECT_FALSE(QFile::exists(log));

    const Outcome written = Live(setpoint + QStringList{"21,5", "--yes"});
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    const Outcome refused = Live({"write", file, "--device", "Weather", "--item", "Cli.ReadOnly", "--value", "1", "--yes"});
    ExpectOneErrorLine(refused, "BadNotWritable");
    EXPECT_EQ(Values(Monitored(QStringLiteral("Cli.Setpoint"), "1")["Cli.Setpoint"]), QSet<double>{21.5});

    const QList<QByteArray> lines = ov::test::ReadFile(log).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << "only what was sent is recorded";
    EXPECT_TRUE(lines[0].contains("\tCli.Setpoint\t20\t21.5\tGood") || lines[0].contains("\tCli.Setpoint\t20\t21,5\tGood"))
        << lines[0].toStdString();
    EXPECT_FALSE(lines[0].split('\t').value(1).isEmpty()) << "the user logged on";
    EXPECT_TRUE(lines[1].contains("\tCli.ReadOnly\t42")) << lines[1].toStdString();
}

TEST_F(OvopcLive, OnAServerProjectAWriteIsLoggedOnTheEngineersComputerAndMonitored) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    cluster->CreateDatabase(QStringLiteral("live"));
    const QString url = cluster->Url(QStringLiteral("live"), QStringLiteral("plant"));
    ASSERT_EQ(Run({"copy", file, url}).exitCode, 0);
    const QStringList environment{QStringLiteral("OVOPC_PKI=") + dir.filePath("pki"),
                                  QStringLiteral("XDG_CONFIG_HOME=") + dir.filePath("config")};
    const Outcome written =
        Run({"write", url, "--device", "Weather", "--item", "Cli.Setpoint", "--value", "21,5", "--yes"}, environment);
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_TRUE(written.err.isEmpty()) << "no warning that the log could not be written: " << written.err.toStdString();

    const QFileInfoList logs = QDir(dir.filePath("config/ovstudio/server-projects"))
                                   .entryInfoList({QStringLiteral("*.writes.log")}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const QByteArray line = ov::test::ReadFile(logs[0].filePath()).trimmed();
    EXPECT_TRUE(line.contains("\tCli.Setpoint\t20\t21") && line.endsWith("\tGood")) << line.toStdString();
    EXPECT_EQ(Values(Monitored(QStringLiteral("Cli.Setpoint"), "1", url)["Cli.Setpoint"]), QSet<double>{21.5});
}

TEST_F(Ovopc, LiveCommandsRefuseDevicesWithoutLiveValuesAndUnknownItems) {
    NewDemo(file);
    English();
    const std::pair<QStringList, const char*> refusals[] = {
        {{"monitor", file, "--device", "Press"}, "Orvana32 driver"},
        {{"monitor", file, "--device", "PLC1"}, "NodeSet2 file"},
        {{"monitor", file, "--device", "Weather", "--items", "Nothing%"}, "no item like"},
        {{"write", file, "--device", "Weather", "--item", "%", "--value", "1", "--yes"}, "has no item \"%\""}};
    for (const auto& [arguments, mentions] : refusals) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        ExpectOneErrorLine(Run(arguments), mentions);
    }
}

}  // namespace

// Projects on a PostgreSQL server through the same commands as files.
class OvopcServer : public Ovopc {
  protected:
    static QString Url(const QString& project) {
        return ov::test::SharedPgCluster()->Url(QStringLiteral("ovopc"), project);
    }
    static void SetUpTestSuite() {
        if (const ov::test::PgCluster* c = ov::test::SharedPgCluster()) c->CreateDatabase(QStringLiteral("ovopc"));
    }
};

TEST_F(OvopcServer, ANewServerProjectReadsLikeTheSameFileAndCopiesBothWaysWithoutADifference) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    NewDemo(file);
    ASSERT_EQ(Run({"new", Url("demo"), "--demo"}).exitCode, 0);
    EXPECT_EQ(Run({"tree", Url("demo")}).out, Run({"tree", file}).out);
    EXPECT_EQ(Run({"info", Url("demo")}).out, Run({"info", file}).out);
    const Outcome same = Run({"diff", file, Url("demo")});
    EXPECT_EQ(same.exitCode, 0) << same.out.toStdString();

    // A file with values a server could store differently (a fraction, a
    // text beyond ASCII, a null, a key far ahead) goes there and back unchanged.
    {
        ov::db::Connection edit;
        edit.Open(ov::model::ProjectConnectionString(file));
        edit.Execute("UPDATE TpdbItems SET MaxVal = 77.125, Comment = ?, DefaultVal = NULL WHERE ID = 1",
                     {QStringLiteral("Ölstand – 😀")});
        edit.Execute("INSERT INTO TpdbGroups (ID, Name) VALUES (900, 'Far')");
    }
    EXPECT_EQ(Run({"diff", file, Url("demo")}).exitCode, 1) << "the server's demo differs now";
    const Outcome up = Run({"copy", file, Url("copied")});
    ASSERT_EQ(up.exitCode, 0) << up.err.toStdString();
    EXPECT_TRUE(up.err.contains("copying rows")) << "a progress line";
    // A filled project is counted once committed: a first tree of a million
    // rows is planned for them, not for an empty table.
    const auto counted = cluster->Query(QStringLiteral("ovopc"),
                                        QStringLiteral("SELECT c.reltuples FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                                       "WHERE n.nspname = 'copied' AND c.relname = 'TpdbItems'"));
    ASSERT_EQ(counted.size(), 1u);
    EXPECT_GT(counted[0][0].toDouble(), 0) << "no statistics after the copy";
    const QString back = dir.filePath(QStringLiteral("back.ovs"));
    ASSERT_EQ(Run({"copy", Url("copied"), back}).exitCode, 0);
    EXPECT_EQ(Run({"diff", file, Url("copied")}).exitCode, 0);
    EXPECT_EQ(Run({"diff", file, back}).exitCode, 0);
    EXPECT_EQ(Run({"check", Url("copied")}).exitCode, 0);

    // Nothing is replaced, and a bad address says what is wrong.
    ExpectOneErrorLine(Run({"copy", file, Url("copied")}), "exists on the server already");
    ExpectOneErrorLine(Run({"copy", file, back}), "already exists");
    ExpectOneErrorLine(Run({"info", Url("nobody")}), "has no project 'nobody'");
    ExpectOneErrorLine(Run({"info", cluster->Url("ovopc", "bad name")}), "cannot be a project name");
    ExpectOneErrorLine(Run({"info", QStringLiteral("postgresql://ov@127.0.0.1:1/ovopc?project=demo")}), "cannot be reached");
}

TEST_F(OvopcServer, AGeneratedServerProjectHoldsWhatTheSameFileHolds) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    const QStringList size = {"--demo", "--items", "2500", "--devices", "2"};
    ASSERT_EQ(Run(QStringList{"new", file} + size).exitCode, 0);
    const Outcome made = Run(QStringList{"new", Url("Generated")} + size);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.contains("creating items")) << "a progress line";
    const Outcome same = Run({"diff", file, Url("Generated")});
    EXPECT_EQ(same.exitCode, 0) << same.out.toStdString();
    // Refused before a single item is made, not after the work.
    const Outcome again = Run(QStringList{"new", Url("Generated")} + size);
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains("exists on the server already")) << again.err.toStdString();
    EXPECT_FALSE(again.err.contains("1250 of")) << again.err.toStdString();
}

// The commands that write, run on a file and on a server project made alike,
// leave the two alike, and say the same on the way.
TEST_F(OvopcServer, TheWritingCommandsLeaveAServerProjectAsTheyLeaveAFile) {
    OV_REQUIRE_PG_CLUSTER(cluster);
    NewDemo(file);
    ASSERT_EQ(Run({"new", Url("writes"), "--demo"}).exitCode, 0);
    English();
    const QString program = QStringLiteral(OV_SOURCE_DIR "/tests/fixtures/plc/sample.st");
    const QString csv = dir.filePath(QStringLiteral("plc1.csv"));
    ASSERT_EQ(Run({"export", file, "--device", "PLC1", "-o", csv, "--encoding", "utf8"}).exitCode, 0);
    const QString csvFromServer = dir.filePath(QStringLiteral("plc1-server.csv"));
    ASSERT_EQ(Run({"export", Url("writes"), "--device", "PLC1", "-o", csvFromServer, "--encoding", "utf8"}).exitCode, 0);
    EXPECT_EQ(ov::test::ReadFile(csvFromServer), ov::test::ReadFile(csv)) << "the same export";

    const QList<QStringList> commands = {
        {"import-plc", "PROJECT", program, "--device", "Press"},
        {"import", "PROJECT", csv, "--mode", "3"},
        {"import", "PROJECT", csv, "--mode", "0"},  // every name taken: refused whole
        {"check", "PROJECT", "--fix-orphans"},
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(u' ').toStdString());
        QStringList onFile = command, onServer = command;
        onFile.replace(1, file);
        onServer.replace(1, Url("writes"));
        const Outcome a = Run(onFile), b = Run(onServer);
        EXPECT_EQ(b.exitCode, a.exitCode);
        EXPECT_EQ(b.out, a.out);
        const Outcome same = Run({"diff", file, Url("writes")});
        EXPECT_EQ(same.exitCode, 0) << same.out.toStdString();
    }
}
