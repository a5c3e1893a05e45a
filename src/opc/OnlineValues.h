#pragma once

#include "opc/AddressSource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonValue>
#include <QDate>
#include <QTimeZone>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ov::db {
class Connection;
}

namespace ov::opc {

// An item as the online values need it.
struct OnlineItem {
    int itemId = 0;
    QString nodeId;       // its ItemAccess
    int dataType = 0;     // its VT code
    QString unit;         // shown after the value; empty for none
    int samplingMs = 1000;
    // For writing: its name in the write log and its range.
    QString name;
    std::optional<double> minVal;
    std::optional<double> maxVal;
};

// A typed value for an item, converted by its data type (numbers as the
// item grid takes them: "," or "." before the decimals) and checked against
// its range where MinVal is below MaxVal. Nothing, with a message, when it
// does not convert or lies outside.
std::optional<QJsonValue> ValueToWrite(const QString& text, int dataType, std::optional<double> minVal,
                                       std::optional<double> maxVal, QString* error);
// The sampling interval of items: the smallest UpdateRate of their groups,
// 1000 ms for an item in no group (or only in groups without a rate).
QHash<int, int> SamplingIntervals(db::Connection& connection, const std::vector<int>& itemIds);

// The write log beside a project file: "<folder>/<name>.writes.log"; a
// project on a server has it with the engineer's settings of the project.
QString WriteLogPath(const QString& projectFile);

struct WriteOutcome {
    bool sent = false;   // the server was asked
    QString status;      // the server's answer: "Good", "BadNotWritable" ...
    QString error;       // why nothing was sent, or the request failed
    QString logProblem;  // why the write log could not be written; empty when it was
};

enum class Quality { Good, Uncertain, Bad };

// The last value of an item, as a grid shows it.
struct ItemValue {
    QString value;    // by the item's data type, with its unit
    QString quality;  // "Good", "Uncertain_LastUsableValue", "Bad_NodeIdUnknown" ...
    QString time;     // the source time in local time, without the date when it is today's
    QString isoTime;  // the same as the server sent it (ISO 8601)
    Quality level = Quality::Bad;
    QJsonValue raw;   // as the helper sent it
    QString type;     // the server's type of it ("Double", "Int32[]" ...)

    // Grows with every change of the item's value, quality or time, so a
    // reader that keeps a copy knows when it is out of date.
    quint64 Revision() const { return revision; }

  private:
    friend class OnlineValues;
    quint64 revision = 0;
    // value and time are written when the value is first read: most values
    // that arrive are never shown, being off screen or overtaken.
    bool formatted = true;
    int dataType = 0;
    QString unit;
};

// "Bad_NodeIdUnknown" for "BadNodeIdUnknown"; "Good" and "Uncertain" stay;
// a name that is no status code's is Bad.
QString QualityText(const QString& statusName);
// A value in the user's locale by the item's data type (a value of another
// type as what it is), with the unit behind it; empty for none.
QString ValueText(const QJsonValue& value, int dataType, const QString& unit = {});
// An ISO 8601 time stamp in local time; empty stays empty.
QString LocalTimeText(const QString& iso);
// The same as a grid shows it: a time of today without the date, which a
// column of changing values would only repeat; another day's with it.
QString GridTimeText(const QString& iso, const QDate& today);
// The same in a given zone instead of the computer's.
QString GridTimeText(const QString& iso, const QDate& today, const QTimeZone& zone);

// The values of the items of one device while its items are shown online.
// It owns the device's server connection and keeps exactly the items it is
// told are on screen watched (up to cap), takes their values as they come
// (Poll, from the owner's timer) and says which items changed. A lost
// connection turns every watched item Bad_ConnectionLost and is made again
// in the background with the same settings, then the items are watched again.
// Poll never waits for that connect, and it asks nobody: a server that now
// wants a log-on, another password or a word on its certificate stays lost
// until the next Open, which asks (Status says so meanwhile).
class OnlineValues {
  public:
    // source null, or not a live server: the device is not online and
    // notOnline says why (by default that its server is no live one).
    OnlineValues(std::unique_ptr<AddressSource> source, QString notOnline = {});
    ~OnlineValues();
    OnlineValues(const OnlineValues&) = delete;
    OnlineValues& operator=(const OnlineValues&) = delete;

