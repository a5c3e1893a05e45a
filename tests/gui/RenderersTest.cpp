#include "RenderersTest.h"

#include "gui/FormDialog.h"
#include "gui/FormRenderer.h"
#include "gui/MenuBarRenderer.h"
#include "gui/QtDesktop.h"
#include "gui/QtMessageBoxes.h"
#include "gui/QtPopups.h"
#include "gui/QtHelpViewer.h"
#include "gui/QtPresenters.h"
#include "platform/host/HelpViewer.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"
#include "platform/ui/CommandBar.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"

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
#include <vector>

using namespace ov;
using gui::FormDialog;
using ui::Control;
using ui::ControlType;
using ui::FormEvent;

namespace {

// A new-item dialog with the usual parts: a named text box, options on the
// form, in a frame and on a tab page, a combo, a grayed check box and
// OK / Cancel. OK is enabled only while the name is filled in.
class FOrder : public ui::Form {
public:
    FOrder() : Form(QStringLiteral("FOrder")) {
        caption = QStringLiteral("New item");
        Control& nameLabel = Add(ControlType::Label, QStringLiteral("lblName"));
        nameLabel.caption = QStringLiteral("&Name:");
        nameLabel.buddy = QStringLiteral("txtName");
        Add(ControlType::TextBox, QStringLiteral("txtName")).maxLength = 8;
        Option(QStringLiteral("optMode"), 0, QStringLiteral("&Read"), QString(), -1).checkState = 1;
        Option(QStringLiteral("optMode"), 1, QStringLiteral("&Write"), QString(), -1);
        Control& type = Add(ControlType::ComboBox, QStringLiteral("cmbType"));
        type.list.Add(4, QStringLiteral("VT_R4"));
        type.list.Add(5, QStringLiteral("VT_R8"));
        type.listIndex = 0;
        // Named after the control it describes, as some dialogs do.
        Control& typeLabel = Add(ControlType::Label, QStringLiteral("lblType"));
        typeLabel.caption = QStringLiteral("&Type:");
        typeLabel.buddy = QStringLiteral("cmbType");
        Control& active = Add(ControlType::CheckBox, QStringLiteral("chkActive"));
        active.caption = QStringLiteral("&Active");
        active.checkState = 2;
        Add(ControlType::Frame, QStringLiteral("fraScale")).caption = QStringLiteral("Scale");
        Option(QStringLiteral("optScale"), 0, QStringLiteral("&Linear"), QStringLiteral("fraScale"), -1).checkState = 1;
        Option(QStringLiteral("optScale"), 1, QStringLiteral("&Square root"), QStringLiteral("fraScale"), -1);
        Control& pages = Add(ControlType::TabStrip, QStringLiteral("tabPages"));
        pages.list.Add(0, QStringLiteral("&General"));
        pages.list.Add(1, QStringLiteral("&Limits"));
        pages.listIndex = 0;
        Control& comment = Add(ControlType::TextBox, QStringLiteral("txtComment"));
        comment.multiLine = true;
        comment.tabPage = 0;
        Control& high = Add(ControlType::TextBox, QStringLiteral("txtHigh"));
        high.text = QStringLiteral("100");
        high.locked = true;
        high.tabPage = 1;
        Option(QStringLiteral("optLimit"), 0, QStringLiteral("Ab&solute"), QString(), 1).checkState = 1;
        Option(QStringLiteral("optLimit"), 1, QStringLiteral("Relati&ve"), QString(), 1);
        Control& ok = Add(ControlType::CommandButton, QStringLiteral("cmdOK"));
        ok.caption = QStringLiteral("OK");
        ok.isDefault = true;
        ok.enabled = false;
        Control& cancel = Add(ControlType::CommandButton, QStringLiteral("cmdCancel"));
        cancel.caption = QStringLiteral("Cancel");
        cancel.isCancel = true;
        Add(ControlType::CommandButton, QStringLiteral("cmdCheck")).caption = QStringLiteral("&Check");
    }

