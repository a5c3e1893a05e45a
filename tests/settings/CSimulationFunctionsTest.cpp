// The catalogue of simulation functions: its definition file made, kept or
// found through the registry, and the dialog that edits a function's values.

#include "platform/system/IniFile.h"
#include "platform/system/Registry.h"
#include "platform/ui/FormPresenter.h"
#include "settings/CSimulationFunctions.h"
#include "settings/TextTable.h"

#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

using ov::settings::CSimulationFunctions;
using Entry = std::pair<QString, QString>;

namespace {

class SimulationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ov::settings::TextTable::Instance().SetLanguage(1033);
        ov::ui::DefaultFormRunner().Clear();
    }
    void TearDown() override {
        ov::settings::TextTable::Instance().SetLanguage(1031);
        ov::ui::DefaultFormRunner().Clear();
    }
    QString File() const { return dir.filePath("OVOPCSimulation.ini"); }

    QTemporaryDir dir;
    CSimulationFunctions catalogue;
};

TEST_F(SimulationTest, AMissingOrEmptyDefinitionFileIsMadeFromTheBuiltInContent) {
    catalogue.Initialize(File(), 1033);
    const auto functions = catalogue.GetFunctions();
    ASSERT_EQ(functions.size(), 8u);
    EXPECT_EQ(functions[0], Entry("", "No Simulation Function"));
    EXPECT_EQ(functions[1], Entry("Function1", "Sine"));
    EXPECT_EQ(functions[7], Entry("Function7", "Variable"));
    EXPECT_EQ(catalogue.GetDefaultParameters("Function1"), "-100;100;0;42;0");
    EXPECT_EQ(catalogue.GetDefaultParameters("Function4"), "100;0.01;0;0");

    QFile::resize(File(), 0);
    CSimulationFunctions again;
    again.Initialize(File(), 1031);
    EXPECT_EQ(again.GetFunctions().size(), 8u);
    EXPECT_EQ(again.GetFunctions()[3].second, "Rechteck");
}

TEST_F(SimulationTest, AnEditedFileIsKeptAndFilteredByExactSectionNames) {
    ov::sys::IniFile file(File());
    for (const auto& [section, key, value] : {std::array{"Function9", "ParameterList", "P1;PX"}, {"Function9", "P1", "7"},
                                              {"function8", "ParameterList", "P1"}, {"Language1033", "P1", "Minimum"}})
        ASSERT_TRUE(file.Write(section, key, value));
    catalogue.Initialize(File(), 1036);  // no French names: English ones
    const auto functions = catalogue.GetFunctions();
    ASSERT_EQ(functions.size(), 2u) << "the file has sections, so nothing is added; function8 is not offered";
    EXPECT_EQ(functions[1], Entry("Function9", "Function9"));
    const auto parameters = catalogue.GetParameters("Function9");
    ASSERT_TRUE(parameters);
    EXPECT_EQ(*parameters, (CSimulationFunctions::Table{{"Minimum", "7"}, {"PX", "0"}}));
    EXPECT_FALSE(catalogue.GetParameters("Function1")) << "no parameter list";
    EXPECT_FALSE(catalogue.GetParameters("NoSuchFunction"));
}

TEST_F(SimulationTest, ParameterDialogEditsTheValuesInOrder) {
    catalogue.Initialize(File(), 1033);
    ov::ui::DefaultFormRunner().Once("FSimulationParameters", [](ov::ui::Form& f) {
        auto& grid = f.Get("tdbParameters").grid;
        EXPECT_EQ(grid.columnCaptions, (QStringList{"Parameter", "Value"}));
        EXPECT_EQ(grid.rows[0][0].toString(), "Minimumvalue");
        EXPECT_EQ(grid.rows[0][1].toString(), "-5") << "from the given text";
        EXPECT_EQ(grid.rows[2][1].toString(), "0") << "missing values keep their defaults";
        f.UserEditCell("tdbParameters", 3, 1, "60");
        f.PressDefault();
    });
    QString text = "-5;50";
    EXPECT_TRUE(catalogue.SimulationParameterDialog("Function1", text));
    EXPECT_EQ(text, "-5;50;0;60;0");

    ov::ui::DefaultFormRunner().Once("FSimulationParameters", [](ov::ui::Form& f) {
        f.UserEditCell("tdbParameters", 0, 1, "99");
        f.PressCancel();
    });
    QString unchanged = "1;2;3;4;5;6";
    EXPECT_FALSE(catalogue.SimulationParameterDialog("Function1", unchanged));
    EXPECT_EQ(unchanged, "1;2;3;4;5;6");

    QString none;
    EXPECT_FALSE(catalogue.SimulationParameterDialog(QString(), none));
    EXPECT_TRUE(ov::ui::DefaultFormRunner().Unexpected().isEmpty()) << "no dialog for an empty function key";
}

TEST_F(SimulationTest, TheFileLivesWhereTheRegistrySays) {
    ov::sys::Registry registry(dir.filePath("registry.ini"));
    for (const auto& [name, value] : {std::pair{"Path", dir.filePath("install")}, {"LCID", QString("1031")}})
        ASSERT_TRUE(registry.WriteValue(ov::sys::Hive::LocalMachine, "SOFTWARE\\Senmark GmbH\\Orvana\\4.0", name, value));
    catalogue.Initialize(registry);
    EXPECT_EQ(catalogue.FilePath(), dir.filePath("install/OVOPCSimulation.ini"));
    EXPECT_EQ(catalogue.LanguageCode(), 1031);
    EXPECT_TRUE(QFile::exists(catalogue.FilePath()));
    EXPECT_EQ(catalogue.GetFunctions()[6].second, "Zufall");
}

}  // namespace
