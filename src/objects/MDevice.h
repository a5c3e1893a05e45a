#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace ov::db {
class Recordset;
}
namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::objects {

class FDevice;

// The device commands of the editor window (mnuDeviceFunc): new OPC server
// and own-driver devices, edit, delete, configure, browse, and the forwarding
// of the device menu's item commands to the branch-wide item commands.
class MDevice {
  public:
    explicit MDevice(editor::frmtabgridOPC& window);

    // 0 new OPC server device, 1 new own-driver device, 2 edit, 3 delete,
    // 4 configure, 5 browse items, 6 to 9 the branch-wide item commands.
    bool DeviceFunc(int code);

    // Where a new device stands while its dialog is open: a new device whose
    // dialog is cancelled goes again without a question.
    enum class CreationMark { Idle, NewInEdit, NewCancelled };
    CreationMark Mark() const { return m_mark; }

    // The first free name "Ch1", "Ch2", ... of the name group "Dev".
    QString NewDeviceName() const;

    // An own driver's configuration program: the command line as the
    // installation writes it, and the program and arguments it stands for.
    struct DriverProgram {
        QString commandLine;
        QString program;
        QStringList arguments;
    };
    static DriverProgram DriverConfigurationProgram(const QString& folder, const QString& fileName,
                                                    const QString& projectArgument, int universalNumber);

  private:
    bool NewDevice(bool ownDriver);
    bool Edit(int deviceId);
    bool Delete(int deviceId);
    bool Configure(int deviceId);
    bool Browse(int deviceId);
    void ReloadDeviceNames();
    int CurrentDeviceId() const;
    // The device's record in an updatable recordset over all devices; false (and text 414) when missing.
    bool Locate(db::Recordset& devices, int deviceId, int missingText = 414);
    bool EditOperation(db::Recordset& devices);
    void LoadDialog(FDevice& dialog, db::Recordset& devices);
    void WriteDialog(FDevice& dialog, db::Recordset& devices, std::vector<std::function<void()>>& afterUpdate);
    void StartDriverConfiguration(const QString& driverName, int universalNumber);
    QVariantList KeyOf(db::Recordset& devices);

    editor::frmtabgridOPC& m_window;
    CreationMark m_mark = CreationMark::Idle;
};

}  // namespace ov::objects
