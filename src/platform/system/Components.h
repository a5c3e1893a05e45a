#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <map>
#include <memory>

namespace ov::sys {

// What went wrong in a call of an outside component: its words and its number.
struct CallError {
    QString description;
    qint32 number = 0;
};

// An outside component, called late-bound by member name, as the editor
// calls the programs of the system (choosers, configuration tools, report).
class Component {
public:
    virtual ~Component() = default;
    // Calls a method, or reads a property when called without arguments;
    // `result` takes what it gives. False and the error when the call failed,
    // also for a member the component does not have.
    virtual bool Invoke(const QString& member, const QVariantList& arguments, QVariant* result, CallError* error) = 0;
    // Sets a property; false and the error for one it does not have.
    virtual bool SetProperty(const QString& name, const QVariant& value, CallError* error);

    // Shorthands that throw nothing: a failed call gives an empty result.
    QVariant Call(const QString& member, const QVariantList& arguments = {});

protected:
    static bool NoSuchMember(const QString& member, CallError* error);
};

// Components by ProgID. A ProgID that nobody registered fails to create,
// exactly like a component that is not installed.
class ComponentRegistry {
public:
    using Factory = std::function<std::unique_ptr<Component>()>;

    static ComponentRegistry& Instance();
    void Register(const QString& progId, Factory factory);
    void Unregister(const QString& progId);
    bool IsRegistered(const QString& progId) const;
    // Null and an error text when the component cannot be created.
    std::unique_ptr<Component> Create(const QString& progId, QString* error = nullptr) const;

private:
    std::map<QString, Factory> m_factories;  // keys in lower case: ProgIDs ignore letter case
};

}  // namespace ov::sys
