#pragma once

// What the object tests on the demo project do over and over: play a
// dialog by its form name, type into several boxes, try names the dialog
// must refuse, press keys in a grid.

#include "host/NodeKey.h"
#include "model/DataConnection.h"
#include "platform/ui/Desktop.h"
#include "support/EditorTest.h"

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

namespace ov::test {

// A dialog script that types into the boxes one after the other and presses OK.
inline std::function<void(ui::Form&)> Typing(std::initializer_list<std::pair<const char*, QString>> boxes) {
    return [typed = std::vector<std::pair<const char*, QString>>(boxes)](ui::Form& f) {
        for (const auto& [box, text] : typed) f.UserSetText(QString::fromUtf8(box), text);
        f.PressDefault();
    };
}
inline bool Enabled(ui::Form& f, const char* control) { return f.Get(QString::fromUtf8(control)).enabled; }
// Types a value into a cell as a person does; false when the grid refused
// the value. A cell that takes no typing at all fails the test.
inline bool Edit(ui::GridModel& grid, int row, int column, const QVariant& value) {
    if (!grid.BeginEdit(row, column)) {
        ADD_FAILURE() << "cell " << row << "/" << column << " of " << grid.Name().toStdString() << " takes no typing";
        return false;
    }
    return grid.CommitEdit(value);
}

// Items of a device, each named as its item access; with a first ID they are
// numbered from it, with a group they join it.
inline void AddItems(db::Connection& c, int device, const QStringList& names, int firstId = 0, int group = 0) {
    for (const QString& name : names) {
        const QVariant id = firstId ? QVariant(firstId++) : QVariant();
        c.Execute(QStringLiteral("INSERT INTO TpdbItems (ID, DeviceID, Name, ItemAccess) VALUES (?, ?, ?, ?)"),
                  {id, device, name, name});
        if (group)
            c.Execute(QStringLiteral("INSERT INTO TpdbConnections (GroupID, ItemID) "
                                     "SELECT ?, ID FROM TpdbItems WHERE DeviceID = ? AND Name = ?"),
                      {group, device, name});
    }
}
// A list written as words: Words("a b c").
inline QStringList Words(const char* words) { return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts); }
// The first row whose cell in the column reads the text, -1 when none does.
inline int RowOf(ui::GridModel& grid, int column, const QString& text) {
    for (int row = 0; row < grid.RowCount(); ++row)
        if (grid.CellText(row, column) == text) return row;
    return -1;
}
// The texts a column offers in its list.
inline QStringList ListTexts(ui::GridModel& grid, int column) {
    QStringList texts;
    for (const auto& item : grid.Column(column).values.Items()) texts << item.text;
    return texts;
}

// The text of the last message shown, empty when there was none.
inline QString LastMessage() {
    const auto& shown = ui::DefaultMessageBoxes().Shown();
    return shown.empty() ? QString() : shown.back().text;
}

class ObjectTest : public EditorTest {
  protected:
    using Script = std::function<void(ui::Form&)>;

    // The script plays the person's part the next time the form is shown.
    static void OnForm(const char* form, Script script) {
        ui::DefaultFormRunner().Once(QString::fromUtf8(form), std::move(script));
    }
    static void Confirm(ui::Form& f) { f.PressDefault(); }
    static void Cancel(ui::Form& f) { f.PressCancel(); }
    static QString Box(ui::Form& f, const char* name, int index = -1) { return f.Get(QString::fromUtf8(name), index).text; }
    // Types into the boxes one after the other.
    static void Fill(ui::Form& f, std::initializer_list<std::pair<const char*, QString>> boxes) {
        for (const auto& [box, text] : boxes) f.UserSetText(QString::fromUtf8(box), text);
    }
    // Each text typed into the box is refused by OK: the dialog stays open.
    static void ExpectRefused(ui::Form& f, const char* box, std::initializer_list<QString> texts) {
        for (const QString& text : texts) {
            f.UserSetText(QString::fromUtf8(box), text);
            f.PressDefault();
            EXPECT_TRUE(f.IsShown()) << box << " = " << text.left(40).toStdString();
        }
    }
    // A key pressed in a grid; what is left of the key code, 0 when the grid took it.
    static int Press(ui::GridModel& grid, int code, int shift = 0) {
        grid.KeyDown(code, shift);
        return code;
    }
    // A menu tool with the availability computed for a node; it must be offered.
    void Tool(const QString& key, const char* tool, bool fromTree = false) {
        Window().ComputeAvailability(key, fromTree);
        ASSERT_TRUE(Window().IsToolEnabled(QString::fromUtf8(tool))) << tool;
        Window().ClickTool(QString::fromUtf8(tool));
    }
    // Clicks the node first, as a person choosing from the tree does.
    void OnNode(const QString& key, const char* tool, bool fromTree = false) {
        Click(key);
        Tool(key, tool, fromTree);
    }
    static int Beeps() { return ui::DefaultDesktop().Beeps(); }
    static QString LastMessage() { return test::LastMessage(); }
    void DontAskOnDelete() { Window().Settings().WriteAValueToCInits(QStringLiteral("RequestOnDelete"), false); }
    int IdOf(const char* table, const char* name) {
        return Query(QStringLiteral("SELECT ID FROM %1 WHERE Name = '%2'").arg(QString::fromUtf8(table), QString::fromUtf8(name))).toInt();
    }
    // The rows of each "table [WHERE condition]", to compare in one go.
    std::vector<int> Rows(std::initializer_list<const char*> tables) {
        std::vector<int> counts;
        for (const char* table : tables) counts.push_back(Count(QStringLiteral("SELECT Count(*) FROM %1").arg(QString::fromUtf8(table))));
        return counts;
    }
    // The fields of the first row as texts, to compare a record in one go.
    QStringList Record(const QString& sql) {
        auto c = project.Open();
        db::Recordset rs;
        rs.Open(sql, *c);
        QStringList fields;
        for (int i = 0; !rs.IsEOF() && i < rs.FieldCount(); ++i) fields << rs.Fields(i).Value().toString();
        return fields;
    }
    // The first field of every row, as texts, read through a connection of its own.
    QStringList Values(const QString& sql) {
        auto c = project.Open();
        db::Recordset rs;
        QStringList values;
        for (rs.Open(sql, *c); !rs.IsEOF(); rs.MoveNext()) values << rs.Fields(0).Value().toString();
        return values;
    }
};

// A dialog script that looks at the dialog and then cancels it.
inline std::function<void(ui::Form&)> Looking(std::function<void(ui::Form&)> look) {
    return [look = std::move(look)](ui::Form& f) {
        look(f);
        if (f.IsShown()) f.PressCancel();
    };
}
inline bool Checked(ui::Form& f, const char* control) { return f.Get(QString::fromUtf8(control)).IsChecked(); }
// Each box of the dialog shows its text.
inline void ExpectBoxes(ui::Form& f, std::initializer_list<std::pair<const char*, QString>> boxes) {
    for (const auto& [box, text] : boxes) EXPECT_EQ(f.Get(QString::fromUtf8(box)).text, text) << box;
}
// A key pressed in a dialog, in the control named or where the focus is.
inline void PressKey(ui::Form& f, int code, int shift = 0, const char* control = "") {
    f.UserKeyDown(code, shift, QString::fromUtf8(control));
}

}  // namespace ov::test
