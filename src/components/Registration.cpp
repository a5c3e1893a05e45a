#include "components/Registration.h"

#include "components/Choosers.h"
#include "components/ServerConfigTool.h"
#include "platform/system/Components.h"

namespace ov::components {

void RegisterOwnComponents() {
    sys::ComponentRegistry& registry = sys::ComponentRegistry::Instance();
    registry.Register(QString::fromUtf8(OpcServerChooser::kProgId), [] { return std::make_unique<OpcServerChooser>(); });
    registry.Register(QString::fromUtf8(DriverChooser::kProgId), [] { return std::make_unique<DriverChooser>(); });
    registry.Register(QString::fromUtf8(ServerConfigTool::kSimulationProgId), [] { return ServerConfigTool::Simulation(); });
    registry.Register(QString::fromUtf8(ServerConfigTool::kDemoProgId), [] { return ServerConfigTool::Demo(); });
}

}  // namespace ov::components
