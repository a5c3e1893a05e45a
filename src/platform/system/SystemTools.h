#pragma once

#include "platform/system/IniFile.h"
#include "platform/system/Registry.h"
#include "platform/system/SaveFileDialog.h"

#include <QString>
#include <memory>
#include <optional>

namespace ov::sys {

// The add-in's one door to the system: the registry, INI files and the file
// dialog. One instance, made on first use; not for use from several threads.
class SystemTools {
public:
    static SystemTools& Instance();

    SystemTools(const SystemTools&) = delete;
    SystemTools& operator=(const SystemTools&) = delete;

    // The registry at Registry::DefaultFilePath() as it was on first use,
    // unless SetRegistryFile chose another file. To write, take a copy: a
    // Registry is a handle to the file.
    const Registry& GetRegistry();
    // An empty path goes back to the default file.
    void SetRegistryFile(const QString& path);

    IniFile Ini(const QString& path) const { return IniFile(path); }

    // Until the studio installs its dialog, every choice is cancelled.
    SaveFileDialog& FileDialog() { return *m_fileDialog; }
    // Null restores the dialog that always cancels.
    void SetFileDialog(std::unique_ptr<SaveFileDialog> dialog);

private:
    SystemTools();

    std::optional<Registry> m_registry;
    std::unique_ptr<SaveFileDialog> m_fileDialog;
};

}  // namespace ov::sys
