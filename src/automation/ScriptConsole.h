#pragma once

#include "platform/host/COV4Extensibility.h"

namespace ov::host {
class Connect;
}

namespace ov::automation {

// The studio's script console: runs scripts on the session of the open project.
class ScriptConsole : public host::IScriptConsole {
public:
    // The session of the add-in object the studio made last; null while none.
    static host::Connect*& CurrentSession();

    bool Run(const QString& source, QString& output, QString& error) override;
};

}  // namespace ov::automation