    QStringList events;

protected:
    void OnEvent(Control& control, FormEvent) override {
        events << control.FullName();
        const QString& name = control.Name();
        if (name == QStringLiteral("txtName")) {
            Get(QStringLiteral("cmdOK")).enabled = !control.text.isEmpty();
        } else if (name == QStringLiteral("cmbType")) {
            Get(QStringLiteral("txtComment")).text = QStringLiteral("Type ") + control.SelectedText();
        } else if (name == QStringLiteral("cmdOK")) {
            Hide(true);
        } else if (name == QStringLiteral("cmdCancel")) {
            Hide(false);
        } else if (name == QStringLiteral("cmdCheck")) {
            throw ui::FormError(QStringLiteral("The name %1 is taken.").arg(Get(QStringLiteral("txtName")).text));
        }
    }

private:
    Control& Option(const QString& name, int index, const QString& text, const QString& frame, int page) {
        Control& option = Add(ControlType::OptionButton, name, index);
        option.caption = text;
        option.container = frame;
        option.tabPage = page;
        return option;
    }
};

// Parameters with a computed column; only OK, no Cancel button.
class FParams : public ui::Form {
public:
    FParams() : Form(QStringLiteral("FParams")) {
        Control& grid = Add(ControlType::Grid, QStringLiteral("tdbParameters"));
        grid.grid.columnCaptions = {QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Scaled")};
        grid.grid.columnLocked = {true, false, true};
        grid.grid.rows = {{QStringLiteral("Gain"), QStringLiteral("2"), QStringLiteral("4")},
                          {QStringLiteral("Offset"), QStringLiteral("0"), QStringLiteral("0")}};
        Control& ok = Add(ControlType::CommandButton, QStringLiteral("cmdOK"));
        ok.caption = QStringLiteral("OK");
        ok.isDefault = true;
    }

protected:
    void OnEvent(Control& control, FormEvent event) override {
        if (event == FormEvent::CellEdited) {
            auto& row = control.grid.rows[static_cast<std::size_t>(control.grid.currentRow)];
            row[2] = QString::number(row[1].toString().toDouble() * 2);
        } else if (control.Name() == QStringLiteral("cmdOK")) {
            Hide(true);
        }
    }
};

// A list box of several choices and a list view without item data.
class FLists : public ui::Form {
public:
    FLists() : Form(QStringLiteral("FLists")) {
        Control& units = Add(ControlType::ListBox, QStringLiteral("lstUnits"));
        units.multiSelect = true;
        units.list.Add(1, QStringLiteral("bar"));
        units.list.Add(2, QStringLiteral("mbar"));
        units.list.Add(3, QStringLiteral("Pa"));
        Control& items = Add(ControlType::ListView, QStringLiteral("lvwItems"));
        items.listViewColumns = {QStringLiteral("Name"), QStringLiteral("Type")};
        items.listViewRows = {{QStringLiteral("Motor"), QStringLiteral("VT_R4")}, {QStringLiteral("Pump"), QStringLiteral("VT_BOOL")}};
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

void RenderersTest::init() {
    ui::InstallFormPresenter(nullptr);
    ui::InstallMessageBoxes(nullptr);
    ui::DefaultMessageBoxes().Clear();
}

void RenderersTest::cleanup() {
    gui::UninstallQtPresenters();
    ui::InstallFormPresenter(nullptr);
    ui::InstallMessageBoxes(nullptr);
    ui::InstallPopups(nullptr);
    ui::InstallDesktop(nullptr);
}

void RenderersTest::EachControlIsAWidgetThatRunsTheHandlers() {
    FOrder form;
    form.Get(QStringLiteral("chkActive")).visible = false;
    Open(form);
    FormDialog dialog(form);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("New item"));
    QVERIFY(!dialog.WidgetFor(QStringLiteral("txtMissing")));

    auto* name = As<QLineEdit>(dialog, "txtName");
    auto* nameLabel = As<QLabel>(dialog, "lblName");
    QVERIFY(name && nameLabel);
    QCOMPARE(name->maxLength(), 8);
    QCOMPARE(nameLabel->text(), QStringLiteral("&Name:"));
    QCOMPARE(nameLabel->buddy(), name);
    QCOMPARE(CellOf(dialog, nameLabel).row, CellOf(dialog, name).row);
    QCOMPARE(CellOf(dialog, nameLabel).column, 0);
    QCOMPARE(CellOf(dialog, name).column, 1);

    auto* type = As<QComboBox>(dialog, "cmbType");
    auto* typeLabel = As<QLabel>(dialog, "lblType");
    QVERIFY(type && typeLabel);
    QCOMPARE(type->count(), 2);
    QCOMPARE(type->itemText(1), QStringLiteral("VT_R8"));
    QCOMPARE(type->itemData(1).toInt(), 5);
    QCOMPARE(type->currentIndex(), 0);
    QCOMPARE(CellOf(dialog, typeLabel).row, CellOf(dialog, type).row);
    QCOMPARE(CellOf(dialog, typeLabel).column, 0);
    QVERIFY(CellOf(dialog, type).row > CellOf(dialog, name).row);

    auto* read = As<QRadioButton>(dialog, "optMode", 0);
    QVERIFY(read);
    QCOMPARE(read->text(), QStringLiteral("&Read"));

    auto* active = As<QCheckBox>(dialog, "chkActive");
    QVERIFY(active);
    QVERIFY(active->isTristate());
    QCOMPARE(active->checkState(), Qt::PartiallyChecked);

    auto* frame = As<QGroupBox>(dialog, "fraScale");
    QVERIFY(frame);
    QCOMPARE(frame->title(), QStringLiteral("Scale"));
    QVERIFY(frame->isAncestorOf(dialog.WidgetFor(QStringLiteral("optScale"), 1)));
    QCOMPARE(CellOf(dialog, frame).columnSpan, 2);

    auto* pages = As<QTabWidget>(dialog, "tabPages");
    auto* comment = As<QPlainTextEdit>(dialog, "txtComment");
    auto* high = As<QLineEdit>(dialog, "txtHigh");
    QVERIFY(pages && comment && high);
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->tabText(1), QStringLiteral("&Limits"));
    QVERIFY(pages->widget(0)->isAncestorOf(comment));
    QVERIFY(pages->widget(1)->isAncestorOf(high));
    QVERIFY(pages->widget(1)->isAncestorOf(dialog.WidgetFor(QStringLiteral("optLimit"), 0)));
    QVERIFY(high->isReadOnly());
    QCOMPARE(high->text(), QStringLiteral("100"));

