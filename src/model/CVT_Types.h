#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <span>
#include <utility>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::ui {
class ValueList;
}

namespace ov::model {

// The catalogue of the simple data types of items and structure members:
// OLE variant type codes plus 256 for a single bit. Every grid, dialog and
// import that shows or accepts a data type goes through it. It holds no
// database state; each user makes its own instance.
class CVT_Types {
public:
    struct TypeRow {
        int code;
        const char* text;
        bool forItems;
        bool forMembers;
    };

    static constexpr int kNotDefined = 0;
    // The stored DataType of an item or member whose type is a structure.
    static constexpr int kStructure = 12;
    static constexpr int kBit = 256;
    // Combined codes above this stand for the structure with ID code - kStructBase.
    static constexpr int kStructBase = 65536;

    CVT_Types();

    // The fixed table in its order, which is the order of every type list.
    static std::span<const TypeRow> Table();

    // The text of a code given as any value that formats as a decimal
    // integer (12, 12.0, "12"); "NOT DEFINED" for anything not in the table.
    QString GetTextFromID(const QVariant& id) const;
    // The code whose text equals text without regard to case, 0 when none.
    int GetIDFromText(const QString& text) const;

    // The codes an item, or a structure member, may have, in table order.
    const std::vector<int>& ItemTypes() const { return m_itemTypes; }
    const std::vector<int>& MemberTypes() const { return m_memberTypes; }

    // The one value standing for a type in grids and drop-downs: the simple
    // code, or kStructBase + structId for a structure.
    static int CombinedCode(int dataType, int structId);
    // Back to {DataType, StructID} as stored.
    static std::pair<int, int> DecodeCombined(int code);

    // Fills a grid column's value list or a combo box with the data types
    // offered for items (or members), then every structure definition in its
    // stored order. The structures are read before the list is touched, so a
    // database error (thrown as db::DbError) leaves the list as it was.
    void FillDataTypeList(ui::ValueList& list, bool forMembers, db::Connection& connection) const;

private:
    QHash<QString, QString> m_textByCode;  // "C" + code, case-folded
    QHash<QString, int> m_codeByText;      // case-folded text
    std::vector<int> m_itemTypes;
    std::vector<int> m_memberTypes;
};

}  // namespace ov::model
