// The item grid online against a local test server (server.js --alive
// --alive-ramps 200), in the real editor window with the Qt grid painting
// on the offscreen platform:
//
//   online_200_cpu_percent             the studio process's CPU time (user +
//                                      system, all its threads) over 10 s of
//                                      200 watched items sampled every 100 ms,
//                                      in percent of one core. The helper is a
//                                      process of its own and not counted here
//                                      (apps/opcua-helper/bench.js --monitor
//                                      measures it), nor is the measuring of
//                                      the paints below: it runs in a window
//                                      of its own.
//   online_change_to_paint_ms_median   from a value's source time stamp to the
//                                      end of the paint that shows it
//   online_scroll_100k_max_watched     the most items watched at once while a
//                                      device of 100,000 items is paged through
//   online_scroll_100k_first_rows_ms   from a scroll step to its rows painted
//                                      (median, and the slowest step as _max_ms)
//
//   bench_online opc.tcp://127.0.0.1:<port>

#include "components/InstalledPrograms.h"
#include "editor/AddinEntry.h"
#include "editor/frmtabgridOPC.h"
#include "gui/EditorWindowWidget.h"
#include "gui/GridView.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "model/ProjectTemplate.h"
#include "opc/MOpc.h"
#include "platform/db/Connection.h"
#include "platform/host/InMemoryHost.h"
#include "platform/system/Registry.h"
#include "platform/system/SystemTools.h"
#include "settings/TextTable.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QHeaderView>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRampItems = 200;
constexpr int kLargeItems = 100000;
constexpr int kFastGroup = 2;
constexpr int kMeasureMs = 10000;
constexpr int kScrollPages = 50;
const QString kProgId = QStringLiteral("Alive.Live.1");
// The caption of the live Time column.
constexpr int kTimeCaption = 9329;

double MsSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Every event passes here; afterPaint hears of each paint once it is done.
class BenchApplication : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        const bool result = QApplication::notify(receiver, event);
        if (event->type() == QEvent::Paint && afterPaint) afterPaint(receiver, static_cast<QPaintEvent&>(*event));
        return result;
    }
    std::function<void(QObject*, const QPaintEvent&)> afterPaint;
};

