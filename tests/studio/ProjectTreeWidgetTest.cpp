// The studio's project tree: it must answer the add-in exactly as the
// in-memory studio does, and hand the user's clicks and keys to the add-in in
// the add-in's own terms.

#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "model/DemoProject.h"
#include "platform/host/InMemoryHost.h"
#include "studio/KeyCodes.h"
#include "studio/ProjectTreeWidget.h"
#include "studio/VariableSelectionDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <algorithm>
#include <stdexcept>
#include <vector>

using ov::host::COV4Extensibility;
using ov::host::HostStudio;
using ov::host::InMemoryHost;
using ov::host::NodeFlags;
using ov::studio::ProjectTreeWidget;
using ov::studio::VariableSelectionDialog;

namespace {

const QChar kSep(0xFF);

// Records every node event; can take keys, throw, or change the tree while
// it handles a click, as a real add-in might.
class RecordingAddin : public COV4Extensibility {
  public:
    struct Call {
        QString name, first, key, third;
        int code = 0;  // key code, key ASCII or mouse button
        int shift = 0;
        int x = 0;
        int y = 0;
    };

    std::vector<Call> calls;
    int swallowKeyCode = 0;
    int swallowAscii = 0;
    bool throwOnEvents = false;
    HostStudio* removeClickedNodeFrom = nullptr;

    int Count(const QString& name) const {
        int n = 0;
        for (const Call& call : calls) n += call.name == name ? 1 : 0;
        return n;
    }
    const Call* Last(const QString& name) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->name == name) return &*it;
        return nullptr;
    }
    // The position of the first call of that name and code, -1 when none.
    int IndexOf(const QString& name, int code) const {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].name == name && calls[i].code == code) return static_cast<int>(i);
        return -1;
    }

    bool Initialize(const QString&, const QString&, HostStudio*, void*) override { return false; }
    void StartupComplete() override {}
    void Deactivate() override {}
    void Terminate() override {}
    void GetMessage(const QString&, const QString&, const QVariant&) override {}

    void NodeClick(const QString& first, const QString& key, const QString& third) override {
        Record({QStringLiteral("NodeClick"), first, key, third});
        if (removeClickedNodeFrom) removeClickedNodeFrom->RemoveNode(key);
        if (throwOnEvents) throw std::runtime_error("click failed");
    }
    void NodeDblClick(const QString& first, const QString& key, const QString& third) override {
        Record({QStringLiteral("NodeDblClick"), first, key, third});
    }
    void NodeExpand(const QString& first, const QString& key, const QString& third) override {
        Record({QStringLiteral("NodeExpand"), first, key, third});
    }
    void NodeMouseDown(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseMove(const QString&, const QString&, const QString&, int, int, int, int) override {}
    void NodeMouseUp(const QString& first, const QString& key, const QString& third, int button, int shift,
                     int x, int y) override {
        Record({QStringLiteral("NodeMouseUp"), first, key, third, button, shift, x, y});
    }
    void NodeKeyDown(const QString& first, const QString& key, const QString& third, int& keyCode,
                     int shift) override {
        Record({QStringLiteral("NodeKeyDown"), first, key, third, keyCode, shift});
        if (throwOnEvents) throw std::runtime_error("key down failed");
        if (keyCode == swallowKeyCode) keyCode = 0;
    }
    void NodeKeyPress(const QString& first, const QString& key, const QString& third,
                      int& keyAscii) override {
        Record({QStringLiteral("NodeKeyPress"), first, key, third, keyAscii});
        if (keyAscii == swallowAscii) keyAscii = 0;
    }
    void NodeKeyUp(const QString& first, const QString& key, const QString& third, int& keyCode,
                   int shift) override {
        Record({QStringLiteral("NodeKeyUp"), first, key, third, keyCode, shift});
    }
    void WindowMessage(quint32, quintptr, qintptr) override {}

  private:
    void Record(Call call) { calls.push_back(std::move(call)); }
};

QByteArray SomePng() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const NodeFlags kPlain{};
const NodeFlags kExpanded{true, false, false, false};
const NodeFlags kSorted{false, true, false, false};

