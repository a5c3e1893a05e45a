#include "model/CVT_Types.h"

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/ui/ValueList.h"

#include <array>

namespace ov::model {

namespace {

// The texts are fixed and the same in both user-interface languages.
constexpr std::array<CVT_Types::TypeRow, 20> kTypes{{
    {0, "NOT DEFINED", true, true},
    {2, "VT_I2", true, true},
    {3, "VT_I4", true, true},
    {4, "VT_R4", true, true},
    {5, "VT_R8", true, true},
    {6, "VT_CY", false, false},
    {7, "VT_DATE", true, true},
    {8, "VT_BSTR", true, true},
    {11, "VT_BOOL", true, true},
    {12, "VT_VARIANT", false, false},
    {14, "VT_DEZIMAL", false, false},
    {16, "VT_I1", true, true},
    {17, "VT_UI1", true, true},
    {18, "VT_UI2", true, true},
    {19, "VT_UI4", true, true},
    {20, "VT_I8", true, true},
    {21, "VT_UI8", true, true},
    {22, "VT_INT", false, false},
    {23, "VT_UINT", false, false},
    {256, "VT_BIT", false, true},
}};

QString CodeKey(const QString& formatted) { return (QStringLiteral("C") + formatted).toCaseFolded(); }

}  // namespace

CVT_Types::CVT_Types() {
    for (const TypeRow& row : kTypes) {
        const QString text = QString::fromUtf8(row.text);
        m_textByCode.insert(CodeKey(QString::number(row.code)), text);
        m_codeByText.insert(text.toCaseFolded(), row.code);
        if (row.forItems) m_itemTypes.push_back(row.code);
        if (row.forMembers) m_memberTypes.push_back(row.code);
    }
}

std::span<const CVT_Types::TypeRow> CVT_Types::Table() { return kTypes; }

QString CVT_Types::GetTextFromID(const QVariant& id) const {
    // The code is looked up by its text form, so 12, 12.0 and "12" are one
    // code, while 12.5, "012" or Null find nothing.
    const auto it = m_textByCode.constFind(CodeKey(id.toString()));
    if (it != m_textByCode.constEnd()) return *it;
    return QString::fromUtf8(kTypes[0].text);
}

int CVT_Types::GetIDFromText(const QString& text) const { return m_codeByText.value(text.toCaseFolded(), 0); }

int CVT_Types::CombinedCode(int dataType, int structId) {
    return structId != 0 ? kStructBase + structId : dataType;
}

std::pair<int, int> CVT_Types::DecodeCombined(int code) {
    if (code > kStructBase) return {kStructure, code % kStructBase};
    return {code, 0};
}

void CVT_Types::FillDataTypeList(ui::ValueList& list, bool forMembers, db::Connection& connection) const {
    std::vector<std::pair<int, QString>> structures;
    db::Recordset rs;
    rs.Open(QStringLiteral("SELECT ID, Name FROM TpdbStructDefs"), connection);
    for (; !rs.IsEOF(); rs.MoveNext())
        structures.emplace_back(rs.Fields(0).Value().toInt(), rs.Fields(1).Value().toString());
    rs.Close();

    list.Clear();
    list.SetStyle(ui::ValueList::Style::DropDownList);
    list.SetTranslate(true);
    list.SetValidate(true);
    list.SetSorted(false);  // the table order is the order users know
    for (const int code : forMembers ? m_memberTypes : m_itemTypes) list.Add(code, GetTextFromID(code));
    // A structure is offered to items and members alike.
    for (const auto& [id, name] : structures) list.Add(CombinedCode(kStructure, id), name);
}

}  // namespace ov::model
