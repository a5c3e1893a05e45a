#include "settings/PropertyObject.h"

namespace ov::settings {

PropertyObject::~PropertyObject() = default;

PropertyObject* PropertyObject::Child(const QString&, const std::optional<QVariant>&) { return nullptr; }

bool PropertyObject::SetProperty(const QString&, const std::optional<QVariant>&, const InitValue&) { return false; }

std::optional<InitValue> PropertyObject::GetProperty(const QString&, const std::optional<QVariant>&) const {
    return std::nullopt;
}

}  // namespace ov::settings
