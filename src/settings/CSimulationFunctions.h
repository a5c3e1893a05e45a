#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace ov::sys {
class Registry;
}

namespace ov::settings {

// The catalogue of simulation functions the runtime offers: which functions
// exist, their parameters with display names and defaults, read from the
// definition file "OVOPCSimulation.ini" (made from the built-in content when
// it has no sections). The editor only stores, per item, the function's key
// and its parameter values joined by ";".
class CSimulationFunctions {
public:
    static constexpr const char* kFileName = "OVOPCSimulation.ini";

    // Rows of two texts: (key, display name) for functions, (display name,
    // value) for parameters.
    using Table = std::vector<std::pair<QString, QString>>;

    // The file in the installation folder named by the registry ("Path"),
    // the language from its "LCID" value.
    void Initialize(const sys::Registry& registry);
    void Initialize(const QString& filePath, int languageCode);

    const QString& FilePath() const { return m_filePath; }
    int LanguageCode() const { return m_language; }

    // Row 0 is "no simulation" (empty key); then one row per function section.
    Table GetFunctions() const;
    // Nothing when the function has no parameter list.
    std::optional<Table> GetParameters(const QString& functionKey) const;
    QString GetDefaultParameters(const QString& functionKey) const;

    // Shows the parameter dialog with the values of parameterText (missing
    // values keep their defaults); on OK parameterText gets the edited values.
    bool SimulationParameterDialog(const QString& functionKey, QString& parameterText) const;

    static QString BuiltInContent();

private:
    QString LanguageSection() const;

    QString m_filePath;
    int m_language = 1031;
};

}  // namespace ov::settings
