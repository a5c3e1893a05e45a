#include "objects/ItemDialog.h"

#include "editor/frmtabgridOPC.h"
#include "host/Connect.h"
#include "host/NodeKey.h"
#include "host/ProjectTree.h"
#include "model/CVT_Types.h"
#include "model/DataConnection.h"
#include "objects/FItem.h"
#include "objects/FieldTransfer.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/ui/FormPresenter.h"
#include "platform/ui/GridModel.h"
#include "platform/ui/MessageBox.h"
#include "settings/TextTable.h"

namespace ov::objects {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

void LoadItemDialog(editor::frmtabgridOPC& window, FItem& dialog, db::Recordset& rs) {
    const auto text = [&rs](const char* field) { return ToDialogText(rs.Value(QString::fromUtf8(field))); };
    const auto set = [&dialog](const char* control, const QString& value) {
        dialog.Get(QString::fromUtf8(control)).text = value;
    };
    set("TxtName", text("Name"));
    set("txtItemAccess", text("ItemAccess"));
    set("txtAccessPath", text("AccessPath"));
    set("txtMaxVal", text("MaxVal"));
    set("txtMinVal", text("MinVal"));
    set("txtFieldSize", text("FieldSize"));
    set("txtComment", text("Comment"));
    set("txtDefaultVal", text("DefaultVal"));
    set("txtOptions", FItem::OptionsText(rs.Value(QStringLiteral("Options")).toInt()));

    // The drop-downs offer what the grid's columns offer.
    ui::GridModel& grid = window.tdbI();
    const auto fill = [&](const char* control, int column, const QVariant& selected) {
        ui::Control& combo = dialog.Get(QString::fromUtf8(control));
        if (column >= 0) combo.list = grid.Column(column).values;
        combo.Select(selected);
    };
    fill("cmbDataType", grid.ColumnIndex(Text(114)),
         model::CVT_Types::CombinedCode(rs.Value(QStringLiteral("DataType")).toInt(),
                                        rs.Value(QStringLiteral("StructID")).toInt()));
    ui::Control& rights = dialog.Get(QStringLiteral("cmbAccessRights"));
    for (int r = 1; r <= 4; ++r) rights.list.Add(r, Text(170 + r));
    rights.list.Add(0, Text(9260));  // a server's variable that can be neither read nor written
    rights.Select(rs.Value(QStringLiteral("AccessRights")).toInt());
    for (const char* field : {"UnitClassIDItemDependent", "UnitClassIDDisplayDependent", "DefaultMode"})
        fill((QStringLiteral("cmb") + QString::fromUtf8(field)).toUtf8().constData(),
             grid.ColumnIndexInSplit(QString::fromUtf8(field), 1), rs.Value(QString::fromUtf8(field)));
    dialog.Get(QStringLiteral("chkWriteThru")).checkState =
        rs.Value(QStringLiteral("WriteThru")).toBool() ? 1 : 0;
    dialog.Get(QStringLiteral("chkEnabled")).checkState =
        rs.Value(QStringLiteral("Enabled")).toBool() ? 1 : 0;
    if (rs.FieldIndex(QStringLiteral("TextID")) >= 0)
        set("txtItemText", window.IndexTexts().GetItemText(rs.Value(QStringLiteral("TextID")),
                                                             window.Languages().CurrentLCID()));

    const QVariant id = rs.Value(QStringLiteral("ID"));
    const auto [function, parameters] = window.SimulationOf(id);
    ui::Control& functions = dialog.Get(QStringLiteral("cmbSimulationFunction"));
    if (function.isEmpty() || !functions.Select(function)) functions.listIndex = 0;
    set("txtSimulationParameters", parameters);
    dialog.Get(QStringLiteral("chkRedundancy")).checkState = window.IsRedundant(id) ? 1 : 0;
    dialog.Get(QStringLiteral("chkRedundancy")).enabled = window.RedundancyOpen();

    FItem::Names names;
    db::Recordset device;
    device.Open(QStringLiteral("SELECT Name, ItemAccess FROM TpdbItems WHERE DeviceID = %1")
                    .arg(rs.Value(QStringLiteral("DeviceID")).toInt()),
                window.Data()->Connection());
    for (; !device.IsEOF(); device.MoveNext()) {
        names.names.insert(device.Fields(0).Value().toString());
        names.accesses.insert(device.Fields(1).Value().toString());
    }
    dialog.SetNames(std::move(names), rs.Value(QStringLiteral("Name")).toString(),
                    rs.Value(QStringLiteral("ItemAccess")).toString());
}

void WriteItemDialog(editor::frmtabgridOPC& window, FItem& dialog, db::Recordset& rs) {
    const auto take = [&](const char* field, const char* control) {
        const QString name = QString::fromUtf8(field);
        rs.SetValue(name,
                    FromDialogText(dialog.Get(QString::fromUtf8(control)).text, rs.Fields(name).Type()));
    };
    take("Name", "TxtName");
    take("ItemAccess", "txtItemAccess");
    take("AccessPath", "txtAccessPath");
    take("MaxVal", "txtMaxVal");
    take("MinVal", "txtMinVal");
    take("FieldSize", "txtFieldSize");
    take("DefaultVal", "txtDefaultVal");
    rs.SetValue(QStringLiteral("Options"),
                FItem::OptionsValue(dialog.Get(QStringLiteral("txtOptions")).text));
    const ui::Control& type = dialog.Get(QStringLiteral("cmbDataType"));
    if (type.listIndex >= 0) {
        const auto [dataType, structId] = model::CVT_Types::DecodeCombined(type.SelectedData().toInt());
        rs.SetValue(QStringLiteral("DataType"), dataType);
        rs.SetValue(QStringLiteral("StructID"), structId);
    }
    for (const char* field :
         {"AccessRights", "UnitClassIDItemDependent", "UnitClassIDDisplayDependent", "DefaultMode"}) {
        const ui::Control& combo = dialog.Get(QStringLiteral("cmb") + QString::fromUtf8(field));
        if (combo.listIndex >= 0) rs.SetValue(QString::fromUtf8(field), combo.SelectedData());
    }
    rs.SetValue(QStringLiteral("WriteThru"), dialog.Get(QStringLiteral("chkWriteThru")).IsChecked());
    rs.SetValue(QStringLiteral("Enabled"), dialog.Get(QStringLiteral("chkEnabled")).IsChecked());
    rs.SetValue(QStringLiteral("Comment"), dialog.Get(QStringLiteral("txtComment")).text);
    if (rs.FieldIndex(QStringLiteral("TextID")) >= 0) {
        const int textId = window.IndexTexts().ChangeItemText(
            QStringLiteral("OPCD") + rs.Value(QStringLiteral("DeviceID")).toString(),
            rs.Value(QStringLiteral("Name")).toString(), rs.Value(QStringLiteral("TextID")),
            dialog.Get(QStringLiteral("txtItemText")).text, window.Languages().CurrentLCID());
        rs.SetValue(QStringLiteral("TextID"), textId);
    }
    rs.Update();
    if (window.SimulationOpen()) {
        const QString function =
            dialog.Get(QStringLiteral("cmbSimulationFunction")).SelectedData().toString();
        window.WriteUnboundItemCell(Text(142), function);
        if (!function.isEmpty())
            window.WriteUnboundItemCell(Text(143),
                                          dialog.Get(QStringLiteral("txtSimulationParameters")).text);
    }
    if (window.RedundancyOpen())
        window.WriteUnboundItemCell(Text(144), dialog.Get(QStringLiteral("chkRedundancy")).IsChecked());
}

}  // namespace

