// The real Qt item grid on a live session: what the person sees highlighted
// is the record that takes the typing, after the view was built again.

#include "editor/frmtabgridOPC.h"
#include "gui/GridView.h"
#include "gui/QtFileDialog.h"
#include "host/NodeKey.h"
#include "platform/db/Recordset.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"
#include "support/SessionHarness.h"

#include <QApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScrollBar>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTableView>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace ov;
using namespace Qt::StringLiterals;
namespace nk = ov::host::nodekey;

class GridViewTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempProject> m_project;
    std::unique_ptr<test::SessionHarness> m_harness;
    std::unique_ptr<gui::GridView> m_view;
    const QString m_device = nk::DeviceKey(1, u"."_s, false);

    editor::frmtabgridOPC& Window() { return dynamic_cast<editor::frmtabgridOPC&>(*m_harness->Session().Window()); }
    QTableView* Scrolling() { return m_view->ScrollingView(); }
    // Clicks the comment cell of a row of the view, as the person does.
    void ClickComment(int row) {
        int comment = -1;
        for (int c = 0; c < Scrolling()->model()->columnCount(); ++c)
            if (Scrolling()->model()->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString() == u"Comment"_s)
                comment = c;
        QVERIFY(comment >= 0);
        const QModelIndex cell = Scrolling()->model()->index(row, comment);
        Scrolling()->scrollTo(cell);
        QTest::mouseClick(Scrolling()->viewport(), Qt::LeftButton, {}, Scrolling()->visualRect(cell).center());
    }
    QString StoredComment(int id) {
        auto c = m_project->Open();
        db::Recordset rs;
        rs.Open(u"SELECT Comment FROM TpdbItems WHERE ID = %1"_s.arg(id), *c);
        return rs.IsEOF() ? QString() : rs.Fields(0).Value().toString();
    }
    int IdShownInRow(int row) {
        ui::GridModel& grid = Window().tdbI();
        return grid.CellValue(row, grid.ColumnIndex(u"ID"_s)).toInt();
    }
    // Types into the highlighted cell and confirms with Enter.
    void TypeIntoCurrentCell(const QString& text) {
        Scrolling()->setFocus();
        QTest::keyClicks(Scrolling(), text.left(1));
        auto* editor = Scrolling()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, text.mid(1));
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits the typed text from the event loop.
        QTRY_VERIFY(!Scrolling()->findChild<QLineEdit*>() || !Scrolling()->findChild<QLineEdit*>()->isVisible());
        // The keys that follow go to the grid again.
        QTRY_COMPARE(QApplication::focusWidget(), Scrolling());
    }

