#pragma once

#include "settings/CInitItems.h"
#include "settings/InitValue.h"

#include <QLocale>
#include <QString>
#include <optional>

namespace ov::settings {

class PropertyObject;

// The editor window's persistent settings: window placement and font, the
// fonts and columns of the grids, the status bar and a few switches. Each
// setting is addressed by a dotted key that is also the property path of the
// object it configures (tdbI.Splits(1).Columns("Comment").Width), kept as a
// tree, seeded from the built-in defaults, overlaid from the settings file
// and written back to it. Key components compare without regard to letter case.
class CInit {
public:
    CInit() = default;

    // Numbers go to the file in this locale's format; the system's unless set.
    void SetLocale(const QLocale& locale) { m_locale = locale; }
    const QLocale& Locale() const { return m_locale; }
    QString FormatValue(const InitValue& value) const { return FormatInitValue(value, m_locale); }

    const QString& SectionName() const { return m_sectionName; }
    const QString& FilePath() const { return m_filePath; }
    CInitItems& Items() { return m_items; }
    const CInitItems& Items() const { return m_items; }

    // Takes the name as the file section and adds the built-in defaults of
    // that name. False when the program has none; the section is set anyway.
    bool LoadDefaultInit(const QString& name);
    // One line of key "=" value. Lines without exactly one "=" or without a
    // key are ignored (false).
    bool AddLine(const QString& line);

    // Takes the path and replaces each setting the file has in this store's
    // section by the file's value. Entries for keys the store does not have
    // are not read; a missing or unreadable file leaves every value as it is.
    void LoadInits(const QString& filePath);
    // Writes every setting; with a path, takes it first. False when there is
    // no path or section, or when an entry could not be written (the others
    // are written all the same).
    bool SaveInits(const QString& filePath = QString());
    // One entry in the section of the settings file.
    bool WriteToIni(const QString& key, const InitValue& value);

    // Sets a value, creating the branches on the way; false for a key with
    // an empty component.
    bool WriteAValueToCInits(const QString& key, const InitValue& value);
    std::optional<InitValue> ReadAValueFromCInits(const QString& key) const;
    // Removes the item and every branch left empty above it, so nothing
    // without a value is written later. False when there is no such item.
    bool DeleteAValueInCInits(const QString& key);
    bool ParamExist(const QString& key) const;

    // Assigns every setting below the top-level component to the object it
    // names: "Me" is the window itself, any other name is looked up with the
    // window's Child (with its index for an element of a control array).
    // The rest of the key is followed with Child for each component and
    // SetProperty for the last. What the objects refuse is skipped.
    void SetInitToControl(const QString& topLevelName, PropertyObject& window) const;
    // The reverse: reads those properties back into the store, as the objects
    // give them; a setting whose property cannot be read keeps its value.
    void GetInitFromControl(const QString& topLevelName, PropertyObject& window);
    // SetInitToControl for every top-level branch. Top-level settings
    // (SaveOnExit and the like) belong to the store, not to the window.
    void SetInitToMotherObject(PropertyObject& window) const;

private:
    const CInitItem* Find(const QString& key) const;

    QString m_sectionName;
    QString m_filePath;
    QLocale m_locale;
    CInitItems m_items;
};

}  // namespace ov::settings
