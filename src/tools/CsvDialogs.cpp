#include "tools/CsvDialogs.h"

#include "platform/system/SystemTools.h"
#include "settings/HelpTopics.h"
#include "settings/TextTable.h"

namespace ov::tools {

using settings::Text;

namespace {

const QString kOptions = QStringLiteral("optSelItems");
const QString kFrame = QStringLiteral("fraSelItems");
constexpr int kModeOpen = 1;

// The three selection options in their frame, captioned for export or import.
void AddOptions(ui::Form& form, int firstText, bool groupView) {
    form.Add(ui::ControlType::Frame, kFrame).tag = QStringLiteral("C%1").arg(firstText - 1);
    const int captions[] = {firstText, groupView ? firstText + 2 : firstText + 1, firstText + 3};
    for (int i = 0; i < 3; ++i) {
        ui::Control& option = form.Add(ui::ControlType::OptionButton, kOptions, i);
        option.tag = QStringLiteral("C%1").arg(captions[i]);
        option.container = kFrame;
    }
}

// The first option that may be chosen: the selected rows, the view's items, the project's.
void EnableAndChoose(ui::Form& form, const CsvSelection& selection) {
    const bool enabled[] = {selection.rowsSelected, selection.view != CsvSelection::View::Other, true};
    bool chosen = false;
    for (int i = 0; i < 3; ++i) {
        ui::Control& option = form.Get(kOptions, i);
        option.enabled = enabled[i];
        option.checkState = !chosen && enabled[i] ? 1 : 0;
        chosen = chosen || option.checkState == 1;
    }
}

int ChosenOption(const ui::Form& form) {
    for (int i = 0; i < 3; ++i)
        if (form.Find(kOptions, i)->IsChecked()) return i;
    return 2;
}

bool CancelOrOk(ui::Form& form, ui::Control& control, ui::FormEvent event, bool& cancel) {
    if (event != ui::FormEvent::Click) return false;
    if (control.Name() == QStringLiteral("cmdOK")) {
        cancel = false;
        form.Hide(true);
        return true;
    }
    if (control.Name() == QStringLiteral("cmdCancel")) {
        cancel = true;
        form.Hide(false);
        return true;
    }
    return false;
}

}  // namespace

FExportToCSV::FExportToCSV(CsvSelection selection) : ui::Form(QStringLiteral("FExportToCSV")), m_selection(selection) {
    tag = QStringLiteral("C801");
    helpContextId = settings::help::kCsv;
    AddOptions(*this, 803, selection.view == CsvSelection::View::Group);
    ui::Control& label = Add(ui::ControlType::Label, QStringLiteral("lblEncoding"));
    label.tag = QStringLiteral("C9170");
    label.buddy = QStringLiteral("cboEncoding");
    Add(ui::ControlType::ComboBox, QStringLiteral("cboEncoding"));
    AddOkAndCancel();
}

void FExportToCSV::OnLoad() {
    settings::LocaliseCaptions(*this);
    EnableAndChoose(*this, m_selection);
    ui::Control& encoding = Get(QStringLiteral("cboEncoding"));
    encoding.list.Clear();
    encoding.list.Add(0, Text(9171));
    encoding.list.Add(1, Text(9172));
    encoding.listIndex = 0;
    m_cancel = true;
}

int FExportToCSV::Selection() const { return ChosenOption(*this); }

bool FExportToCSV::Utf8WithBom() const { return Find(QStringLiteral("cboEncoding"))->listIndex == 1; }

void FExportToCSV::OnEvent(ui::Control& control, ui::FormEvent event) { CancelOrOk(*this, control, event, m_cancel); }

FImportFromCSV::FImportFromCSV(CsvSelection selection, QString startFolder)
    : ui::Form(QStringLiteral("FImportFromCSV")), m_selection(selection), m_startFolder(std::move(startFolder)) {
    tag = QStringLiteral("C901");
    helpContextId = settings::help::kCsv;
    AddOptions(*this, 903, selection.view == CsvSelection::View::Group);
    Add(ui::ControlType::CheckBox, QStringLiteral("chkInsertNewItems")).tag = QStringLiteral("C907");
    Add(ui::ControlType::CheckBox, QStringLiteral("chkInsertAllItemsAsNew")).tag = QStringLiteral("C908");
    AddOkAndCancel();
}

void FImportFromCSV::OnLoad() {
    settings::LocaliseCaptions(*this);
    EnableAndChoose(*this, m_selection);
    EnableOptions();
    m_cancel = true;
}

void FImportFromCSV::OnActivate() {
    if (!m_file.isEmpty()) return;
    m_file = sys::SystemTools::Instance().FileDialog().Choose(kModeOpen, Text(901), m_startFolder,
                                                              QStringLiteral("csv-Files (*.csv)|*.csv"), 0, 0);
    if (m_file.isEmpty()) {
        m_cancel = true;
        Hide(false);
        return;
    }
    caption = Text(901) + QStringLiteral(":") + m_file;
}

void FImportFromCSV::EnableOptions() {
    const bool allNew = Get(QStringLiteral("chkInsertAllItemsAsNew")).IsChecked();
    const bool enabled[] = {m_selection.rowsSelected, m_selection.view != CsvSelection::View::Other, true};
    for (int i = 0; i < 3; ++i) Get(kOptions, i).enabled = enabled[i] && !allNew;
    Get(QStringLiteral("chkInsertNewItems")).enabled = !allNew;
}

int FImportFromCSV::Mode() const {
    if (Find(QStringLiteral("chkInsertAllItemsAsNew"))->IsChecked()) return 0;
    return ChosenOption(*this) + 1 + (Find(QStringLiteral("chkInsertNewItems"))->IsChecked() ? 4 : 0);
}

void FImportFromCSV::OnEvent(ui::Control& control, ui::FormEvent event) {
    if (CancelOrOk(*this, control, event, m_cancel)) return;
    if (control.Name() == QStringLiteral("chkInsertAllItemsAsNew")) EnableOptions();
}

}  // namespace ov::tools