    auto* ok = As<QPushButton>(dialog, "cmdOK");
    auto* cancel = As<QPushButton>(dialog, "cmdCancel");
    auto* check = As<QPushButton>(dialog, "cmdCheck");
    QVERIFY(ok && cancel && check);
    QVERIFY(ok->isDefault());
    QVERIFY(!ok->isEnabled());
    QCOMPARE(check->text(), QStringLiteral("&Check"));
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
    form.Get(QStringLiteral("chkActive")).visible = true;
    dialog.SyncFromModel();
    QVERIFY(active->isVisible());

    // Typing, choosing and clicking run the form's handlers.
    QTest::keyClicks(name, QStringLiteral("Pump"));
    QCOMPARE(form.Get(QStringLiteral("txtName")).text, QStringLiteral("Pump"));
    QVERIFY(ok->isEnabled());
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);
    QCOMPARE(form.Get(QStringLiteral("txtName")).text, QString());
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(name, QStringLiteral("Centrifugal"));
    QCOMPARE(form.Get(QStringLiteral("txtName")).text, QStringLiteral("Centrifu"));

    QTest::keyClick(type, Qt::Key_Down);
    QCOMPARE(form.Get(QStringLiteral("cmbType")).SelectedData().toInt(), 5);
    // The handler's text reaches the page.
    QCOMPARE(comment->toPlainText(), QStringLiteral("Type VT_R8"));

