#pragma once

#include "platform/system/ProjectSettings.h"
#include "platform/system/Registry.h"

#include <QString>
#include <array>

namespace ov::demodriver {

// The settings of one device of the demo driver, kept in the project's
// settings in the device's section ("Device1", ...), beside the ProgID the
// editor writes there.
struct Setting {
    const char* key;
    const char* caption;
    const char* initial;
};
inline constexpr std::array<Setting, 4> kSettings{{
    {"Station", "Station address", "192.168.0.10"},
    {"Port", "TCP port", "502"},
    {"UnitID", "Unit identifier", "1"},
    {"Timeout", "Timeout (ms)", "1000"},
}};

// Opens the settings of the project the editor names on the command line.
inline bool OpenSettings(const QString& projectArgument, sys::ProjectSettings& settings) {
    try {
        return settings.Open(projectArgument, sys::Registry());
    } catch (const sys::RegistryError&) {
        return false;
    }
}

}  // namespace ov::demodriver
