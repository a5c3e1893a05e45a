#include "host/EditorImages.h"

#include "host/NodeKey.h"
#include "platform/EmbeddedFile.h"

#include <span>

namespace ov {
std::span<const EmbeddedFile> EditorIconFiles();
}

namespace ov::host {

std::vector<std::pair<QString, QByteArray>> EditorImageList() {
    const QString order[] = {images::kEditor, images::kInternal, images::kDevice, images::kItemBranch,
                             images::kGroup,  images::kUnit,     images::kStructure};
    std::vector<std::pair<QString, QByteArray>> list;
    for (const QString& key : order) {
        for (const EmbeddedFile& file : EditorIconFiles()) {
            if (key == QLatin1String(file.name))
                list.emplace_back(key, QByteArray(reinterpret_cast<const char*>(file.data), static_cast<qsizetype>(file.size)));
        }
    }
    return list;
}

}  // namespace ov::host
