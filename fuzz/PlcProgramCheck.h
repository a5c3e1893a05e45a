#pragma once

// What every PLC program reader promises, whatever the file: a program
// whose parts fit together, or nothing and a message.

#include "FuzzSupport.h"
#include "plc/PlcProgram.h"

#include <QSet>
#include <optional>

namespace ov::fuzz {

inline void CheckProgram(const std::optional<ov::plc::PlcProgram>& program, const QString& error) {
    if (!program) {
        OV_FUZZ_CHECK(!error.isEmpty());
        return;
    }
    OV_FUZZ_CHECK(program->variables.size() <= static_cast<std::size_t>(ov::plc::kMaxVariables));
    // Every structure comes after the ones it uses; every variable names one there is.
    QSet<QString> known;
    for (const ov::plc::PlcStructure& structure : program->structures) {
        for (const ov::plc::PlcMember& member : structure.members)
            OV_FUZZ_CHECK(member.type.dataType != 12 || known.contains(member.type.structure.toCaseFolded()));
        known.insert(structure.name.toCaseFolded());
    }
    for (const ov::plc::PlcVariable& variable : program->variables) {
        OV_FUZZ_CHECK(!variable.path.isEmpty() && !variable.where.isEmpty());
        OV_FUZZ_CHECK(variable.type.dataType != 12 || known.contains(variable.type.structure.toCaseFolded()));
    }
}

}  // namespace ov::fuzz
