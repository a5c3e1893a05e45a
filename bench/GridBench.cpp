// The item grid on a device with 100,000 items in one folder: the time from
// the node click to the first rows painted, the time to scroll to the last
// row and paint it, and what the open grid holds in memory.
// Prints one "name: value" line per figure.

#include "editor/AddinEntry.h"
#include "objects/MItem.h"
#include "editor/frmtabgridOPC.h"
#include "gui/EditorWindowWidget.h"
#include "gui/GridView.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/ProjectTemplate.h"
#include "platform/db/Connection.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/SystemTools.h"

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kItems = 100000;

double Ms(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }
long HeapKb() { return static_cast<long>(mallinfo2().uordblks / 1024); }

void FillProject(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    connection.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator) VALUES (1, 'PLC', '.')"));
    connection.BeginTrans();
    for (int i = 0; i < kItems; ++i) {
        const QString name = QStringLiteral("Hall.Motor%1").arg(i, 6, 10, QChar(u'0'));
        connection.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (1, ?, ?, 4)"),
                           {name, name});
    }
    connection.CommitTrans();
}

// Paints the window now, as the screen would.
void Paint(QWidget& widget) {
    widget.repaint();
    QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.ovs"));
    FillProject(file);
    ov::sys::SystemTools::Instance().SetRegistryFile(dir.filePath(QStringLiteral("registry.ini")));

    QWidget studio;
    auto* area = new QWidget(&studio);
    new QVBoxLayout(area);
    area->resize(1200, 800);
    studio.resize(1200, 800);
    studio.show();

    ov::objects::InstallEditor();
    ov::editor::InstallScreenIfAvailable();
    ov::host::Connect session;
    // The studio's window: the editor embeds itself into the area.
    struct AreaHost : ov::host::InMemoryHost {
        QWidget* area;
        ov::host::WindowHandle GetHostWindow() override { return reinterpret_cast<ov::host::WindowHandle>(area); }
    } studioHost;
    studioHost.area = area;
    session.Initialize(file, QString(), &studioHost, &studioHost);
    session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    auto& window = dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window());
    auto* widget = area->findChild<ov::gui::EditorWindowWidget*>();
    if (!widget) {
        std::fprintf(stderr, "the editor window did not embed\n");
        return 1;
    }
    const QString folder = QStringLiteral("OPCD1") + QChar(0xFF) + u'.' + QChar(0xFF) + u'O' + QChar(0xFF) + QStringLiteral("Hall");

    std::vector<double> clicks, scrolls;
    long heapGrowth = 0;
    for (int run = 0; run < 5; ++run) {
        session.NodeClick(QString(), ov::host::nodekey::kRoot, QString());
        Paint(studio);
        const long heapBefore = HeapKb();
        auto start = Clock::now();
        session.NodeClick(QString(), folder, QString());
        Paint(studio);
        clicks.push_back(Ms(start));
        if (window.tdbI().RowCount() != kItems) {
            std::fprintf(stderr, "the folder shows %d rows\n", window.tdbI().RowCount());
            return 1;
        }
        QTableView* view = widget->Grid(QStringLiteral("tdbI"))->ScrollingView();
        start = Clock::now();
        view->scrollToBottom();
        Paint(studio);
        scrolls.push_back(Ms(start));
        heapGrowth = HeapKb() - heapBefore;
    }
    std::sort(clicks.begin(), clicks.end());
    std::sort(scrolls.begin(), scrolls.end());
    std::printf("grid_click_to_first_rows_100k_ms: %.1f\n", clicks[clicks.size() / 2]);
    std::printf("grid_scroll_to_last_row_100k_ms: %.1f\n", scrolls[scrolls.size() / 2]);
    std::printf("grid_open_heap_100k_rows_kb: %ld\n", heapGrowth);
    session.Terminate();
    return 0;
}