// Everything the add-in can ask about the nodes the in-memory studio holds,
// asked of both; each answer that differs is one line.
QStringList Differences(InMemoryHost& memory, ProjectTreeWidget& tree) {
    QStringList out;
    const auto differ = [&out](const QString& what, const QString& expected, const QString& actual) {
        if (expected != actual)
            out << QStringLiteral("%1: expected '%2', tree gave '%3'").arg(what, expected, actual);
    };
    differ(QStringLiteral("node count"), QString::number(memory.NodeCount()),
           QString::number(tree.NodeCount()));
    differ(QStringLiteral("refused calls"), QString::number(memory.RefusedCalls()),
           QString::number(tree.RefusedCalls()));
    QStringList top;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) top << tree.KeyOf(tree.topLevelItem(i));
    differ(QStringLiteral("top level"), memory.TopLevel().join(u','), top.join(u','));

    QStringList keys;
    memory.Walk([&keys](const InMemoryHost::Node& node, int) { keys << node.key; });
    keys << QStringLiteral("no such node");
    for (const QString& key : keys) {
        differ(key + QStringLiteral(" children"), memory.GetChildKeys(key, 1).join(u','),
               tree.GetChildKeys(key, 1).join(u','));
        for (int relation = 1; relation <= 3; ++relation)
            differ(key + QStringLiteral(" relative %1").arg(relation), memory.GetNodeRelative(key, relation),
                   tree.GetNodeRelative(key, relation));
        QString memoryFirst, memoryThird, treeFirst, treeThird;
        memory.GetNodeInfo(key, memoryFirst, memoryThird);
        tree.GetNodeInfo(key, treeFirst, treeThird);
        differ(key + QStringLiteral(" info"), memoryFirst + u'/' + memoryThird, treeFirst + u'/' + treeThird);
        for (int property : {1, 2, 3, 10, 42}) {
            QVariant memoryValue, treeValue;
            const int memoryStatus = memory.GetNodeProperty(key, property, memoryValue);
            const int treeStatus = tree.GetNodeProperty(key, property, treeValue);
            differ(key + QStringLiteral(" property %1 status").arg(property),
                   QString::number(memoryStatus != 0), QString::number(treeStatus != 0));
            if (memoryValue != treeValue)
                differ(key + QStringLiteral(" property %1").arg(property), memoryValue.toString(),
                       treeValue.toString());
        }
        if (const InMemoryHost::Node* node = memory.Find(key))
            differ(key + QStringLiteral(" image"), node->image, tree.ImageKeyOf(key));
    }
    QString mFirst, mKey, mThird, mFourth, tFirst, tKey, tThird, tFourth;
    memory.GetSelectedNode(mFirst, mKey, mThird, mFourth);
    tree.GetSelectedNode(tFirst, tKey, tThird, tFourth);
    differ(QStringLiteral("selected node"), QStringList{mFirst, mKey, mThird, mFourth}.join(u'/'),
           QStringList{tFirst, tKey, tThird, tFourth}.join(u'/'));
    return out;
}

