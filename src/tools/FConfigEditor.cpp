#include "tools/FConfigEditor.h"

#include "editor/GridColumns.h"
#include "editor/frmtabgridOPC.h"
#include "model/DataConnection.h"
#include "objects/LongWork.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/db/Schema.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

#include <algorithm>

namespace ov::tools {

using settings::Text;

namespace {

constexpr int kCtrl = 2, kTab = 9;
const QString kAccessIndex = QStringLiteral("UniqueItemAccess");
enum Button { kAdd = 0, kDel = 1, kUp = 2, kDn = 3 };

bool ReadFlag(const settings::CInit& init, const char* key, bool fallback) {
    const auto value = init.ReadAValueFromCInits(QString::fromUtf8(key));
    return value && std::holds_alternative<bool>(*value) ? std::get<bool>(*value) : fallback;
}

// A list box and its label on a page of the tab strip.
void AddList(ui::Form& form, const char* name, int labelText, int page) {
    ui::Control& label = form.Add(ui::ControlType::Label, QStringLiteral("lbl") + QString::fromUtf8(name).mid(3));
    label.tag = QStringLiteral("C%1").arg(labelText);
    label.buddy = QString::fromUtf8(name);
    label.tabPage = page;
    form.Add(ui::ControlType::ListBox, QString::fromUtf8(name)).tabPage = page;
}

}  // namespace

FConfigEditor::FConfigEditor(editor::frmtabgridOPC& window)
    : ui::Form(QStringLiteral("FConfigEditor")),
      m_window(window),
      m_pages{{{"tdbI", "tdbI.splits(1).Columns(", "TDBIColOrders", "lstItemColExist", "lstItemColChoosed", "tbrItemCol", {}, {}},
               {"tdbU", "tdbU.Columns(", "TDBUColOrders", "lstUnitColExist", "lstUnitColChoosed", "tbrUnitCol", {}, {}},
               {"tdbS", "tdbS.splits(1).Columns(", "TDBSColOrders", "lstStructColExist", "lstStructColChoosed", "tbrStructCol", {}, {}},
               {"tdbG", "tdbG.splits(1).Columns(", "TDBGColOrders", "lstGroupColExist", "lstGroupColChoosed", "tbrGroupCol", {}, {}}}} {
    tag = QStringLiteral("C2001");
    helpContextId = settings::help::kOptionsDialog;
    keyPreview = true;
    ui::Control& tabs = Add(ui::ControlType::TabStrip, QStringLiteral("tabConfig"));
    for (int text : {2002, 2010, 2020, 2030, 2048}) tabs.list.Add(text, Text(text));
    tabs.listIndex = 0;

    ui::Control& fontLabel = Add(ui::ControlType::Label, QStringLiteral("lblEditorFont"));
    fontLabel.tag = QStringLiteral("C2003");
    fontLabel.buddy = QStringLiteral("txtEditorFont");
    fontLabel.tabPage = 0;
    ui::Control& font = Add(ui::ControlType::TextBox, QStringLiteral("txtEditorFont"));
    font.locked = true;
    font.tabPage = 0;
    ui::Control& fontButton = Add(ui::ControlType::CommandButton, QStringLiteral("cmdEditorFont"));
    fontButton.caption = QStringLiteral("...");
    fontButton.buddy = QStringLiteral("txtEditorFont");
    fontButton.tabPage = 0;
    for (const auto& [name, text] : {std::pair{"chkDelQuestion", 2004}, {"chkShowStatusBar", 2005}, {"chkSaveOnExit", 2044}}) {
        ui::Control& box = Add(ui::ControlType::CheckBox, QString::fromUtf8(name));
        box.tag = QStringLiteral("C%1").arg(text);
        box.tabPage = 0;
    }
    const int labels[4][2] = {{2012, 2013}, {2022, 2023}, {2032, 2033}, {2032, 2033}};
    for (int p = 0; p < 4; ++p) {
        const Page& page = m_pages[static_cast<std::size_t>(p)];
        AddList(*this, page.existing, labels[p][0], p + 1);
        AddList(*this, page.chosen, labels[p][1], p + 1);
        for (int b = kAdd; b <= kDn; ++b) {
            ui::Control& button = Add(ui::ControlType::CommandButton, QString::fromUtf8(page.toolbar), b);
            button.tag = QStringLiteral("C%1").arg(9177 + b);
            button.tabPage = p + 1;
        }
        if (p == 0) {
            ui::Control& alias = Add(ui::ControlType::CheckBox, QStringLiteral("chkSwitchView"));
            alias.tag = QStringLiteral("C2049");
            alias.tabPage = 1;
        }
    }
    AddOkAndCancel();
}

void FConfigEditor::OnLoad() {
    settings::LocaliseCaptions(*this);
    m_cancel = true;
}

ui::GridModel& FConfigEditor::GridOf(const Page& page) { return m_window.Grid(QString::fromUtf8(page.grid)); }

const FConfigEditor::Page& FConfigEditor::PageOf(const QString& grid) const {
    for (const Page& page : m_pages)
        if (grid == QLatin1String(page.grid)) return page;
    return m_pages.front();
}

void FConfigEditor::Fill() {
    if (!IsLoaded()) Load();
    const settings::CInit& init = m_window.Settings();
    for (Page& page : m_pages) {
        ui::GridModel& grid = GridOf(page);
        page.existingColumns.clear();
        page.chosenColumns.clear();
        // The item grid's identifying columns in the scrolled part: the name
        // there only repeats the fixed one; the item access belongs to the
        // fixed part while the alias function is off.
        std::vector<int> skipped;
        if (&grid == &m_window.tdbI()) {
            skipped.push_back(grid.ColumnIndexInSplit(QStringLiteral("Name"), 1));
            if (!m_window.SwitchViewFlag()) skipped.push_back(AccessColumn());
        }
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            const ui::GridColumn& column = grid.Column(c);
            if (column.split != 1 || std::ranges::find(skipped, c) != skipped.end()) continue;
            // A column the settings know the sizing of is one the person may
            // place; the settings name it by its caption or its field.
            const auto known = [&](const QString& name) {
                return !name.isEmpty() &&
                       init.ParamExist(QString::fromUtf8(page.keyPrefix) + u'"' + name + QStringLiteral("\").AllowSizing"));
            };
            if (!known(column.caption) && !known(column.dataField)) continue;
            (column.visible ? page.chosenColumns : page.existingColumns).push_back(c);
        }
        std::stable_sort(page.chosenColumns.begin(), page.chosenColumns.end(),
                         [&grid](int a, int b) { return grid.Column(a).order < grid.Column(b).order; });
        ShowPage(page);
    }
    m_font = m_window.tdbI().font;
    ShowFont();
    Get(QStringLiteral("chkSwitchView")).checkState = m_window.SwitchViewFlag() ? 1 : 0;
    Get(QStringLiteral("chkSaveOnExit")).checkState = ReadFlag(init, "SaveOnExit", true) ? 1 : 0;
    Get(QStringLiteral("chkDelQuestion")).checkState = m_window.RequestOnDelete() ? 1 : 0;
    Get(QStringLiteral("chkShowStatusBar")).checkState = m_window.sb().visible ? 1 : 0;
}

