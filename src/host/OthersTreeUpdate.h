#pragma once

#include "platform/db/Backend.h"
#include "platform/host/HostStudio.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::host {

class ProjectTree;

// Brings the editor's branch of the project tree up to what other engineers
// committed to a server project, by the same rules as the editor's own
// commands: nodes of devices, groups, structures and unit classes come, go
// and take new texts from the rows before and after; item folders and their
// counts follow the items, once per device and folder however many rows came.
// Only what the change log tells is applied, so the tree never shows a row
// before its commit has been told.
class OthersTreeUpdate {
public:
    // identifyingField: the item field the tree's folders are made of.
    OthersTreeUpdate(HostStudio& host, ProjectTree& tree, db::Connection& connection, QString identifyingField);

    struct Outcome {
        // The node the user was on went: the nearest node above it that is
        // still there, and the text the gone node had. Empty when it stays.
        QString shownKey;
        QString lostText;
        // A device the user works in got another separator or kind: its
        // folders would all change under them, so they wait for Refresh View.
        bool waitsForRefresh = false;
    };

    // Applies one round of changes, oldest first; currentKey is the node the
    // user is on.
    Outcome Apply(const std::vector<db::OthersChange>& changes, const QString& currentKey);

private:
    void Device(const db::OthersChange& change, const QString& currentKey, Outcome& outcome);
    void Group(const db::OthersChange& change);
    void Structure(const db::OthersChange& change);
    void UnitClass(const db::OthersChange& change);
    void Item(const db::OthersChange& change);
    void ApplyItems();
    bool HasNode(const QString& key);

    HostStudio& m_host;
    ProjectTree& m_tree;
    db::Connection& m_connection;
    QString m_field;

    // Per device ID, the item paths that left its folders and came into them.
    struct Paths {
        QStringList removed;
        QStringList added;
    };
    QHash<int, Paths> m_items;
    // Devices whose folders this round must not touch: read anew from the
    // database already, or waiting for Refresh View.
    QSet<int> m_foldersDone;
};

}  // namespace ov::host
