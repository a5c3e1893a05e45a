#pragma once

#include "settings/CInitItems.h"
#include "settings/InitValue.h"

#include <QString>

namespace ov::settings {

// One node of the settings tree: a key component with its argument, such as
// "Me", "Font" or Columns("Comment"). An item with children is a branch; one
// without is a setting, and only settings are read from and written to the file.
class CInitItem {
public:
    explicit CInitItem(const QString& name) : m_name(name) {}

    const QString& Name() const { return m_name; }
    const InitValue& Value() const { return m_value; }
    void SetValue(const InitValue& value) { m_value = value; }

    CInitItems& Children() { return m_children; }
    const CInitItems& Children() const { return m_children; }
    bool IsLeaf() const { return m_children.IsEmpty(); }

private:
    QString m_name;
    InitValue m_value = QString();
    CInitItems m_children;
};

}  // namespace ov::settings
