#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace ov::host {

using WindowHandle = quintptr;

// Node properties the editor reads and writes through the studio.
enum NodeProperty : int {
    kPropertyKey = 1,        // the node's key
    kPropertyText = 2,       // the node's text
    kPropertyItemCount = 3,  // number of items below an item branch, as decimal text
    kPropertyLoaded = 10,    // Boolean; set to False on the editor root at reload
    kPropertyExpanded = 11,  // Boolean; whether the node is shown open
};

// Display flags of a node as the studio shows them.
struct NodeFlags {
    bool expanded = false;  // shown open when added
    bool sorted = false;    // children kept in alphabetical order
    bool addInRoot = false; // the root node of an add-in
    bool reserved = false;
};

// The studio that hosts the editor: its project tree, icons, main window and
// focus, and its variable selection dialog. All calls come on the studio's
// user-interface thread.
class HostStudio {
public:
    virtual ~HostStudio() = default;

    virtual WindowHandle GetHostWindow() = 0;
    // picture: the image as PNG data; the key names it for AddNode.
    virtual void AddIcon(const QString& imageKey, const QByteArray& picture) = 0;
    // relativeKey "" adds a top-level node.
    virtual void AddNode(const QString& relativeKey, const QString& text, const QString& key, const QString& tag,
                         const QString& imageKey, NodeFlags flags) = 0;
    virtual void RemoveNode(const QString& key) = 0;
    virtual void SelectNode(const QString& key) = 0;
    // The second output is the key of the current node.
    virtual void GetSelectedNode(QString& first, QString& key, QString& third, QString& fourth) = 0;
    // The first and third string a NodeClick for this node carries.
    virtual void GetNodeInfo(const QString& key, QString& first, QString& third) = 0;
    virtual QStringList GetChildKeys(const QString& key, int relation) = 0;
    virtual QString GetNodeRelative(const QString& key, int relation) = 0;
    // Gives 0 and the value, or a nonzero status when there is no such node.
    virtual int GetNodeProperty(const QString& key, int propertyId, QVariant& value) = 0;
    virtual void SetNodeProperty(const QString& key, int propertyId, const QVariant& value) = 0;
    virtual void FocusProjectTree() = 0;

    // The studio's variable selection dialog: flags 16 for a control object,
    // 32 for a switch item or a limit. Gives the chosen name, empty when cancelled.
    virtual QString SelectVariable(const QString& currentText, int flags) = 0;

    // The person opened the project for viewing only (the studio's File >
    // Open Read-Only): nothing may change the project or its folder then.
    virtual bool ProjectReadOnly() { return false; }

    // The role and password the person gave when the studio opened a project
    // on a server that wanted them; false when it asked for none (the role
    // in the project's address and libpq's own places serve then).
    virtual bool ServerLogin(QString& /*role*/, QString& /*password*/) { return false; }
};

}  // namespace ov::host
