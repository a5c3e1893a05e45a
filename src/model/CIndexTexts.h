#pragma once

#include "platform/db/Recordset.h"

#include <QString>
#include <QVariant>

namespace ov::model {

class DataConnection;

// The one access path to the language-dependent texts of items and structure
// members. An item or member keeps only a TextID; the texts live in the
// shared table TidxTexts, one column "L" + LCID per project language, under
// the items group of TidxGroups.
//
// The three tables are opened as recordsets of this object's own on the data
// connection's connection, not as the connection's named recordsets: the
// grids re-open those with their own SQL, and a recordset opened that way
// cannot seek.
//
// Text IDs come straight from the item tables, so they may be Null, "", 0 or
// a number. Database failures are thrown as db::DbError; a change that fails
// is cancelled first, so no recordset stays half-edited.
class CIndexTexts {
public:
    CIndexTexts();
    ~CIndexTexts();
    CIndexTexts(const CIndexTexts&) = delete;
    CIndexTexts& operator=(const CIndexTexts&) = delete;

    // Finds or adds the items group, decides whether texts are enabled and
    // opens TidxTexts, TpdbDevices and TpdbStructDefs directly with index "ID".
    void Init(DataConnection& data);
    // Closes the recordsets and lets go of the data connection.
    void Terminate();

    // False for projects without TextID in TpdbItems or TpdbStructMembers,
    // and before Init: texts then read as "" and are never written.
    bool TextsEnabled() const { return m_enabled; }
    int ItemsGroupId() const { return m_itemsGroupId; }

    // The text in one language; "" when there is none, also when the record
    // was deleted or the project has no column for that language.
    QString GetItemText(const QVariant& textId, int lcid);

    // Sets the text of one item in one language and gives the TextID the
    // caller stores, 0 meaning no text. key is the tree key of the owner: a
    // structure ("OPCS...") for members, else a device. A language without a
    // column changes nothing and gives textId back unchanged.
    int ChangeItemText(const QString& key, const QString& itemName, const QVariant& textId, const QString& text,
                       int lcid);
    // A new record with every language of the text of textId, named for the
    // copy; 0 when there is nothing to copy.
    int CopyItemText(const QString& key, const QVariant& textId, const QString& newItemName);
    // Names the text record after the item's new name.
    void RenameText(const QString& key, const QVariant& textId, const QString& newItemName);
    void DeleteItemText(const QVariant& textId);

    // Another editor changed texts: drop the open TidxTexts recordset, with
    // any unsaved change; the next access opens it again.
    void CloseIdxSystemRecordset();

    // The TidxTexts table, opened when closed; the project languages look up
    // their text columns in it. Throws db::DbError before Init.
    db::Recordset& TextsRecordset();

private:
    void OpenTexts();
    // Positions the texts recordset on the record of textId.
    bool SeekText(const QVariant& textId);
    QString OwnerName(const QString& key);
    QString RecordName(const QString& key, const QString& itemName);
    void SetName(const QString& name);
    // Runs a change on the texts recordset, cancelling it when saving fails.
    template <typename Change>
    void Edit(Change&& change);

    DataConnection* m_data = nullptr;
    bool m_enabled = false;
    int m_itemsGroupId = 0;
    db::Recordset m_texts;
    db::Recordset m_devices;
    db::Recordset m_structures;
};

}  // namespace ov::model