void FConfigEditor::ShowPage(const Page& page) {
    ui::GridModel& grid = GridOf(page);
    const auto show = [&](const char* name, const std::vector<int>& columns) {
        ui::Control& list = Get(QString::fromUtf8(name));
        const int selected = list.listIndex;
        list.list.Clear();
        for (int c : columns) list.list.Add(c, grid.Column(c).caption);
        list.listIndex = std::min(selected, static_cast<int>(columns.size()) - 1);
    };
    show(page.existing, page.existingColumns);
    show(page.chosen, page.chosenColumns);
}

void FConfigEditor::ShowFont() {
    ui::Control& box = Get(QStringLiteral("txtEditorFont"));
    box.text = m_font.name;
    box.toolTip = QStringLiteral("%1, %2 pt").arg(m_font.name).arg(m_font.size);
}

void FConfigEditor::MoveToChosen(Page& page) {
    ui::Control& list = Get(QString::fromUtf8(page.existing));
    const int row = list.listIndex;
    if (row < 0 || row >= static_cast<int>(page.existingColumns.size())) return;
    page.chosenColumns.push_back(page.existingColumns[static_cast<std::size_t>(row)]);
    page.existingColumns.erase(page.existingColumns.begin() + row);
    // The selection stays on the same place of the list, or its last entry.
    list.listIndex = std::min(row, static_cast<int>(page.existingColumns.size()) - 1);
    ShowPage(page);
}

