#include "platform/system/Components.h"

namespace ov::sys {

namespace {
// The number a late-bound call gives for a member the object does not have.
constexpr qint32 kUnknownMember = 438;
}  // namespace

bool Component::SetProperty(const QString& name, const QVariant&, CallError* error) {
    return NoSuchMember(name, error);
}

QVariant Component::Call(const QString& member, const QVariantList& arguments) {
    QVariant result;
    CallError error;
    return Invoke(member, arguments, &result, &error) ? result : QVariant();
}

bool Component::NoSuchMember(const QString& member, CallError* error) {
    if (error) *error = {QStringLiteral("Object doesn't support this property or method: %1").arg(member), kUnknownMember};
    return false;
}

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry registry;
    return registry;
}

void ComponentRegistry::Register(const QString& progId, Factory factory) { m_factories[progId.toLower()] = std::move(factory); }

void ComponentRegistry::Unregister(const QString& progId) { m_factories.erase(progId.toLower()); }

bool ComponentRegistry::IsRegistered(const QString& progId) const { return m_factories.count(progId.toLower()) > 0; }

std::unique_ptr<Component> ComponentRegistry::Create(const QString& progId, QString* error) const {
    const auto it = m_factories.find(progId.toLower());
    std::unique_ptr<Component> component = it == m_factories.end() ? nullptr : it->second();
    if (!component && error) *error = QStringLiteral("The component \"%1\" cannot be created: it is not installed.").arg(progId);
    return component;
}

}  // namespace ov::sys
