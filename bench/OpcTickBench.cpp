// Ticking a folder of a slow server: 30 folders of 10 variables, every
// server call answered 300 ms late (server.js --generate 30x10 --delay-ms
// 300). The browser loads the folder's subtree with the helper's tree
// browse; for comparison the same folders read one at a time, as a folder
// opened level by level is read. Prints one "name: value" line per figure.
//
//   bench_opc_tick <opc.tcp endpoint of the slow server>

#include "opc/AddressSource.h"
#include "opc/ItemBrowser.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kVariables = 300;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Fail(const QString& error) {
    std::fprintf(stderr, "bench_opc_tick: %s\n", qPrintable(error));
    std::exit(1);
}

// The helper resident and connected with the top level shown, as after the dialog opened.
void Open(ov::opc::ItemBrowser& browser, const QString& endpoint) {
    browser.SetSource(std::make_unique<ov::opc::ServerSource>(endpoint));
    QString error;
    if (!browser.Start(&error)) Fail(error);
}

double TickTheFolder(const QString& endpoint) {
    ov::opc::ItemBrowser browser;
    Open(browser, endpoint);
    QString error;
    const QString generated = browser.Resolve(QStringLiteral("Generated"), &error);
    if (generated.isEmpty()) Fail(error);
    const auto start = Clock::now();
    if (!browser.SetTicked(generated, true, &error)) Fail(error);
    const double seconds = Seconds(start);
    if (browser.Lists().added.size() != kVariables) Fail(QStringLiteral("the tick did not reach the 300 variables"));
    return seconds;
}

double ReadFolderByFolder(const QString& endpoint) {
    ov::opc::ServerSource source(endpoint);
    QString error;
    if (!source.Open(&error)) Fail(error);
    const auto top = source.Children(ov::opc::kObjectsFolder, &error, {});
    if (!top) Fail(error);
    QString generated;
    for (const ov::opc::OpcNode& node : *top)
        if (node.browseName == QLatin1String("Generated")) generated = node.nodeId;
    const auto start = Clock::now();
    std::size_t variables = 0;
    std::vector<QString> pending{generated};
    while (!pending.empty()) {
        const auto children = source.Children(pending.back(), &error, {});
        pending.pop_back();
        if (!children) Fail(error);
        for (const ov::opc::OpcNode& child : *children) {
            if (child.isVariable) ++variables;
            if (child.hasChildren) pending.push_back(child.nodeId);
        }
    }
    if (variables != kVariables) Fail(QStringLiteral("the folders do not hold the 300 variables"));
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_opc_tick <endpoint>\n");
        return 2;
    }
    const QString endpoint = QString::fromLocal8Bit(argv[1]);
    std::printf("opc_tick_slow_30x10_s: %.3f\n", TickTheFolder(endpoint));
    std::printf("opc_tick_slow_30x10_folder_by_folder_s: %.3f\n", ReadFolderByFolder(endpoint));
    return 0;
}
