#pragma once

#include "platform/host/HostStudio.h"

#include <QString>
#include <QVariant>

namespace ov::host {

// Key codes, shift states and mouse buttons of the node and grid events.
namespace keys {
inline constexpr int kShift = 1;
inline constexpr int kCtrl = 2;
inline constexpr int kAlt = 4;
inline constexpr int kLeftButton = 1;
inline constexpr int kRightButton = 2;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kEnd = 35;
inline constexpr int kHome = 36;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kDelete = 46;
inline constexpr int kC = 67;
inline constexpr int kO = 79;
inline constexpr int kV = 86;
inline constexpr int kY = 89;
inline constexpr int kZ = 90;
inline constexpr int kF1 = 112;
inline constexpr int kF6 = 117;
inline constexpr int kF8 = 119;
inline constexpr int kF9 = 120;
}  // namespace keys

// Window messages the studio forwards from its main window.
namespace messages {
inline constexpr quint32 kActivate = 0x0006;
inline constexpr quintptr kInactive = 0;
inline constexpr quintptr kActive = 1;
inline constexpr quintptr kClickActive = 2;
}  // namespace messages

// The add-in interface the studio calls. Nothing throws across it.
class COV4Extensibility {
public:
    virtual ~COV4Extensibility() = default;

    // project: a project file or a registered project name; owner may be null.
    virtual bool Initialize(const QString& project, const QString& unused, HostStudio* host, void* owner) = 0;
    virtual void StartupComplete() = 0;
    virtual void Deactivate() = 0;
    virtual void Terminate() = 0;
    virtual void GetMessage(const QString& sender, const QString& message, const QVariant& parameter) = 0;

    virtual void NodeClick(const QString& first, const QString& key, const QString& third) = 0;
    virtual void NodeDblClick(const QString& first, const QString& key, const QString& third) = 0;
    virtual void NodeExpand(const QString& first, const QString& key, const QString& third) = 0;
    virtual void NodeMouseDown(const QString& first, const QString& key, const QString& third, int button, int shift,
                               int x, int y) = 0;
    virtual void NodeMouseMove(const QString& first, const QString& key, const QString& third, int button, int shift,
                               int x, int y) = 0;
    virtual void NodeMouseUp(const QString& first, const QString& key, const QString& third, int button, int shift,
                             int x, int y) = 0;
    virtual void NodeKeyDown(const QString& first, const QString& key, const QString& third, int& keyCode, int shift) = 0;
    virtual void NodeKeyPress(const QString& first, const QString& key, const QString& third, int& keyAscii) = 0;
    virtual void NodeKeyUp(const QString& first, const QString& key, const QString& third, int& keyCode, int shift) = 0;

    // A message to the editor window (activation, registered messages).
    virtual void WindowMessage(quint32 message, quintptr wParam, qintptr lParam) = 0;
};

// The second public class: lets the studio set the user's authorization level.
class IToolbox {
public:
    virtual ~IToolbox() = default;
    virtual void SetExternalAuthorizationLevel(qint16& level, bool& overwriteInternal) = 0;
};

// Runs scripts against the add-in's live session (the studio's script console).
class IScriptConsole {
public:
    virtual ~IScriptConsole() = default;
    // Gives false and "file:line: message" in error when the script failed;
    // what it printed is in output either way.
    virtual bool Run(const QString& source, QString& output, QString& error) = 0;
};

// The add-in's log-on dialog for a project on a server, which the studio
// shows before it opens such a project.
class IServerLogin {
public:
    virtual ~IServerLogin() = default;
    // server: where the project lies, as shown; refused: the server refused
    // the last try. role comes in pre-filled and goes out with the password
    // as typed; false when the person cancelled.
    virtual bool Ask(const QString& server, bool refused, QString& role, QString& password) = 0;
};

}  // namespace ov::host

// The one exported entry of the add-in library: "Connect" gives a
// COV4Extensibility*, "CToolbox" an IToolbox*, "ScriptConsole" an
// IScriptConsole* working on the Connect made last, "ServerLogin" an
// IServerLogin*; anything else null. The caller
// owns the object and deletes it through its interface.
extern "C" void* OvOpcEditorCreateObject(const char* className);
