#include "components/ComponentBase.h"

namespace ov::components {

ComponentBase::ComponentBase(QStringList properties) : m_names(std::move(properties)) {}

QString ComponentBase::Known(const QString& name) const {
    // Members are called by name and, as late-bound calls are, without regard to letter case.
    for (const QString& known : m_names)
        if (known.compare(name, Qt::CaseInsensitive) == 0) return known;
    return QString();
}

bool ComponentBase::Invoke(const QString& member, const QVariantList& arguments, QVariant* result,
                           sys::CallError* error) {
    const QString property = Known(member);
    if (!property.isEmpty() && arguments.isEmpty()) {
        if (result) *result = m_values.value(property);
        return true;
    }
    return Method(member, arguments, result, error);
}

bool ComponentBase::SetProperty(const QString& name, const QVariant& value, sys::CallError* error) {
    const QString property = Known(name);
    if (property.isEmpty()) return NoSuchMember(name, error);
    m_values.insert(property, value);
    return true;
}

QVariant ComponentBase::Property(const QString& name) const { return m_values.value(Known(name)); }

void ComponentBase::SetValue(const QString& name, const QVariant& value) { m_values.insert(Known(name), value); }

}  // namespace ov::components
