#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ov::ui {

// A named command of a menu band. The category sets the shortcut shown while
// a menu is open ("New" shows F8); the caption comes from the text whose
// number is the tag. A tool that opens a band is a menu-bar entry.
struct Tool {
    QString name;
    QString category;
    QString tag;
    QString caption;
    QString opensBand;
    bool enabled = true;
    bool visible = true;
    bool separator = false;  // a line between groups of tools
    bool heading = false;    // a caption that names the group below it
    bool checkable = false;  // a switch: shown ticked while checked
    bool checked = false;
    QString shortcut;        // shown only while the menu is open
};

struct Band {
    QString name;
    std::vector<Tool> tools;
};

// The menu bar and its popup bands as a model: availability logic sets tool
// states, the Qt renderer shows them as the menu bar and context menus.
class CommandBar {
public:
    Band& AddBand(const QString& name);
    Band* FindBand(const QString& name);
    const Band* FindBand(const QString& name) const;
    const std::vector<Band>& Bands() const { return m_bands; }

    Tool* FindTool(const QString& name);
    const Tool* FindTool(const QString& name) const;
    // Every tool of that name (a tool may sit in several bands).
    std::vector<Tool*> ToolsNamed(const QString& name);

    void SetEnabled(const QString& tool, bool enabled);
    void SetChecked(const QString& tool, bool checked);
    void SetVisible(const QString& tool, bool visible);
    bool IsEnabled(const QString& tool) const;
    bool IsVisible(const QString& tool) const;

    // At least one tool of the band is visible and enabled.
    bool CheckMenuForFunctionality(const QString& band) const;

    // Shortcut texts by category while a menu is open.
    void ShowShortcuts(bool shown);
    static QString ShortcutForCategory(const QString& category);

private:
    std::vector<Band> m_bands;
};

// Shows a band as a context menu at a position and gives the chosen tool, or
// nothing when the menu was closed. The program installs its Qt menus;
// headless runs take queued choices and note every popup.
class PopupPresenter {
public:
    virtual ~PopupPresenter() = default;
    virtual std::optional<QString> Popup(const CommandBar& bar, const QString& band, int x, int y) = 0;
};

class ScriptedPopups : public PopupPresenter {
public:
    std::optional<QString> Popup(const CommandBar& bar, const QString& band, int x, int y) override;
    void Queue(const QString& tool) { m_choices.push_back(tool); }
    const QStringList& Shown() const { return m_shown; }
    void Clear() {
        m_choices.clear();
        m_shown.clear();
    }
    // Called with the band as it pops up; a script may choose through Queue.
    std::function<void(const CommandBar&, const QString& band)> onPopup;

private:
    std::deque<QString> m_choices;
    QStringList m_shown;
};

PopupPresenter& CurrentPopups();
void InstallPopups(PopupPresenter* presenter);
ScriptedPopups& DefaultPopups();

}  // namespace ov::ui
