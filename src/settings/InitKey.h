#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace ov::settings {

// One component of a settings key: a property name and the argument in
// parentheses, if any ("Columns(\"Name\")", "Splits(1)", "txtValue(2)").
struct InitKeyComponent {
    QString name;
    // A quoted argument as text without its quotes, a numeric one as a
    // number (int when whole), anything else as text.
    std::optional<QVariant> argument;
};

// The components of a dotted key such as tdbI.Splits(1).Columns("Comment").Width.
// A "." inside parentheses or double quotes belongs to its component, since
// column captions may hold dots. Components are trimmed; a key with an empty
// component gives an empty list.
QStringList SplitInitKey(const QString& key);

InitKeyComponent ParseInitKeyComponent(const QString& component);

}  // namespace ov::settings
