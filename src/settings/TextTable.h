#pragma once

#include <QHash>
#include <QString>
#include <optional>

namespace ov::ui {
class Form;
}

namespace ov::settings {

// The editor's bilingual table of captions and messages, looked up by number
// in the user-interface language (German 1031 or English 1033). The language
// is chosen once per process; any other LCID means German.
class TextTable {
public:
    static constexpr int kGerman = 1031;
    static constexpr int kEnglish = 1033;

    // The process-wide table, filled with the built-in entries.
    static TextTable& Instance();

    void SetLanguage(int lcid);
    int Language() const { return m_offset == 0 ? kGerman : kEnglish; }
    int LanguageOffset() const { return m_offset; }

    // The text with this number, or "Resource <id> not found".
    QString Text(int id) const;
    bool Contains(int id) const;

    // Stores the texts of one entry: texts[i] under the key of id + i * 100000.
    void AddEntry(int id, std::initializer_list<QString> texts);

    // Caption localisation from a control's tag: each "C<number>" token
    // (either case) names the caption's text; other tokens are ignored.
    // Gives the caption, or nothing when the tag holds no caption token.
    std::optional<QString> CaptionFromTag(const QString& tag) const;

private:
    TextTable();
    static QString StoreKey(int key) { return QString::number(key) + u'R'; }

    QHash<QString, QString> m_store;
    int m_offset = 0;
};

// Numbers of the texts this editor added to the classic table.
inline constexpr int kTextUnexpectedError = 9001;
inline constexpr int kTextProjectNotRegistered = 9002;  // "<pn>": the project name
inline constexpr int kTextEditorNotLoaded = 9003;
inline constexpr int kTextReadOnlyNotice = 9004;  // "<r>": why, one of the four texts below
inline constexpr int kTextOpenedReadOnly = 9005;
inline constexpr int kTextReadOnlyFile = 9006;
inline constexpr int kTextReadOnlyFolder = 9007;
inline constexpr int kTextReadOnlyMedia = 9008;
inline constexpr int kTextOrderNumberNotANumber = 9150;
inline constexpr int kTextOrderNumberOutOfRange = 9151;
inline constexpr int kTextStructureCycle = 9152;      // "<s>": the structure chosen, "<o>": the owner
inline constexpr int kTextPasteSkippedCycle = 9153;   // "<n>": how many members were left out
inline constexpr int kTextNumberOutOfRange = 9154;    // "<v>": the text typed
inline constexpr int kTextDecimalsOutOfRange = 9155;  // "<max>": the most decimal places
inline constexpr int kTextNameTooLong = 9156;         // "<max>": the most characters
inline constexpr int kTextPhysicalMinimum = 9157;
inline constexpr int kTextPhysicalMaximum = 9158;
inline constexpr int kTextNetworkShare = 9290;        // "<fs>": the network file system's name

// Shorthand for TextTable::Instance().Text(id).
QString Text(int id);

// Gives every control of a dialog the caption its tag names ("C1502").
void LocaliseCaptions(ui::Form& form);

}  // namespace ov::settings