void FConfigEditor::MoveToExisting(Page& page) {
    ui::Control& list = Get(QString::fromUtf8(page.chosen));
    const int row = list.listIndex;
    if (row < 0 || row >= static_cast<int>(page.chosenColumns.size())) return;
    page.existingColumns.push_back(page.chosenColumns[static_cast<std::size_t>(row)]);
    page.chosenColumns.erase(page.chosenColumns.begin() + row);
    list.listIndex = std::min(row, static_cast<int>(page.chosenColumns.size()) - 1);
    ShowPage(page);
}

void FConfigEditor::Swap(Page& page, int direction) {
    ui::Control& list = Get(QString::fromUtf8(page.chosen));
    const int row = list.listIndex;
    const int other = row + direction;
    if (row < 0 || other < 0 || other >= static_cast<int>(page.chosenColumns.size())) return;
    std::swap(page.chosenColumns[static_cast<std::size_t>(row)], page.chosenColumns[static_cast<std::size_t>(other)]);
    list.listIndex = other;
    ShowPage(page);
}

int FConfigEditor::AccessColumn() { return m_window.tdbI().ColumnIndexInSplit(QStringLiteral("ItemAccess"), 1); }

void FConfigEditor::AliasClicked() {
    ui::Control& alias = Get(QStringLiteral("chkSwitchView"));
    Page& items = m_pages.front();
    const int access = AccessColumn();
    if (!alias.IsChecked()) {
        ui::MessageRequest question{Text(2050) + u'\n' + Text(2051), Text(2001), ui::Buttons::YesNo, 1, ui::Icon::Question};
        question.helpTopic = settings::help::kOptionsDialog;
        if (m_window.SwitchViewFlag() && ui::ShowMessage(question) != ui::Answer::Yes) {
            alias.checkState = 1;
            return;
        }
        // The access column then sits in the fixed part.
        std::erase(items.existingColumns, access);
        std::erase(items.chosenColumns, access);
    } else if (access >= 0 && std::ranges::find(items.existingColumns, access) == items.existingColumns.end() &&
               std::ranges::find(items.chosenColumns, access) == items.chosenColumns.end()) {
        items.existingColumns.push_back(access);
    }
    ShowPage(items);
}

void FConfigEditor::ChooseFont() {
    FFontChoice choice(m_font);
    ui::ShowModal(choice);
    choice.Unload();
    if (choice.Cancelled()) return;
    m_font = choice.Font();
    ShowFont();
}

void FConfigEditor::OnEvent(ui::Control& control, ui::FormEvent event) {
    const QString& name = control.Name();
    if (event == ui::FormEvent::Click && name == QStringLiteral("cmdOK")) {
        m_cancel = false;
        Hide(true);
        return;
    }
    if (event == ui::FormEvent::Click && name == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
        return;
    }
    if (event == ui::FormEvent::Click && name == QStringLiteral("cmdEditorFont")) return ChooseFont();
    if (event == ui::FormEvent::Click && name == QStringLiteral("chkSwitchView")) return AliasClicked();
    for (Page& page : m_pages) {
        if (event == ui::FormEvent::Click && name == QLatin1String(page.toolbar)) {
            switch (control.Index()) {
                case kAdd: MoveToChosen(page); break;
                case kDel: MoveToExisting(page); break;
                case kUp: Swap(page, -1); break;
                case kDn: Swap(page, +1); break;
                default: break;
            }
        } else if (event == ui::FormEvent::DblClick && name == QLatin1String(page.existing)) {
            MoveToChosen(page);
        } else if (event == ui::FormEvent::DblClick && name == QLatin1String(page.chosen)) {
            MoveToExisting(page);
        }
    }
}

