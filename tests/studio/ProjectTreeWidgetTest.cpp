// The studio's project tree: it must answer the add-in exactly as the
// in-memory studio does, and hand the user's clicks and keys to the add-in in
// the add-in's own terms.

#include "StudioTest.h"
#include "platform/host/InMemoryHost.h"
#include "studio/ProjectTreeWidget.h"
#include "studio/VariableSelectionDialog.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <vector>

using namespace Qt::StringLiterals;
using ov::host::HostStudio;
using ov::host::InMemoryHost;
using ov::host::NodeFlags;
using ov::studio::ProjectTreeWidget;
using ov::studio::VariableSelectionDialog;
using ov::test::kSep;
using ov::test::SelectedNode;

namespace {

// Records every node event; can take keys, throw, or change the tree while
// it handles a click, as a real add-in might.
class RecordingAddin : public ov::test::QuietAddin {
public:
    struct Call {
        QString name;
        QString node;  // "first/key/third"
        int code = 0;  // key code, key ASCII or mouse button
        int shift = 0;
        QPoint at;
    };

    std::vector<Call> calls;
    int swallowKeyCode = 0;
    int swallowAscii = 0;
    bool throwOnEvents = false;
    HostStudio* removeClickedNodeFrom = nullptr;

    int Count(const QString& name) const {
        return int(std::count_if(calls.begin(), calls.end(), [&](const Call& call) { return call.name == name; }));
    }
    // The last call of that name, or one without a name when there was none.
    Call Last(const QString& name) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->name == name) return *it;
        return {};
    }
    // The position of the first call of that name and code, -1 when none.
    int IndexOf(const QString& name, int code) const {
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].name == name && calls[i].code == code) return static_cast<int>(i);
        return -1;
    }

    void NodeClick(const QString& first, const QString& key, const QString& third) override {
        Record(u"NodeClick"_s, first, key, third);
        if (removeClickedNodeFrom) removeClickedNodeFrom->RemoveNode(key);
        if (throwOnEvents) throw std::runtime_error("click failed");
    }
    void NodeDblClick(const QString& first, const QString& key, const QString& third) override {
        Record(u"NodeDblClick"_s, first, key, third);
    }
    void NodeExpand(const QString& first, const QString& key, const QString& third) override {
        Record(u"NodeExpand"_s, first, key, third);
    }
    void NodeMouseUp(const QString& first, const QString& key, const QString& third, int button, int shift, int x,
                     int y) override {
        Record(u"NodeMouseUp"_s, first, key, third, button, shift, QPoint(x, y));
    }
    void NodeKeyDown(const QString& first, const QString& key, const QString& third, int& code, int shift) override {
        Record(u"NodeKeyDown"_s, first, key, third, code, shift);
        if (throwOnEvents) throw std::runtime_error("key down failed");
        if (code == swallowKeyCode) code = 0;
    }
    void NodeKeyPress(const QString& first, const QString& key, const QString& third, int& ascii) override {
        Record(u"NodeKeyPress"_s, first, key, third, ascii);
        if (ascii == swallowAscii) ascii = 0;
    }
    void NodeKeyUp(const QString& first, const QString& key, const QString& third, int& code, int shift) override {
        Record(u"NodeKeyUp"_s, first, key, third, code, shift);
    }

private:
    void Record(const QString& name, const QString& first, const QString& key, const QString& third, int code = 0,
                int shift = 0, QPoint at = {}) {
        calls.push_back({name, QStringList{first, key, third}.join(u'/'), code, shift, at});
    }
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
        if (expected != actual) out << u"%1: expected '%2', tree gave '%3'"_s.arg(what, expected, actual);
    };
    const auto ask = [&](const QString& what, const std::function<QString(HostStudio&)>& question) {
        differ(what, question(memory), question(tree));
    };
    differ(u"node count"_s, QString::number(memory.NodeCount()), QString::number(tree.NodeCount()));
    differ(u"refused calls"_s, QString::number(memory.RefusedCalls()), QString::number(tree.RefusedCalls()));
    QStringList top;
    for (int i = 0; i < tree.topLevelItemCount(); ++i) top << tree.KeyOf(tree.topLevelItem(i));
    differ(u"top level"_s, memory.TopLevel().join(u','), top.join(u','));

    QStringList keys;
    memory.Walk([&keys](const InMemoryHost::Node& node, int) { keys << node.key; });
    keys << u"no such node"_s;
    for (const QString& key : keys) {
        ask(key + u" children"_s, [&](HostStudio& host) { return host.GetChildKeys(key, 1).join(u','); });
        for (int relation = 1; relation <= 3; ++relation)
            ask(key + u" relative %1"_s.arg(relation),
                [&](HostStudio& host) { return host.GetNodeRelative(key, relation); });
        ask(key + u" info"_s, [&](HostStudio& host) {
            QString first, third;
            host.GetNodeInfo(key, first, third);
            return first + u'/' + third;
        });
        for (int property : {1, 2, 3, 10, 42}) {
            ask(key + u" property %1 (status/value)"_s.arg(property), [&](HostStudio& host) {
                QVariant value;
                const int status = host.GetNodeProperty(key, property, value);
                return QString::number(status != 0) + u'/' + value.toString();
            });
        }
        if (const InMemoryHost::Node* node = memory.Find(key))
            differ(key + u" image"_s, node->image, tree.ImageKeyOf(key));
    }
    ask(u"selected node"_s, [](HostStudio& host) { return SelectedNode(host); });
    return out;
}