// Lets the event loop run for a while (the grid's timers, the helper's lines, paints).
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(std::max(ms, 0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Takes events one batch at a time, so done is seen as soon as it holds.
bool RunUntil(const std::function<bool()>& done, int ms) {
    const auto start = Clock::now();
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (MsSince(start) > ms) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Device 1: 200 items on the server's ramps; device 2: 100,000 items on the
// same ramps in turn, which the project allows with the alias function on
// (no unique item access: the names identify the items). All of them in a
// group of UpdateRate 100.
void FillProject(const QString& file) {
    ov::model::CreateProjectDatabase(file);
    ov::db::Connection connection;
    connection.Open(ov::model::ProjectConnectionString(file));
    connection.Execute(QStringLiteral("DROP INDEX [TpdbItems.UniqueItemAccess]"));
    connection.Execute(QStringLiteral("INSERT INTO TpdbGroups (ID, Name, UpdateRate) VALUES (%1, 'Fast', 100)").arg(kFastGroup));
    connection.BeginTrans();
    for (int device : {1, 2}) {
        connection.Execute(QStringLiteral("INSERT INTO TpdbDevices (ID, Name, HierarchBrowseSeparator, ProgID) VALUES (?, ?, '.', ?)"),
                           {device, device == 1 ? QStringLiteral("Ramps") : QStringLiteral("Plant"), kProgId});
        const int count = device == 1 ? kRampItems : kLargeItems;
        for (int i = 0; i < count; ++i) {
            const QString name = device == 1 ? QStringLiteral("Ramp%1").arg(i + 1, 3, 10, QChar(u'0'))
                                             : QStringLiteral("Item%1").arg(i + 1, 6, 10, QChar(u'0'));
            const QString node = QStringLiteral("nsu=urn:ovopc:alive;s=Alive.Ramps.Ramp%1").arg(i % kRampItems + 1, 3, 10, QChar(u'0'));
            connection.Execute(QStringLiteral("INSERT INTO TpdbItems (DeviceID, Name, ItemAccess, DataType) VALUES (?, ?, ?, 5)"),
                               {device, name, node});
        }
    }
    connection.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) SELECT %1, ID FROM TpdbItems").arg(kFastGroup));
    connection.CommitTrans();
}

struct Studio {
    QWidget window;
    QWidget* area = nullptr;
    ov::host::Connect session;
    struct AreaHost : ov::host::InMemoryHost {
        QWidget* area = nullptr;
        ov::host::WindowHandle GetHostWindow() override { return reinterpret_cast<ov::host::WindowHandle>(area); }
    } host;

    void Resize(int width, int height) {
        area->resize(width, height);
        window.resize(width, height);
    }
    ov::editor::frmtabgridOPC& Editor() { return dynamic_cast<ov::editor::frmtabgridOPC&>(*session.Window()); }
    ov::gui::GridView* Grid() {
        auto* widget = area->findChild<ov::gui::EditorWindowWidget*>();
        return widget ? widget->Grid(QStringLiteral("tdbI")) : nullptr;
    }
    QTableView* View() { return Grid()->ScrollingView(); }
    void Click(int device) {
        session.NodeClick(QString(), ov::host::nodekey::DeviceKey(device, QStringLiteral("."), false), QString());
    }
    void ToggleOnline() {
        Editor().ComputeAvailability(Editor().CurrentNode(), false);
        Editor().ClickTool(QStringLiteral("mnuViewOnline"));
    }
    // The view column of the live Time column.
    int TimeColumn() {
        QAbstractItemModel* model = View()->model();
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString() == ov::settings::Text(kTimeCaption)) return c;
        return -1;
    }
    QString TimeText(int row, int column) { return View()->model()->index(row, column).data().toString(); }
};

int Fail(const char* what) {
    std::fprintf(stderr, "bench_online: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_online <endpoint of server.js --alive --alive-ramps 200>\n");
        return 2;
    }
    QTemporaryDir dir;
    // The helper keeps its certificates here, not in the user's folder.
    qputenv("OVOPC_PKI", dir.filePath(QStringLiteral("pki")).toLocal8Bit());
    const QString registryFile = dir.filePath(QStringLiteral("registry.ini"));
    ov::sys::Registry(registryFile).WriteValue(ov::sys::Hive::LocalMachine,
                                               QString::fromUtf8(ov::components::kServersKey) + u'\\' + kProgId,
                                               QStringLiteral("Endpoint"), QString::fromLocal8Bit(argv[1]));
    ov::sys::SystemTools::Instance().SetRegistryFile(registryFile);
    const QString file = dir.filePath(QStringLiteral("online.ovs"));
    FillProject(file);

    Studio studio;
    studio.area = new QWidget(&studio.window);
    new QVBoxLayout(studio.area);
    studio.Resize(1200, 800);
    studio.window.show();
    ov::opc::InstallEditor();
    ov::editor::InstallScreenIfAvailable();
    studio.host.area = studio.area;
    studio.session.Initialize(file, QString(), &studio.host, &studio.host);
    studio.session.NodeExpand(QString(), QStringLiteral("OPCE0"), QString());
    studio.Click(1);
    if (!studio.Grid()) return Fail("the editor window did not embed");
    ov::ui::GridModel& items = studio.Editor().tdbI();
    ov::editor::ItemGridOnline& online = studio.Editor().Online();

    // 200 items at 100 ms: a window tall enough for 100 rows, the other 100
    // are the page below them that is watched as well.
    const int rowHeight = studio.View()->verticalHeader()->defaultSectionSize();
    for (int tries = 0; tries < 5; ++tries) {
        RunFor(50);
        const auto [first, last] = items.VisibleRows();
        if (first >= 0 && last - first + 1 >= 100) break;
        studio.Resize(1200, studio.window.height() + (100 - (last - first + 1)) * rowHeight + rowHeight);
    }
    studio.ToggleOnline();
    if (!online.IsOn()) return Fail("View > Online values did not switch on");
    const int timeColumn = studio.TimeColumn();
    if (timeColumn < 0) return Fail("no Time column");
    const auto [firstShown, lastShown] = items.VisibleRows();
    if (!RunUntil([&] { return !studio.TimeText(firstShown, timeColumn).isEmpty() && !studio.TimeText(lastShown, timeColumn).isEmpty(); },
                  30000))
        return Fail("no values arrived for the rows on screen");
    const int watched200 = online.WatchedCount();
    if (watched200 != kRampItems) std::fprintf(stderr, "bench_online: %d items watched instead of %d\n", watched200, kRampItems);
    RunFor(2000);

    // The studio's own share of the processor, with nothing of the
    // measuring below hooked into its paints.
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    RunFor(kMeasureMs);
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = MsSince(wallBefore) / 1000.0;

    // The time from the server's change to the painted cell, taken after
    // each paint of the grid: every row the paint covered whose Time cell
    // reads differently from what the last paint showed has just painted a
    // new value, and its Time is the value's source time stamp (the server
    // runs on this machine, on the same clock). Reading the cell through
    // the view's model gives what the paint read: nothing runs between the
    // paint and this hook. So the figure covers the whole path: the server's
    // sampling and publishing, the helper's line, OnlineValues taking it at
    // the next poll, ItemGridOnline's dataChanged and the paint the view
    // makes of it. Shown times have milliseconds, the clock is the wall clock.
    std::map<int, QString> shownTime;
    // Read once the time is up, so that the measuring costs little itself.
    std::vector<std::pair<qint64, QString>> newlyPainted;
    QWidget* viewport = studio.View()->viewport();
    app.afterPaint = [&](QObject* receiver, const QPaintEvent& paint) {
        if (receiver != viewport) return;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QRect area = paint.region().boundingRect();
        const int top = std::max(0, studio.View()->rowAt(area.top()));
        int bottom = studio.View()->rowAt(area.bottom());
        if (bottom < 0) bottom = items.RowCount() - 1;
        for (int row = top; row <= bottom; ++row) {
            const QModelIndex cell = studio.View()->model()->index(row, timeColumn);
            if (!paint.region().intersects(studio.View()->visualRect(cell))) continue;
            const QString time = cell.data().toString();
            QString& before = shownTime[row];
            if (time == before) continue;
            before = time;
            newlyPainted.emplace_back(now, time);
        }
    };
    RunFor(500);
    newlyPainted.clear();
    newlyPainted.reserve(20 * kMeasureMs);
    RunFor(kMeasureMs);
    app.afterPaint = nullptr;
    std::vector<double> latencies;
    for (const auto& [paintedAt, time] : newlyPainted) {
        // Today's values show their time of day alone.
        QDateTime source = QDateTime::fromString(time, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        if (!source.isValid()) source = QDateTime(QDate::currentDate(), QTime::fromString(time, QStringLiteral("HH:mm:ss.zzz")));
        if (source.isValid()) latencies.push_back(static_cast<double>(paintedAt - source.toMSecsSinceEpoch()));
    }
    if (latencies.size() < 100) return Fail("hardly any new values painted");
    std::printf("online_200_cpu_percent: %.1f\n", 100.0 * cpu / wall);
    std::printf("online_change_to_paint_ms_median: %.0f\n", Median(latencies));
    std::fprintf(stderr, "bench_online: %zu values painted in %.1f s, %d items watched\n", latencies.size(),
                 kMeasureMs / 1000.0, watched200);
    studio.ToggleOnline();

    // 100,000 items in an ordinary window, online, paged through while the
    // values arrive: 50 pages, then a jump to the end. The steps come at
    // uneven moments, as a person's would, so some of them fall while the
    // grid is changing what the helper watches; a step that has to wait for
    // that counts from the moment it was due.
    studio.Resize(1200, 800);
    RunFor(50);
    studio.Click(2);
    if (items.RowCount() != kLargeItems) return Fail("the large device does not show its items");
    studio.ToggleOnline();
    if (!RunUntil([&] { return !studio.TimeText(0, studio.TimeColumn()).isEmpty(); }, 30000))
        return Fail("no values arrived for the large device");
    int maxWatched = online.WatchedCount();
    bool painted = false;
    app.afterPaint = [&](QObject* receiver, const QPaintEvent&) {
        if (receiver == viewport) painted = true;
        maxWatched = std::max(maxWatched, online.WatchedCount());
    };
    viewport = studio.View()->viewport();
    QScrollBar* bar = studio.View()->verticalScrollBar();
    std::mt19937 random(27);
    std::uniform_int_distribution<int> pause(60, 320);
    std::vector<double> steps;
    auto due = Clock::now();
    for (int step = 0; step <= kScrollPages; ++step) {
        due += std::chrono::milliseconds(pause(random));
        RunFor(static_cast<int>(-MsSince(due)));
        painted = false;
        bar->setValue(step < kScrollPages ? bar->value() + bar->pageStep() : bar->maximum());
        if (!RunUntil([&] { return painted; }, 5000)) return Fail("a scroll step was not painted");
        steps.push_back(MsSince(due));
        maxWatched = std::max(maxWatched, online.WatchedCount());
    }
    const int lastRow = items.RowCount() - 1;
    const bool lastValues = RunUntil(
        [&] {
            maxWatched = std::max(maxWatched, online.WatchedCount());
            return !studio.TimeText(lastRow, studio.TimeColumn()).isEmpty();
        },
        10000);
    app.afterPaint = nullptr;
    if (!lastValues) return Fail("the last rows got no values");
    std::printf("online_scroll_100k_max_watched: %d\n", maxWatched);
    std::printf("online_scroll_100k_first_rows_ms: %.1f\n", Median(steps));
    std::printf("online_scroll_100k_first_rows_max_ms: %.1f\n", *std::max_element(steps.begin(), steps.end()));
    studio.ToggleOnline();
    studio.session.Terminate();
    return 0;
}
