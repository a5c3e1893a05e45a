#pragma once

#include "platform/ui/StatusBar.h"
#include "settings/PropertyObject.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace ov::host {
class HostStudio;
}

namespace ov::editor {

// Owns the editor window's status bar and caption: the function last run,
// the seven object counters, the notices, and the caption naming what is shown.
class WindowStatus {
public:
    // Counters: devices, groups, items, unit classes, units, structure
    // definitions, structure members.
    enum class CounterMode { Add = 0, Reset = 1, Set = 2, Get = 3 };
    using Counters = std::array<int, 7>;

    // host gives the tree's node texts for the caption (none headless);
    // changed tells the window's view to show the bar again.
    WindowStatus(std::function<host::HostStudio*()> host, std::function<void()> changed);
    ~WindowStatus();

    void UpdateCounters(const QString& functionText, CounterMode mode, Counters& counters);
    Counters CounterValues() const { return m_counters; }
    // The caption for a node: the window's title with what the node is.
    void MakeCaption(const QString& key);
    void SetCaption(const QString& caption) { m_caption = caption; }
    const QString& Caption() const { return m_caption; }

    ui::StatusBar& Bar() { return m_bar; }
    // "sb" for the settings store (its visibility).
    settings::PropertyObject& Properties() { return *m_properties; }

private:
    std::function<host::HostStudio*()> m_host;
    std::function<void()> m_changed;
    ui::StatusBar m_bar;
    std::unique_ptr<settings::PropertyObject> m_properties;
    Counters m_counters{};
    QString m_functionText;
    QString m_caption;
};

}  // namespace ov::editor
