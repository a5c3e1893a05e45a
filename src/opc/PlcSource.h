#pragma once

#include "opc/AddressSource.h"
#include "plc/PlcProgram.h"

#include <QHash>

namespace ov::opc {

// A PLC program as an address space: a folder per part of the symbol paths
// (GVL, MAIN, a tag table's folders), a variable per declared variable. A
// variable's node id is its item ID: its address when it is located, else
// its symbol path joined by ".".
class PlcSource : public AddressSource {
  public:
    // description: what the person sees as the source, the file's path.
    PlcSource(QString description, plc::PlcProgram program);
    bool Open(QString* error) override;
    std::optional<std::vector<OpcNode>> Children(const QString& nodeId, QString* error,
                                                const std::function<bool(int)>& progress) override;
    // Level by level from the program's own lists: a program has no node
    // met over two paths, so nothing needs to be remembered on the way.
    std::optional<std::vector<SubtreeNode>> Subtree(const QString& nodeId, QString* error,
                                                   const std::function<bool(int)>& progress) override;
    QString Description() const override { return m_description; }
    bool IsProgram() const override { return true; }

    const plc::PlcProgram& Program() const { return m_program; }

  private:
    QString m_description;
    plc::PlcProgram m_program;
    QHash<QString, std::vector<OpcNode>> m_children;  // by the parent's node id
};

// The item ID of a program's variable: its address, else its symbol path.
QString PlcItemId(const plc::PlcVariable& variable);
// How the browse shows a variable's type: "REAL", "STRING[20]", "BOOL[8]", a structure's name.
QString PlcTypeText(const plc::PlcType& type);

}  // namespace ov::opc
