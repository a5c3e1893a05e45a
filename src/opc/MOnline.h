#pragma once

namespace ov::editor {
class frmtabgridOPC;
}

namespace ov::opc {

// The live-value commands of the editor window (View > Online values,
// Refresh values, Write Value...): makes the item grid's feeds from the
// devices' servers and writes a value through FWriteValue.
class MOnline {
  public:
    explicit MOnline(editor::frmtabgridOPC& window);

    bool OnlineFunc(int code);
    // Writes a value to the current item of the item grid after FWriteValue.
    bool WriteValue();

  private:
    editor::frmtabgridOPC& m_window;
};

}  // namespace ov::opc