    active->click();
    QCOMPARE(form.Get(QStringLiteral("chkActive")).checkState, 1);
    QCOMPARE(active->checkState(), Qt::Checked);
    active->click();
    QCOMPARE(form.Get(QStringLiteral("chkActive")).checkState, 0);
    QVERIFY2(!active->isTristate(), "grayed is never reached by clicking");

    pages->setCurrentIndex(1);
    QCOMPARE(form.Get(QStringLiteral("tabPages")).listIndex, 1);
    QVERIFY(form.events.contains(QStringLiteral("tabPages")));

    // Texts a handler sets show, and setting them raises no further events.
    const qsizetype before = form.events.size();
    form.Get(QStringLiteral("txtName")).text = QStringLiteral("Fan");
    form.Get(QStringLiteral("cmbType")).listIndex = 0;
    dialog.SyncFromModel();
    QCOMPARE(name->text(), QStringLiteral("Fan"));
    QCOMPARE(type->currentIndex(), 0);
    QCOMPARE(form.events.size(), before);
}

void RenderersTest::TheDialogEndsAsThePersonEndsIt_data() {
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
    const QString pump = QStringLiteral("Pump");
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

void RenderersTest::TheDialogEndsAsThePersonEndsIt() {
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
    if (named) named->Get(QStringLiteral("cmdCancel")).enabled = cancelEnabled;
    Open(form);
    FormDialog dialog(form);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    auto* nameBox = As<QLineEdit>(dialog, "txtName");
    QCOMPARE(nameBox != nullptr, withCancel);
    if (nameBox) QTest::keyClicks(nameBox, name);

    if (action == QStringLiteral("ok")) As<QPushButton>(dialog, "cmdOK")->click();
    if (action == QStringLiteral("enter")) QTest::keyClick(nameBox, Qt::Key_Return);
    if (action == QStringLiteral("escape")) QTest::keyClick(&dialog, Qt::Key_Escape);
    if (action == QStringLiteral("close")) dialog.close();
    if (action == QStringLiteral("check, then OK")) {
        As<QPushButton>(dialog, "cmdCheck")->click();
        QVERIFY(form.IsShown());
        QCOMPARE(finished.count(), 0);
        As<QPushButton>(dialog, "cmdOK")->click();
    }
    const auto& shown = ui::DefaultMessageBoxes().Shown();
    QCOMPARE(shown.size(), std::size_t(message.isEmpty() ? 0 : 1));
    if (!message.isEmpty()) QCOMPARE(shown.front().text, message);
    QCOMPARE(form.IsShown(), stillShown);
    QCOMPARE(form.Confirmed(), confirmed);
    QCOMPARE(dialog.isVisible(), stillShown);
    if (stillShown) {
        QCOMPARE(finished.count(), 0);
        return;
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), int(confirmed ? QDialog::Accepted : QDialog::Rejected));
    if (named) QCOMPARE(named->events.contains(QStringLiteral("cmdCancel")), !confirmed);

    // A finished dialog passes nothing more to the form.
    if (!nameBox) return;
    QTest::keyClicks(nameBox, QStringLiteral("X"));
    QCOMPARE(form.Get(QStringLiteral("txtName")).text, name);
    QCOMPARE(finished.count(), 1);
}

void RenderersTest::OptionButtonsExcludeEachOtherPerContainer() {
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
    QCOMPARE(checked(), QStringLiteral("x-x-x-/x-x-x-"));
    buttons[3]->click();
    QCOMPARE(checked(), QStringLiteral("x--xx-/x--xx-"));
    buttons[1]->click();
    QCOMPARE(checked(), QStringLiteral("-x-xx-/-x-xx-"));

    // The model may leave a group without a checked button; clicks still exclude afterwards.
    form.Get(QStringLiteral("optLimit"), 0).checkState = 0;
    dialog.SyncFromModel();
    QCOMPARE(checked(), QStringLiteral("-x-x--/-x-x--"));
    buttons[5]->click();
    buttons[4]->click();
    QCOMPARE(checked(), QStringLiteral("-x-xx-/-x-xx-"));
}

void RenderersTest::GridEditsFollowTheLockedColumns() {
    FParams form;
    Open(form);
    FormDialog dialog(form);
    auto* table = As<QTableWidget>(dialog, "tdbParameters");
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("Scaled"));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Offset"));
    QVERIFY(!table->item(0, 0)->flags().testFlag(Qt::ItemIsEditable));
    QVERIFY(table->item(0, 1)->flags().testFlag(Qt::ItemIsEditable));
    QVERIFY(!table->item(0, 2)->flags().testFlag(Qt::ItemIsEditable));

