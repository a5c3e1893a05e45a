#pragma once

#include "objects/ObjectDialog.h"

#include <functional>

namespace ov::editor {
class NameGroups;
}

namespace ov::objects {

// The structure dialog: name, members ordered by byte offset, comment. A new
// name must be free among the structures; OK moves it in the name group.
class FStructure : public ObjectDialog {
  public:
    explicit FStructure(editor::NameGroups& names);

  protected:
    bool Accept() override;

  private:
    editor::NameGroups& m_names;
};

// The member dialog: the standard page (name, order number, data type,
// field size, text, comment) and the extended page (limits, default value,
// unit classes). The name must be no number and free in its structure.
class FStructMember : public ObjectDialog {
  public:
    struct Checks {
        // True when another member of the structure has the name.
        std::function<bool(const QString& name)> nameTaken;
        // True when a member of this structure typed as that structure would
        // make the structure contain itself.
        std::function<bool(int structureId)> wouldContainItself;
    };
    explicit FStructMember(Checks checks);

    // The data type chosen, as the lists hold it (65536 + ID for a structure).
    int ChosenType() const;

  protected:
    bool Accept() override;
    void OnControlEvent(ui::Control& control, ui::FormEvent event) override;
    void OnActivate() override;

  private:
    bool TypeAllowed(const QVariant& type);

    Checks m_checks;
    QVariant m_acceptedType;  // the last type choice that was allowed
};

}  // namespace ov::objects
