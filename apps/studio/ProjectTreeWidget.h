#pragma once

#include "platform/host/COV4Extensibility.h"
#include "platform/host/HostStudio.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>

namespace ov::studio {

// The studio's project tree. The add-in fills it through the host interface
// and hears about the user's clicks and keys on its nodes. Answers exactly as
// the in-memory studio does, so the add-in cannot tell them apart.
class ProjectTreeWidget : public QTreeWidget, public host::HostStudio {
    Q_OBJECT

public:
    explicit ProjectTreeWidget(QWidget* parent = nullptr);
    ~ProjectTreeWidget() override;

    // The add-in that owns the nodes; null stops forwarding events.
    void SetAddin(host::COV4Extensibility* addin) { m_addin = addin; }
    host::COV4Extensibility* Addin() const { return m_addin; }
    // The widget the add-in embeds its editor window into.
    void SetEditorArea(QWidget* area) { m_editorArea = area; }
    // The project the variable selection dialog lists the items of.
    void SetProjectFile(const QString& path) { m_projectFile = path; }
    const QString& ProjectFile() const { return m_projectFile; }
    // The project is open for viewing only; the add-in asks at Initialize.
    void SetProjectReadOnly(bool readOnly) { m_projectReadOnly = readOnly; }
    // The login the person gave for the project's server; an empty role when none.
    void SetServerLogin(const QString& role, const QString& password) {
        m_serverRole = role;
        m_serverPassword = password;
    }

    // Removes every node and icon, without telling the add-in.
    void ClearTree();

    // The user's click on a node: makes it current and tells the add-in.
    void ClickNode(const QString& key);
    void ExpandNode(const QString& key);

    QTreeWidgetItem* ItemOf(const QString& key) const;
    QString KeyOf(const QTreeWidgetItem* item) const;
    QString ImageKeyOf(const QString& key) const;
    bool HasIcon(const QString& imageKey) const { return m_icons.contains(imageKey); }
    bool HasNode(const QString& key) const { return m_nodes.contains(key); }
    int NodeCount() const { return static_cast<int>(m_nodes.size()); }
    // Calls refused for a key that exists already or a node that does not.
    int RefusedCalls() const { return m_refused; }

    // HostStudio
    host::WindowHandle GetHostWindow() override;
    void AddIcon(const QString& imageKey, const QByteArray& picture) override;
    void AddNode(const QString& relativeKey, const QString& text, const QString& key, const QString& tag,
                 const QString& imageKey, host::NodeFlags flags) override;
    void RemoveNode(const QString& key) override;
    void SelectNode(const QString& key) override;
    void GetSelectedNode(QString& first, QString& key, QString& third, QString& fourth) override;
    void GetNodeInfo(const QString& key, QString& first, QString& third) override;
    // relation 1 gives the children.
    QStringList GetChildKeys(const QString& key, int relation) override;
    // relation 1 gives the parent, 2 the next sibling, 3 the previous one.
    QString GetNodeRelative(const QString& key, int relation) override;
    int GetNodeProperty(const QString& key, int propertyId, QVariant& value) override;
    void SetNodeProperty(const QString& key, int propertyId, const QVariant& value) override;
    void FocusProjectTree() override;
    QString SelectVariable(const QString& currentText, int flags) override;
    bool ProjectReadOnly() override { return m_projectReadOnly; }
    bool ServerLogin(QString& role, QString& password) override;

signals:
    // After every event handed to the add-in, which may have changed the
    // editor area.
    void AddinEventHandled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Node {
        QTreeWidgetItem* item = nullptr;
        QString tag;
        QString image;
        host::NodeFlags flags;
        QHash<int, QVariant> properties;
    };
    // What a node event carries: the parent's key, the node's key, its tag.
    struct EventNode {
        QString first;
        QString key;
        QString third;
    };

    // While the add-in is inside one of our calls, the tree's own signals
    // (an expansion it asked for) are not reported back to it.
    class HostCall {
    public:
        explicit HostCall(ProjectTreeWidget& tree) : m_tree(tree) { ++m_tree.m_hostCallDepth; }
        ~HostCall() { --m_tree.m_hostCallDepth; }
        HostCall(const HostCall&) = delete;
        HostCall& operator=(const HostCall&) = delete;

    private:
        ProjectTreeWidget& m_tree;
    };

    const Node* Find(const QString& key) const;
    QString ParentKey(const QTreeWidgetItem* item) const;
    EventNode EventNodeOf(const QTreeWidgetItem* item) const;
    bool Forwarding() const { return m_addin && m_hostCallDepth == 0; }
    void InsertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* item);
    void ForgetSubtree(QTreeWidgetItem* item);
    void UpdateToolTip(const Node& node);

    void OnItemClicked(QTreeWidgetItem* item);
    void OnItemDoubleClicked(QTreeWidgetItem* item);
    void OnItemExpanded(QTreeWidgetItem* item);

    host::COV4Extensibility* m_addin = nullptr;
    QWidget* m_editorArea = nullptr;
    QString m_projectFile;
    bool m_projectReadOnly = false;
    QString m_serverRole;
    QString m_serverPassword;
    QHash<QString, Node> m_nodes;
    QHash<QString, QIcon> m_icons;
    int m_refused = 0;
    int m_hostCallDepth = 0;
};

}  // namespace ov::studio