void FConfigEditor::OnKeyDown(int& keyCode, int shift) {
    if (keyCode != kTab || shift != kCtrl) return;
    ui::Control& tabs = Get(QStringLiteral("tabConfig"));
    tabs.listIndex = (tabs.listIndex + 1) % static_cast<int>(tabs.list.Size());
    keyCode = 0;
}

bool FConfigEditor::SwitchAliasOff(db::Connection& connection) {
    // At a million items this takes seconds: progress with Cancel, which
    // stops the running statement and rolls everything back.
    qint64 items = 0;
    {
        db::Recordset count;
        count.Open(QStringLiteral("SELECT Count(*) FROM TpdbItems"), connection);
        items = count.Fields(0).Value().toLongLong();
    }
    objects::LongWork progress(connection, Get(QStringLiteral("chkSwitchView")).caption.remove(u'&'), items);
    connection.BeginTrans();
    try {
        try {
            connection.CreateIndex(QStringLiteral("TpdbItems"), {kAccessIndex, {QStringLiteral("DeviceID"), QStringLiteral("ItemAccess")}, true, false});
        } catch (const db::DbError&) {
            connection.RollbackTrans();
            progress.Finish();
            // Either the person stopped it or is told here why: nothing more to say.
            m_failureShown = true;
            if (!progress.Cancelled()) ui::ShowMessage(Text(1753), Text(1752), ui::Buttons::OK, 0, ui::Icon::Critical);
            return false;
        }
        progress.SetDone(items / 3);
        connection.Execute(QStringLiteral("UPDATE TpdbItems SET Name=NULL"));
        progress.SetDone(items * 2 / 3);
        connection.Execute(QStringLiteral("UPDATE TpdbItems SET Name=ItemAccess"));
        connection.CommitTrans();
    } catch (...) {
        if (connection.TransactionLevel() > 0) connection.RollbackTrans();
        progress.Finish();
        m_failureShown = progress.Cancelled();
        if (m_failureShown) return false;  // the project as it was
        throw;
    }
    return true;
}

bool FConfigEditor::WriteBack() {
    const bool nameView = Get(QStringLiteral("chkSwitchView")).IsChecked();
    if (nameView != m_window.SwitchViewFlag()) {
        db::Connection& connection = m_window.Data()->Connection();
        // Nothing may read the items while their index changes.
        m_window.Data()->Recordset(QStringLiteral("rsOPCItems")).Close();
        if (nameView) {
            connection.DropIndex(QStringLiteral("TpdbItems"), kAccessIndex);
        } else if (!SwitchAliasOff(connection)) {
            return false;
        }
    }
    // The font of the window and the four grids.
    m_window.font = m_font;
    for (Page& page : m_pages) GridOf(page).font = m_font;
    // Columns: the chosen ones shown in list order, the other configurable ones hidden.
    settings::CInit& init = m_window.Settings();
    for (Page& page : m_pages) {
        ui::GridModel& grid = GridOf(page);
        for (int c : page.existingColumns) grid.Column(c).visible = false;
        for (std::size_t i = 0; i < page.chosenColumns.size(); ++i) {
            ui::GridColumn& column = grid.Column(page.chosenColumns[i]);
            column.visible = true;
            column.allowSizing = true;
            column.order = static_cast<int>(i);
        }
        init.WriteAValueToCInits(QString::fromUtf8(page.ordersKey), editor::StoreColumnOrders(grid, 1));
        init.GetInitFromControl(QString::fromUtf8(page.grid), m_window);
    }
    init.WriteAValueToCInits(QStringLiteral("SaveOnExit"), Get(QStringLiteral("chkSaveOnExit")).IsChecked());
    init.WriteAValueToCInits(QStringLiteral("RequestOnDelete"), Get(QStringLiteral("chkDelQuestion")).IsChecked());
    m_window.sb().visible = Get(QStringLiteral("chkShowStatusBar")).IsChecked();
    init.GetInitFromControl(QStringLiteral("sb"), m_window);
    return true;
}

