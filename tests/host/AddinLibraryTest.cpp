// Loads the add-in library the way the studio does and drives it only
// through its exported factory and the two public interfaces.

#include "platform/host/COV4Extensibility.h"
#include "platform/host/InMemoryHost.h"
#include "support/TempProject.h"

#include <QLibrary>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Factory = void* (*)(const char*);

TEST(AddinLibrary, ExportsOnlyTheFactoryWhichMakesBothObjects) {
    QTemporaryDir dir;
    qputenv("OVSTUDIO_REGISTRY", dir.filePath(QStringLiteral("registry.ini")).toUtf8());
    QLibrary library(QStringLiteral(ADDIN_PATH));
    ASSERT_TRUE(library.load()) << library.errorString().toStdString();
    const auto create = reinterpret_cast<Factory>(library.resolve("OvOpcEditorCreateObject"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(library.resolve("_ZN2ov4host7ConnectC1Ev"), nullptr) << "the classes themselves stay private";
    EXPECT_EQ(create("Unknown"), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);

    ov::test::TempProject project(ov::test::TempProject::Content::Demo);
    ov::host::InMemoryHost studio;
    {
        std::unique_ptr<ov::host::IToolbox> toolbox(static_cast<ov::host::IToolbox*>(create("CToolbox")));
        ASSERT_NE(toolbox, nullptr);
        qint16 level = 5;
        bool overwrite = true;
        toolbox->SetExternalAuthorizationLevel(level, overwrite);

        std::unique_ptr<ov::host::COV4Extensibility> addin(static_cast<ov::host::COV4Extensibility*>(create("Connect")));
        ASSERT_NE(addin, nullptr);
        EXPECT_FALSE(addin->Initialize(project.Path(), QString(), &studio, &studio));
        EXPECT_EQ(studio.NodeCount(), 1);
        addin->NodeClick(QString(), QStringLiteral("OPCE0"), QString());
        EXPECT_GT(studio.NodeCount(), 30) << "the editor loaded and built its branch";
        addin->Terminate();
        EXPECT_EQ(studio.NodeCount(), 0);
    }
    qunsetenv("OVSTUDIO_REGISTRY");
}

}  // namespace