    bool IsOnline() const { return m_server != nullptr; }
    // Why the device cannot be online; empty when it can.
    QString NotOnline() const { return m_notOnline; }
    // Connects, asking the person what the server wants to know; false with
    // a message (empty when the person declined).
    bool Open(QString* error);
    bool Connected() const { return m_connected; }
    // Why the values are not current, for the owner to show beside them:
    // why the last connect in the background failed (it is tried again), or
    // that the server wants what only the person can give, so only Open
    // connects now. Empty while connected, and after a loss until the first
    // connect in the background has ended.
    QString Status() const { return m_status; }
    // The items on screen and around it. Those beyond cap are left out; the
    // ones watched before and not named now are no longer watched.
    bool Show(const std::vector<OnlineItem>& items, QString* error);
    // Reads every shown item once, as a refresh on demand; the values count
    // as arrived. Without a connection there is nothing to read.
    bool Refresh(QString* error);
    // Takes the values that arrived, notices a lost connection and tries
    // again when it is time to, without waiting for the server's answer:
    // while a connect is under way it only looks whether the answer came.
    void Poll();
    // The last value of a watched item; null for one not watched.
    const ItemValue* Value(int itemId) const;
    // How many items the helper is asked to watch now.
    int WatchedCount() const { return static_cast<int>(m_asked.size()); }

    // Writes a typed value to an item and records it in writeLog (time,
    // user, item, old value, new value, result). A value that does not
    // convert or lies outside the range is not sent. A log that cannot be
    // written does not stop the write; the outcome says so.
    WriteOutcome Write(const OnlineItem& item, const QString& text);
    QString writeLog;
    QString user;  // empty: the user logged on to the computer

    // The items whose values changed, after each change.
    std::function<void(const std::vector<int>& itemIds)> onChanged;
    // Told, while an event loop runs, that the helper wrote something for
    // Poll to take: the owner polls soon after, not within this call.
    std::function<void()> onArrival;
    // Poll has work without anything arriving: a connect to try again or
    // to look after, watched items to bring in line, or a poll refused
    // while a request was under way.
    bool NeedsPolling() const { return m_server && (!m_connected || m_dirty || m_busy || m_refused); }
    int cap = 500;
    int reconnectMs = 3000;

  private:
    // Brings what the helper watches in line with what is shown; a refused
    // item is Bad right away. Later when a request is under way.
    bool Sync(QString* error);
    bool Watch(const std::vector<OnlineItem>& items, QString* error);
    // After a failed request: a lost connection is taken in hand (true),
    // anything else is the caller's to report.
    bool Lost();
    void Take(const std::vector<LiveValue>& values);
    void Lose();
    void TryAgain();
    void Changed(std::vector<int> itemIds);

    std::unique_ptr<AddressSource> m_source;
    ServerSource* m_server = nullptr;
    QString m_notOnline;
    bool m_connected = false;
    bool m_busy = false;
    bool m_dirty = false;
    bool m_refused = false;
    // Since the connection was lost or the last connect in the background
    // failed; invalid while nothing is to be tried in the background.
    QElapsedTimer m_sinceLoss;
    QString m_status;
    // By item ID, which is the helper's handle: what is shown, and what the
    // helper was asked to watch over this connection.
    QHash<int, OnlineItem> m_watched;
    QHash<int, OnlineItem> m_asked;
    std::vector<int> m_order;  // the shown ones from the top
    mutable QHash<int, ItemValue> m_values;
    quint64 m_revision = 0;
};

}  // namespace ov::opc
