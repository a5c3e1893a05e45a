#include "platform/system/Components.h"

namespace ov::sys {

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry registry;
    return registry;
}

void ComponentRegistry::Register(const QString& progId, Factory factory) { m_factories[progId.toLower()] = std::move(factory); }

void ComponentRegistry::Unregister(const QString& progId) { m_factories.erase(progId.toLower()); }

std::unique_ptr<Component> ComponentRegistry::Create(const QString& progId, QString* error) const {
    const auto it = m_factories.find(progId.toLower());
    std::unique_ptr<Component> component = it == m_factories.end() ? nullptr : it->second();
    if (!component && error) *error = QStringLiteral("The component \"%1\" cannot be created: it is not installed.").arg(progId);
    return component;
}

}  // namespace ov::sys
