#pragma once

// What the studio's tests share: a private folder for their projects, an
// add-in that ignores every event its test does not watch, and the tree's
// selection in one text.

#include "model/DemoProject.h"
#include "model/ProjectTemplate.h"
#include "platform/host/COV4Extensibility.h"

#include <QTemporaryDir>
#include <QtTest>

namespace ov::test {

using namespace Qt::StringLiterals;

// Separates the parts of a node key.
inline const QChar kSep(0xFF);

// A folder that disappears with the object, with projects made in it.
class StudioFolder {
public:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Root() const { return m_dir.path(); }
    QString Demo(const QString& name) const { return Made(name, model::CreateDemoProject); }
    QString Empty(const QString& name) const { return Made(name, model::CreateProjectDatabase); }
    // The add-in reads the registry and keeps its settings in the user's
    // configuration folder: both come here instead, for the whole test run.
    void KeepStudioSettingsHere() const {
        qputenv("XDG_CONFIG_HOME", Path(u"config"_s).toUtf8());
        qputenv("OVSTUDIO_REGISTRY", Path(u"registry.ini"_s).toUtf8());
    }

private:
    template <class Create>
    QString Made(const QString& name, Create create) const {
        create(Path(name));
        return Path(name);
    }
    QTemporaryDir m_dir;
};

// "first/key/third/fourth" of the node the studio shows as selected.
inline QString SelectedNode(host::HostStudio& host) {
    QString first, key, third, fourth;
    host.GetSelectedNode(first, key, third, fourth);
    return QStringList{first, key, third, fourth}.join(u'/');
}

class QuietAddin : public host::COV4Extensibility {
public:
    bool Initialize(const QString&, const QString&, host::HostStudio*, void*) override { return false; }
    void StartupComplete() override {}
    void Deactivate() override {}
    void Terminate() override {}
    void GetMessage(const QString&, const QString&, const QVariant&) override {}
    void NodeClick(const QString&, const QString&, const QString&) override {}
    void NodeDblClick(const QString&, const QString&, const QString&) override {}
    void NodeExpand(const QString&, const QString&, const QString&) override {}
    void NodeMouseDown(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseMove(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseUp(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeKeyDown(const QString&, const QString&, const QString&, int&, int) override {}
    void NodeKeyPress(const QString&, const QString&, const QString&, int&) override {}
    void NodeKeyUp(const QString&, const QString&, const QString&, int&, int) override {}
    void WindowMessage(quint32, quintptr, qintptr) override {}
};

}  // namespace ov::test
