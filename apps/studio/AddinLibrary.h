#pragma once

#include "platform/host/COV4Extensibility.h"

#include <QLibrary>
#include <QString>
#include <functional>
#include <memory>

namespace ov::studio {

// The editor add-in, loaded at run time. The studio knows it only by its
// exported factory and the two interfaces the factory's objects implement.
class AddinLibrary {
public:
    using Factory = std::function<void*(const char*)>;

    // OVSTUDIO_ADDIN when set, else the path the build put in, else the
    // library beside the program.
    static QString DefaultPath();

    // False with ErrorString() set when the library or its factory is missing.
    bool Load(const QString& path);
    // Uses a factory without a library (tests, other hosts of the add-in).
    void UseFactory(Factory factory);

    bool IsLoaded() const { return static_cast<bool>(m_factory); }
    const QString& Path() const { return m_path; }
    const QString& ErrorString() const { return m_error; }

    // Null when not loaded or when the add-in refuses.
    std::unique_ptr<host::COV4Extensibility> CreateConnect() const;
    std::unique_ptr<host::IToolbox> CreateToolbox() const;
    std::unique_ptr<host::IScriptConsole> CreateScriptConsole() const;
    std::unique_ptr<host::IServerLogin> CreateServerLogin() const;

private:
    void* Create(const char* className) const;

    // Never unloaded: objects and Qt types of the add-in may outlive any
    // session, and unloading a Qt-using library is not safe.
    QLibrary m_library;
    Factory m_factory;
    QString m_path;
    QString m_error;
};

}  // namespace ov::studio