// Adding, refusing, renaming, re-keying and selecting, as the add-in does.
void BuildAndEdit(HostStudio& host) {
    host.AddIcon(QStringLiteral("img"), SomePng());
    host.AddNode(QString(), QStringLiteral("Root"), QStringLiteral("R"), QStringLiteral("0"),
                 QStringLiteral("img"), NodeFlags{true, false, true, false});
    host.AddNode(QStringLiteral("R"), QStringLiteral("Beta"), QStringLiteral("B"), QStringLiteral("tb"),
                 QStringLiteral("img"), kPlain);
    host.AddNode(QStringLiteral("R"), QStringLiteral("Alpha"), QStringLiteral("A"), QStringLiteral("ta"),
                 QString(), kPlain);
    // Keys compare with letter case: "a" is a node of its own.
    host.AddNode(QStringLiteral("R"), QStringLiteral("alpha"), QStringLiteral("a"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("R"), QStringLiteral("Again"), QStringLiteral("B"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("X"), QStringLiteral("Orphan"), QStringLiteral("O"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("R"), QStringLiteral("No key"), QString(), QString(), QString(), kPlain);
    host.AddNode(QStringLiteral("B"), QStringLiteral("B1"), QStringLiteral("B1"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("B"), QStringLiteral("B2"), QStringLiteral("B2"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("B"), QStringLiteral("B3"), QStringLiteral("B3"), QString(), QString(),
                 kPlain);
    host.AddNode(QStringLiteral("B2"), QStringLiteral("Deep"),
                 QStringLiteral("B2") + kSep + QStringLiteral("deep"), QStringLiteral("td"), QString(),
                 kPlain);
    host.AddNode(QString(), QStringLiteral("Second"), QStringLiteral("S"), QString(), QString(), kPlain);
    host.SetNodeProperty(QStringLiteral("B"), ov::host::kPropertyItemCount, QStringLiteral("7"));
    host.SetNodeProperty(QStringLiteral("R"), ov::host::kPropertyLoaded, false);
    host.SetNodeProperty(QStringLiteral("A"), ov::host::kPropertyText, QStringLiteral("Alpha renamed"));
    host.SetNodeProperty(QStringLiteral("B3"), ov::host::kPropertyKey, QStringLiteral("B3new"));
    host.SetNodeProperty(QStringLiteral("B1"), ov::host::kPropertyKey, QStringLiteral("B2"));
    host.SetNodeProperty(QStringLiteral("B1"), ov::host::kPropertyKey, QString());
    host.SetNodeProperty(QStringLiteral("B1"), ov::host::kPropertyKey, QStringLiteral("B1"));
    host.SetNodeProperty(QStringLiteral("missing"), ov::host::kPropertyText, QStringLiteral("x"));
    host.RemoveNode(QStringLiteral("missing"));
    host.SelectNode(QStringLiteral("B2") + kSep + QStringLiteral("deep"));
}

void RemoveAndSelectAgain(HostStudio& host) {
    host.SelectNode(QStringLiteral("no such node"));
    host.SelectNode(QStringLiteral("B1"));
    host.SetNodeProperty(QStringLiteral("B1"), ov::host::kPropertyKey, QStringLiteral("B1x"));
    host.RemoveNode(QStringLiteral("S"));
}

}  // namespace

class ProjectTreeWidgetTest : public QObject {
    Q_OBJECT

  private:
    // A shown tree: R (expanded) with C1 (tag t1, with a child) and C2.
    struct ShownTree {
        RecordingAddin addin;  // outlives the tree that calls it
        QWidget window;
        ProjectTreeWidget* tree = nullptr;
    };
    static bool Show(ShownTree& shown) {
        auto* layout = new QVBoxLayout(&shown.window);
        shown.tree = new ProjectTreeWidget(&shown.window);
        layout->addWidget(shown.tree);
        ProjectTreeWidget& tree = *shown.tree;
        tree.AddNode(QString(), QStringLiteral("Root"), QStringLiteral("R"), QStringLiteral("0"), QString(),
                     kExpanded);
        tree.AddNode(QStringLiteral("R"), QStringLiteral("Child 1"), QStringLiteral("C1"),
                     QStringLiteral("t1"), QString(), kPlain);
        tree.AddNode(QStringLiteral("C1"), QStringLiteral("Grandchild"), QStringLiteral("G"), QString(),
                     QString(), kPlain);
        tree.AddNode(QStringLiteral("R"), QStringLiteral("Child 2"), QStringLiteral("C2"),
                     QStringLiteral("t2"), QString(), kPlain);
        tree.SetAddin(&shown.addin);
        shown.window.resize(320, 400);
        shown.window.show();
        return QTest::qWaitForWindowExposed(&shown.window);
    }
    static QPoint Center(ProjectTreeWidget& tree, const QString& key) {
        return tree.visualItemRect(tree.ItemOf(key)).center();
    }

  private slots:
    void answersLikeTheInMemoryStudio() {
        InMemoryHost memory;
        ProjectTreeWidget tree;
        BuildAndEdit(memory);
        BuildAndEdit(tree);
        QCOMPARE(Differences(memory, tree), QStringList());
        QCOMPARE(tree.RefusedCalls(), 7);
        QVERIFY(tree.HasNode(QStringLiteral("a")));
        QVERIFY(tree.HasNode(QStringLiteral("B3new")));
        QVERIFY(!tree.HasNode(QStringLiteral("B3")));

        // Removing a branch takes its nodes and the selection with it; no
        // neighbour becomes current instead.
        memory.RemoveNode(QStringLiteral("B2"));
        tree.RemoveNode(QStringLiteral("B2"));
        QCOMPARE(Differences(memory, tree), QStringList());
        QString first, key, third, fourth;
        tree.GetSelectedNode(first, key, third, fourth);
        QCOMPARE(key, QString());
        QVERIFY(!tree.HasNode(QStringLiteral("B2") + kSep + QStringLiteral("deep")));

        // The selection follows a re-keyed node.
        RemoveAndSelectAgain(memory);
        RemoveAndSelectAgain(tree);
        QCOMPARE(Differences(memory, tree), QStringList());
        tree.GetSelectedNode(first, key, third, fourth);
        QCOMPARE(key, QStringLiteral("B1x"));
        QCOMPARE(first, QStringLiteral("B"));
    }

    void demoBranchMatchesTheInMemoryStudio() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.ovs"));
        ov::model::CreateDemoProject(path);
        ov::model::DataConnection data;
        data.Open(path);

        InMemoryHost memory;
        ProjectTreeWidget tree;
        for (HostStudio* host : std::initializer_list<HostStudio*>{&memory, &tree}) {
            host->AddNode(QString(), QStringLiteral("Items"), QStringLiteral("OPCE0"), QStringLiteral("0"),
                          QString(), NodeFlags{true, false, true, false});
            ov::host::ProjectTree(*host).BuildBranch(data, QStringLiteral("Name"));
        }
        data.Close();
        QVERIFY(tree.NodeCount() > 30);
        QCOMPARE(Differences(memory, tree), QStringList());

        const QString line1 =
            QStringLiteral("OPCD1") + kSep + u'.' + kSep + u'O' + kSep + QStringLiteral("Line1");
        QCOMPARE(tree.ItemOf(line1)->toolTip(0), QStringLiteral("9 items"));
        QVERIFY(tree.ItemOf(QStringLiteral("OPCE0"))->isExpanded());
    }

    void sortedNodesKeepTheirChildrenInOrder() {
        ProjectTreeWidget tree;
        tree.AddNode(QString(), QStringLiteral("Sorted"), QStringLiteral("S"), QString(), QString(), kSorted);
        tree.AddNode(QString(), QStringLiteral("Plain"), QStringLiteral("P"), QString(), QString(), kPlain);
        for (const char* name : {"gamma", "Beta", "alpha", "Alpha2", "beta"}) {
            const QString text = QString::fromLatin1(name);
            tree.AddNode(QStringLiteral("S"), text, QStringLiteral("S.") + text, QString(), QString(),
                         kPlain);
            tree.AddNode(QStringLiteral("P"), text, QStringLiteral("P.") + text, QString(), QString(),
                         kPlain);
        }
        // Alphabetical without regard to case; equal names keep their order.
        QCOMPARE(tree.GetChildKeys(QStringLiteral("S"), 1),
                 (QStringList{QStringLiteral("S.alpha"), QStringLiteral("S.Alpha2"), QStringLiteral("S.Beta"),
                              QStringLiteral("S.beta"), QStringLiteral("S.gamma")}));
        QCOMPARE(tree.GetChildKeys(QStringLiteral("P"), 1),
                 (QStringList{QStringLiteral("P.gamma"), QStringLiteral("P.Beta"), QStringLiteral("P.alpha"),
                              QStringLiteral("P.Alpha2"), QStringLiteral("P.beta")}));
        QCOMPARE(tree.GetNodeRelative(QStringLiteral("S.Beta"), 2), QStringLiteral("S.beta"));
        QCOMPARE(tree.GetNodeRelative(QStringLiteral("S.alpha"), 3), QString());
    }

    void iconsTagsAndTheHostWindow() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QLineEdit(&window);
        auto* tree = new ProjectTreeWidget(&window);
        auto* area = new QWidget(&window);
        layout->addWidget(other);
        layout->addWidget(tree);
        layout->addWidget(area);
        HostStudio& host = *tree;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(host.GetHostWindow(), ov::host::WindowHandle(0));
        tree->SetEditorArea(area);
        QCOMPARE(host.GetHostWindow(), reinterpret_cast<ov::host::WindowHandle>(area));

        host.AddIcon(QStringLiteral("good"), SomePng());
        host.AddIcon(QStringLiteral("broken"), QByteArray("not a picture"));
        host.AddNode(QString(), QStringLiteral("With icon"), QStringLiteral("I"), QStringLiteral("tag"),
                     QStringLiteral("good"), kPlain);
        host.AddNode(QString(), QStringLiteral("Broken icon"), QStringLiteral("J"), QString(),
                     QStringLiteral("broken"), kPlain);
        host.AddNode(QString(), QStringLiteral("Unknown icon"), QStringLiteral("K"), QString(),
                     QStringLiteral("nothing"), kPlain);
        QVERIFY(!tree->ItemOf(QStringLiteral("I"))->icon(0).isNull());
        QVERIFY(tree->ItemOf(QStringLiteral("J"))->icon(0).isNull());
        QVERIFY(tree->ItemOf(QStringLiteral("K"))->icon(0).isNull());
        QCOMPARE(tree->NodeCount(), 3);

        QString first, third;
        host.GetNodeInfo(QStringLiteral("I"), first, third);
        QCOMPARE(third, QStringLiteral("tag"));
        host.SetNodeProperty(QStringLiteral("I"), ov::host::kPropertyItemCount, QStringLiteral("1"));
        QCOMPARE(tree->ItemOf(QStringLiteral("I"))->toolTip(0), QStringLiteral("1 item"));

        other->setFocus();
        host.FocusProjectTree();
        QCOMPARE(window.focusWidget(), tree);

        tree->ClearTree();
        QCOMPARE(tree->NodeCount(), 0);
        QCOMPARE(tree->topLevelItemCount(), 0);
        QVERIFY(!tree->HasIcon(QStringLiteral("good")));
    }

    void clicksDoubleClicksAndExpansionReachTheAddin() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;

        const QPoint c1 = Center(tree, QStringLiteral("C1"));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, c1);
        const RecordingAddin::Call* click = addin.Last(QStringLiteral("NodeClick"));
        QVERIFY(click);
        QCOMPARE(click->first, QStringLiteral("R"));
        QCOMPARE(click->key, QStringLiteral("C1"));
        QCOMPARE(click->third, QStringLiteral("t1"));
        const RecordingAddin::Call* up = addin.Last(QStringLiteral("NodeMouseUp"));
        QVERIFY(up);
        QCOMPARE(up->code, 1);
        QCOMPARE(QPoint(up->x, up->y), tree.viewport()->mapToGlobal(c1));

        // The top-level node carries no parent key.
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, Center(tree, QStringLiteral("R")));
        QCOMPARE(addin.Last(QStringLiteral("NodeClick"))->key, QStringLiteral("R"));
        QCOMPARE(addin.Last(QStringLiteral("NodeClick"))->first, QString());

        // A real double click: press and release, then the double click and its release.
        const QPoint c2 = Center(tree, QStringLiteral("C2"));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, c2);
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, c2);
        QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, c2);
        QVERIFY(addin.Last(QStringLiteral("NodeDblClick")));
        QCOMPARE(addin.Last(QStringLiteral("NodeDblClick"))->key, QStringLiteral("C2"));
        QCOMPARE(addin.Last(QStringLiteral("NodeDblClick"))->third, QStringLiteral("t2"));

        addin.calls.clear();
        tree.expandItem(tree.ItemOf(QStringLiteral("C1")));
        QCOMPARE(addin.Count(QStringLiteral("NodeExpand")), 1);
        QCOMPARE(addin.Last(QStringLiteral("NodeExpand"))->key, QStringLiteral("C1"));
        QCOMPARE(addin.Last(QStringLiteral("NodeExpand"))->first, QStringLiteral("R"));
    }

    void aNodeClickedInsideClosedFoldersIsShownWithThemOpen() {
        // As the studio shows the node a project showed last.
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;
        QVERIFY(!tree.ItemOf(QStringLiteral("C1"))->isExpanded());

        tree.ClickNode(QStringLiteral("G"));
        QCOMPARE(tree.currentItem(), tree.ItemOf(QStringLiteral("G")));
        QVERIFY(tree.ItemOf(QStringLiteral("C1"))->isExpanded());
        QVERIFY(tree.visualItemRect(tree.ItemOf(QStringLiteral("G"))).isValid());
        // The add-in hears of the folder opened before the click on the node inside it.
        QCOMPARE(addin.Count(QStringLiteral("NodeExpand")), 1);
        QCOMPARE(addin.calls.front().name, QStringLiteral("NodeExpand"));
        QCOMPARE(addin.calls.front().key, QStringLiteral("C1"));
        QCOMPARE(addin.calls.back().name, QStringLiteral("NodeClick"));
        QCOMPARE(addin.calls.back().key, QStringLiteral("G"));
    }

    void rightButtonReleaseCarriesScreenPosition() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;

        const QPoint c2 = Center(tree, QStringLiteral("C2")) + QPoint(7, 2);
        QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, c2);
        const RecordingAddin::Call* up = addin.Last(QStringLiteral("NodeMouseUp"));
        QVERIFY(up);
        QCOMPARE(up->key, QStringLiteral("C2"));
        QCOMPARE(up->third, QStringLiteral("t2"));
        QCOMPARE(up->code, 2);
        QCOMPARE(up->shift, 3);
        QCOMPARE(QPoint(up->x, up->y), tree.viewport()->mapToGlobal(c2));

        // Below the last node there is nothing to report.
        addin.calls.clear();
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, QPoint(20, tree.viewport()->height() - 5));
        QCOMPARE(addin.Count(QStringLiteral("NodeMouseUp")), 0);
    }

    void keysArriveAsVirtualKeyCodes() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;
        tree.setCurrentItem(tree.ItemOf(QStringLiteral("C2")));
        QCOMPARE(addin.calls.size(), std::size_t(0));

        QTest::keyClick(&tree, Qt::Key_F8);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyDown"), 119) >= 0);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyUp"), 119) >= 0);
        QCOMPARE(addin.Count(QStringLiteral("NodeKeyPress")), 0);
        const RecordingAddin::Call* down = addin.Last(QStringLiteral("NodeKeyDown"));
        QCOMPARE(down->first, QStringLiteral("R"));
        QCOMPARE(down->key, QStringLiteral("C2"));
        QCOMPARE(down->third, QStringLiteral("t2"));
        QCOMPARE(down->shift, 0);

        addin.calls.clear();
        QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
        const int ctrlC = addin.IndexOf(QStringLiteral("NodeKeyDown"), 67);
        QVERIFY(ctrlC >= 0);
        QCOMPARE(addin.calls[ctrlC].shift, 2);
        QVERIFY(ctrlC + 1 < static_cast<int>(addin.calls.size()));
        QCOMPARE(addin.calls[ctrlC + 1].name, QStringLiteral("NodeKeyPress"));
        QCOMPARE(addin.calls[ctrlC + 1].code, 3);

        addin.calls.clear();
        QTest::keyClick(&tree, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(addin.Last(QStringLiteral("NodeKeyPress"))->code, 22);

        addin.calls.clear();
        QTest::keyClick(&tree, Qt::Key_Delete);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyDown"), 46) >= 0);
        QCOMPARE(addin.Count(QStringLiteral("NodeKeyPress")), 0);

        addin.calls.clear();
        QTest::keyClick(&tree, Qt::Key_Return);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyDown"), 13) >= 0);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyPress"), 13) >= 0);

        addin.calls.clear();
        QTest::keyClick(&tree, Qt::Key_5, Qt::KeypadModifier);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyDown"), 101) >= 0);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyPress"), u'5') >= 0);
    }

    void keyCodeTable_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("virtualKey");
        QTest::addColumn<int>("ascii");
        const int none = 0;
        const int ctrl = Qt::ControlModifier;
        const int shift = Qt::ShiftModifier;
        const int alt = Qt::AltModifier;
        QTest::newRow("F1") << int(Qt::Key_F1) << none << QString() << 112 << 0;
        QTest::newRow("F12") << int(Qt::Key_F12) << none << QString() << 123 << 0;
        QTest::newRow("left") << int(Qt::Key_Left) << none << QString() << 37 << 0;
        QTest::newRow("down") << int(Qt::Key_Down) << none << QString() << 40 << 0;
        QTest::newRow("a") << int(Qt::Key_A) << none << QStringLiteral("a") << 65 << 97;
        QTest::newRow("shift a") << int(Qt::Key_A) << shift << QStringLiteral("A") << 65 << 65;
        QTest::newRow("ctrl a") << int(Qt::Key_A) << ctrl << QStringLiteral("\x01") << 65 << 1;
        QTest::newRow("ctrl z") << int(Qt::Key_Z) << ctrl << QString() << 90 << 26;
        QTest::newRow("ctrl alt c") << int(Qt::Key_C) << (ctrl | alt) << QString() << 67 << 0;
        QTest::newRow("ctrl 1") << int(Qt::Key_1) << ctrl << QString() << 49 << 0;
        QTest::newRow("digit 0") << int(Qt::Key_0) << none << QStringLiteral("0") << 48 << 48;
        QTest::newRow("escape") << int(Qt::Key_Escape) << none << QStringLiteral("\x1b") << 27 << 27;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << QStringLiteral("\b") << 8 << 8;
        QTest::newRow("umlaut") << int(Qt::Key_Adiaeresis) << none << QStringLiteral("\u00E4") << 0 << 0xE4;
        QTest::newRow("euro sign") << int(Qt::Key_unknown) << none << QStringLiteral("\u20AC") << 0 << 0;
        QTest::newRow("keypad enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << QStringLiteral("\r") << 13 << 13;
        QTest::newRow("keypad minus")
            << int(Qt::Key_Minus) << int(Qt::KeypadModifier) << QStringLiteral("-") << 109 << 45;
        QTest::newRow("minus") << int(Qt::Key_Minus) << none << QStringLiteral("-") << 189 << 45;
        QTest::newRow("control itself") << int(Qt::Key_Control) << none << QString() << 17 << 0;
    }

    void keyCodeTable() {
        QFETCH(int, qtKey);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, virtualKey);
        QFETCH(int, ascii);
        const auto mods = Qt::KeyboardModifiers::fromInt(modifiers);
        QCOMPARE(ov::studio::keycodes::VirtualKey(qtKey, mods), virtualKey);
        QCOMPARE(ov::studio::keycodes::KeyAscii(qtKey, mods, text), ascii);
    }

    void swallowedKeysDoNotReachTheTree() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;
        tree.AddNode(QString(), QStringLiteral("alpha"), QStringLiteral("k1"), QString(), QString(), kPlain);
        tree.AddNode(QString(), QStringLiteral("beta"), QStringLiteral("k2"), QString(), QString(), kPlain);
        tree.AddNode(QString(), QStringLiteral("gamma"), QStringLiteral("k3"), QString(), QString(), kPlain);
        QTreeWidgetItem* alpha = tree.ItemOf(QStringLiteral("k1"));
        QTreeWidgetItem* beta = tree.ItemOf(QStringLiteral("k2"));

        tree.setCurrentItem(alpha);
        addin.swallowKeyCode = 40;
        QTest::keyClick(&tree, Qt::Key_Down);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyDown"), 40) >= 0);
        QCOMPARE(tree.currentItem(), alpha);
        QCOMPARE(addin.Count(QStringLiteral("NodeClick")), 0);
        addin.swallowKeyCode = 0;
        QTest::keyClick(&tree, Qt::Key_Down);
        QCOMPARE(tree.currentItem(), beta);
        // The node the keys moved to is shown, as if clicked.
        QCOMPARE(addin.Count(QStringLiteral("NodeClick")), 1);
        const auto click = std::find_if(addin.calls.begin(), addin.calls.end(), [](const auto& call) {
            return call.name == QStringLiteral("NodeClick");
        });
        QCOMPARE(click->key, QStringLiteral("k2"));

        // A letter jumps to the next node with that initial, unless the add-in takes it.
        tree.setCurrentItem(alpha);
        addin.swallowAscii = u'b';
        QTest::keyClick(&tree, Qt::Key_B);
        QVERIFY(addin.IndexOf(QStringLiteral("NodeKeyPress"), u'b') >= 0);
        QCOMPARE(tree.currentItem(), alpha);
        addin.swallowAscii = 0;
        QTest::keyClick(&tree, Qt::Key_B);
        QCOMPARE(tree.currentItem(), beta);
    }

    void aFailingAddinLeavesTheTreeWorking() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;
        addin.throwOnEvents = true;

        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, Center(tree, QStringLiteral("C1")));
        QCOMPARE(addin.Count(QStringLiteral("NodeClick")), 1);
        QCOMPARE(addin.Count(QStringLiteral("NodeMouseUp")), 1);
        QCOMPARE(tree.currentItem(), tree.ItemOf(QStringLiteral("C1")));
        // The key the add-in failed on is the tree's again: the arrow still moves.
        QTest::keyClick(&tree, Qt::Key_Down);
        QCOMPARE(addin.Count(QStringLiteral("NodeKeyDown")), 1);
        QCOMPARE(tree.currentItem(), tree.ItemOf(QStringLiteral("C2")));
    }

    void theAddinMayRemoveTheClickedNode() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;
        addin.removeClickedNodeFrom = &tree;

        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, Center(tree, QStringLiteral("C1")));
        QVERIFY(!tree.HasNode(QStringLiteral("C1")));
        QVERIFY(!tree.HasNode(QStringLiteral("G")));
        QCOMPARE(addin.Last(QStringLiteral("NodeMouseUp"))->key, QStringLiteral("C1"));
        QString first, key, third, fourth;
        tree.GetSelectedNode(first, key, third, fourth);
        QCOMPARE(key, QString());
        QCOMPARE(tree.GetChildKeys(QStringLiteral("R"), 1), QStringList{QStringLiteral("C2")});
    }

    void changesTheAddinMakesAreNotEchoedBack() {
        ShownTree shown;
        QVERIFY(Show(shown));
        ProjectTreeWidget& tree = *shown.tree;
        RecordingAddin& addin = shown.addin;

        // Expanded on arrival, and expanded to show a selected node deep down:
        // the add-in asked for both and hears of neither.
        tree.AddNode(QString(), QStringLiteral("Open"), QStringLiteral("O"), QString(), QString(), kExpanded);
        tree.AddNode(QStringLiteral("O"), QStringLiteral("Closed"), QStringLiteral("O1"), QString(),
                     QString(), kPlain);
        tree.AddNode(QStringLiteral("O1"), QStringLiteral("Deeper"), QStringLiteral("O2"), QString(),
                     QString(), kPlain);
        tree.AddNode(QStringLiteral("O2"), QStringLiteral("Deepest"), QStringLiteral("O3"), QString(),
                     QString(), kPlain);
        tree.SelectNode(QStringLiteral("O3"));
        QVERIFY(tree.ItemOf(QStringLiteral("O"))->isExpanded());
        QCOMPARE(tree.currentItem(), tree.ItemOf(QStringLiteral("O3")));
        QCOMPARE(addin.Count(QStringLiteral("NodeExpand")), 0);
        QCOMPARE(addin.Count(QStringLiteral("NodeClick")), 0);

        // Without an add-in nothing is reported at all.
        tree.SetAddin(nullptr);
        tree.collapseItem(tree.ItemOf(QStringLiteral("O1")));
        tree.expandItem(tree.ItemOf(QStringLiteral("O1")));
        QCOMPARE(addin.Count(QStringLiteral("NodeExpand")), 0);
    }

    void variableDialogListsFiltersAndPreselects() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.ovs"));
        ov::model::CreateDemoProject(path);

        VariableSelectionDialog dialog(path, QStringLiteral("line1.tank.level"));
        const QStringList all = dialog.VisibleNames();
        QCOMPARE(all.size(), 22);
        QStringList sorted = all;
        std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(all, sorted);
        QCOMPARE(dialog.SelectedName(), QStringLiteral("Line1.Tank.Level"));

        dialog.FilterEdit()->setText(QStringLiteral("MOTOR1"));
        QCOMPARE(dialog.VisibleNames(),
                 (QStringList{QStringLiteral("Line1.Motor1.Current"), QStringLiteral("Line1.Motor1.Running"),
                              QStringLiteral("Line1.Motor1.Speed")}));
        QCOMPARE(dialog.SelectedName(), QStringLiteral("Line1.Motor1.Current"));

        dialog.FilterEdit()->setText(QStringLiteral("no such item"));
        QVERIFY(dialog.VisibleNames().isEmpty());
        QCOMPARE(dialog.SelectedName(), QString());

        VariableSelectionDialog missing(dir.filePath(QStringLiteral("missing.ovs")), QString());
        QVERIFY(missing.VisibleNames().isEmpty());
        QVERIFY2(missing.StatusText().contains(QStringLiteral("missing.ovs")),
                 qPrintable(missing.StatusText()));
    }

    void selectVariableAnswersWithTheChosenName() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("demo.ovs"));
        ov::model::CreateDemoProject(path);
        ProjectTreeWidget tree;
        tree.SetProjectFile(path);

        QString preselected;
        const auto answer = [&preselected](bool accept, const QString& filter) {
            QTimer::singleShot(0, [&preselected, accept, filter] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<VariableSelectionDialog*>(widget);
                    if (!dialog || !dialog->isVisible()) continue;
                    preselected = dialog->SelectedName();
                    dialog->FilterEdit()->setText(filter);
                    if (accept)
                        dialog->accept();
                    else
                        dialog->reject();
                }
            });
        };
        answer(true, QStringLiteral("humid"));
        QCOMPARE(tree.SelectVariable(QStringLiteral("Line1.Motor1.Speed"), 16), QStringLiteral("Humidity"));
        QCOMPARE(preselected, QStringLiteral("Line1.Motor1.Speed"));
        answer(false, QString());
        QCOMPARE(tree.SelectVariable(QStringLiteral("Humidity"), 32), QString());
        QCOMPARE(preselected, QStringLiteral("Humidity"));
    }
};

QTEST_MAIN(ProjectTreeWidgetTest)
#include "ProjectTreeWidgetTest.moc"
