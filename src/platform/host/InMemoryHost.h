#pragma once

#include "platform/host/HostStudio.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <functional>
#include <vector>

namespace ov::host {

// A studio without a screen: keeps the project tree in memory. Serves the
// command-line tool and the tests, which can also read back every call.
class InMemoryHost : public HostStudio {
public:
    struct Node {
        QString key;
        QString parent;  // empty for top-level nodes
        QString text;
        QString tag;
        QString image;
        NodeFlags flags;
        QStringList children;
        QHash<int, QVariant> properties;
    };

    WindowHandle GetHostWindow() override;
    void AddIcon(const QString& imageKey, const QByteArray& picture) override;
    void AddNode(const QString& relativeKey, const QString& text, const QString& key, const QString& tag,
                 const QString& imageKey, NodeFlags flags) override;
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
    bool ProjectReadOnly() override { return projectReadOnly; }

    // What ProjectReadOnly answers: the project was opened for viewing only.
    bool projectReadOnly = false;

    bool HasNode(const QString& key) const { return m_nodes.contains(key); }
    const Node* Find(const QString& key) const;
    const QStringList& TopLevel() const { return m_topLevel; }
    QString SelectedKey() const { return m_selected; }
    const QStringList& Icons() const { return m_icons; }
    int NodeCount() const { return static_cast<int>(m_nodes.size()); }
    bool TreeHasFocus() const { return m_treeFocus; }

    // Every call as "Operation(arguments)", in order; refused calls (a key
    // that exists already, an unknown parent) are counted separately.
    const QStringList& Calls() const { return m_calls; }
    int RefusedCalls() const { return m_refused; }
    void ClearCalls() { m_calls.clear(); }

    // Visits the tree depth-first in display order.
    void Walk(const std::function<void(const Node&, int depth)>& visit) const;

    // Answers of the variable selection dialog, taken in order.
    void QueueVariableSelection(const QString& answer) { m_variableAnswers.append(answer); }

    // The tree as text: two spaces per level, key (Chr(255) shown as "|"),
    // tab, text, tab, image key, and for item branches a tab and the item count.
    QString Dump() const;

private:
    void Record(const QString& call) { m_calls.append(call); }
    void RemoveSubtree(const QString& key);

    QHash<QString, Node> m_nodes;
    QStringList m_topLevel;
    QStringList m_icons;
    QString m_selected;
    QStringList m_calls;
    QStringList m_variableAnswers;
    int m_refused = 0;
    bool m_treeFocus = false;
};

}  // namespace ov::host
