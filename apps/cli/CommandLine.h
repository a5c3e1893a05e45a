#pragma once

// What ovopc's commands share: output, failures, the parsed arguments, the
// interface language and how a server's questions are answered.

#include "opc/AddressSource.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace ov::db {
class Connection;
class DbError;
}

namespace ovopc {

constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

void Print(FILE* stream, const QString& text);
// "ovopc: error: message" on stderr; gives kExitError.
int Fail(const QString& message);
// The problem and the usage text on stderr; gives kExitUsage.
int Usage(const QString& problem);
QString UsageText();

struct Arguments {
    QStringList positional;
    QStringList flags;
    QStringList options;  // values of options that take one ("--lang 1033")
    QMap<QString, QString> values;  // options with a value: "--device" -> "PLC1"
    QMap<QString, QStringList> repeated;  // every value of an option given more than once, in order

    QString Value(const char* option) const { return values.value(QString::fromUtf8(option)); }
    bool Has(const char* option) const { return values.contains(QString::fromUtf8(option)); }
    bool Flag(const char* flag) const { return flags.contains(QString::fromUtf8(flag)); }
    int busyTimeout = 5000;
};
// The options that take a value, wherever they stand.
bool TakesValue(const QString& option);

// Texts from the text table in the installation's language, as the editor shows them.
void UseInstallationLanguage();
// The ID of a device or group by its name; 0 when there is none.
int IdByName(ov::db::Connection& connection, const char* table, QString name);
// A line typed at the terminal, without echo when hidden; nothing when there is no terminal.
std::optional<QString> ReadLine(const QString& prompt, bool hidden);
// When a project server wanted a password it was not given, PGPASSWORD is
// unset and there is a terminal: asks for it without echo and keeps it in
// this process's PGPASSWORD, where every later connection finds it. False
// when it did not ask.
bool AskServerPassword(const ov::db::DbError& failure);
// How ovopc answers a server's questions: the password from the environment
// or the terminal, the certificate as the command line says. Why a question
// went unanswered lands in problem.
ov::opc::ServerAskers CommandLineAskers(bool acceptCertificate, QString* problem);

// The inconsistencies of a project (CheckCommand.cpp).
int CommandCheck(const Arguments& args);

// A device's items in line with a PLC program (PlcCommand.cpp).
int CommandImportPlc(const Arguments& args);

// Live values of a device's items (LiveCommands.cpp).
int CommandMonitor(const Arguments& args);
int CommandWrite(const Arguments& args);

}  // namespace ovopc
