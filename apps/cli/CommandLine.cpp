// Output, failures and arguments that every ovopc command shares.

#include "CommandLine.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace ovopc {

namespace {

const char* const kUsage =
    "Usage: ovopc COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  new FILE [--demo [--items N [--devices D]]]\n"
    "                        create a project database from the project template;\n"
    "                        --demo fills it with a small demo plant, --items adds N\n"
    "                        generated items (up to 10,000,000) over D devices (one per\n"
    "                        million by default), with a progress line on stderr\n"
    "  copy SOURCE TARGET    copy a whole project to a new one, in one transaction, with a\n"
    "                        progress line on stderr: a file to a server project\n"
    "                        (postgresql://user@host:port/db?project=NAME) or back\n"
    "  info FILE [--json]    print the numbers of devices, groups, items, unit classes,\n"
    "                        units, structure definitions and structure members, and\n"
    "                        whether the project lies on a network share (then only one\n"
    "                        computer should write to it at a time)\n"
    "  tree FILE [--lang 1031|1033]\n"
    "                        load the editor on the project and print its branch of the\n"
    "                        project tree: key, text, image and the item count of folders;\n"
    "                        FILE may also be a project name registered in the registry\n"
    "  browse FILE --device NAME [--json] [--system]\n"
    "                        print the address space of the device's OPC server (a live\n"
    "                        OPC UA server or a NodeSet2 file, as the installation names\n"
    "                        it): folders and variables with item name, data type, access\n"
    "                        rights, field size and item ID; --system adds the server's\n"
    "                        own objects (namespace 0)\n"
    "  monitor FILE --device NAME [--items LIKE] [--seconds N] [--json]\n"
    "                        print the live values of the device's items (those whose\n"
    "                        name is like LIKE) as they change, one line each: item,\n"
    "                        value, quality and time, tab-separated, or a JSON object;\n"
    "                        until Ctrl+C or N seconds passed\n"
    "  write FILE --device NAME --item NAME --value TEXT [--yes]\n"
    "                        write a value to an item of a live OPC UA server, after a\n"
    "                        question on the terminal (--yes: without); recorded in the\n"
    "                        project's writes log. Exit code 0 when the server took it\n"
    "  check FILE [--json] [--severity error|warning|note] [--rules CODE,...] [--fix-orphans]\n"
    "                        list every inconsistency of the project, one line each\n"
    "                        (severity code object: message) and a summary; --severity\n"
    "                        leaves out the less severe, --rules checks only those rules,\n"
    "                        --fix-orphans deletes orphan rows first (connections,\n"
    "                        simulation, redundancy and text rows of missing items,\n"
    "                        items of missing devices, members of missing structures).\n"
    "                        Exit code 0 when no error was found, 1 when one was.\n"
    "                        Rules: PV101 items in no group, PV102-PV111 references that\n"
    "                        lead nowhere, PV201-PV202 unit classes of the wrong kind,\n"
    "                        PV203 MinVal above MaxVal, PV204 unknown data types,\n"
    "                        PV301-PV303 structures (overlapping members, cycles, missing\n"
    "                        types), PV401-PV402 addresses, PV501-PV504 notes\n"
    "  import-plc FILE PROGRAM --device NAME [--tick PATH]... [--dry-run] [--json]\n"
    "                        bring the device's items in line with a PLC program file\n"
    "                        (PLCopen XML, IEC 61131-3 structured text, a TwinCAT .tpy\n"
    "                        symbol file or a TIA Portal tag table .xlsx, told by its\n"
    "                        content): new variables become items (with their structures),\n"
    "                        items no longer in the program are deleted, differing ones\n"
    "                        updated, as the browse dialog would with every variable\n"
    "                        ticked. With --tick PATH (a symbol path or folder, GVL.Motor1\n"
    "                        or GVL/Motor1; repeatable) only the device's items and the\n"
    "                        variables below PATH are ticked. --dry-run prints what would\n"
    "                        change and writes nothing\n"
    "  export FILE (--device NAME | --group NAME | --all) -o OUT.csv [--encoding ansi|utf8]\n"
    "                        write the items to a semicolon-separated file (ANSI, or\n"
    "                        UTF-8 with a byte order mark), numbers in the locale of LANG\n"
    "  import FILE IN.csv --mode N [--device NAME | --group NAME] [--ids 1,2,...]\n"
    "                        read items from such a file: mode 0 inserts every line;\n"
    "                        1 updates the items of --ids, 2 those of the device or group,\n"
    "                        3 all; 5, 6, 7 also insert the lines that updated nothing.\n"
    "                        All lines in one transaction; prints what was updated,\n"
    "                        inserted and rejected\n"
    "  diff A.ovs B.ovs [--json]\n"
    "                        what B has that A has not (+), what A has that B has not (-)\n"
    "                        and what both have with other values (~, with the fields),\n"
    "                        by name: devices, groups, items with their texts, connections,\n"
    "                        simulation, redundancy, structures, members, unit classes,\n"
    "                        units. Exit code 0 when the projects are the same, 1 when not\n"
    "  run SCRIPT.js [ARGS...] [--timeout SECONDS]\n"
    "                        run a JavaScript program against the editor (the global\n"
    "                        \"studio\", the arguments in \"args\", print()); stopped after\n"
    "                        SECONDS (default 60); see docs/automation.md\n"
    "  help                  show this text\n"
    "\n"
    "Options for every command:\n"
    "  --busy-timeout MS     wait at most MS milliseconds for another program's lock (default 5000)\n";

}  // namespace

