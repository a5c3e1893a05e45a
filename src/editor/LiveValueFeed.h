#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace ov::editor {

enum class ValueLevel { Good, Uncertain, Bad };

// The last value of an item as the item grid shows it.
struct LiveCell {
    QString value;    // by the item's data type, with its unit
    QString quality;  // "Good", "Bad_NodeIdUnknown", ...
    QString time;     // the source time in local time
    ValueLevel level = ValueLevel::Bad;
};

// Where the live values of one device's items come from while the item grid
// is online. The OPC unit makes them; the grid only reads what they hold.
class LiveValueFeed {
  public:
    virtual ~LiveValueFeed() = default;
    virtual QString DeviceName() const = 0;
    // Why the device's items cannot be online; empty when they can.
    virtual QString NotOnline() const = 0;
    // Connects; false with a message (empty when the person declined).
    virtual bool Open(QString* error) = 0;
    virtual bool Connected() const = 0;
    // Why the values are not current while the connection is lost (it is
    // made again in the background); empty while connected.
    virtual QString Status() const { return QString(); }
    // The device's items on screen and around it, from the top; the others
    // are no longer watched.
    virtual void Show(const std::vector<int>& itemIds) = 0;
    virtual const LiveCell* Value(int itemId) const = 0;
    // Takes the values that arrived; onChanged hears which items changed.
    virtual void Poll() = 0;
    // Reads every shown item once.
    virtual bool Refresh(QString* error) = 0;
    virtual int WatchedCount() const = 0;

    // Poll has work without anything arriving (a connect to try again, a
    // poll refused meanwhile): the owner keeps polling on a timer.
    virtual bool NeedsPolling() const { return true; }

    std::function<void(const std::vector<int>& itemIds)> onChanged;
    // Something arrived for Poll to take; the owner polls soon after.
    std::function<void()> onArrival;
};

}  // namespace ov::editor
