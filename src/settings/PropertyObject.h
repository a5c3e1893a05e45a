#pragma once

#include "settings/InitValue.h"

#include <QString>
#include <QVariant>
#include <optional>

namespace ov::settings {

// An object whose properties the settings store can reach by key, the way the
// settings name them: the window ("Me"), its controls, and what hangs below
// them (a grid's Font, Splits(1), Columns("Comment")). Names compare without
// regard to letter case. An argument is the text in parentheses of a key
// component: a quoted one arrives as text without its quotes, a numeric one
// as a number. Whatever an object does not know it refuses, and the store
// then skips that setting, so objects implement only what they have.
class PropertyObject {
public:
    virtual ~PropertyObject();

    // The object held by a property, owned by this object and valid while it
    // lives; null when there is none. The window gives its controls here: a
    // control by its name, an element of a control array by name and index.
    virtual PropertyObject* Child(const QString& name, const std::optional<QVariant>& argument);
    // False when there is no such property or it does not take the value.
    virtual bool SetProperty(const QString& name, const std::optional<QVariant>& argument, const InitValue& value);
    virtual std::optional<InitValue> GetProperty(const QString& name, const std::optional<QVariant>& argument) const;

protected:
    PropertyObject() = default;
    PropertyObject(const PropertyObject&) = default;
    PropertyObject& operator=(const PropertyObject&) = default;
    PropertyObject(PropertyObject&&) = default;
    PropertyObject& operator=(PropertyObject&&) = default;
};

}  // namespace ov::settings
