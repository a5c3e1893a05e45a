#include "model/CIndexTexts.h"

#include "model/DataConnection.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "settings/TextTable.h"

#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace ov::model {

namespace {

constexpr int kItemsGroupText = 2800;
constexpr int kItemsGroupType = -3;
const QChar kKeySeparator = QChar(0xFF);

// A text ID as the item tables hold it: nothing for Null, "" and anything
// that is no positive number, since no record can have such an ID.
std::optional<int> TextKey(const QVariant& textId) {
    if (!textId.isValid() || textId.isNull()) return std::nullopt;
    bool ok = false;
    const qlonglong value = textId.toLongLong(&ok);
    if (!ok || value <= 0 || value > std::numeric_limits<int>::max()) return std::nullopt;
    return static_cast<int>(value);
}

QString LanguageColumn(int lcid) { return QStringLiteral("L") + QString::number(lcid); }

// Only "L" + LCID columns are texts; other editors may keep more columns in
// this shared table, and those must neither be copied nor keep a record alive.
bool IsLanguageColumn(const QString& name) {
    if (name.size() < 2 || name[0] != u'L') return false;
    for (qsizetype i = 1; i < name.size(); ++i)
        if (name[i] < u'0' || name[i] > u'9') return false;
    return true;
}

// The number after the four-letter kind of a tree key, before the first
// separator; -1 when there is none.
int NodeIdOf(const QString& key) {
    const qsizetype separator = key.indexOf(kKeySeparator);
    const QString head = separator < 0 ? key : key.left(separator);
    qsizetype end = 4;
    while (end < head.size() && head[end] >= u'0' && head[end] <= u'9') ++end;
    bool ok = false;
    const int id = head.mid(4, end - 4).toInt(&ok);
    return ok ? id : -1;
}

bool IsStructureKey(const QString& key) { return key.left(4) == QStringLiteral("OPCS"); }

void OpenById(db::Recordset& rs, const QString& table, db::Connection& connection) {
    if (rs.State() == db::ObjectState::Open) return;
    rs.Open(table, connection, db::CommandType::TableDirect);
    rs.SetIndex(QStringLiteral("ID"));
}

// Seeks a record by ID. The set of rows of a recordset is fixed when it is
// opened, so a device or text added since through another recordset of the
// connection is not in it yet: when the record exists, read the rows again.
bool SeekId(db::Recordset& rs, int id, db::Connection& connection) {
    if (rs.Seek({id})) return true;
    db::Recordset probe;
    probe.Open(QStringLiteral("SELECT ID FROM ") + rs.Source() + QStringLiteral(" WHERE ID =") + QString::number(id),
               connection);
    if (probe.IsEOF()) return false;
    probe.Close();
    rs.Requery();
    return rs.Seek({id});
}

}  // namespace

CIndexTexts::CIndexTexts() = default;

CIndexTexts::~CIndexTexts() {
    try {
        Terminate();
    } catch (...) {
        // Closing only fails with the connection gone; nothing is left to save then.
    }
}

void CIndexTexts::Init(DataConnection& data) {
    Terminate();
    db::Connection& connection = data.Connection();
    try {
        db::Recordset groups;
        groups.Open(QStringLiteral("SELECT * FROM TidxGroups"), connection);
        groups.SetFilter(QStringLiteral("ParentID = 0 AND Type = ") + QString::number(kItemsGroupType));
        if (groups.IsEOF() && !connection.IsReadOnly()) {
            // Other editors file their texts under the same group; a project
            // made without it gets it named in the language of this session
            // (one opened for reading only does without: its texts are only read).
            try {
                groups.AddNew();
                groups.SetValue(QStringLiteral("Name"), settings::Text(kItemsGroupText));
                groups.SetValue(QStringLiteral("ParentID"), 0);
                groups.SetValue(QStringLiteral("Type"), kItemsGroupType);
                groups.SetValue(QStringLiteral("Delete"), false);
                groups.SetValue(QStringLiteral("Rename"), false);
                groups.Update();
            } catch (const db::DbError&) {
                groups.CancelUpdate();
                throw;
            }
        }
        m_itemsGroupId = groups.IsEOF() ? 0 : groups.Value(QStringLiteral("ID")).toInt();
        groups.Close();

        // Older projects have no TextID: their texts stay empty.
        m_enabled = connection.HasColumn(QStringLiteral("TpdbItems"), QStringLiteral("TextID")) &&
                    connection.HasColumn(QStringLiteral("TpdbStructMembers"), QStringLiteral("TextID"));
        m_data = &data;
        // The texts themselves are opened when first needed: a project of a
        // million items has as many texts, and opening them costs.
        OpenById(m_devices, QStringLiteral("TpdbDevices"), connection);
        OpenById(m_structures, QStringLiteral("TpdbStructDefs"), connection);
    } catch (...) {
        Terminate();
        throw;
    }
}

void CIndexTexts::Terminate() {
    m_texts.Close();
    m_devices.Close();
    m_structures.Close();
    m_data = nullptr;
    m_enabled = false;
    m_itemsGroupId = 0;
}

