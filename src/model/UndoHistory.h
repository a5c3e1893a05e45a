#pragma once

#include "platform/db/Changeset.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace ov::db {
class Connection;
class ChangeRecorder;
}  // namespace ov::db

namespace ov::model {

// The undo and redo history of one project session. Every piece of work
// the editor commits becomes a step holding its row changes; a command
// that commits several times (a browse in three parts) is one step while
// its `Command` lives. Undo applies a step's inverse in one transaction,
// and refuses whole when another program changed a row since.
class UndoHistory {
  public:
    struct Limits {
        int steps = 200;
        qint64 bytes = qint64(256) << 20;
    };
    struct Step {
        QString name;
        db::Changeset changes;
    };
    struct Outcome {
        bool done = false;
        QString refusal;  // why nothing was done, for the user
    };

    UndoHistory();
    explicit UndoHistory(Limits limits);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // Records the work of a connection from now on; Detach before it closes.
    // The steps stay: a project opened again can still take them back.
    void Attach(db::Connection& connection);
    void Detach();

    // While the outermost Command lives, everything committed is one step
    // named after the command's caption ("&Paste" gives "Paste of 10,000
    // items"). Work outside a command is named "Edit".
    class Command {
      public:
        Command(UndoHistory* history, const QString& caption);
        ~Command();
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

      private:
        UndoHistory* m_history;
    };

    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // Newest first.
    QStringList UndoNames() const;
    QStringList RedoNames() const;
    qint64 Bytes() const { return m_bytes; }

    Outcome Undo();
    Outcome Redo();
    void Clear();

    // Told after every change of the lists (to update menus); `why` is set
    // when the history cleared itself (a step too large, a schema change).
    std::function<void(const QString& why)> changed;

    // Told of the rows each piece of work changed: a new step, or one taken
    // back or done again; nullptr when they are not known (work too large
    // to keep, a change of the schema). Gives an ID to remove it with.
    using ChangeObserver = std::function<void(const db::Changeset* changes)>;
    int AddChangeObserver(ChangeObserver observer);
    void RemoveChangeObserver(int id);

    // The name a step of this caption and these changes gets.
    static QString StepName(const QString& caption, const db::Changeset& changes);

  private:
    void OnCommitted();
    void OnSchemaChanged();
    void Cut();
    void Restart();
    void Push(Step step);
    db::Changeset Recorded();
    void DropAll(qint64 bound);
    void Notify(const QString& why = QString());
    void Forget();
    Outcome Apply(std::deque<Step>& from, std::deque<Step>& to, bool inverted);
    QString Describe(const db::ConflictingRow& row) const;
    void TellObservers(const db::Changeset* changes);

    Limits m_limits;
    db::Connection* m_connection = nullptr;
    std::unique_ptr<db::ChangeRecorder> m_recorder;
    // What a command recorded before the project was opened again in its midst.
    db::Changeset m_pending;
    bool m_overflowed = false;     // m_pending is incomplete
    bool m_schemaChanged = false;  // since the last cut: nothing of it can be taken back
    std::deque<Step> m_undo;  // newest at the back
    std::deque<Step> m_redo;  // next to redo at the back
    qint64 m_bytes = 0;
    int m_commandDepth = 0;
    QString m_commandCaption;
    bool m_applying = false;
    std::map<int, ChangeObserver> m_observers;
    int m_nextObserver = 1;
};

}  // namespace ov::model
