#pragma once

#include "platform/system/Components.h"

#include <QStringList>
#include <QVariantMap>

namespace ov::components {

// A component with named properties (read by calling them without
// arguments, set with SetProperty) and methods of its own.
class ComponentBase : public sys::Component {
public:
    bool Invoke(const QString& member, const QVariantList& arguments, QVariant* result, sys::CallError* error) final;
    bool SetProperty(const QString& name, const QVariant& value, sys::CallError* error) final;

protected:
    explicit ComponentBase(QStringList properties);
    // A method call; false with NoSuchMember for a member the component lacks.
    virtual bool Method(const QString& member, const QVariantList& arguments, QVariant* result, sys::CallError* error) = 0;
    QVariant Property(const QString& name) const;
    void SetValue(const QString& name, const QVariant& value);

private:
    QString Known(const QString& name) const;

    QStringList m_names;
    QVariantMap m_values;
};

}  // namespace ov::components
