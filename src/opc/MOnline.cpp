#include "opc/MOnline.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/Rights.h"
#include "model/DataConnection.h"
#include "opc/FServerLogin.h"
#include "opc/FWriteValue.h"
#include "opc/OnlineFeed.h"
#include "platform/ui/Desktop.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::opc {

using settings::Text;

MOnline::MOnline(editor::frmtabgridOPC& window) : m_window(window) {
    window.RegisterObjectFunction(QStringLiteral("mnuOnlineFunc"), [this](int code) { return OnlineFunc(code); });
    window.Online().feedFor = [this](int deviceId) -> std::unique_ptr<editor::LiveValueFeed> {
        if (!m_window.Data()) return nullptr;
        db::Connection& connection = m_window.Data()->Connection();
        QString name;
        // A live server asks for a password or about its certificate in the studio's dialogs.
        auto values = DeviceValues(connection, deviceId, DialogAskers(), &name);
        values->writeLog = WriteLogPath(m_window.Session().ProjectFile());
        return std::make_unique<OnlineFeed>(connection, std::move(values), name);
    };
}

bool MOnline::OnlineFunc(int code) {
    editor::ItemGridOnline& online = m_window.Online();
    switch (code) {
        case 0:
            online.SetOn(!online.IsOn());
            break;
        case 1:
            online.Refresh();
            break;
        case 2:
            return WriteValue();
        default:
            return false;
    }
    m_window.ComputeAvailability(m_window.CurrentNode(), false);
    m_window.NotifyView();
    return true;
}

bool MOnline::WriteValue() {
    editor::ItemGridOnline& online = m_window.Online();
    const auto current = online.CurrentItem();
    // The rights are asked again: the studio may have lowered them since the menu opened.
    if (!current || !online.CurrentItemWritable() || !host::HasEditRight() || m_window.Session().IsReadOnly()) return false;
    auto* feed = dynamic_cast<OnlineFeed*>(online.Feed(current->second));
    const std::optional<OnlineItem> item = feed ? feed->Item(current->first) : std::nullopt;
    if (!item) return false;
    const editor::LiveCell* shown = feed->Value(item->itemId);
    QString now = shown ? shown->value : QString();
    if (shown && shown->level != editor::ValueLevel::Good) now += QStringLiteral("  (") + shown->quality + u')';
    FWriteValue dialog(*item, now);
    ui::UnloadOnExit unload(dialog);
    if (!ui::ShowModal(dialog)) return true;
    ui::BusyCursor busy;
    const WriteOutcome outcome = feed->Values().Write(*item, dialog.Entered());
    if (!outcome.sent || outcome.status != QStringLiteral("Good")) {
        const QString why = outcome.status.isEmpty() ? outcome.error : QualityText(outcome.status);
        ui::ShowMessage(Text(9338).replace(QStringLiteral("<s>"), why), Text(9332), ui::Buttons::OK, 0, ui::Icon::Critical);
    }
    if (!outcome.logProblem.isEmpty()) ui::ShowMessage(outcome.logProblem, Text(9332), ui::Buttons::OK, 0, ui::Icon::Warning);
    return true;
}

}  // namespace ov::opc
