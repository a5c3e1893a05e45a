#pragma once

// What every PLC program reader promises, checked on whatever it made of
// an input: a program whole and consistent, or nothing with a message.

#include "FuzzSupport.h"
#include "plc/PlcProgram.h"

#include <QSet>
#include <optional>

namespace ov::fuzz {

inline void CheckPlcProgram(const std::optional<ov::plc::PlcProgram>& program, const QString& error) {
    if (!program) {
        OV_FUZZ_CHECK(!error.isEmpty());
        return;
    }
    OV_FUZZ_CHECK(!program->format.isEmpty());
    OV_FUZZ_CHECK(program->variables.size() <= static_cast<std::size_t>(ov::plc::kMaxVariables));
    // Each structure after the ones it holds, none named twice.
    QSet<QString> known;
    for (const ov::plc::PlcStructure& structure : program->structures) {
        for (const ov::plc::PlcMember& member : structure.members)
            if (member.type.dataType == 12) OV_FUZZ_CHECK(known.contains(member.type.structure.toCaseFolded()));
        OV_FUZZ_CHECK(!known.contains(structure.name.toCaseFolded()));
        known.insert(structure.name.toCaseFolded());
    }
    for (const ov::plc::PlcVariable& variable : program->variables) {
        OV_FUZZ_CHECK(!variable.path.isEmpty());
        OV_FUZZ_CHECK(variable.type.dataType != 12 || known.contains(variable.type.structure.toCaseFolded()));
        OV_FUZZ_CHECK(variable.type.fieldSize >= 0 && variable.type.fieldSize <= 65535);
        OV_FUZZ_CHECK(variable.accessRights == 1 || variable.accessRights == 3);
    }
}

}  // namespace ov::fuzz
