#include "platform/system/RegistryError.h"

namespace ov::sys {

RegistryError::RegistryError(const QString& message) : m_message(message), m_what(message.toStdString()) {}

}  // namespace ov::sys