void EditItem(editor::frmtabgridOPC& window) {
    db::Recordset* rs = window.tdbI().Recordset();
    if (!rs || rs->State() != db::ObjectState::Open || rs->IsEOF() || rs->IsBOF()) return;
    window.CommitGridEdits();
    const QVariant id = rs->Value(QStringLiteral("ID"));
    const QString field = window.FieldNameFromSwitchView();
    const QString oldPath = rs->Value(field).toString();
    FItem dialog(window.SimulationFunctions(), window.SwitchViewFlag());
    dialog.chooseDefaultMode = window.defaultModeDialog;
    dialog.chooseOptions = window.itemOptionsDialog;
    try {
        LoadItemDialog(window, dialog, *rs);
    } catch (const db::DbError& e) {
        ui::ShowMessage(Text(1550) + QStringLiteral("\n") + e.Description(), Text(310), ui::Buttons::OK, 0,
                        ui::Icon::Critical);
        return;
    }
    const bool confirmed = ui::ShowModal(dialog);
    if (confirmed) {
        try {
            WriteItemDialog(window, dialog, *rs);
            const QString newPath = rs->Value(field).toString();
            if (newPath != oldPath && window.Session().Tree() &&
                host::ProjectTree::MaintainsBranches(window.CurrentNode()))
                window.Session().Tree()->ItemPathChanged(nodekey::DeviceKeyOf(window.CurrentNode()),
                                                           oldPath, newPath);
        } catch (const db::DbError& e) {
            rs->CancelUpdate();
            rs->Resync();
            ui::ShowMessage(Text(1551) + QStringLiteral("\n") + e.Description(), Text(310), ui::Buttons::OK,
                            0, ui::Icon::Critical);
        }
    }
    dialog.Unload();
    window.tdbI().ReBind();
    window.NotifyView();
}

}  // namespace ov::objects
