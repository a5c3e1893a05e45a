// Settings pushed into the window's controls and read back from them by
// property paths such as tdbI.Splits(1).Columns("Comment").Width.

#include "settings/CInit.h"
#include "settings/DefaultInits.h"
#include "settings/PropertyObject.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using ov::settings::CInit;
using ov::settings::InitValue;
using ov::settings::PropertyObject;

namespace {

InitValue Str(const char* text) { return QString::fromUtf8(text); }
std::optional<InitValue> Value(const InitValue& value) { return value; }
const InitValue kUnset = Str("<unset>");

// A model object with the properties and children it was given, found
// without regard to letter case. An argument must arrive in the right kind:
// Splits(1) as a number, Columns("Comment") as text without quotes.
class FakeObject : public PropertyObject {
public:
    FakeObject& AddChild(const QString& name, const std::optional<QVariant>& argument = std::nullopt) {
        auto& child = m_children[Key(name, argument)];
        child = std::make_unique<FakeObject>();
        return *child;
    }
    void Set(const QString& name, const InitValue& value) { m_properties[Key(name, std::nullopt)] = value; }
    std::optional<InitValue> Get(const QString& name) const { return GetProperty(name, std::nullopt); }
    // Every property name the store tried to assign, known or not.
    const QStringList& Attempts() const { return m_attempts; }

    PropertyObject* Child(const QString& name, const std::optional<QVariant>& argument) override {
        const auto it = m_children.find(Key(name, argument));
        return it == m_children.end() ? nullptr : it->second.get();
    }
    bool SetProperty(const QString& name, const std::optional<QVariant>& argument, const InitValue& value) override {
        m_attempts.append(name);
        const auto it = m_properties.find(Key(name, argument));
        if (it == m_properties.end()) return false;
        it->second = value;
        return true;
    }
    std::optional<InitValue> GetProperty(const QString& name, const std::optional<QVariant>& argument) const override {
        const auto it = m_properties.find(Key(name, argument));
        if (it == m_properties.end()) return std::nullopt;
        return it->second;
    }

private:
    static QString Key(const QString& name, const std::optional<QVariant>& argument) {
        if (!argument) return name.toCaseFolded();
        const bool numeric = QList<int>{QMetaType::Int, QMetaType::Double, QMetaType::LongLong}.contains(argument->typeId());
        return name.toCaseFolded() + (numeric ? u'#' : u'$') + argument->toString();
    }

    std::map<QString, std::unique_ptr<FakeObject>> m_children;
    std::map<QString, InitValue> m_properties;
    QStringList m_attempts;
};

// The editor window as far as these tests need it: its own placement and
// font, the status bar, one text box of a control array, and an item grid
// with a few of its columns (most fields have no column here).
class CInitPropertyTest : public ::testing::Test {
protected:
    CInitPropertyTest() {
        for (const char* name : {"Width", "Height", "WindowState"}) m_window.Set(name, kUnset);
        m_windowFont = &AddFont(m_window);
        m_statusBar = &m_window.AddChild("sb");
        m_statusBar->Set("Visible", kUnset);
        m_textBox = &m_window.AddChild("txtValue", QVariant(2));
        m_textBox->Set("Text", kUnset);

        FakeObject& grid = m_window.AddChild("tdbI");
        m_gridFont = &AddFont(grid);
        m_nameColumn = &AddColumn(grid.AddChild("Splits", QVariant(0)), "Name");
        FakeObject& split = grid.AddChild("Splits", QVariant(1));
        m_comment = &AddColumn(split, "Comment");
        m_dotted = &AddColumn(split, "Max. Value");

        m_init.LoadDefaultInit(ov::settings::kEditorWindowInits.toString());
    }

    static FakeObject& AddFont(FakeObject& owner) {
        FakeObject& font = owner.AddChild("Font");
        for (const char* name : {"Name", "Size", "Underline", "Strikethrough", "Charset", "Italic", "Weight"})
            font.Set(name, kUnset);
        return font;
    }

    static FakeObject& AddColumn(FakeObject& split, const char* caption) {
        FakeObject& column = split.AddChild("Columns", QVariant(QString::fromUtf8(caption)));
        for (const char* name : {"Width", "AllowSizing", "Visible"}) column.Set(name, kUnset);
        return column;
    }

    // What the controls hold now, property by property.
    using Held = std::tuple<const FakeObject*, const char*, InitValue>;
    static void ExpectHeld(std::initializer_list<Held> expected) {
        int row = 0;
        for (const auto& [object, property, value] : expected) EXPECT_EQ(object->Get(property), Value(value)) << "row " << row++;
    }
    // What the store holds now, key by key.
    void ExpectStored(std::initializer_list<std::pair<const char*, InitValue>> expected) const {
        for (const auto& [key, value] : expected) EXPECT_EQ(m_init.ReadAValueFromCInits(key), Value(value)) << key;
    }