FFontChoice::FFontChoice(const ui::FontSettings& font) : ui::Form(QStringLiteral("FFontChoice")), m_font(font) {
    tag = QStringLiteral("C9181");
    helpContextId = settings::help::kOptionsDialog;
    for (const auto& [name, text] : {std::pair{"cboFontName", 9182}, {"txtFontSize", 9183}}) {
        ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lbl") + QString::fromUtf8(name).mid(3));
        label.tag = QStringLiteral("C%1").arg(text);
        label.buddy = QString::fromUtf8(name);
        Add(QString::fromUtf8(name).startsWith(QLatin1String("cbo")) ? ui::ControlType::ComboBox : ui::ControlType::TextBox,
            QString::fromUtf8(name));
    }
    for (const auto& [name, text] : {std::pair{"chkBold", 9184}, {"chkItalic", 9185}, {"chkUnderline", 9186}, {"chkStrikethrough", 9187}})
        Add(ui::ControlType::CheckBox, QString::fromUtf8(name)).tag = QStringLiteral("C%1").arg(text);
    AddOkAndCancel();
}

void FFontChoice::OnLoad() {
    settings::LocaliseCaptions(*this);
    ui::Control& names = Get(QStringLiteral("cboFontName"));
    names.list.Clear();
    QStringList families{QStringLiteral("Arial"), QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans"),
                         QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Sans"), QStringLiteral("Tahoma"),
                         QStringLiteral("Times New Roman"), QStringLiteral("Verdana")};
    if (!families.contains(m_font.name)) families.prepend(m_font.name);
    for (const QString& family : families) names.list.Add(family, family);
    names.Select(m_font.name);
    names.text = m_font.name;
    Get(QStringLiteral("txtFontSize")).text = QString::number(m_font.size);
    Get(QStringLiteral("chkBold")).checkState = m_font.bold ? 1 : 0;
    Get(QStringLiteral("chkItalic")).checkState = m_font.italic ? 1 : 0;
    Get(QStringLiteral("chkUnderline")).checkState = m_font.underline ? 1 : 0;
    Get(QStringLiteral("chkStrikethrough")).checkState = m_font.strikethrough ? 1 : 0;
    m_cancel = true;
}

ui::FontSettings FFontChoice::Font() const { return m_font; }

void FFontChoice::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (event != ui::FormEvent::Click) return;
    if (control.Name() == QStringLiteral("cmdCancel")) {
        m_cancel = true;
        Hide(false);
        return;
    }
    if (control.Name() != QStringLiteral("cmdOK")) return;
    bool ok = false;
    const double size = Get(QStringLiteral("txtFontSize")).text.trimmed().replace(u',', u'.').toDouble(&ok);
    if (!ok || size < 4 || size > 72) {
        ui::ShowMessage(Text(9188), Text(9181), ui::Buttons::OK, 0, ui::Icon::Warning);
        SetFocus(QStringLiteral("txtFontSize"), -1, true);
        return;
    }
    const ui::Control& name = Get(QStringLiteral("cboFontName"));
    const QString chosen = name.SelectedText().isEmpty() ? name.text.trimmed() : name.SelectedText();
    if (!chosen.isEmpty()) m_font.name = chosen;
    m_font.size = size;
    m_font.bold = Get(QStringLiteral("chkBold")).IsChecked();
    m_font.weight = m_font.bold ? 700 : 400;
    m_font.italic = Get(QStringLiteral("chkItalic")).IsChecked();
    m_font.underline = Get(QStringLiteral("chkUnderline")).IsChecked();
    m_font.strikethrough = Get(QStringLiteral("chkStrikethrough")).IsChecked();
    m_cancel = false;
    Hide(true);
}

}  // namespace ov::tools