void Print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

int Fail(const QString& message) {
    Print(stderr, QStringLiteral("ovopc: error: %1\n").arg(message));
    return kExitError;
}

QString UsageText() { return QString::fromUtf8(kUsage); }

int Usage(const QString& problem) {
    if (!problem.isEmpty()) Print(stderr, QStringLiteral("ovopc: %1\n\n").arg(problem));
    Print(stderr, QString::fromUtf8(kUsage));
    return kExitUsage;
}

bool TakesValue(const QString& option) {
    static const QStringList options{"--device", "--group", "-o",        "--encoding", "--mode", "--ids",
                                     "--items",  "--devices", "--seconds", "--item",     "--value", "--tick",
                                     "--severity", "--rules"};
    return options.contains(option);
}

void UseInstallationLanguage() {
    try {
        const QString lcid = ov::sys::SystemTools::Instance().GetRegistry().ReadValue(
            ov::sys::Hive::LocalMachine, QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0"), QStringLiteral("LCID"),
            QString::number(ov::settings::TextTable::kGerman));
        ov::settings::TextTable::Instance().SetLanguage(lcid.trimmed().toInt());
    } catch (const ov::sys::RegistryError&) {
    }
}

int IdByName(ov::db::Connection& connection, const char* table, QString name) {
    ov::db::Recordset rs;
    rs.Open(QStringLiteral("SELECT ID FROM %1 WHERE Name = '%2'").arg(QString::fromUtf8(table), name.replace(u'\'', QStringLiteral("''"))),
            connection);
    return rs.IsEOF() ? 0 : rs.Fields(0).Value().toInt();
}

std::optional<QString> ReadLine(const QString& prompt, bool hidden) {
    if (isatty(STDIN_FILENO) == 0) return std::nullopt;
    termios saved{};
    const bool quiet = hidden && tcgetattr(STDIN_FILENO, &saved) == 0;
    // Silent before the prompt shows: what was typed before it is dropped,
    // nothing typed after it.
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    Print(stderr, prompt);
    std::string line;
    std::getline(std::cin, line);
    if (quiet) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        Print(stderr, QStringLiteral("\n"));
    }
    return QString::fromLocal8Bit(line);
}

bool AskServerPassword(const ov::db::DbError& failure) {
    if (failure.Login() != ov::db::LoginFailure::PasswordWanted || qEnvironmentVariableIsSet("PGPASSWORD")) return false;
    const auto typed = ReadLine(QStringLiteral("Password of the role '%1' on the project server: ").arg(failure.LoginRole()), true);
    if (!typed) return false;
    // Set even when empty: the next refusal is then told, not asked again.
    qputenv("PGPASSWORD", typed->toLocal8Bit());
    return true;
}

ov::opc::ServerAskers CommandLineAskers(bool acceptCertificate, QString* problem) {
    ov::opc::ServerAskers askers;
    askers.askLogin = [problem](const QString& endpoint, const QString& user,
                                ov::opc::LoginReason why) -> std::optional<ov::opc::Login> {
        if (why == ov::opc::LoginReason::Refused) {
            *problem = ov::settings::Text(9235);
            return std::nullopt;
        }
        if (user.isEmpty()) {
            *problem = QStringLiteral("the server %1 takes no anonymous user: name one with the value \"User\" of the "
                                      "server's registry key (docs/devices.md).")
                           .arg(endpoint);
            return std::nullopt;
        }
        if (qEnvironmentVariableIsSet("OVOPC_OPCUA_PASSWORD"))
            return ov::opc::Login{user, qEnvironmentVariable("OVOPC_OPCUA_PASSWORD")};
        if (const auto typed = ReadLine(QStringLiteral("Password of %1 on %2: ").arg(user, endpoint), true))
            return ov::opc::Login{user, *typed};
        *problem = QStringLiteral("the server %1 wants the password of %2: set OVOPC_OPCUA_PASSWORD (there is no "
                                  "terminal to ask on).")
                       .arg(endpoint, user);
        return std::nullopt;
    };
    askers.askCertificate = [acceptCertificate, problem](const QString& endpoint, const ov::opc::ServerCertificate& certificate) {
        if (acceptCertificate) return ov::opc::CertificateChoice::Trust;
        *problem = ov::opc::CertificateRefusal(endpoint, certificate) + QStringLiteral(". ") + ov::settings::Text(9309);
        return ov::opc::CertificateChoice::Cancel;
    };
    return askers;
}

}  // namespace ovopc
