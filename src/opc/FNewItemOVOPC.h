#pragma once

#include "model/CVT_Types.h"
#include "platform/ui/Form.h"

#include <QSet>

namespace ov::sys {
class Component;
}

namespace ov::opc {

// Items entered by address for the system's own OPC server: a grid "tdb"
// of item ID, data type text, access rights, field size and the hidden row
// state (0 valid; 1 a type that is unknown or not one the address allows,
// still inserted; 2 ID in use or repeated, not inserted), its reason the
// row's tooltip. The server's configuration tool says which types and array
// sizes an address allows; a new address brings the row's type and field
// size in line. An address the tool does not know and a field size that is
// no whole number of 0 or more are refused as typed. A blank row at the end
// takes the next item.
class FNewItemOVOPC : public ui::Form {
  public:
    enum State { kValid = 0, kUnknownType = 1, kUsedId = 2 };
    enum Column { kItemId = 0, kDataType = 1, kAccess = 2, kFieldSize = 3, kState = 4 };

    // The tool stays owned by the caller; usedIds are compared without regard to case.
    FNewItemOVOPC(sys::Component& tool, QSet<QString> usedIds);

    bool Cancelled() const { return m_cancel; }

    struct NewItem {
        QString itemId;
        int dataType = 0;
        int accessRights = 3;
        int fieldSize = 0;
    };
    // The rows to insert: every row with an item ID whose state is not 2.
    std::vector<NewItem> Accepted() const;
    int StateOf(int row) const;

  protected:
    void OnLoad() override;
    void OnEvent(ui::Control& control, ui::FormEvent event) override;

  private:
    QVariant Call(const QString& member, const QVariantList& arguments);
    // Why the value just typed into a cell cannot stay there; empty when it can.
    QString Refusal(int row, int column);
    void CellEdited(int row, int column);
    void AskTool(int row, bool newAddress);
    void RecomputeStates();
    void KeepBlankRow();
    QString Cell(int row, int column) const;

    sys::Component& m_tool;
    QSet<QString> m_used;
    model::CVT_Types m_types;
    std::vector<std::vector<QVariant>> m_kept;  // the cells as last accepted
    bool m_cancel = true;
};

}  // namespace ov::opc
