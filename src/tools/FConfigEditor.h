#pragma once

#include "platform/ui/Form.h"
#include "platform/ui/GridModel.h"

#include <QString>
#include <array>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::tools {

// Options: which columns of the four grids are shown and in which order,
// the grids' font, three general options and the alias function, filled
// from the live editor window and written back into it on OK.
class FConfigEditor : public ui::Form {
  public:
    explicit FConfigEditor(editor::frmtabgridOPC& window);
    bool Cancelled() const { return m_cancel; }

    // Reads the window into the dialog; throws on failure.
    void Fill();
    // Writes the dialog into the window, the settings and (alias function)
    // the database. False after a message when a duplicate item access
    // blocks switching the alias function off; then nothing was applied.
    // Database errors are thrown.
    bool WriteBack();
    // A failed write back the person already knows of: stopped with Cancel, or told why.
    bool FailureShown() const { return m_failureShown; }
    // Item names identify the items again: their unique index back, names = item accesses.
    bool SwitchAliasOff(db::Connection& connection);

    // One grid's page: its configurable columns shown (Chosen, in display
    // order) and hidden (Existing); each entry a column index of the grid.
    struct Page {
        const char* grid;         // "tdbI"
        const char* keyPrefix;    // "tdbI.splits(1).Columns("
        const char* ordersKey;    // "TDBIColOrders"
        const char* existing;     // list box names
        const char* chosen;
        const char* toolbar;
        std::vector<int> existingColumns;
        std::vector<int> chosenColumns;
    };
    const Page& PageOf(const QString& grid) const;

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;
    void OnKeyDown(int& keyCode, int shift) override;

  private:
    ui::GridModel& GridOf(const Page& page);
    void ShowPage(const Page& page);
    void MoveToChosen(Page& page);
    void MoveToExisting(Page& page);
    void Swap(Page& page, int direction);
    void AliasClicked();
    void ChooseFont();
    void ShowFont();
    int AccessColumn();

    editor::frmtabgridOPC& m_window;
    std::array<Page, 4> m_pages;
    ui::FontSettings m_font;
    bool m_cancel = true;
    bool m_failureShown = false;
};

// The font selection: name, size, bold, italic, underline, strike-through.
class FFontChoice : public ui::Form {
  public:
    explicit FFontChoice(const ui::FontSettings& font);
    bool Cancelled() const { return m_cancel; }
    ui::FontSettings Font() const;

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    ui::FontSettings m_font;
    bool m_cancel = true;
};

}  // namespace ov::tools
