#include "editor/WindowStatus.h"

#include "host/NodeKey.h"
#include "platform/host/HostStudio.h"
#include "settings/TextTable.h"

namespace ov::editor {

namespace nodekey = host::nodekey;
using settings::Text;

namespace {

bool Is(const QString& name, const char* property) {
    return name.compare(QLatin1String(property), Qt::CaseInsensitive) == 0;
}

// The status bar as the settings address it ("sb.Visible").
class StatusBarProperties : public settings::PropertyObject {
  public:
    explicit StatusBarProperties(ui::StatusBar& bar) : m_bar(bar) {}
    bool SetProperty(const QString& name, const std::optional<QVariant>&,
                     const settings::InitValue& value) override {
        if (!Is(name, "Visible")) return false;
        if (const bool* b = std::get_if<bool>(&value)) {
            m_bar.visible = *b;
            return true;
        }
        return false;
    }
    std::optional<settings::InitValue> GetProperty(const QString& name,
                                                   const std::optional<QVariant>&) const override {
        if (Is(name, "Visible")) return m_bar.visible;
        return std::nullopt;
    }

  private:
    ui::StatusBar& m_bar;
};

}  // namespace

WindowStatus::WindowStatus(std::function<host::HostStudio*()> host, std::function<void()> changed)
    : m_host(std::move(host)), m_changed(std::move(changed)), m_properties(std::make_unique<StatusBarProperties>(m_bar)) {}

WindowStatus::~WindowStatus() = default;

void WindowStatus::UpdateCounters(const QString& functionText, CounterMode mode, Counters& counters) {
    switch (mode) {
        case CounterMode::Add:
            for (std::size_t i = 0; i < m_counters.size(); ++i) m_counters[i] += counters[i];
            break;
        case CounterMode::Reset:
            m_counters.fill(0);
            break;
        case CounterMode::Set:
            m_counters = counters;
            break;
        case CounterMode::Get:
            counters = m_counters;
            break;
    }
    m_functionText = functionText;
    m_bar.SetPanelText(1, Text(301) + m_functionText);
    for (int i = 0; i < 7; ++i)
        m_bar.SetPanelText(i + 2, Text(302 + i) + u' ' + QString::number(m_counters[static_cast<std::size_t>(i)]));
    if (m_changed) m_changed();
}

void WindowStatus::MakeCaption(const QString& key) {
    QString caption = Text(310);
    const QString kind = nodekey::Kind(key);
    const auto nodeText = [this](const QString& nodeKey) {
        QVariant text;
        host::HostStudio* host = m_host ? m_host() : nullptr;
        if (host && host->GetNodeProperty(nodeKey, host::kPropertyText, text) == 0) return text.toString();
        return QString();
    };
    if (kind == QStringLiteral("OPCD") && nodekey::NodeId(key) == 0)
        caption += Text(315);
    else if (kind == QStringLiteral("OPCD"))
        caption += Text(311) + nodeText(nodekey::DeviceKeyOf(key));
    else if (kind == QStringLiteral("OPCG"))
        caption += Text(312) + nodeText(key);
    else if (kind == QStringLiteral("OPCS"))
        caption += Text(313) + nodeText(key);
    else if (kind == QStringLiteral("OPCU"))
        caption += Text(314) + nodeText(key);
    m_caption = caption;
}

}  // namespace ov::editor
