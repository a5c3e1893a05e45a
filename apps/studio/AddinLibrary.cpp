#include "studio/AddinLibrary.h"

#include "studio/AddinCall.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ov::studio {

namespace {
constexpr const char* kFactoryName = "OvOpcEditorCreateObject";
constexpr const char* kLibraryFile = "libovopceditor.so";
using RawFactory = void* (*)(const char*);
}  // namespace

QString AddinLibrary::DefaultPath() {
    const QString fromEnvironment = qEnvironmentVariable("OVSTUDIO_ADDIN");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
#ifdef OVSTUDIO_ADDIN_PATH
    const QString built = QStringLiteral(OVSTUDIO_ADDIN_PATH);
    if (QFileInfo::exists(built)) return built;
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kLibraryFile));
}

bool AddinLibrary::Load(const QString& path) {
    m_path = path;
    m_error.clear();
    m_factory = nullptr;
    m_library.setFileName(path);
    if (!m_library.load()) {
        m_error = m_library.errorString();
        return false;
    }
    const auto create = reinterpret_cast<RawFactory>(m_library.resolve(kFactoryName));
    if (!create) {
        m_error = QStringLiteral("%1 does not export %2.").arg(path, QString::fromLatin1(kFactoryName));
        return false;
    }
    m_factory = create;
    return true;
}

void AddinLibrary::UseFactory(Factory factory) {
    m_factory = std::move(factory);
    m_path.clear();
    m_error.clear();
}

void* AddinLibrary::Create(const char* className) const {
    void* object = nullptr;
    if (m_factory) CallAddin("OvOpcEditorCreateObject", [&] { object = m_factory(className); });
    return object;
}

// The factory hands out objects as the interface named by the class.
std::unique_ptr<host::COV4Extensibility> AddinLibrary::CreateConnect() const {
    return std::unique_ptr<host::COV4Extensibility>(static_cast<host::COV4Extensibility*>(Create("Connect")));
}

std::unique_ptr<host::IToolbox> AddinLibrary::CreateToolbox() const {
    return std::unique_ptr<host::IToolbox>(static_cast<host::IToolbox*>(Create("CToolbox")));
}

std::unique_ptr<host::IScriptConsole> AddinLibrary::CreateScriptConsole() const {
    return std::unique_ptr<host::IScriptConsole>(static_cast<host::IScriptConsole*>(Create("ScriptConsole")));
}

std::unique_ptr<host::IServerLogin> AddinLibrary::CreateServerLogin() const {
    return std::unique_ptr<host::IServerLogin>(static_cast<host::IServerLogin*>(Create("ServerLogin")));
}

}  // namespace ov::studio
