// The script API's argument handling: a fixed script hands the input, as
// text and as a number, to the calls a script makes on the demo project.
// Every call either works or throws a script error; none may crash or
// leave an SQL error caused by quoting.

#include "FuzzSupport.h"
#include "automation/ScriptRunner.h"
#include "automation/ScriptSession.h"
#include "editor/AddinEntry.h"
#include "objects/MItem.h"
#include "opc/MOpc.h"
#include "platform/system/SystemTools.h"
#include "tools/MTools.h"

namespace {

// No call that writes files or runs SQL text: the input must not reach
// the machine beyond the project.
const char* const kDriver = R"(
const a = args[0];
const n = Number(a);
const calls = [
  () => studio.click(a), () => studio.dblClick(a), () => studio.expand(a),
  () => studio.keyDown(a, a), () => studio.keyPress(a, n), () => studio.rightClick(a),
  () => studio.choose(a), () => studio.toolState(a), () => studio.answer(a),
  () => studio.grid(a), () => studio.grid("tdbI").find(a, a), () => studio.grid("tdbI").find("Name", a),
  () => studio.grid("tdbI").setCell(0, "Comment", a), () => studio.grid("tdbI").setCell(n, a, n),
  () => studio.grid("tdbI").key(a), () => studio.grid("tdbI").click(n, a, a), () => studio.grid("tdbI").select([n, a]),
  () => studio.grid("tdbG").setCell(0, "Name", a), () => studio.setAuthorizationLevel(n, true),
  () => studio.onForm(a, f => f.cancel()),
];
for (const call of calls) { try { call(); } catch (e) { } }
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ov;
    fuzz::EnsureApplication();
    static automation::HeadlessSession* session = [] {
        sys::SystemTools::Instance().SetRegistryFile(fuzz::WorkFolder().filePath(QStringLiteral("registry.ini")));
        opc::InstallEditor();
        tools::InstallEditor();
        auto* s = new automation::HeadlessSession();
        QString error;
        if (!s->Create(fuzz::WorkFolder().filePath(QStringLiteral("script.ovs")), true, &error)) std::abort();
        return s;
    }();
    automation::ScriptRunner runner(*session);
    runner.onOutput = [](const QString&) {};
    runner.onWarning = [](const QString&) {};
    // Click the PLC device first, so grid calls find rows.
    runner.Run(QStringLiteral(
                   "studio.expand('OPCE0');"
                   "function device(n) { if (n.key.startsWith('OPCD') && n.key.length > 5) return n.key;"
                   "  for (const c of n.children) { const k = device(c); if (k) return k; } return null; }"
                   "const k = device(studio.tree()); if (k) studio.click(k);"),
               QStringLiteral("setup.js"), {}, 5000);
    const auto result = runner.Run(QString::fromUtf8(kDriver), QStringLiteral("fuzz.js"), {fuzz::Text(data, size)}, 5000);
    // Errors inside calls are caught by the script; one that escapes is a fault.
    OV_FUZZ_CHECK(result.ok);
    return 0;
}