void CIndexTexts::OpenTexts() {
    if (!m_data)
        throw db::DbError(db::err::ObjectClosed, QStringLiteral("The index texts are not initialised for a project."));
    OpenById(m_texts, QStringLiteral("TidxTexts"), m_data->Connection());
}

db::Recordset& CIndexTexts::TextsRecordset() {
    OpenTexts();
    return m_texts;
}

bool CIndexTexts::SeekText(const QVariant& textId) {
    const auto id = TextKey(textId);
    if (!id) return false;
    OpenTexts();
    return SeekId(m_texts, *id, m_data->Connection());
}

QString CIndexTexts::OwnerName(const QString& key) {
    db::Recordset& owners = IsStructureKey(key) ? m_structures : m_devices;
    const int id = NodeIdOf(key);
    if (id < 0 || !SeekId(owners, id, m_data->Connection())) return QString();
    return owners.Value(QStringLiteral("Name")).toString();
}

QString CIndexTexts::RecordName(const QString& key, const QString& itemName) {
    const QString owner = OwnerName(key);
    return owner.isEmpty() ? itemName : owner + u'.' + itemName;
}

void CIndexTexts::SetName(const QString& name) {
    // The name only tells people which item a text belongs to; a long device
    // and item name must not cost the text itself.
    db::Field field = m_texts.Fields(QStringLiteral("Name"));
    const int size = field.DefinedSize();
    field.SetValue(field.Type() == db::DataType::VarWChar && size > 0 ? name.left(size) : name);
}

template <typename Change>
void CIndexTexts::Edit(Change&& change) {
    try {
        change();
        m_texts.Update();
    } catch (const db::DbError&) {
        m_texts.CancelUpdate();
        throw;
    }
}

QString CIndexTexts::GetItemText(const QVariant& textId, int lcid) {
    if (!m_enabled || !TextKey(textId)) return QString();
    OpenTexts();
    const int column = m_texts.FieldIndex(LanguageColumn(lcid));
    if (column < 0 || !SeekText(textId)) return QString();
    return m_texts.Fields(column).Value().toString();
}

int CIndexTexts::ChangeItemText(const QString& key, const QString& itemName, const QVariant& textId,
                                const QString& text, int lcid) {
    if (!m_enabled) return 0;
    OpenTexts();
    const QString column = LanguageColumn(lcid);
    // A language the project keeps no column for has no text to change;
    // the item keeps what it has.
    if (m_texts.FieldIndex(column) < 0) return TextKey(textId).value_or(0);

    const bool blank = text.trimmed().isEmpty();
    if (!SeekText(textId)) {
        if (blank) return 0;
        const QString name = RecordName(key, itemName);
        Edit([&] {
            m_texts.AddNew();
            SetName(name);
            m_texts.SetValue(QStringLiteral("ParentID"), m_itemsGroupId);
            m_texts.SetValue(column, text);
        });
        return m_texts.Value(QStringLiteral("ID")).toInt();
    }

    const int id = m_texts.Value(QStringLiteral("ID")).toInt();
    Edit([&] { m_texts.SetValue(column, blank ? QStringLiteral("") : text); });
    // A record without text in any language is not kept.
    for (int i = 0; i < m_texts.FieldCount(); ++i) {
        if (!IsLanguageColumn(m_texts.FieldName(i))) continue;
        const QVariant value = m_texts.Fields(i).Value();
        if (!value.isNull() && !value.toString().trimmed().isEmpty()) return id;
    }
    m_texts.Delete();
    return 0;
}

int CIndexTexts::CopyItemText(const QString& key, const QVariant& textId, const QString& newItemName) {
    if (!m_data || !SeekText(textId)) return 0;
    std::vector<std::pair<int, QVariant>> languages;
    for (int i = 0; i < m_texts.FieldCount(); ++i)
        if (IsLanguageColumn(m_texts.FieldName(i))) languages.emplace_back(i, m_texts.Fields(i).Value());
    const QString name = RecordName(key, newItemName);
    Edit([&] {
        m_texts.AddNew();
        SetName(name);
        m_texts.SetValue(QStringLiteral("ParentID"), m_itemsGroupId);
        for (const auto& [column, value] : languages) m_texts.Fields(column).SetValue(value);
    });
    return m_texts.Value(QStringLiteral("ID")).toInt();
}

void CIndexTexts::RenameText(const QString& key, const QVariant& textId, const QString& newItemName) {
    if (!m_data || !TextKey(textId)) return;
    const QString name = RecordName(key, newItemName);
    if (!SeekText(textId)) return;
    Edit([&] { SetName(name); });
}

void CIndexTexts::DeleteItemText(const QVariant& textId) {
    if (!m_data || !SeekText(textId)) return;
    m_texts.Delete();
}

void CIndexTexts::CloseIdxSystemRecordset() {
    m_texts.CancelUpdate();
    m_texts.Close();
}

}  // namespace ov::model