// Adding, refusing, renaming, re-keying and selecting, as the add-in does.
void BuildAndEdit(HostStudio& host) {
    host.AddIcon(u"img"_s, SomePng());
    Add(host, {}, "Root", "R", "0", "img", NodeFlags{true, false, true, false});
    Add(host, "R", "Beta", "B", "tb", "img");
    Add(host, "R", "Alpha", "A", "ta");
    // Keys compare with letter case: "a" is a node of its own.
    Add(host, "R", "alpha", "a");
    Add(host, "R", "Again", "B");
    Add(host, "X", "Orphan", "O");
    Add(host, "R", "No key", {});
    for (const char* key : {"B1", "B2", "B3"}) Add(host, "B", key, key);
    Add(host, "B2", "Deep", u"B2"_s + kSep + u"deep"_s, "td");
    Add(host, {}, "Second", "S");
    host.SetNodeProperty(u"B"_s, ov::host::kPropertyItemCount, u"7"_s);
    host.SetNodeProperty(u"R"_s, ov::host::kPropertyLoaded, false);
    host.SetNodeProperty(u"A"_s, ov::host::kPropertyText, u"Alpha renamed"_s);
    host.SetNodeProperty(u"B3"_s, ov::host::kPropertyKey, u"B3new"_s);
    for (const QString& key : {u"B2"_s, QString(), u"B1"_s}) host.SetNodeProperty(u"B1"_s, ov::host::kPropertyKey, key);
    host.SetNodeProperty(u"missing"_s, ov::host::kPropertyText, u"x"_s);
    host.RemoveNode(u"missing"_s);
    host.SelectNode(u"B2"_s + kSep + u"deep"_s);
}

