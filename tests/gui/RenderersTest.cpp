// The Qt renderers driven through their widgets, without a display: dialogs
// built from forms, menus from command bars, message boxes, the busy pointer
// and the help window.

#include "gui/FormDialog.h"
#include "gui/FormRenderer.h"
#include "gui/MenuBarRenderer.h"
#include "gui/QtDesktop.h"
#include "gui/QtHelpViewer.h"
#include "gui/QtMessageBoxes.h"
#include "gui/QtPopups.h"
#include "gui/QtPresenters.h"
#include "platform/host/HelpViewer.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <tuple>
#include <vector>

using namespace ov;
using namespace Qt::StringLiterals;
using gui::FormDialog;
using ui::Control;
using ui::ControlType;
using ui::FormEvent;

namespace {

// A form whose controls are added with their captions in one line each.
class TestForm : public ui::Form {
public:
    using Form::Form;

protected:
    Control& Put(ControlType type, const QString& name, const QString& text = {}) {
        Control& control = Add(type, name);
        control.caption = text;
        return control;
    }
    Control& Option(const QString& name, int index, const QString& text, const QString& frame = {}, int page = -1) {
        Control& option = Add(ControlType::OptionButton, name, index);
        option.caption = text;
        option.container = frame;
        option.tabPage = page;
        return option;
    }
};

// A new-item dialog with the usual parts: a named text box, options on the
// form, in a frame and on a tab page, a combo, a grayed check box and
// OK / Cancel. OK is enabled only while the name is filled in.
class FOrder : public TestForm {
public:
    FOrder() : TestForm(u"FOrder"_s) {
        caption = u"New item"_s;
        Put(ControlType::Label, u"lblName"_s, u"&Name:"_s).buddy = u"txtName"_s;
        Put(ControlType::TextBox, u"txtName"_s).maxLength = 8;
        Option(u"optMode"_s, 0, u"&Read"_s).checkState = 1;
        Option(u"optMode"_s, 1, u"&Write"_s);
        Control& type = Put(ControlType::ComboBox, u"cmbType"_s);
        type.list.Add(4, u"VT_R4"_s);
        type.list.Add(5, u"VT_R8"_s);
        type.listIndex = 0;
        // Named after the control it describes, as some dialogs do.
        Put(ControlType::Label, u"lblType"_s, u"&Type:"_s).buddy = u"cmbType"_s;
        Put(ControlType::CheckBox, u"chkActive"_s, u"&Active"_s).checkState = 2;
        Put(ControlType::Frame, u"fraScale"_s, u"Scale"_s);
        Option(u"optScale"_s, 0, u"&Linear"_s, u"fraScale"_s).checkState = 1;
        Option(u"optScale"_s, 1, u"&Square root"_s, u"fraScale"_s);
        Control& pages = Put(ControlType::TabStrip, u"tabPages"_s);
        pages.list.Add(0, u"&General"_s);
        pages.list.Add(1, u"&Limits"_s);
        pages.listIndex = 0;
        Control& comment = Put(ControlType::TextBox, u"txtComment"_s);
        comment.multiLine = true;
        comment.tabPage = 0;
        Control& high = Put(ControlType::TextBox, u"txtHigh"_s);
        high.text = u"100"_s;
        high.locked = true;
        high.tabPage = 1;
        Option(u"optLimit"_s, 0, u"Ab&solute"_s, {}, 1).checkState = 1;
        Option(u"optLimit"_s, 1, u"Relati&ve"_s, {}, 1);
        Control& ok = Put(ControlType::CommandButton, u"cmdOK"_s, u"OK"_s);
        ok.isDefault = true;
        ok.enabled = false;
        Put(ControlType::CommandButton, u"cmdCancel"_s, u"Cancel"_s).isCancel = true;
        Put(ControlType::CommandButton, u"cmdCheck"_s, u"&Check"_s);
    }

