// The studio's project tree: it must answer the add-in exactly as the
// in-memory studio does, and hand the user's clicks and keys to the add-in in
// the add-in's own terms.

#include "host/ProjectTree.h"
#include "model/DataConnection.h"
#include "model/DemoProject.h"
#include "platform/host/InMemoryHost.h"
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

// A node as the add-in adds it; most come without tag, icon or flags.
void Add(HostStudio& host, const QString& parent, const QString& text, const QString& key,
         const QString& tag = QString(), const QString& image = QString(), NodeFlags flags = kPlain) {
    host.AddNode(parent, text, key, tag, image, flags);
}

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
    Add(host, {}, "Root", "R", "0", "img", NodeFlags{true, false, true, false});
    Add(host, "R", "Beta", "B", "tb", "img");
    Add(host, "R", "Alpha", "A", "ta");
    // Keys compare with letter case: "a" is a node of its own.
    Add(host, "R", "alpha", "a");
    Add(host, "R", "Again", "B");
    Add(host, "X", "Orphan", "O");
    Add(host, "R", "No key", {});
    for (const char* key : {"B1", "B2", "B3"}) Add(host, "B", key, key);
    Add(host, "B2", "Deep", QStringLiteral("B2") + kSep + QStringLiteral("deep"), "td");
    Add(host, {}, "Second", "S");
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
    // Every test starts with a shown tree: R (expanded) with C1 (tag t1, with
    // the child G) and C2 (tag t2), reporting to m_addin.
    std::unique_ptr<RecordingAddin> m_addin;  // outlives the tree that calls it
    std::unique_ptr<QWidget> m_window;
    ProjectTreeWidget* m_tree = nullptr;
    QTemporaryDir m_dir;
    QString m_demo;

    static QPoint Center(ProjectTreeWidget& tree, const QString& key) {
        return tree.visualItemRect(tree.ItemOf(key)).center();
    }

  private slots:
    void initTestCase() {
        m_demo = m_dir.filePath(QStringLiteral("demo.ovs"));
        ov::model::CreateDemoProject(m_demo);
    }

    void init() {
        m_addin = std::make_unique<RecordingAddin>();
        m_window = std::make_unique<QWidget>();
        m_tree = new ProjectTreeWidget(m_window.get());
        (new QVBoxLayout(m_window.get()))->addWidget(m_tree);
        Add(*m_tree, {}, "Root", "R", "0", {}, kExpanded);
        Add(*m_tree, "R", "Child 1", "C1", "t1");
        Add(*m_tree, "C1", "Grandchild", "G");
        Add(*m_tree, "R", "Child 2", "C2", "t2");
        m_tree->SetAddin(m_addin.get());
        m_window->resize(320, 400);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window.reset();
        m_addin.reset();
    }

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
        ov::model::DataConnection data;
        data.Open(m_demo);
        InMemoryHost memory;
        ProjectTreeWidget tree;
        for (HostStudio* host : std::initializer_list<HostStudio*>{&memory, &tree}) {
            Add(*host, {}, "Items", "OPCE0", "0", {}, NodeFlags{true, false, true, false});
            ov::host::ProjectTree(*host).BuildBranch(data, QStringLiteral("Name"));
        }
        data.Close();
        QVERIFY(tree.NodeCount() > 30);
        QCOMPARE(Differences(memory, tree), QStringList());
        QVERIFY(tree.ItemOf(QStringLiteral("OPCE0"))->isExpanded());
    }

    void sortedNodesKeepTheirChildrenInOrder() {
        ProjectTreeWidget tree;
        Add(tree, {}, "Sorted", "S", {}, {}, kSorted);
        Add(tree, {}, "Plain", "P");
        for (const QString text : {"gamma", "Beta", "alpha", "Alpha2", "beta"}) {
            Add(tree, "S", text, QStringLiteral("S.") + text);
            Add(tree, "P", text, QStringLiteral("P.") + text);
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
        Add(host, {}, "With icon", "I", "tag", "good");
        Add(host, {}, "Broken icon", "J", {}, "broken");
        Add(host, {}, "Unknown icon", "K", {}, "nothing");
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

    void mouseAndExpansionReachTheAddin() {
        ProjectTreeWidget& tree = *m_tree;
        RecordingAddin& addin = *m_addin;
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

        // The right button's release carries the shift state and the screen position.
        const QPoint at = Center(tree, QStringLiteral("C2")) + QPoint(7, 2);
        QTest::mouseClick(tree.viewport(), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, at);
        up = addin.Last(QStringLiteral("NodeMouseUp"));
        QVERIFY(up);
        QCOMPARE(up->key, QStringLiteral("C2"));
        QCOMPARE(up->third, QStringLiteral("t2"));
        QCOMPARE(up->code, 2);
        QCOMPARE(up->shift, 3);
        QCOMPARE(QPoint(up->x, up->y), tree.viewport()->mapToGlobal(at));

        // Below the last node there is nothing to report.
        addin.calls.clear();
        QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, QPoint(20, tree.viewport()->height() - 5));
        QCOMPARE(addin.Count(QStringLiteral("NodeMouseUp")), 0);
    }

    void aNodeClickedInsideClosedFoldersIsShownWithThemOpen() {
        // As the studio shows the node a project showed last.
        ProjectTreeWidget& tree = *m_tree;
        QVERIFY(!tree.ItemOf(QStringLiteral("C1"))->isExpanded());
        tree.ClickNode(QStringLiteral("G"));
        QCOMPARE(tree.currentItem(), tree.ItemOf(QStringLiteral("G")));
        QVERIFY(tree.ItemOf(QStringLiteral("C1"))->isExpanded());
        QVERIFY(tree.visualItemRect(tree.ItemOf(QStringLiteral("G"))).isValid());
        // The add-in hears of the folder opened before the click on the node inside it.
        const auto& calls = m_addin->calls;
        QCOMPARE(m_addin->Count(QStringLiteral("NodeExpand")), 1);
        QCOMPARE(calls.front().name, QStringLiteral("NodeExpand"));
        QCOMPARE(calls.front().key, QStringLiteral("C1"));
        QCOMPARE(calls.back().name, QStringLiteral("NodeClick"));
        QCOMPARE(calls.back().key, QStringLiteral("G"));
    }

    // A key on the current node reaches the add-in in the codes of its home
    // platform: key down and key up with the virtual key code and shift state
    // (none for a key without one), and a key press right after key down with
    // the character's code, only for a key that gives one.
    void keysReachTheAddinInItsOwnCodes_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("keyCode");  // 0: no key down or up
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("ascii");  // 0: no key press
        const int none = 0;
        const int ctrl = Qt::ControlModifier;
        const int shift = Qt::ShiftModifier;
        const int alt = Qt::AltModifier;
        const int keypad = Qt::KeypadModifier;
        const QString no;
        const auto t = [](const char* text) { return QString::fromUtf8(text); };
        QTest::newRow("F1") << int(Qt::Key_F1) << none << no << 112 << 0 << 0;
        QTest::newRow("F8") << int(Qt::Key_F8) << none << no << 119 << 0 << 0;
        QTest::newRow("F12") << int(Qt::Key_F12) << none << no << 123 << 0 << 0;
        QTest::newRow("left") << int(Qt::Key_Left) << none << no << 37 << 0 << 0;
        QTest::newRow("down") << int(Qt::Key_Down) << none << no << 40 << 0 << 0;
        QTest::newRow("delete") << int(Qt::Key_Delete) << none << no << 46 << 0 << 0;
        QTest::newRow("a") << int(Qt::Key_A) << none << t("a") << 65 << 0 << 97;
        QTest::newRow("shift a") << int(Qt::Key_A) << shift << t("A") << 65 << 1 << 65;
        QTest::newRow("ctrl a") << int(Qt::Key_A) << ctrl << t("\x01") << 65 << 2 << 1;
        QTest::newRow("ctrl c") << int(Qt::Key_C) << ctrl << t("\x03") << 67 << 2 << 3;
        QTest::newRow("ctrl v") << int(Qt::Key_V) << ctrl << t("\x16") << 86 << 2 << 22;
        QTest::newRow("ctrl z") << int(Qt::Key_Z) << ctrl << no << 90 << 2 << 26;
        QTest::newRow("ctrl alt c") << int(Qt::Key_C) << (ctrl | alt) << no << 67 << 6 << 0;
        QTest::newRow("ctrl 1") << int(Qt::Key_1) << ctrl << no << 49 << 2 << 0;
        QTest::newRow("digit 0") << int(Qt::Key_0) << none << t("0") << 48 << 0 << 48;
        QTest::newRow("return") << int(Qt::Key_Return) << none << t("\r") << 13 << 0 << 13;
        QTest::newRow("escape") << int(Qt::Key_Escape) << none << t("\x1b") << 27 << 0 << 27;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << none << t("\b") << 8 << 0 << 8;
        QTest::newRow("umlaut") << int(Qt::Key_Adiaeresis) << none << t("\u00E4") << 0 << 0 << 0xE4;
        QTest::newRow("euro sign") << int(Qt::Key_unknown) << none << t("\u20AC") << 0 << 0 << 0;
        QTest::newRow("keypad 5") << int(Qt::Key_5) << keypad << t("5") << 101 << 0 << 53;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << keypad << t("\r") << 13 << 0 << 13;
        QTest::newRow("keypad minus") << int(Qt::Key_Minus) << keypad << t("-") << 109 << 0 << 45;
        QTest::newRow("minus") << int(Qt::Key_Minus) << none << t("-") << 189 << 0 << 45;
        QTest::newRow("control itself") << int(Qt::Key_Control) << none << no << 17 << 2 << 0;
    }

    void keysReachTheAddinInItsOwnCodes() {
        QFETCH(int, qtKey);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(int, keyCode);
        QFETCH(int, shift);
        QFETCH(int, ascii);
        const std::vector<RecordingAddin::Call>& calls = m_addin->calls;
        m_tree->setCurrentItem(m_tree->ItemOf(QStringLiteral("C2")));
        QCOMPARE(calls.size(), std::size_t(0));

        const auto mods = Qt::KeyboardModifiers::fromInt(modifiers);
        QTest::sendKeyEvent(QTest::Click, m_tree, Qt::Key(qtKey), text, mods);
        // The modifiers arrive as keys of their own before and after the key.
        const int down = m_addin->IndexOf(QStringLiteral("NodeKeyDown"), keyCode);
        if (keyCode == 0) {
            QCOMPARE(m_addin->Count(QStringLiteral("NodeKeyDown")), 0);
            QCOMPARE(m_addin->Count(QStringLiteral("NodeKeyUp")), 0);
        } else {
            QVERIFY(down >= 0);
            QCOMPARE(calls[down].shift, shift);
            QCOMPARE(QStringList({calls[down].first, calls[down].key, calls[down].third}),
                     (QStringList{QStringLiteral("R"), QStringLiteral("C2"), QStringLiteral("t2")}));
            QVERIFY(m_addin->IndexOf(QStringLiteral("NodeKeyUp"), keyCode) > down);
        }
        if (ascii == 0) {
            QCOMPARE(m_addin->Count(QStringLiteral("NodeKeyPress")), 0);
        } else {
            QCOMPARE(m_addin->Count(QStringLiteral("NodeKeyPress")), 1);
            QCOMPARE(calls.at(down + 1).name, QStringLiteral("NodeKeyPress"));
            QCOMPARE(calls.at(down + 1).code, ascii);
        }
    }

    void swallowedKeysDoNotReachTheTree() {
        ProjectTreeWidget& tree = *m_tree;
        RecordingAddin& addin = *m_addin;
        Add(tree, {}, "alpha", "k1");
        Add(tree, {}, "beta", "k2");
        Add(tree, {}, "gamma", "k3");
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
        QCOMPARE(addin.Last(QStringLiteral("NodeClick"))->key, QStringLiteral("k2"));

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
        ProjectTreeWidget& tree = *m_tree;
        RecordingAddin& addin = *m_addin;
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
        ProjectTreeWidget& tree = *m_tree;
        m_addin->removeClickedNodeFrom = &tree;
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, Center(tree, QStringLiteral("C1")));
        QVERIFY(!tree.HasNode(QStringLiteral("C1")));
        QVERIFY(!tree.HasNode(QStringLiteral("G")));
        QCOMPARE(m_addin->Last(QStringLiteral("NodeMouseUp"))->key, QStringLiteral("C1"));
        QString first, key, third, fourth;
        tree.GetSelectedNode(first, key, third, fourth);
        QCOMPARE(key, QString());
        QCOMPARE(tree.GetChildKeys(QStringLiteral("R"), 1), QStringList{QStringLiteral("C2")});
    }

    void changesTheAddinMakesAreNotEchoedBack() {
        ProjectTreeWidget& tree = *m_tree;
        RecordingAddin& addin = *m_addin;
        // Expanded on arrival, and expanded to show a selected node deep down:
        // the add-in asked for both and hears of neither.
        Add(tree, {}, "Open", "O", {}, {}, kExpanded);
        Add(tree, "O", "Closed", "O1");
        Add(tree, "O1", "Deeper", "O2");
        Add(tree, "O2", "Deepest", "O3");
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
        VariableSelectionDialog dialog(m_demo, QStringLiteral("line1.tank.level"));
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

        VariableSelectionDialog missing(m_dir.filePath(QStringLiteral("missing.ovs")), QString());
        QVERIFY(missing.VisibleNames().isEmpty());
        QVERIFY2(missing.StatusText().contains(QStringLiteral("missing.ovs")),
                 qPrintable(missing.StatusText()));
    }

    void selectVariableAnswersWithTheChosenName() {
        ProjectTreeWidget tree;
        tree.SetProjectFile(m_demo);
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