private slots:
    void init() {
        m_project = std::make_unique<test::TempProject>();
        {
            auto c = m_project->Open();
            c->Execute(u"INSERT INTO TpdbDevices (ID, Name, BlobMode, HierarchBrowseSeparator) "
                       "VALUES (1, 'Plant', 2, '.')"_s);
            for (int i = 0; i < 10; ++i)
                c->Execute(u"INSERT INTO TpdbItems (ID, DeviceID, Name, ItemAccess) VALUES (?, 1, ?, ?)"_s,
                           {100 + i, u"i%1"_s.arg(i), u"i%1"_s.arg(i)});
        }
        m_harness = std::make_unique<test::SessionHarness>();
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        m_harness->Start(m_project->Path());
        m_harness->Load();
        m_harness->Session().NodeClick(QString(), m_device, QString());
        m_view = std::make_unique<gui::GridView>(Window().tdbI());
        m_view->resize(1000, 400);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        m_view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        // The grid is written while a cell editor commits: the view must still own the editor when it closes.
        QTest::failOnWarning(QRegularExpression(u"does not belong to this view"_s));
    }

    void cleanup() {
        m_view.reset();
        m_harness.reset();
        m_project.reset();
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
    }

    void typingAfterANewClickGoesToTheHighlightedRow() {
        ClickComment(5);
        QCOMPARE(Window().tdbI().CurrentRow(), 5);
        TypeIntoCurrentCell(u"first"_s);
        QCOMPARE(StoredComment(105), u"first"_s);

        // The person clicks the device again: the view is built anew.
        m_harness->Session().NodeClick(QString(), m_device, QString());
        const int highlighted = Scrolling()->currentIndex().row();
        QCOMPARE(highlighted, Window().tdbI().CurrentRow());
        QVERIFY(Scrolling()->model()->headerData(highlighted, Qt::Vertical).toString().startsWith(QChar(0x25B6)));
        TypeIntoCurrentCell(u"second"_s);
        QCOMPARE(StoredComment(IdShownInRow(highlighted)), u"second"_s);
        if (IdShownInRow(highlighted) != 105) QCOMPARE(StoredComment(105), u"first"_s);
    }

    void sortingKeepsTheHighlightedItem() {
        ClickComment(2);
        Scrolling()->setFocus();
        QTest::keyClick(Scrolling(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(Window().SortField(), u"Comment"_s);
        const int highlighted = Scrolling()->currentIndex().row();
        QCOMPARE(highlighted, Window().tdbI().CurrentRow());
        QCOMPARE(IdShownInRow(highlighted), 102);
        TypeIntoCurrentCell(u"sorted"_s);
        QCOMPARE(StoredComment(102), u"sorted"_s);
        // The first click after the sort, on another row, takes the typing too.
        Scrolling()->setFocus();
        QTest::keyClick(Scrolling(), Qt::Key_O, Qt::ControlModifier);
        const int other = highlighted == 7 ? 6 : 7;
        ClickComment(other);
        QCOMPARE(Window().tdbI().CurrentRow(), other);
        TypeIntoCurrentCell(u"clicked"_s);
        QCOMPARE(StoredComment(IdShownInRow(other)), u"clicked"_s);
    }

    void rowsOnScreenColoursAndOutsideChangesKeepTheTyping() {
        ui::GridModel& grid = Window().tdbI();
        // The model hears which rows are on screen, and again after scrolling.
        QCOMPARE(grid.VisibleRows().first, 0);
        QVERIFY(grid.VisibleRows().second >= 3);
        m_view->resize(1000, 120);
        QTRY_VERIFY(grid.VisibleRows().second < 9);
        Scrolling()->verticalScrollBar()->setValue(Scrolling()->verticalScrollBar()->maximum());
        QTRY_COMPARE(grid.VisibleRows().second, 9);
        QVERIFY(grid.VisibleRows().first > 0);

        grid.rowTone = [](int row) { return row == 8 ? ui::RowTone::Error : row == 9 ? ui::RowTone::Warning : ui::RowTone::Normal; };
        const auto background = [&](int row) { return Scrolling()->model()->index(row, 0).data(Qt::BackgroundRole); };
        QVERIFY(background(8).value<QColor>().red() > background(8).value<QColor>().green());
        QVERIFY(background(9).value<QColor>().green() > background(9).value<QColor>().blue());
        QVERIFY(!background(7).isValid());

        // A value that comes from outside while a cell is typed into leaves the typing alone.
        ClickComment(9);
        Scrolling()->setFocus();
        QTest::keyClicks(Scrolling(), u"t"_s);
        auto* editor = Scrolling()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClicks(editor, u"yped"_s);
        grid.RowsChanged(9, 9);
        grid.RowsChanged(8, 9);
        QCOMPARE(editor->text(), u"typed"_s);
        QCOMPARE(grid.CurrentRow(), 9);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(StoredComment(IdShownInRow(9)), u"typed"_s);
        grid.rowTone = nullptr;
    }

    void aColumnThatChangesOftenRepaintsOnlyItsCellsAndShowsTheRowColour() {
        ui::GridModel& grid = Window().tdbI();
        m_view->resize(1000, 300);
        auto* model = static_cast<gui::GridSplitModel*>(Scrolling()->model());
        const int viewColumn = 1;
        const int column = model->GridColumn(viewColumn);
        grid.Column(column).changesOften = true;
        grid.rowTone = [](int row) { return row == 2 ? ui::RowTone::Error : ui::RowTone::Normal; };
        QTRY_VERIFY(grid.VisibleRows().second >= 3);

        // A change of a column's cells repaints those cells, not the whole view.
        struct PaintRegions : QObject {
            QRegion painted;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
                return false;
            }
        } regions;
        QCoreApplication::processEvents();
        Scrolling()->viewport()->installEventFilter(&regions);
        grid.CellsChanged(0, 3, column);
        QTRY_VERIFY(!regions.painted.isEmpty());
        const QRect cells = Scrolling()->visualRect(model->index(0, viewColumn)).united(Scrolling()->visualRect(model->index(3, viewColumn)));
        QVERIFY(cells.adjusted(-1, -1, 1, 1).contains(regions.painted.boundingRect()));
        Scrolling()->viewport()->removeEventFilter(&regions);

        // Painted plainly, the cell still shows its text on the row's colour.
        const QRect cell = Scrolling()->visualRect(model->index(2, viewColumn));
        const QImage shot = Scrolling()->viewport()->grab(cell).toImage();
        const QColor corner = shot.pixelColor(1, 1);
        QVERIFY(corner.red() > corner.green() + 30);
        bool text = false;
        for (int x = 0; x < shot.width() && !text; ++x)
            for (int y = 0; y < shot.height() && !text; ++y) text = shot.pixelColor(x, y).lightness() < 100;
        QCOMPARE(text, !model->index(2, viewColumn).data().toString().isEmpty());
        grid.Column(column).changesOften = false;
        grid.rowTone = nullptr;
    }

    void theWindowShownAnewKeepsTheRowsScrolledToUntilTheCurrentRowMoves() {
        ui::GridModel& grid = Window().tdbI();
        grid.SetCurrentCell(1, 0);
        m_view->ShowModelState();
        m_view->resize(1000, 120);
        QScrollBar* bar = Scrolling()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        bar->setValue(bar->maximum());
        QTRY_COMPARE(grid.VisibleRows().second, 9);
        // As the window does after a command, or the online grid after a notice.
        m_view->ShowModelState();
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(Scrolling()->currentIndex().row(), 1);
        // A command that moves the current row brings it on screen.
        grid.SetCurrentCell(2, 0);
        m_view->ShowModelState();
        QTRY_VERIFY(grid.VisibleRows().first <= 2 && grid.VisibleRows().second >= 2);
    }

    void theSplitterKeepsBothSplitsWithinTheGrid() {
        auto* splitter = m_view->findChild<QSplitter*>();
        QVERIFY(splitter);
        QSplitterHandle* handle = splitter->handle(1);
        const auto drag = [&](int toX) {
            // The handle follows the mouse by its position on the screen.
            const QPoint start = handle->rect().center();
            QTest::mousePress(handle, Qt::LeftButton, {}, start);
            const QPoint target = splitter->mapToGlobal(QPoint(toX, start.y()));
            QMouseEvent move(QEvent::MouseMove, QPointF(handle->mapFromGlobal(target)), QPointF(target), Qt::LeftButton,
                             Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(handle, &move);
            QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->mapFromGlobal(target));
        };
        // Past the right edge: the scrolling split keeps its sliver.
        const int before = Window().tdbI().split0Width;
        drag(splitter->width() + 200);
        QVERIFY(splitter->sizes().value(1) >= gui::GridView::TwipsToPixels(gui::GridView::kMinScrollingTwips));
        QVERIFY(Window().tdbI().split0Width > before);
        // Past the left edge: the fixed split goes down to nothing.
        drag(-200);
        QCOMPARE(splitter->sizes().value(0), 0);
        QCOMPARE(Window().tdbI().split0Width, 0);
    }
};

