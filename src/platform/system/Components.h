#pragma once

#include <QString>
#include <QVariantList>
#include <functional>
#include <map>
#include <memory>

namespace ov::sys {

// An outside component, called by member name.
class Component {
public:
    virtual ~Component() = default;
    // Gives false and an error text when the call failed.
    virtual bool Invoke(const QString& member, const QVariantList& arguments, QString* error) = 0;
};

// Components by ProgID. A ProgID that nobody registered fails to create,
// exactly like a component that is not installed.
class ComponentRegistry {
public:
    using Factory = std::function<std::unique_ptr<Component>()>;

    static ComponentRegistry& Instance();
    void Register(const QString& progId, Factory factory);
    void Unregister(const QString& progId);
    // Null and an error text when the component cannot be created.
    std::unique_ptr<Component> Create(const QString& progId, QString* error) const;

private:
    std::map<QString, Factory> m_factories;  // keys in lower case: ProgIDs ignore letter case
};

}  // namespace ov::sys
