#pragma once

#include "host/EditorWindow.h"
#include "model/CDBLanguages.h"
#include "model/CIndexTexts.h"
#include "platform/ui/Control.h"
#include "settings/CSimulationFunctions.h"

#include <QString>
#include <memory>

namespace ov::host {
class Connect;
}

namespace ov::editor {

// The editor window as logic: which node is shown, which grid is in front,
// the switch-view flag and the data connection it owns. The Qt window renders
// it; grids, menus and settings attach to it as they are built.
class frmtabgridOPC : public host::EditorWindow {
public:
    explicit frmtabgridOPC(host::Connect& session);
    ~frmtabgridOPC() override;

    void SetDataConnection(std::shared_ptr<model::DataConnection> data) override;
    model::DataConnection* Data() override { return m_data.get(); }
    void OnDatabaseOpened() override;
    void OnDatabaseClosing() override;
    void Load() override;
    std::optional<host::WindowHandle> EmbedIn(host::WindowHandle hostWindow, QString* error) override;
    void RestoreParent(host::WindowHandle previousParent) override;
    void SetSubclassed(bool subclassed) override { m_subclassed = subclassed; }
    void Unload() override;

    QString FieldNameFromSwitchView() const override;
    void FirstDisplay() override;

    void ShowNode(const QString& key) override;
    void Show() override { m_visible = true; }
    QString CurrentNode() const override { return m_currentNode; }

    void ComputeAvailability(const QString& key, bool fromTree) override;
    bool IsToolEnabled(const QString& tool) const override;
    void ClickTool(const QString& tool) override;
    bool PopupBand(const QString& band, int x, int y) override;
    void FocusGrid(const QString& gridName) override { m_focusedGrid = gridName; }

    void OnActivate(bool active) override;
    void OnIndexTextsChanged() override;

    // Brings the grid of a node's kind to the front.
    void SwitchGrids(const QString& key);

    QString Caption() const { return m_caption; }
    QString FrontGrid() const { return m_frontGrid; }
    QString FocusedGrid() const { return m_focusedGrid; }
    bool SwitchViewFlag() const { return m_switchView; }
    bool IsVisible() const { return m_visible; }
    bool IsLoaded() const { return m_loaded; }
    bool IsSubclassed() const { return m_subclassed; }
    host::WindowHandle Parent() const { return m_parent; }

    settings::CSimulationFunctions& SimulationFunctions() { return m_simulation; }
    model::CIndexTexts& IndexTexts() { return m_indexTexts; }
    model::CDBLanguages& Languages() { return m_languages; }
    ui::Control& LanguageSelector() { return m_cmbLanguage; }

private:
    host::Connect& m_session;
    std::shared_ptr<model::DataConnection> m_data;
    QString m_caption;
    QString m_currentNode;
    QString m_frontGrid = QStringLiteral("tdbI");
    QString m_focusedGrid;
    bool m_switchView = false;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_subclassed = false;
    host::WindowHandle m_parent = 0;
    settings::CSimulationFunctions m_simulation;
    model::CIndexTexts m_indexTexts;
    model::CDBLanguages m_languages;
    ui::Control m_cmbLanguage{ui::ControlType::ComboBox, QStringLiteral("cmbLanguage")};
};

}  // namespace ov::editor