// The file dialog on the folder of a project another program has open.
class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void theOpenProjectKeepsItsWriteAheadLogWhileTheDialogListsItsFolder() {
        test::TempProject project(test::TempProject::Content::Demo);
        auto editor = project.Open();
        editor->Execute(u"UPDATE TpdbItems SET Comment = 'before' WHERE ID = 1"_s);
        const QString log = project.Path() + u"-wal"_s;
        QVERIFY(QFile::exists(log));
        // Long enough for the dialog to list the folder and draw its files.
        QTimer::singleShot(1500, [] {
            if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
        });
        gui::QtFileDialog().Choose(1, u"Open"_s, project.Folder(), u"All files (*.*)|*.*"_s, 0, 0);
        // Another program reads the project and closes it: were our locks
        // gone, it would fold the log into the file and delete it.
        QProcess other;
        other.start(QStringLiteral(LOCK_HOLDER_PATH), {project.Path(), u"--read"_s});
        QVERIFY(other.waitForFinished(10000));
        QCOMPARE(other.exitCode(), 0);
        QVERIFY(QFile::exists(log));
        editor->Execute(u"UPDATE TpdbItems SET Comment = 'after' WHERE ID = 1"_s);
        editor.reset();
        db::Recordset rs;
        auto reader = project.Open();
        rs.Open(u"SELECT Comment FROM TpdbItems WHERE ID = 1"_s, *reader);
        QCOMPARE(rs.Fields(0).Value().toString(), u"after"_s);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    GridViewTest grids;
    FileDialogTest files;
    return QTest::qExec(&grids, argc, argv) | QTest::qExec(&files, argc, argv);
}
#include "GridViewTest.moc"