    table->item(1, 1)->setText(QStringLiteral("2.5"));
    const ui::GridData& grid = form.Get(QStringLiteral("tdbParameters")).grid;
    QCOMPARE(grid.rows[1][1].toString(), QStringLiteral("2.5"));
    QCOMPARE(grid.currentRow, 1);
    QCOMPARE(grid.currentColumn, 1);
    // The handler's result shows.
    QCOMPARE(table->item(1, 2)->text(), QStringLiteral("5"));

    // A change that bypasses the flags is refused by the model and undone.
    table->item(0, 0)->setText(QStringLiteral("Hacked"));
    QCOMPARE(grid.rows[0][0].toString(), QStringLiteral("Gain"));
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("Gain"));
    QCOMPARE(ui::DefaultMessageBoxes().Shown().size(), std::size_t{1});
}

void RenderersTest::ListsShowEntriesAndReportSelections() {
    FLists form;
    Open(form);
    FormDialog dialog(form);
    auto* units = As<QListWidget>(dialog, "lstUnits");
    auto* items = As<QTreeWidget>(dialog, "lvwItems");
    QVERIFY(units && items);

    QCOMPARE(units->count(), 3);
    QCOMPARE(units->item(2)->text(), QStringLiteral("Pa"));
    QCOMPARE(units->selectionMode(), QAbstractItemView::ExtendedSelection);
    units->item(0)->setSelected(true);
    units->item(2)->setSelected(true);
    QVERIFY((form.Get(QStringLiteral("lstUnits")).selectedRows == std::vector<int>{0, 2}));
    units->setCurrentRow(1, QItemSelectionModel::Select);
    QCOMPARE(form.Get(QStringLiteral("lstUnits")).listIndex, 1);
    QCOMPARE(form.Get(QStringLiteral("lstUnits")).selectedRows.size(), std::size_t{3});

    QCOMPARE(items->columnCount(), 2);
    QCOMPARE(items->headerItem()->text(1), QStringLiteral("Type"));
    QCOMPARE(items->topLevelItemCount(), 2);
    QCOMPARE(items->topLevelItem(1)->text(0), QStringLiteral("Pump"));
    items->setCurrentItem(items->topLevelItem(1));
    QCOMPARE(form.Get(QStringLiteral("lvwItems")).listIndex, 1);

    // New rows from the model replace the old ones.
    form.Get(QStringLiteral("lvwItems")).listViewRows.push_back({QStringLiteral("Fan"), QStringLiteral("VT_I2")});
    dialog.SyncFromModel();
    QCOMPARE(items->topLevelItemCount(), 3);
    QCOMPARE(items->topLevelItem(2)->text(1), QStringLiteral("VT_I2"));
}