    QStringList events;

protected:
    void OnEvent(Control& control, FormEvent) override {
        events << control.FullName();
        const QString& name = control.Name();
        if (name == u"txtName"_s) Get(u"cmdOK"_s).enabled = !control.text.isEmpty();
        if (name == u"cmbType"_s) Get(u"txtComment"_s).text = u"Type "_s + control.SelectedText();
        if (name == u"cmdOK"_s || name == u"cmdCancel"_s) Hide(name == u"cmdOK"_s);
        if (name == u"cmdCheck"_s) throw ui::FormError(u"The name %1 is taken."_s.arg(Get(u"txtName"_s).text));
    }
};

// Parameters with a computed column; only OK, no Cancel button.
class FParams : public TestForm {
public:
    FParams() : TestForm(u"FParams"_s) {
        Control& grid = Put(ControlType::Grid, u"tdbParameters"_s);
        grid.grid.columnCaptions = {u"Name"_s, u"Value"_s, u"Scaled"_s};
        grid.grid.columnLocked = {true, false, true};
        grid.grid.rows = {{u"Gain"_s, u"2"_s, u"4"_s}, {u"Offset"_s, u"0"_s, u"0"_s}};
        Put(ControlType::CommandButton, u"cmdOK"_s, u"OK"_s).isDefault = true;
    }

protected:
    void OnEvent(Control& control, FormEvent event) override {
        if (event == FormEvent::CellEdited) {
            auto& row = control.grid.rows[static_cast<std::size_t>(control.grid.currentRow)];
            row[2] = QString::number(row[1].toString().toDouble() * 2);
            control.grid.rowToolTip.assign(control.grid.rows.size(), QString());
            control.grid.rowToolTip[static_cast<std::size_t>(control.grid.currentRow)] = u"scaled by 2"_s;
        } else if (control.Name() == u"cmdOK"_s) {
            Hide(true);
        }
    }
};

// A list box of several choices and a list view without item data.
class FLists : public TestForm {
public:
    FLists() : TestForm(u"FLists"_s) {
        Control& units = Put(ControlType::ListBox, u"lstUnits"_s);
        units.multiSelect = true;
        for (int i = 1; const QString& unit : {u"bar"_s, u"mbar"_s, u"Pa"_s}) units.list.Add(i++, unit);
        Control& items = Put(ControlType::ListView, u"lvwItems"_s);
        items.listViewColumns = {u"Name"_s, u"Type"_s};
        items.listViewRows = {{u"Motor"_s, u"VT_R4"_s}, {u"Pump"_s, u"VT_BOOL"_s}};
    }
};

// Shows a form the way ui::ShowModal does before the renderer takes over.
void Open(ui::Form& form) {
    form.Load();
    form.Activate();
}

template <class Widget>
Widget* As(const FormDialog& dialog, const char* name, int index = -1) {
    return qobject_cast<Widget*>(dialog.WidgetFor(QString::fromLatin1(name), index));
}

struct Cell {
    int row = -1;
    int column = -1;
    int columnSpan = 0;
};

// Where a widget sits in the grid of its frame, page or form.
Cell CellOf(const QWidget& top, QWidget* widget) {
    for (QGridLayout* grid : top.findChildren<QGridLayout*>()) {
        const int at = grid->indexOf(widget);
        if (at < 0) continue;
        Cell cell;
        int rowSpan = 0;
        grid->getItemPosition(at, &cell.row, &cell.column, &rowSpan, &cell.columnSpan);
        return cell;
    }
    return {};
}

// Plays the person's part in the next modal dialog or menu from inside the
// loop that shows it. After a few seconds it closes whatever is open, so a
// fault fails the test instead of hanging it.
class Player {
public:
    explicit Player(std::function<void(QWidget*)> act) : m_act(std::move(act)) {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
        m_timer.start(10);
    }
    bool Acted() const { return m_acted; }

private:
    void Poll() {
        QWidget* shown = QApplication::activePopupWidget();
        if (!shown) shown = QApplication::activeModalWidget();
        if (shown && !m_acted) {
            m_acted = true;
            m_act(shown);
        } else if (m_clock.elapsed() > 5000) {
            m_timer.stop();
            if (shown) shown->close();
        }
    }

    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_acted = false;
};

// The widget the player met as a T; anything else is closed unanswered.
template <class T>
T* Expect(QWidget* shown) {
    auto* widget = dynamic_cast<T*>(shown);
    if (!widget) shown->close();
    return widget;
}

ui::Tool MakeTool(const QString& name, const QString& caption, const QString& opensBand = QString()) {
    ui::Tool tool;
    tool.name = name;
    tool.caption = caption;
    tool.opensBand = opensBand;
    return tool;
}

ui::Tool Separator() {
    ui::Tool tool;
    tool.separator = true;
    return tool;
}

}  // namespace

class RenderersTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ui::InstallFormPresenter(nullptr);
        ui::InstallMessageBoxes(nullptr);
        ui::DefaultMessageBoxes().Clear();
    }

    void cleanup() {
        gui::UninstallQtPresenters();
        ui::InstallFormPresenter(nullptr);
        ui::InstallMessageBoxes(nullptr);
        ui::InstallPopups(nullptr);
        ui::InstallDesktop(nullptr);
    }

    void EachControlIsAWidgetThatRunsTheHandlers() {
        FOrder form;
        form.Get(u"chkActive"_s).visible = false;
        Open(form);
        FormDialog dialog(form);
        QCOMPARE(dialog.windowTitle(), u"New item"_s);
        QVERIFY(!dialog.WidgetFor(u"txtMissing"_s));
        auto* name = As<QLineEdit>(dialog, "txtName");
        auto* nameLabel = As<QLabel>(dialog, "lblName");
        auto* type = As<QComboBox>(dialog, "cmbType");
        auto* typeLabel = As<QLabel>(dialog, "lblType");
        auto* read = As<QRadioButton>(dialog, "optMode", 0);
        auto* active = As<QCheckBox>(dialog, "chkActive");
        auto* frame = As<QGroupBox>(dialog, "fraScale");
        auto* pages = As<QTabWidget>(dialog, "tabPages");
        auto* comment = As<QPlainTextEdit>(dialog, "txtComment");
        auto* high = As<QLineEdit>(dialog, "txtHigh");
        auto* ok = As<QPushButton>(dialog, "cmdOK");
        auto* cancel = As<QPushButton>(dialog, "cmdCancel");
        auto* check = As<QPushButton>(dialog, "cmdCheck");
        const QList<QWidget*> all = {name,  nameLabel, type, typeLabel, read,   active, frame,
                                     pages, comment,   high, ok,        cancel, check};
        QVERIFY2(!all.contains(nullptr), "every control is a widget of its kind");

        QCOMPARE(std::tuple(name->maxLength(), nameLabel->text(), nameLabel->buddy() == name, read->text()),
                 std::tuple(8, u"&Name:"_s, true, u"&Read"_s));
        QCOMPARE(std::tuple(type->count(), type->itemText(1), type->itemData(1).toInt(), type->currentIndex()),
                 std::tuple(2, u"VT_R8"_s, 5, 0));
        QCOMPARE(std::tuple(active->isTristate(), active->checkState()), std::tuple(true, Qt::PartiallyChecked));
        QCOMPARE(frame->title(), u"Scale"_s);
        QVERIFY(frame->isAncestorOf(dialog.WidgetFor(u"optScale"_s, 1)));
        QCOMPARE(std::tuple(pages->count(), pages->tabText(1)), std::tuple(2, u"&Limits"_s));
        QVERIFY(pages->widget(0)->isAncestorOf(comment));
        QVERIFY(pages->widget(1)->isAncestorOf(high));
        QVERIFY(pages->widget(1)->isAncestorOf(dialog.WidgetFor(u"optLimit"_s, 0)));
        QCOMPARE(std::tuple(high->isReadOnly(), high->text()), std::tuple(true, u"100"_s));
        QCOMPARE(std::tuple(ok->isDefault(), ok->isEnabled()), std::tuple(true, false));

        // A label told to wrap takes a long message without widening the dialog.
        const int width = dialog.sizeHint().width();
        form.Get(u"lblType"_s).multiLine = true;
        form.Get(u"lblType"_s).caption = QString(60, u'x').append(u' ').repeated(20);
        dialog.SyncFromModel();
        QVERIFY(typeLabel->wordWrap());
        QVERIFY2(dialog.sizeHint().width() < width + 400, "the long text wraps");
        form.Get(u"lblType"_s).caption = u"&Type:"_s;
        form.Get(u"lblType"_s).multiLine = false;
        dialog.SyncFromModel();

        // Labels left of their boxes, whatever their order on the form; the frame across both columns.
        const auto at = [&dialog](QWidget* widget) {
            return QPoint(CellOf(dialog, widget).column, CellOf(dialog, widget).row);
        };
        QCOMPARE(at(nameLabel), QPoint(0, at(name).y()));
        QCOMPARE(at(name).x(), 1);
        QCOMPARE(at(typeLabel), QPoint(0, at(type).y()));
        QVERIFY(at(type).y() > at(name).y());
        QCOMPARE(CellOf(dialog, frame).columnSpan, 2);
        // The buttons form one row below the controls, in the order of the form.
        QCOMPARE(CellOf(dialog, ok).row, -1);
        QHBoxLayout* row = nullptr;
        for (QHBoxLayout* layout : dialog.findChildren<QHBoxLayout*>())
            if (layout->indexOf(ok) >= 0) row = layout;
        QVERIFY(row);
        QVERIFY(row->indexOf(ok) < row->indexOf(cancel));
        QVERIFY(row->indexOf(cancel) < row->indexOf(check));

        // An invisible control stays hidden when the dialog shows, until the model shows it.
        dialog.show();
        QVERIFY(name->isVisible());
        QVERIFY(!active->isVisible());
        form.Get(u"chkActive"_s).visible = true;
        dialog.SyncFromModel();
        QVERIFY(active->isVisible());

        // Typing, choosing and clicking run the form's handlers.
        const auto model = [&form](const char* control) -> Control& { return form.Get(QString::fromLatin1(control)); };
        QTest::keyClicks(name, u"Pump"_s);
        QCOMPARE(model("txtName").text, u"Pump"_s);
        QVERIFY(ok->isEnabled());
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(model("txtName").text, QString());
        QVERIFY(!ok->isEnabled());
        QTest::keyClicks(name, u"Centrifugal"_s);
        QCOMPARE(model("txtName").text, u"Centrifu"_s);

        QTest::keyClick(type, Qt::Key_Down);
        QCOMPARE(model("cmbType").SelectedData().toInt(), 5);
        // The handler's text reaches the page.
        QCOMPARE(comment->toPlainText(), u"Type VT_R8"_s);

        active->click();
        QCOMPARE(model("chkActive").checkState, 1);
        QCOMPARE(active->checkState(), Qt::Checked);
        active->click();
        QCOMPARE(model("chkActive").checkState, 0);
        QVERIFY2(!active->isTristate(), "grayed is never reached by clicking");

        pages->setCurrentIndex(1);
        QCOMPARE(model("tabPages").listIndex, 1);
        QVERIFY(form.events.contains(u"tabPages"_s));

        // Texts a handler sets show, and setting them raises no further events.
        const qsizetype before = form.events.size();
        model("txtName").text = u"Fan"_s;
        model("cmbType").listIndex = 0;
        dialog.SyncFromModel();
        QCOMPARE(name->text(), u"Fan"_s);
        QCOMPARE(type->currentIndex(), 0);
        QCOMPARE(form.events.size(), before);
    }

    void TheDialogEndsAsThePersonEndsIt_data() {
        QTest::addColumn<bool>("withCancel");  // FOrder with its Cancel button, or FParams without one
        QTest::addColumn<bool>("cancelEnabled");
        QTest::addColumn<QString>("name");  // typed into the name first
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("stillShown");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("message");  // shown on the way
        const auto row = [](const char* what, bool withCancel, bool cancelEnabled, const QString& name,
                            const char* action, bool stillShown, bool confirmed, const char* message = "") {
            QTest::newRow(what) << withCancel << cancelEnabled << name << QString::fromLatin1(action)
                                << stillShown << confirmed << QString::fromLatin1(message);
        };
        const QString pump = u"Pump"_s;
        row("OK clicked", true, true, pump, "ok", false, true);
        row("Enter", true, true, pump, "enter", false, true);
        row("Enter while OK is disabled", true, true, QString(), "enter", true, false);
        row("Escape presses Cancel", true, true, pump, "escape", false, false);
        row("Escape while Cancel is disabled", true, false, pump, "escape", true, false);
        row("the close button presses Cancel", true, true, pump, "close", false, false);
        row("the close button without Cancel", false, true, QString(), "close", false, false);
        // A handler's error is shown; the dialog stays open and still works.
        row("a handler's error", true, true, pump, "check, then OK", false, true, "The name Pump is taken.");
    }

    void TheDialogEndsAsThePersonEndsIt() {
        QFETCH(bool, withCancel);
        QFETCH(bool, cancelEnabled);
        QFETCH(QString, name);
        QFETCH(QString, action);
        QFETCH(bool, stillShown);
        QFETCH(bool, confirmed);
        QFETCH(QString, message);
        FOrder order;
        FParams params;
        FOrder* named = withCancel ? &order : nullptr;
        ui::Form& form = withCancel ? static_cast<ui::Form&>(order) : params;
        if (named) named->Get(u"cmdCancel"_s).enabled = cancelEnabled;
        Open(form);
        FormDialog dialog(form);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        auto* nameBox = As<QLineEdit>(dialog, "txtName");
        QCOMPARE(nameBox != nullptr, withCancel);
        if (nameBox) QTest::keyClicks(nameBox, name);

        if (action == u"ok"_s) As<QPushButton>(dialog, "cmdOK")->click();
        if (action == u"enter"_s) QTest::keyClick(nameBox, Qt::Key_Return);
        if (action == u"escape"_s) QTest::keyClick(&dialog, Qt::Key_Escape);
        if (action == u"close"_s) dialog.close();
        if (action == u"check, then OK"_s) {
            As<QPushButton>(dialog, "cmdCheck")->click();
            QVERIFY(form.IsShown());
            QCOMPARE(finished.count(), 0);
            As<QPushButton>(dialog, "cmdOK")->click();
        }
        const auto& shown = ui::DefaultMessageBoxes().Shown();
        QCOMPARE(shown.size(), std::size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty()) QCOMPARE(shown.front().text, message);
        // The form, the dialog and its signal agree on whether and how it ended.
        QCOMPARE(std::tuple(form.IsShown(), dialog.isVisible(), form.Confirmed(), finished.count()),
                 std::tuple(stillShown, stillShown, confirmed, qsizetype(stillShown ? 0 : 1)));
        if (stillShown) return;
        QCOMPARE(finished.at(0).at(0).toInt(), int(confirmed ? QDialog::Accepted : QDialog::Rejected));
        if (named) QCOMPARE(named->events.contains(u"cmdCancel"_s), !confirmed);

        // A finished dialog passes nothing more to the form.
        if (!nameBox) return;
        QTest::keyClicks(nameBox, u"X"_s);
        QCOMPARE(form.Get(u"txtName"_s).text, name);
        QCOMPARE(finished.count(), 1);
    }

    void OptionButtonsExcludeEachOtherPerContainer() {
        FOrder form;
        Open(form);
        FormDialog dialog(form);
        // optMode on the form, optScale in its frame, optLimit on a tab page: three groups.
        const std::vector<std::pair<const char*, int>> options = {{"optMode", 0},  {"optMode", 1},  {"optScale", 0},
                                                                  {"optScale", 1}, {"optLimit", 0}, {"optLimit", 1}};
        std::vector<QRadioButton*> buttons;
        for (const auto& [name, index] : options) buttons.push_back(As<QRadioButton>(dialog, name, index));
        QVERIFY(std::count(buttons.begin(), buttons.end(), nullptr) == 0);
        // The checked buttons on screen, then in the model.
        const auto checked = [&] {
            QString screen, model;
            for (std::size_t i = 0; i < options.size(); ++i) {
                screen += buttons[i]->isChecked() ? u'x' : u'-';
                model += form.Get(QString::fromLatin1(options[i].first), options[i].second).IsChecked() ? u'x' : u'-';
            }
            return screen + u'/' + model;
        };
        QCOMPARE(checked(), u"x-x-x-/x-x-x-"_s);
        buttons[3]->click();
        QCOMPARE(checked(), u"x--xx-/x--xx-"_s);
        buttons[1]->click();
        QCOMPARE(checked(), u"-x-xx-/-x-xx-"_s);

        // The model may leave a group without a checked button; clicks still exclude afterwards.
        form.Get(u"optLimit"_s, 0).checkState = 0;
        dialog.SyncFromModel();
        QCOMPARE(checked(), u"-x-x--/-x-x--"_s);
        buttons[5]->click();
        buttons[4]->click();
        QCOMPARE(checked(), u"-x-xx-/-x-xx-"_s);
    }

    void GridEditsFollowTheLockedColumns() {
        FParams form;
        Open(form);
        FormDialog dialog(form);
        auto* table = As<QTableWidget>(dialog, "tdbParameters");
        QVERIFY(table);
        QCOMPARE(table->columnCount(), 3);
        QCOMPARE(table->horizontalHeaderItem(2)->text(), u"Scaled"_s);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(1, 0)->text(), u"Offset"_s);
        QVERIFY(!table->item(0, 0)->flags().testFlag(Qt::ItemIsEditable));
        QVERIFY(table->item(0, 1)->flags().testFlag(Qt::ItemIsEditable));
        QVERIFY(!table->item(0, 2)->flags().testFlag(Qt::ItemIsEditable));

        table->item(1, 1)->setText(u"2.5"_s);
        const ui::GridData& grid = form.Get(u"tdbParameters"_s).grid;
        QCOMPARE(grid.rows[1][1].toString(), u"2.5"_s);
        QCOMPARE(grid.currentRow, 1);
        QCOMPARE(grid.currentColumn, 1);
        // The handler's result shows.
        QCOMPARE(table->item(1, 2)->text(), u"5"_s);
        // So does the row's tooltip, on each of its cells.
        QCOMPARE(table->item(1, 0)->toolTip(), u"scaled by 2"_s);
        QCOMPARE(table->item(1, 2)->toolTip(), u"scaled by 2"_s);
        QVERIFY(table->item(0, 1)->toolTip().isEmpty());

        // A change that bypasses the flags is refused by the model and undone.
        table->item(0, 0)->setText(u"Hacked"_s);
        QCOMPARE(grid.rows[0][0].toString(), u"Gain"_s);
        QCOMPARE(table->item(0, 0)->text(), u"Gain"_s);
        QCOMPARE(ui::DefaultMessageBoxes().Shown().size(), std::size_t{1});
    }

    void ListsShowEntriesAndReportSelections() {
        FLists form;
        Open(form);
        FormDialog dialog(form);
        auto* units = As<QListWidget>(dialog, "lstUnits");
        auto* items = As<QTreeWidget>(dialog, "lvwItems");
        QVERIFY(units && items);

        QCOMPARE(units->count(), 3);
        QCOMPARE(units->item(2)->text(), u"Pa"_s);
        QCOMPARE(units->selectionMode(), QAbstractItemView::ExtendedSelection);
        units->item(0)->setSelected(true);
        units->item(2)->setSelected(true);
        QVERIFY((form.Get(u"lstUnits"_s).selectedRows == std::vector<int>{0, 2}));
        units->setCurrentRow(1, QItemSelectionModel::Select);
        QCOMPARE(form.Get(u"lstUnits"_s).listIndex, 1);
        QCOMPARE(form.Get(u"lstUnits"_s).selectedRows.size(), std::size_t{3});

        QCOMPARE(items->columnCount(), 2);
        QCOMPARE(items->headerItem()->text(1), u"Type"_s);
        QCOMPARE(items->topLevelItemCount(), 2);
        QCOMPARE(items->topLevelItem(1)->text(0), u"Pump"_s);
        items->setCurrentItem(items->topLevelItem(1));
        QCOMPARE(form.Get(u"lvwItems"_s).listIndex, 1);

        // New rows from the model replace the old ones.
        form.Get(u"lvwItems"_s).listViewRows.push_back({u"Fan"_s, u"VT_I2"_s});
        dialog.SyncFromModel();
        QCOMPARE(items->topLevelItemCount(), 3);
        QCOMPARE(items->topLevelItem(2)->text(1), u"VT_I2"_s);
    }

    void ShowModalRunsUntilTheFormIsHidden() {
        gui::FormRenderer renderer;
        ui::InstallFormPresenter(&renderer);
        {
            FOrder form;
            QString title;
            Player player([&title](QWidget* shown) {
                auto* dialog = Expect<FormDialog>(shown);
                if (!dialog) return;
                title = dialog->windowTitle();
                QTest::keyClicks(As<QLineEdit>(*dialog, "txtName"), u"Pump"_s);
                As<QPushButton>(*dialog, "cmdOK")->click();
            });
            QVERIFY(ui::ShowModal(form));
            QVERIFY(player.Acted());
            QCOMPARE(title, u"New item"_s);
            QCOMPARE(form.Get(u"txtName"_s).text, u"Pump"_s);
        }
        // A form that closes itself on activation is never shown.
        class FQuick : public ui::Form {
        public:
            FQuick() : Form(u"FQuick"_s) {}

        protected:
            void OnActivate() override { Hide(true); }
        } form;
        Player player([](QWidget* shown) { shown->close(); });
        QVERIFY(ui::ShowModal(form));
        QVERIFY(!player.Acted());
    }

    void MessageBoxOffersTheRequestedButtons() {
        gui::QtMessageBoxes boxes;
        QString seen;
        Player player([&seen](QWidget* shown) {
            auto* box = Expect<QMessageBox>(shown);
            if (!box) return;
            seen = u"%1|%2|%3 buttons|No by default: %4|icon %5"_s.arg(box->text(), box->windowTitle())
                       .arg(box->buttons().size())
                       .arg(box->defaultButton() == box->button(QMessageBox::No))
                       .arg(int(box->icon()));
            box->button(QMessageBox::Yes)->click();
        });
        QVERIFY(boxes.Show({u"Delete <3> items?"_s, QString(), ui::Buttons::YesNoCancel, 1, ui::Icon::Question}) ==
                ui::Answer::Yes);
        QCOMPARE(seen, u"Delete <3> items?|%1|3 buttons|No by default: 1|icon %2"_s
                           .arg(QGuiApplication::applicationDisplayName())
                           .arg(int(QMessageBox::Question)));

        Player escape([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        QVERIFY(boxes.Show({u"Save?"_s, u"Editor"_s, ui::Buttons::OKCancel, 0, ui::Icon::None}) == ui::Answer::Cancel);
        QVERIFY(escape.Acted());
    }

    void PopupMenuFollowsToolStatesAndGivesTheChosenTool() {
        ui::CommandBar bar;
        ui::Tool heading = MakeTool(u"hdrItem"_s, u"Item"_s);
        heading.heading = true;
        ui::Tool add = MakeTool(u"mnuNew"_s, u"&New"_s);
        add.shortcut = u"F8"_s;
        ui::Tool copy = MakeTool(u"mnuCopy"_s, u"&Copy"_s);
        copy.enabled = false;
        ui::Tool hidden = MakeTool(u"mnuHidden"_s, u"Hidden"_s);
        hidden.visible = false;
        bar.AddBand(u"mnuItemPopup"_s).tools = {heading,  add, copy, Separator(), Separator(),
                                               hidden, MakeTool(u"mnuNewIn"_s, u"New &in"_s, u"mnuNewBand"_s), Separator()};
        bar.AddBand(u"mnuNewBand"_s).tools = {MakeTool(u"mnuNewDevice"_s, u"&Device"_s)};

        QMenu menu;
        gui::QtPopups::BuildMenu(bar, u"mnuItemPopup"_s, menu);
        QList<QAction*> actions = menu.actions();
        QCOMPARE(actions.size(), 5);
        // A heading is bold and no command.
        QCOMPARE(std::tuple(actions[0]->isEnabled(), actions[0]->font().bold(), actions[0]->data().toString()),
                 std::tuple(false, true, QString()));
        QCOMPARE(std::tuple(actions[1]->text(), actions[1]->data().toString(), actions[1]->isEnabled()),
                 std::tuple(u"&New\tF8"_s, u"mnuNew"_s, true));
        QVERIFY(!actions[2]->isEnabled());
        QVERIFY2(actions[3]->isSeparator(), "two separators in a row show as one, none at the end");
        QMenu* submenu = actions[4]->menu<QMenu*>();
        QVERIFY(submenu && submenu->actions().size() == 1);
        QCOMPARE(submenu->actions()[0]->data().toString(), u"mnuNewDevice"_s);

        // Built again, the menu shows the new states and nothing of the old build.
        bar.SetVisible(u"mnuNew"_s, false);
        bar.SetEnabled(u"mnuCopy"_s, true);
        gui::QtPopups::BuildMenu(bar, u"mnuItemPopup"_s, menu);
        actions = menu.actions();
        QCOMPARE(actions.size(), 4);
        QCOMPARE(actions[1]->data().toString(), u"mnuCopy"_s);
        QVERIFY(actions[1]->isEnabled());
        QCOMPARE(menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), qsizetype{1});

        // Popped up, the menu gives the tool the person chose, or nothing.
        bar.AddBand(u"mnuEmpty"_s).tools = {hidden, Separator()};
        gui::QtPopups popups;
        {
            Player player([](QWidget* shown) {
                auto* popup = Expect<QMenu>(shown);
                if (!popup) return;
                for (QAction* action : popup->actions())
                    if (action->data().toString() == u"mnuCopy"_s) popup->setActiveAction(action);
                QTest::keyClick(popup, Qt::Key_Return);
            });
            QCOMPARE(popups.Popup(bar, u"mnuItemPopup"_s, 40, 30).value_or(QString()), u"mnuCopy"_s);
        }
        {
            Player player([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
            QVERIFY(!popups.Popup(bar, u"mnuItemPopup"_s, 40, 30));
            QVERIFY(player.Acted());
        }
        Player player([](QWidget* shown) { shown->close(); });
        QVERIFY(!popups.Popup(bar, u"mnuEmpty"_s, 40, 30));
        QVERIFY2(!player.Acted(), "a band with nothing to show does not pop up");
    }

    void MenuBarHasOneEntryPerMainTool() {
        ui::CommandBar bar;
        ui::Tool extras = MakeTool(u"mnuExtras"_s, u"E&xtras"_s, u"mnuExtrasBand"_s);
        extras.visible = false;
        bar.AddBand(gui::MenuBarRenderer::MainBand()).tools = {MakeTool(u"mnuFile"_s, u"&File"_s, u"mnuFileBand"_s),
                                                               MakeTool(u"mnuEdit"_s, u"&Edit"_s, u"mnuEditBand"_s),
                                                               MakeTool(u"mnuHelp"_s, u"&Help"_s), extras};
        bar.AddBand(u"mnuFileBand"_s).tools = {MakeTool(u"mnuSave"_s, u"&Save"_s), MakeTool(u"mnuClose"_s, u"&Close"_s)};
        bar.AddBand(u"mnuEditBand"_s).tools = {MakeTool(u"mnuCut"_s, u"Cu&t"_s)};

        QMenuBar menuBar;
        {
            gui::MenuBarRenderer renderer(bar, menuBar);
            QStringList opened, chosen;
            renderer.beforeShow = [&](const QString& band) {
                opened << band;
                bar.SetEnabled(u"mnuSave"_s, false);
            };
            renderer.onTool = [&](const QString& tool) { chosen << tool; };

            const QList<QAction*> entries = menuBar.actions();
            QCOMPARE(entries.size(), 4);
            QCOMPARE(entries[0]->text(), u"&File"_s);
            QCOMPARE(entries[3]->text(), u"E&xtras"_s);
            QVERIFY(!entries[3]->isVisible());
            QVERIFY2(!entries[2]->menu<QMenu*>(), "a tool without a band is a command on the bar");

            QMenu* file = entries[0]->menu<QMenu*>();
            QVERIFY(file);
            emit file->aboutToShow();
            QCOMPARE(opened, QStringList{u"mnuFileBand"_s});
            QCOMPARE(file->actions().size(), 2);
            QVERIFY2(!file->actions()[0]->isEnabled(), "availability is set before the menu is built");
            file->actions()[1]->trigger();
            entries[2]->trigger();
            QCOMPARE(chosen, (QStringList{u"mnuClose"_s, u"mnuHelp"_s}));

            bar.SetVisible(u"mnuExtras"_s, true);
            bar.SetEnabled(u"mnuEdit"_s, false);
            renderer.Refresh();
            QVERIFY(entries[3]->isVisible());
            QVERIFY(!entries[1]->isEnabled());
        }
        QVERIFY2(menuBar.actions().isEmpty(), "the entries leave with their renderer");
    }

    void BusyPointerNests() {
        gui::QtDesktop desktop;
        QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));  // someone else's
        // The pointer after each call: busy while any caller is, then the one before.
        QList<Qt::CursorShape> shapes;
        for (bool busy : {true, true, false, false}) {
            desktop.SetBusy(busy);
            shapes << QApplication::overrideCursor()->shape();
        }
        QCOMPARE(shapes, (QList<Qt::CursorShape>{Qt::WaitCursor, Qt::WaitCursor, Qt::WaitCursor, Qt::CrossCursor}));
        desktop.SetBusy(false);
        QVERIFY2(QApplication::overrideCursor(), "an unbalanced end leaves other cursors alone");
        QApplication::restoreOverrideCursor();
        QVERIFY(!QApplication::overrideCursor());

        desktop.SetBusy(true);
        desktop.Reset();
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(desktop.BusyDepth(), 0);
    }

    void PresentersInstallAndStepAside() {
        QVERIFY(gui::InstallQtPresenters());
        QVERIFY(dynamic_cast<gui::FormRenderer*>(&ui::CurrentFormPresenter()));
        QVERIFY(dynamic_cast<gui::QtMessageBoxes*>(&ui::CurrentMessageBoxes()));
        QVERIFY(dynamic_cast<gui::QtPopups*>(&ui::CurrentPopups()));
        QVERIFY(dynamic_cast<gui::QtDesktop*>(&ui::CurrentDesktop()));
        gui::UninstallQtPresenters();
        QVERIFY(&ui::CurrentFormPresenter() == &ui::DefaultFormRunner());
        QVERIFY(&ui::CurrentMessageBoxes() == &ui::DefaultMessageBoxes());
        QVERIFY(&ui::CurrentPopups() == &ui::DefaultPopups());
        QVERIFY(&ui::CurrentDesktop() == &ui::DefaultDesktop());

        // Presenters someone else installed stay in place.
        ui::ScriptedMessageBoxes mine;
        QVERIFY(gui::InstallQtPresenters());
        ui::InstallMessageBoxes(&mine);
        gui::UninstallQtPresenters();
        QVERIFY(&ui::CurrentMessageBoxes() == &mine);
        ui::InstallMessageBoxes(nullptr);
    }

    void HelpOpensPagesFollowsLinksAndServesModalDialogs() {
        QVERIFY(gui::InstallQtPresenters());
        auto* viewer = dynamic_cast<gui::QtHelpViewer*>(&host::CurrentHelpViewer());
        QVERIFY(viewer);
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
        host::ShowContextHelp(settings::help::kItemDialog);
        gui::HelpWindow* window = viewer->LastShown();
        QVERIFY(window && window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        gui::HelpBrowser* browser = window->Browser();
        QVERIFY(browser->toPlainText().startsWith(u"The item dialog"_s) ||
                browser->document()->toPlainText().contains(u"item"_s));
        const QString first = browser->toPlainText();

        // A link to another page, as the browser reports a click on it, then back.
        emit browser->anchorClicked(QUrl(u"dlg-default-mode.md"_s));
        QCOMPARE(browser->source().path(), u"/en/dlg-default-mode.md"_s);
        QVERIFY(browser->toPlainText() != first);
        QVERIFY(browser->isBackwardAvailable());
        browser->backward();
        QCOMPARE(browser->toPlainText(), first);

        // The same window serves the next topic; German pages for German texts.
        settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
        host::ShowContextHelp(settings::help::kGroups);
        QCOMPARE(viewer->LastShown(), window);
        QCOMPARE(browser->source().path(), u"/de/groups.md"_s);

        // F1 in a modal dialog: a help window of the dialog's own, not blocked by it.
        FOrder form;
        form.helpContextId = settings::help::kRenameFolderDialog;
        Open(form);
        FormDialog dialog(form);
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_F1);
        QVERIFY(viewer->LastShown() != window);
        QCOMPARE(viewer->LastShown()->parentWidget(), &dialog);
        QCOMPARE(viewer->LastShown()->Browser()->source().path(), u"/de/dlg-rename-folder.md"_s);

        host::CurrentHelpViewer().CloseAll();
        QVERIFY(!window->isVisible());
        dialog.close();
    }
};

int main(int argc, char** argv) {
    // Runs without a display unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RenderersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RenderersTest.moc"
