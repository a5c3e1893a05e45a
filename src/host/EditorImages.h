#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace ov::host {

// The editor's node images in image-list order: key and PNG picture.
std::vector<std::pair<QString, QByteArray>> EditorImageList();

}  // namespace ov::host