void RemoveAndSelectAgain(HostStudio& host) {
    host.SelectNode(u"no such node"_s);
    host.SelectNode(u"B1"_s);
    host.SetNodeProperty(u"B1"_s, ov::host::kPropertyKey, u"B1x"_s);
    host.RemoveNode(u"S"_s);
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
    ov::test::StudioFolder m_folder;
    QString m_demo;

    QPoint Center(const QString& key) const { return m_tree->visualItemRect(m_tree->ItemOf(key)).center(); }
    void Click(const QString& key, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(m_tree->viewport(), button, mods, Center(key));
    }
    QTreeWidgetItem* Item(const QString& key) const { return m_tree->ItemOf(key); }

private slots:
    void initTestCase() { m_demo = m_folder.Demo(u"demo.ovs"_s); }

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
        QVERIFY(tree.HasNode(u"a"_s));
        QVERIFY(tree.HasNode(u"B3new"_s));
        QVERIFY(!tree.HasNode(u"B3"_s));

        // Removing a branch takes its nodes and the selection with it; no
        // neighbour becomes current instead.
        memory.RemoveNode(u"B2"_s);
        tree.RemoveNode(u"B2"_s);
        QCOMPARE(Differences(memory, tree), QStringList());
        QCOMPARE(SelectedNode(tree), u"///"_s);
        QVERIFY(!tree.HasNode(u"B2"_s + kSep + u"deep"_s));

        // The selection follows a re-keyed node.
        RemoveAndSelectAgain(memory);
        RemoveAndSelectAgain(tree);
        QCOMPARE(Differences(memory, tree), QStringList());
        QVERIFY(SelectedNode(tree).startsWith(u"B/B1x/"_s));
    }

    void sortedNodesKeepTheirChildrenInOrder() {
        ProjectTreeWidget tree;
        Add(tree, {}, "Sorted", "S", {}, {}, kSorted);
        Add(tree, {}, "Plain", "P");
        for (const QString text : {"gamma", "Beta", "alpha", "Alpha2", "beta"}) {
            Add(tree, "S", text, u"S."_s + text);
            Add(tree, "P", text, u"P."_s + text);
        }
        // Alphabetical without regard to case; equal names keep their order.
        QCOMPARE(tree.GetChildKeys(u"S"_s, 1).join(u' '), u"S.alpha S.Alpha2 S.Beta S.beta S.gamma"_s);
        QCOMPARE(tree.GetChildKeys(u"P"_s, 1).join(u' '), u"P.gamma P.Beta P.alpha P.Alpha2 P.beta"_s);
        QCOMPARE(tree.GetNodeRelative(u"S.Beta"_s, 2), u"S.beta"_s);
        QCOMPARE(tree.GetNodeRelative(u"S.alpha"_s, 3), QString());
    }

    void iconsTagsAndTheHostWindow() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QLineEdit(&window);
        auto* tree = new ProjectTreeWidget(&window);
        layout->addWidget(other);
        layout->addWidget(tree);
        HostStudio& host = *tree;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // No window for the add-in until the studio gives the tree its editor area.
        QCOMPARE(host.GetHostWindow(), ov::host::WindowHandle(0));

        host.AddIcon(u"good"_s, SomePng());
        host.AddIcon(u"broken"_s, QByteArray("not a picture"));
        Add(host, {}, "With icon", "I", "tag", "good");
        Add(host, {}, "Broken icon", "J", {}, "broken");
        Add(host, {}, "Unknown icon", "K", {}, "nothing");
        QVERIFY(!tree->ItemOf(u"I"_s)->icon(0).isNull());
        QVERIFY(tree->ItemOf(u"J"_s)->icon(0).isNull());
        QVERIFY(tree->ItemOf(u"K"_s)->icon(0).isNull());
        host.SetNodeProperty(u"I"_s, ov::host::kPropertyItemCount, u"1"_s);
        QCOMPARE(tree->ItemOf(u"I"_s)->toolTip(0), u"1 item"_s);

        other->setFocus();
        host.FocusProjectTree();
        QCOMPARE(window.focusWidget(), tree);

        tree->ClearTree();
        QCOMPARE(tree->NodeCount(), 0);
        QCOMPARE(tree->topLevelItemCount(), 0);
        QVERIFY(!tree->HasIcon(u"good"_s));
    }

    void mouseAndExpansionReachTheAddin() {
        QWidget* viewport = m_tree->viewport();
        RecordingAddin& addin = *m_addin;
        Click(u"C1"_s);
        QCOMPARE(addin.Last(u"NodeClick"_s).node, u"R/C1/t1"_s);
        QCOMPARE(addin.Last(u"NodeMouseUp"_s).code, 1);
        QCOMPARE(addin.Last(u"NodeMouseUp"_s).at, viewport->mapToGlobal(Center(u"C1"_s)));

        // The top-level node carries no parent key.
        Click(u"R"_s);
        QCOMPARE(addin.Last(u"NodeClick"_s).node, u"/R/0"_s);

        // A real double click: press and release, then the double click and its release.
        const QPoint c2 = Center(u"C2"_s);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, c2);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, c2);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, c2);
        QCOMPARE(addin.Last(u"NodeDblClick"_s).node, u"R/C2/t2"_s);

        addin.calls.clear();
        m_tree->expandItem(Item(u"C1"_s));
        QCOMPARE(addin.Count(u"NodeExpand"_s), 1);
        QCOMPARE(addin.Last(u"NodeExpand"_s).node, u"R/C1/t1"_s);

        // The right button's release carries the shift state and the screen position.
        const QPoint at = Center(u"C2"_s) + QPoint(7, 2);
        QTest::mouseClick(viewport, Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, at);
        const RecordingAddin::Call up = addin.Last(u"NodeMouseUp"_s);
        QCOMPARE(up.node, u"R/C2/t2"_s);
        QCOMPARE(up.code, 2);
        QCOMPARE(up.shift, 3);
        QCOMPARE(up.at, viewport->mapToGlobal(at));

        // Below the last node there is nothing to report.
        addin.calls.clear();
        QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(20, viewport->height() - 5));
        QCOMPARE(addin.Count(u"NodeMouseUp"_s), 0);
    }

    void aNodeClickedInsideClosedFoldersIsShownWithThemOpen() {
        // As the studio shows the node a project showed last.
        QVERIFY(!Item(u"C1"_s)->isExpanded());
        m_tree->ClickNode(u"G"_s);
        QCOMPARE(m_tree->currentItem(), Item(u"G"_s));
        QVERIFY(Item(u"C1"_s)->isExpanded());
        QVERIFY(m_tree->visualItemRect(Item(u"G"_s)).isValid());
        // The add-in hears of the folder opened before the click on the node inside it.
        const auto& calls = m_addin->calls;
        QCOMPARE(m_addin->Count(u"NodeExpand"_s), 1);
        QCOMPARE(calls.front().name + u' ' + calls.front().node, u"NodeExpand R/C1/t1"_s);
        QCOMPARE(calls.back().name + u' ' + calls.back().node, u"NodeClick C1/G/"_s);
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
        const int none = 0, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
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
        m_tree->setCurrentItem(Item(u"C2"_s));
        QCOMPARE(calls.size(), std::size_t(0));

        QTest::sendKeyEvent(QTest::Click, m_tree, Qt::Key(qtKey), text, Qt::KeyboardModifiers::fromInt(modifiers));
        // The modifiers arrive as keys of their own before and after the key.
        const int down = m_addin->IndexOf(u"NodeKeyDown"_s, keyCode);
        if (keyCode == 0) {
            QCOMPARE(m_addin->Count(u"NodeKeyDown"_s) + m_addin->Count(u"NodeKeyUp"_s), 0);
        } else {
            QVERIFY(down >= 0);
            QCOMPARE(calls[down].shift, shift);
            QCOMPARE(calls[down].node, u"R/C2/t2"_s);
            QVERIFY(m_addin->IndexOf(u"NodeKeyUp"_s, keyCode) > down);
        }
        QCOMPARE(m_addin->Count(u"NodeKeyPress"_s), ascii == 0 ? 0 : 1);
        if (ascii != 0) {
            QCOMPARE(calls.at(down + 1).name, u"NodeKeyPress"_s);
            QCOMPARE(calls.at(down + 1).code, ascii);
        }
    }

    void swallowedKeysDoNotReachTheTree() {
        RecordingAddin& addin = *m_addin;
        for (const char* name : {"alpha", "beta", "gamma"}) Add(*m_tree, {}, name, QString::fromLatin1(name));
        QTreeWidgetItem* alpha = Item(u"alpha"_s);
        QTreeWidgetItem* beta = Item(u"beta"_s);

        m_tree->setCurrentItem(alpha);
        addin.swallowKeyCode = 40;
        QTest::keyClick(m_tree, Qt::Key_Down);
        QVERIFY(addin.IndexOf(u"NodeKeyDown"_s, 40) >= 0);
        QCOMPARE(m_tree->currentItem(), alpha);
        QCOMPARE(addin.Count(u"NodeClick"_s), 0);
        addin.swallowKeyCode = 0;
        QTest::keyClick(m_tree, Qt::Key_Down);
        QCOMPARE(m_tree->currentItem(), beta);
        // The node the keys moved to is shown, as if clicked.
        QCOMPARE(addin.Count(u"NodeClick"_s), 1);
        QCOMPARE(addin.Last(u"NodeClick"_s).node, u"/beta/"_s);

        // A letter jumps to the next node with that initial, unless the add-in takes it.
        m_tree->setCurrentItem(alpha);
        addin.swallowAscii = u'b';
        QTest::keyClick(m_tree, Qt::Key_B);
        QVERIFY(addin.IndexOf(u"NodeKeyPress"_s, u'b') >= 0);
        QCOMPARE(m_tree->currentItem(), alpha);
        addin.swallowAscii = 0;
        QTest::keyClick(m_tree, Qt::Key_B);
        QCOMPARE(m_tree->currentItem(), beta);
    }

    void aFailingAddinLeavesTheTreeWorking() {
        m_addin->throwOnEvents = true;
        Click(u"C1"_s);
        QCOMPARE(m_addin->Count(u"NodeClick"_s), 1);
        QCOMPARE(m_addin->Count(u"NodeMouseUp"_s), 1);
        QCOMPARE(m_tree->currentItem(), Item(u"C1"_s));
        // The key the add-in failed on is the tree's again: the arrow still moves.
        QTest::keyClick(m_tree, Qt::Key_Down);
        QCOMPARE(m_addin->Count(u"NodeKeyDown"_s), 1);
        QCOMPARE(m_tree->currentItem(), Item(u"C2"_s));
    }

    void theAddinMayRemoveTheClickedNode() {
        m_addin->removeClickedNodeFrom = m_tree;
        Click(u"C1"_s);
        QVERIFY(!m_tree->HasNode(u"C1"_s));
        QVERIFY(!m_tree->HasNode(u"G"_s));
        QCOMPARE(m_addin->Last(u"NodeMouseUp"_s).node, u"R/C1/t1"_s);
        QCOMPARE(SelectedNode(*m_tree), u"///"_s);
        QCOMPARE(m_tree->GetChildKeys(u"R"_s, 1), QStringList{u"C2"_s});
    }

    void changesTheAddinMakesAreNotEchoedBack() {
        // Expanded on arrival, and expanded to show a selected node deep down:
        // the add-in asked for both and hears of neither.
        Add(*m_tree, {}, "Open", "O", {}, {}, kExpanded);
        Add(*m_tree, "O", "Closed", "O1");
        Add(*m_tree, "O1", "Deeper", "O2");
        Add(*m_tree, "O2", "Deepest", "O3");
        m_tree->SelectNode(u"O3"_s);
        QVERIFY(Item(u"O"_s)->isExpanded());
        QCOMPARE(m_tree->currentItem(), Item(u"O3"_s));
        QCOMPARE(m_addin->Count(u"NodeExpand"_s), 0);
        QCOMPARE(m_addin->Count(u"NodeClick"_s), 0);

        // Without an add-in nothing is reported at all.
        m_tree->SetAddin(nullptr);
        m_tree->collapseItem(Item(u"O1"_s));
        m_tree->expandItem(Item(u"O1"_s));
        QCOMPARE(m_addin->Count(u"NodeExpand"_s), 0);
    }

    void variableDialogListsFiltersAndPreselects() {
        VariableSelectionDialog dialog(m_demo, u"line1.tank.level"_s);
        const QStringList all = dialog.VisibleNames();
        QCOMPARE(all.size(), 23);
        QStringList sorted = all;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(all, sorted);
        QCOMPARE(dialog.SelectedName(), u"Line1.Tank.Level"_s);

        dialog.FilterEdit()->setText(u"MOTOR1"_s);
        QCOMPARE(dialog.VisibleNames().join(u' '), u"Line1.Motor1.Current Line1.Motor1.Running Line1.Motor1.Speed"_s);
        QCOMPARE(dialog.SelectedName(), u"Line1.Motor1.Current"_s);

        dialog.FilterEdit()->setText(u"no such item"_s);
        QVERIFY(dialog.VisibleNames().isEmpty());
        QCOMPARE(dialog.SelectedName(), QString());

        VariableSelectionDialog missing(m_folder.Path(u"missing.ovs"_s), QString());
        QVERIFY(missing.VisibleNames().isEmpty());
        QVERIFY2(missing.StatusText().contains(u"missing.ovs"_s), qPrintable(missing.StatusText()));
    }

    void selectVariableAnswersWithTheChosenName() {
        ProjectTreeWidget tree;
        tree.SetProjectFile(m_demo);
        QString preselected;
        // Answers the dialog the next call opens: filters it, then OK or Cancel.
        const auto answer = [&preselected](bool accept, const QString& filter) {
            QTimer::singleShot(0, [&preselected, accept, filter] {
                for (QWidget* widget : QApplication::topLevelWidgets()) {
                    auto* dialog = qobject_cast<VariableSelectionDialog*>(widget);
                    if (!dialog || !dialog->isVisible()) continue;
                    preselected = dialog->SelectedName();
                    dialog->FilterEdit()->setText(filter);
                    accept ? dialog->accept() : dialog->reject();
                }
            });
        };
        answer(true, u"humid"_s);
        QCOMPARE(tree.SelectVariable(u"Line1.Motor1.Speed"_s, 16), u"Humidity"_s);
        QCOMPARE(preselected, u"Line1.Motor1.Speed"_s);
        answer(false, QString());
        QCOMPARE(tree.SelectVariable(u"Humidity"_s, 32), QString());
        QCOMPARE(preselected, u"Humidity"_s);
    }
};

QTEST_MAIN(ProjectTreeWidgetTest)
#include "ProjectTreeWidgetTest.moc"
