#include "settings/CSimulationFunctions.h"

#include "platform/system/IniFile.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryError.h"
#include "platform/ui/FormPresenter.h"
#include "settings/FSimulationParameters.h"
#include "settings/TextTable.h"

#include <QDir>
#include <QStandardPaths>
#include <QStringList>

namespace ov::settings {

namespace {

const QString kVersionKey = QStringLiteral("SOFTWARE\\Senmark GmbH\\Orvana\\4.0");

// The functions the runtime has always offered, with the parameter names in
// English and German.
const char* const kBuiltIn = R"([VERSION]
Number=1.00.03

[Function1]
ParameterList=P1;P2;P10;P11;P9
P1=-100
P2=100
P10=0
P11=42
P9=0

[Function2]
ParameterList=P1;P2;P4;P5;P6;P13;P14;P9
P1=0
P2=100
P4=0
P5=1
P6=-1
P13=0
P14=0
P9=0

[Function3]
ParameterList=P1;P2;P10;P11;P12;P9
P1=0
P2=100
P10=0
P11=30
P12=15
P9=0

[Function4]
ParameterList=P2;P3;P4;P9
P2=100
P3=0.01
P4=0
P9=0

[Function5]
ParameterList=P4;P7;P8;P9
P4=1
P7=5
P8=0
P9=0

[Function6]
ParameterList=P1;P2;P5;P9
P1=0
P2=100
P5=5
P9=0

[Function7]
ParameterList=P4
P4=0

[Language1033]
Function1=Sine
Function2=Triangle
Function3=Rectangle
Function4=Exponential
Function5=Runninglight
Function6=Random
Function7=Variable
P1=Minimumvalue
P2=Maximumvalue
P3=Factor
P4=Startvalue
P5=Difference 1
P6=Difference 2
P7=Speed
P8=Direction
P9=Absolute
P10=Phase
P11=Period
P12=Impulse
P13=Step range 1
P14=Step range 2

[Language1031]
Function1=Sinus
Function2=Dreieck
Function3=Rechteck
Function4=Exponential
Function5=Lauflicht
Function6=Zufall
Function7=Variable
P1=Minimalwert
P2=Maximalwert
P3=Faktor
P4=Startwert
P5=Differenz 1
P6=Differenz 2
P7=Geschwindigkeit
P8=Richtung
P9=Absolut
P10=Phase
P11=Periode
P12=Impuls
P13=Schrittweite 1
P14=Schrittweite 2
)";

}  // namespace

QString CSimulationFunctions::BuiltInContent() {
    QString text = QString::fromUtf8(kBuiltIn);
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void CSimulationFunctions::Initialize(const sys::Registry& registry) {
    QString folder;
    int language = 1031;
    try {
        folder = registry.ReadValue(sys::Hive::LocalMachine, kVersionKey, QStringLiteral("Path"), QString());
        language = registry.ReadValue(sys::Hive::LocalMachine, kVersionKey, QStringLiteral("LCID"), QStringLiteral("1031"))
                       .trimmed()
                       .toInt();
    } catch (const sys::RegistryError&) {
    }
    // Without an installation folder the definitions live with the user's settings.
    if (folder.trimmed().isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ovstudio");
    QDir().mkpath(folder);
    Initialize(QDir(folder).filePath(QString::fromUtf8(kFileName)), language);
}

void CSimulationFunctions::Initialize(const QString& filePath, int languageCode) {
    m_filePath = filePath;
    m_language = languageCode;
    sys::IniFile file(m_filePath);
    if (!file.Sections().isEmpty()) return;
    QString section;
    for (const QString& raw : BuiltInContent().split(QStringLiteral("\r\n"))) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const QStringList parts = line.split(u'=');
        if (parts.size() == 2) file.Write(section, parts[0].trimmed(), parts[1].trimmed());
    }
}

QString CSimulationFunctions::LanguageSection() const {
    const QString own = QStringLiteral("Language%1").arg(m_language);
    return sys::IniFile(m_filePath).Keys(own).isEmpty() ? QStringLiteral("Language1033") : own;
}

CSimulationFunctions::Table CSimulationFunctions::GetFunctions() const {
    const sys::IniFile file(m_filePath);
    const QString language = LanguageSection();
    Table table{{QString(), Text(2500)}};
    for (const QString& section : file.Sections()) {
        if (section.left(8) != QStringLiteral("Function")) continue;
        table.emplace_back(section, file.Read(language, section, section));
    }
    return table;
}

std::optional<CSimulationFunctions::Table> CSimulationFunctions::GetParameters(const QString& functionKey) const {
    const sys::IniFile file(m_filePath);
    const QString list = file.Read(functionKey, QStringLiteral("ParameterList"), QString());
    if (list.isEmpty()) return std::nullopt;
    const QString language = LanguageSection();
    Table table;
    for (const QString& name : list.split(u';'))
        table.emplace_back(file.Read(language, name, name), file.Read(functionKey, name, QStringLiteral("0")));
    return table;
}

QString CSimulationFunctions::GetDefaultParameters(const QString& functionKey) const {
    QStringList values;
    if (const auto table = GetParameters(functionKey))
        for (const auto& row : *table) values << row.second;
    return values.join(u';');
}

bool CSimulationFunctions::SimulationParameterDialog(const QString& functionKey, QString& parameterText) const {
    if (functionKey.isEmpty()) return false;
    auto table = GetParameters(functionKey);
    // A function without parameters has nothing to edit.
    if (!table || table->empty()) return false;
    // An empty text holds no values at all, not one empty value.
    const QStringList given = parameterText.isEmpty() ? QStringList() : parameterText.split(u';');
    for (std::size_t i = 0; i < table->size() && i < static_cast<std::size_t>(given.size()); ++i)
        (*table)[i].second = given[static_cast<qsizetype>(i)];

    FSimulationParameters dialog(*table);
    const bool confirmed = ui::ShowModal(dialog);
    if (confirmed) {
        QStringList values;
        for (const auto& row : dialog.Parameters()) values << row.second;
        parameterText = values.join(u';');
    }
    dialog.Unload();
    return confirmed;
}

}  // namespace ov::settings
