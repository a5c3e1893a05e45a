#include "platform/system/SystemTools.h"

#include "platform/system/ScriptedSaveFileDialog.h"

namespace ov::sys {

SystemTools::SystemTools() : m_fileDialog(std::make_unique<ScriptedSaveFileDialog>()) {}

SystemTools& SystemTools::Instance() {
    static SystemTools tools;
    return tools;
}

const Registry& SystemTools::GetRegistry() {
    if (!m_registry) m_registry.emplace();
    return *m_registry;
}

void SystemTools::SetRegistryFile(const QString& path) {
    if (path.isEmpty())
        m_registry.reset();
    else
        m_registry.emplace(path);
}

void SystemTools::SetFileDialog(std::unique_ptr<SaveFileDialog> dialog) {
    m_fileDialog = dialog ? std::move(dialog) : std::make_unique<ScriptedSaveFileDialog>();
}

}  // namespace ov::sys