    CInit m_init;
    FakeObject m_window;
    FakeObject* m_windowFont = nullptr;
    FakeObject* m_statusBar = nullptr;
    FakeObject* m_textBox = nullptr;
    FakeObject* m_gridFont = nullptr;
    FakeObject* m_nameColumn = nullptr;
    FakeObject* m_comment = nullptr;
    FakeObject* m_dotted = nullptr;
};

TEST_F(CInitPropertyTest, AControlReceivesEverySettingBelowItsNameWithArgumentsAsTextOrNumber) {
    m_init.WriteAValueToCInits("tdbI.Splits(1).Columns(\"Comment\").Width", 4321.0);
    m_init.WriteAValueToCInits("tdbI.Splits(1).Columns(\"Max. Value\").Width", 1234.0);
    // A quoted "1" is a text: no split of that name, so this never reaches the column.
    m_init.WriteAValueToCInits("tdbI.Splits(\"1\").Columns(\"Comment\").Width", 99.0);
    m_init.SetInitToControl("TDBI", m_window);
    ExpectHeld({{m_comment, "Width", 4321.0}, {m_dotted, "Width", 1234.0}, {m_comment, "Visible", true},
                {m_comment, "AllowSizing", true}, {m_nameColumn, "Width", 2500.0}, {m_gridFont, "Name", Str("Arial")},
                {m_gridFont, "Size", 8.25}, {m_gridFont, "Italic", false},
                // Other objects keep what they had.
                {&m_window, "Width", kUnset}, {m_windowFont, "Size", kUnset}, {m_statusBar, "Visible", kUnset}});

    m_init.WriteAValueToCInits("txtValue(2).Text", Str("abc"));
    m_init.SetInitToControl("txtValue(2)", m_window);
    EXPECT_EQ(m_textBox->Get("Text"), Value(Str("abc")));
}

TEST_F(CInitPropertyTest, PathsNamingNoPropertyAreSkipped) {
    m_init.WriteAValueToCInits("tdbI.NoSuchObject.Width", 1.0);
    m_init.WriteAValueToCInits("tdbI.Splits(7).Columns(\"Comment\").Width", 2.0);
    m_init.WriteAValueToCInits("tdbI.NoSuchProperty", 3.0);
    m_init.WriteAValueToCInits("cmdMissing.Caption", Str("x"));
    m_init.WriteAValueToCInits("tdbI.Splits(1).Columns(\"Comment\").Visible", false);
    m_init.SetInitToMotherObject(m_window);
    // The status bar comes after the refused paths of the grid: nothing stopped.
    ExpectHeld({{m_comment, "Width", 3000.0}, {m_comment, "Visible", false}, {m_statusBar, "Visible", true}});
}

TEST_F(CInitPropertyTest, TheMotherObjectGetsEveryBranchButNoTopLevelSetting) {
    m_init.WriteAValueToCInits("txtValue(2).Text", Str("abc"));
    m_init.SetInitToMotherObject(m_window);
    ExpectHeld({{&m_window, "Width", 6000.0}, {&m_window, "WindowState", 2.0}, {m_windowFont, "Size", 8.25},
                {m_statusBar, "Visible", true}, {m_gridFont, "Weight", 400.0}, {m_textBox, "Text", Str("abc")}});
    for (const char* key : {"SaveOnExit", "RequestOnDelete", "LoadOnForeGround", "TDBIColOrders"})
        EXPECT_FALSE(m_window.Attempts().contains(QString::fromUtf8(key))) << key;
}

TEST_F(CInitPropertyTest, ControlsAreReadBackIntoTheStore) {
    m_init.SetInitToControl("tdbI", m_window);
    m_comment->Set("Width", 5555.0);
    m_comment->Set("Visible", false);
    m_gridFont->Set("Name", Str("Courier New"));
    m_window.Set("Width", 9999.0);

    m_init.GetInitFromControl("tdbi", m_window);
    // A column the grid does not have keeps its setting, and only the named control is read.
    ExpectStored({{"tdbI.Splits(1).Columns(\"Comment\").Width", 5555.0}, {"tdbI.Splits(1).Columns(\"Comment\").Visible", false},
                  {"tdbI.Font.Name", Str("Courier New")}, {"tdbI.Splits(1).Columns(\"ID\").Width", 800.0}, {"Me.Width", 6000.0}});
    m_init.GetInitFromControl("Me", m_window);
    ExpectStored({{"Me.Width", 9999.0}, {"Me.Height", Str("<unset>")}});
}

}  // namespace
