#pragma once

#include "platform/ui/Form.h"

namespace ov::tools {

// What the item view offers the two dialogs.
struct CsvSelection {
    bool rowsSelected = false;
    enum class View { Other, Device, Group } view = View::Other;
};

// Export Items: which items (the selected rows, the device's or group's, or
// the project's) and in which encoding. Cancel is set until OK.
class FExportToCSV : public ui::Form {
  public:
    explicit FExportToCSV(CsvSelection selection);
    bool Cancelled() const { return m_cancel; }
    int Selection() const;          // 0, 1 or 2
    bool Utf8WithBom() const;

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    CsvSelection m_selection;
    bool m_cancel = true;
};

// Import Items: which items the file updates, and whether it inserts the
// lines that update nothing, or inserts every line. The caption names the
// file once it was chosen.
class FImportFromCSV : public ui::Form {
  public:
    // The file is chosen when the dialog opens, starting in the folder given.
    FImportFromCSV(CsvSelection selection, QString startFolder);
    bool Cancelled() const { return m_cancel; }
    const QString& File() const { return m_file; }
    // 0 every line new; 1, 2, 3 update the selection; 5, 6, 7 and insert the rest.
    int Mode() const;

  protected:
    void OnLoad() override;
    void OnActivate() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    void EnableOptions();

    CsvSelection m_selection;
    QString m_startFolder;
    QString m_file;
    bool m_cancel = true;
};

}  // namespace ov::tools
