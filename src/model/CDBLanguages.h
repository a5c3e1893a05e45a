#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ov::db {
class Recordset;
}
namespace ov::sys {
class Registry;
}
namespace ov::ui {
class Control;
}

namespace ov::model {

// A font as the project languages describe it.
struct FontSpec {
    QString name;
    double size = 0;
    bool bold = false;
    int charset = 0;
    bool italic = false;
    bool strikethrough = false;
    bool underline = false;
    int weight = 0;
};

// Parses a fixed-column font description: the name in columns 1 to 32
// (trailing blanks removed), then numbers of four columns each: size (from
// column 32), bold, character set, italic, strikethrough, underline, weight.
// A description that is too short gives what it holds and zeros for the rest.
FontSpec StringToFont(const QString& description);

// One language of the project.
struct CDBLanguage {
    int lcid = 0;
    QString name;            // the language's display name
    QString keyboardLayout;  // as stored
    FontSpec font;
    int textColumn = -1;     // position of "L<lcid>" among the index-text fields, -1 when missing

    QString Key() const { return QStringLiteral("L%1").arg(lcid); }
};

// The project's languages for item texts (TcfgLanguages), the current one,
// and the language selector of the editor window.
class CDBLanguages {
public:
    // textFields: the columns of the index texts (TidxTexts) in table order;
    // languages: the TcfgLanguages recordset, opened by the caller and closed here.
    void Init(const QStringList& textFields, db::Recordset& languages, const sys::Registry& registry);

    int Count() const { return static_cast<int>(m_languages.size()); }
    const std::vector<CDBLanguage>& Items() const { return m_languages; }
    const CDBLanguage* Item(const QString& key) const;
    const CDBLanguage* ItemByLcid(int lcid) const;

    int CurrentLCID() const { return m_current; }

    // Fills the selector with one entry per language (name, LCID as data) and
    // selects the current one, or the first when the current one is missing.
    // An lcid other than -1 becomes the current one first.
    void InitLanguageComboBox(ui::Control& selector, int lcid);
    // The person picked an entry of the selector: the current language
    // changes and LanguageChanged is raised with the old and the new one.
    void SelectorChanged(const ui::Control& selector);
    std::function<void(const CDBLanguage& oldLanguage, const CDBLanguage& newLanguage)> LanguageChanged;

    // The display name of a language by LCID or by text column ("L1033").
    static QString LanguageName(int lcid);
    static QString GetNameFromLLCID(const QString& column);

private:
    std::vector<CDBLanguage> m_languages;
    int m_current = 1031;
};

}  // namespace ov::model