void RenderersTest::ShowModalRunsUntilTheFormIsHidden() {
    gui::FormRenderer renderer;
    ui::InstallFormPresenter(&renderer);
    {
        FOrder form;
        QString title;
        Player player([&title](QWidget* shown) {
            auto* dialog = dynamic_cast<FormDialog*>(shown);
            auto* name = dialog ? As<QLineEdit>(*dialog, "txtName") : nullptr;
            auto* ok = dialog ? As<QPushButton>(*dialog, "cmdOK") : nullptr;
            if (!name || !ok) {
                shown->close();
                return;
            }
            title = dialog->windowTitle();
            QTest::keyClicks(name, QStringLiteral("Pump"));
            ok->click();
        });
        QVERIFY(ui::ShowModal(form));
        QVERIFY(player.Acted());
        QCOMPARE(title, QStringLiteral("New item"));
        QCOMPARE(form.Get(QStringLiteral("txtName")).text, QStringLiteral("Pump"));
    }
    {
        // A form that closes itself on activation is never shown.
        class FQuick : public ui::Form {
        public:
            FQuick() : Form(QStringLiteral("FQuick")) {}

        protected:
            void OnActivate() override { Hide(true); }
        } form;
        Player player([](QWidget* shown) { shown->close(); });
        QVERIFY(ui::ShowModal(form));
        QVERIFY(!player.Acted());
    }
}

void RenderersTest::MessageBoxOffersTheRequestedButtons() {
    gui::QtMessageBoxes boxes;
    {
        QString text, title;
        qsizetype buttons = 0;
        bool noByDefault = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Player player([&](QWidget* shown) {
            auto* box = qobject_cast<QMessageBox*>(shown);
            if (!box) {
                shown->close();
                return;
            }
            text = box->text();
            title = box->windowTitle();
            buttons = box->buttons().size();
            noByDefault = box->defaultButton() == box->button(QMessageBox::No);
            icon = box->icon();
            box->button(QMessageBox::Yes)->click();
        });
        const ui::Answer answer = boxes.Show(
            {QStringLiteral("Delete <3> items?"), QString(), ui::Buttons::YesNoCancel, 1, ui::Icon::Question});
        QVERIFY(answer == ui::Answer::Yes);
        QCOMPARE(text, QStringLiteral("Delete <3> items?"));
        QCOMPARE(title, QGuiApplication::applicationDisplayName());
        QCOMPARE(buttons, qsizetype{3});
        QVERIFY(noByDefault);
        QCOMPARE(icon, QMessageBox::Question);
    }
    {
        Player player([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        const ui::Answer answer =
            boxes.Show({QStringLiteral("Save?"), QStringLiteral("Editor"), ui::Buttons::OKCancel, 0, ui::Icon::None});
        QVERIFY(player.Acted());
        QVERIFY(answer == ui::Answer::Cancel);
    }
}

void RenderersTest::PopupMenuFollowsToolStatesAndGivesTheChosenTool() {
    ui::CommandBar bar;
    ui::Tool heading = MakeTool(QStringLiteral("hdrItem"), QStringLiteral("Item"));
    heading.heading = true;
    ui::Tool add = MakeTool(QStringLiteral("mnuNew"), QStringLiteral("&New"));
    add.shortcut = QStringLiteral("F8");
    ui::Tool copy = MakeTool(QStringLiteral("mnuCopy"), QStringLiteral("&Copy"));
    copy.enabled = false;
    ui::Tool hidden = MakeTool(QStringLiteral("mnuHidden"), QStringLiteral("Hidden"));
    hidden.visible = false;
    bar.AddBand(QStringLiteral("mnuItemPopup")).tools = {
        heading, add, copy, Separator(), Separator(), hidden,
        MakeTool(QStringLiteral("mnuNewIn"), QStringLiteral("New &in"), QStringLiteral("mnuNewBand")), Separator()};
    bar.AddBand(QStringLiteral("mnuNewBand")).tools = {MakeTool(QStringLiteral("mnuNewDevice"), QStringLiteral("&Device"))};

    QMenu menu;
    gui::QtPopups::BuildMenu(bar, QStringLiteral("mnuItemPopup"), menu);
    QList<QAction*> actions = menu.actions();
    QCOMPARE(actions.size(), 5);
    QVERIFY(!actions[0]->isEnabled());
    QVERIFY(actions[0]->font().bold());
    QVERIFY2(actions[0]->data().toString().isEmpty(), "a heading is no command");
    QCOMPARE(actions[1]->text(), QStringLiteral("&New\tF8"));
    QCOMPARE(actions[1]->data().toString(), QStringLiteral("mnuNew"));
    QVERIFY(actions[1]->isEnabled());
    QVERIFY(!actions[2]->isEnabled());
    QVERIFY2(actions[3]->isSeparator(), "two separators in a row show as one, none at the end");
    QMenu* submenu = actions[4]->menu<QMenu*>();
    QVERIFY(submenu);
    QCOMPARE(submenu->actions().size(), 1);
    QCOMPARE(submenu->actions()[0]->data().toString(), QStringLiteral("mnuNewDevice"));

    // Built again, the menu shows the new states and nothing of the old build.
    bar.SetVisible(QStringLiteral("mnuNew"), false);
    bar.SetEnabled(QStringLiteral("mnuCopy"), true);
    gui::QtPopups::BuildMenu(bar, QStringLiteral("mnuItemPopup"), menu);
    actions = menu.actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions[1]->data().toString(), QStringLiteral("mnuCopy"));
    QVERIFY(actions[1]->isEnabled());
    QCOMPARE(menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly).size(), qsizetype{1});

    // Popped up, the menu gives the tool the person chose, or nothing.
    bar.AddBand(QStringLiteral("mnuEmpty")).tools = {hidden, Separator()};
    gui::QtPopups popups;
    {
        Player player([](QWidget* shown) {
            auto* popup = qobject_cast<QMenu*>(shown);
            if (!popup) {
                shown->close();
                return;
            }
            for (QAction* action : popup->actions())
                if (action->data().toString() == QStringLiteral("mnuCopy")) popup->setActiveAction(action);
            QTest::keyClick(popup, Qt::Key_Return);
        });
        QCOMPARE(popups.Popup(bar, QStringLiteral("mnuItemPopup"), 40, 30).value_or(QString()), QStringLiteral("mnuCopy"));
    }
    {
        Player player([](QWidget* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        QVERIFY(!popups.Popup(bar, QStringLiteral("mnuItemPopup"), 40, 30));
        QVERIFY(player.Acted());
    }
    {
        Player player([](QWidget* shown) { shown->close(); });
        QVERIFY(!popups.Popup(bar, QStringLiteral("mnuEmpty"), 40, 30));
        QVERIFY2(!player.Acted(), "a band with nothing to show does not pop up");
    }
}

void RenderersTest::MenuBarHasOneEntryPerMainTool() {
    ui::CommandBar bar;
    ui::Tool extras = MakeTool(QStringLiteral("mnuExtras"), QStringLiteral("E&xtras"), QStringLiteral("mnuExtrasBand"));
    extras.visible = false;
    bar.AddBand(gui::MenuBarRenderer::MainBand()).tools = {
        MakeTool(QStringLiteral("mnuFile"), QStringLiteral("&File"), QStringLiteral("mnuFileBand")),
        MakeTool(QStringLiteral("mnuEdit"), QStringLiteral("&Edit"), QStringLiteral("mnuEditBand")),
        MakeTool(QStringLiteral("mnuHelp"), QStringLiteral("&Help")), extras};
    bar.AddBand(QStringLiteral("mnuFileBand")).tools = {MakeTool(QStringLiteral("mnuSave"), QStringLiteral("&Save")),
                                                       MakeTool(QStringLiteral("mnuClose"), QStringLiteral("&Close"))};
    bar.AddBand(QStringLiteral("mnuEditBand")).tools = {MakeTool(QStringLiteral("mnuCut"), QStringLiteral("Cu&t"))};

    QMenuBar menuBar;
    {
        gui::MenuBarRenderer renderer(bar, menuBar);
        QStringList opened, chosen;
        renderer.beforeShow = [&](const QString& band) {
            opened << band;
            bar.SetEnabled(QStringLiteral("mnuSave"), false);
        };
        renderer.onTool = [&](const QString& tool) { chosen << tool; };

        const QList<QAction*> entries = menuBar.actions();
        QCOMPARE(entries.size(), 4);
        QCOMPARE(entries[0]->text(), QStringLiteral("&File"));
        QCOMPARE(entries[3]->text(), QStringLiteral("E&xtras"));
        QVERIFY(!entries[3]->isVisible());
        QVERIFY2(!entries[2]->menu<QMenu*>(), "a tool without a band is a command on the bar");

        QMenu* file = entries[0]->menu<QMenu*>();
        QVERIFY(file);
        emit file->aboutToShow();
        QCOMPARE(opened, QStringList{QStringLiteral("mnuFileBand")});
        QCOMPARE(file->actions().size(), 2);
        QVERIFY2(!file->actions()[0]->isEnabled(), "availability is set before the menu is built");
        file->actions()[1]->trigger();
        entries[2]->trigger();
        QCOMPARE(chosen, (QStringList{QStringLiteral("mnuClose"), QStringLiteral("mnuHelp")}));

        bar.SetVisible(QStringLiteral("mnuExtras"), true);
        bar.SetEnabled(QStringLiteral("mnuEdit"), false);
        renderer.Refresh();
        QVERIFY(entries[3]->isVisible());
        QVERIFY(!entries[1]->isEnabled());
    }
    QVERIFY2(menuBar.actions().isEmpty(), "the entries leave with their renderer");
}

void RenderersTest::BusyPointerNests() {
    gui::QtDesktop desktop;
    QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));  // someone else's
    desktop.SetBusy(true);
    desktop.SetBusy(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.SetBusy(false);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    desktop.SetBusy(false);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    desktop.SetBusy(false);
    QVERIFY2(QApplication::overrideCursor(), "an unbalanced end leaves other cursors alone");
    QApplication::restoreOverrideCursor();
    QVERIFY(!QApplication::overrideCursor());

    desktop.SetBusy(true);
    desktop.Reset();
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(desktop.BusyDepth(), 0);
}

void RenderersTest::PresentersInstallAndStepAside() {
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

void RenderersTest::HelpOpensPagesFollowsLinksAndServesModalDialogs() {
    QVERIFY(gui::InstallQtPresenters());
    auto* viewer = dynamic_cast<gui::QtHelpViewer*>(&host::CurrentHelpViewer());
    QVERIFY(viewer);
    settings::TextTable::Instance().SetLanguage(settings::TextTable::kEnglish);
    host::ShowContextHelp(settings::help::kItemDialog);
    gui::HelpWindow* window = viewer->LastShown();
    QVERIFY(window && window->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(window));
    gui::HelpBrowser* browser = window->Browser();
    QVERIFY(browser->toPlainText().startsWith(QStringLiteral("The item dialog")) ||
            browser->document()->toPlainText().contains(QStringLiteral("item")));
    const QString first = browser->toPlainText();

    // A link to another page, as the browser reports a click on it, then back.
    emit browser->anchorClicked(QUrl(QStringLiteral("dlg-default-mode.md")));
    QCOMPARE(browser->source().path(), QStringLiteral("/en/dlg-default-mode.md"));
    QVERIFY(browser->toPlainText() != first);
    QVERIFY(browser->isBackwardAvailable());
    browser->backward();
    QCOMPARE(browser->toPlainText(), first);

    // The same window serves the next topic; German pages for German texts.
    settings::TextTable::Instance().SetLanguage(settings::TextTable::kGerman);
    host::ShowContextHelp(settings::help::kGroups);
    QCOMPARE(viewer->LastShown(), window);
    QCOMPARE(browser->source().path(), QStringLiteral("/de/groups.md"));

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
    QCOMPARE(viewer->LastShown()->Browser()->source().path(), QStringLiteral("/de/dlg-rename-folder.md"));

    host::CurrentHelpViewer().CloseAll();
    QVERIFY(!window->isVisible());
    dialog.close();
}

int main(int argc, char** argv) {
    // Runs without a display unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RenderersTest test;
    return QTest::qExec(&test, argc, argv);
}
