// The table of display devices of a full-screen run and how it is filled from what the
// system reports. No Windows API here: the system is reached through DisplaySystem, and the
// table holds the monitor and window handles as opaque pointers it does not own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MonitorRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

inline bool operator==(const MonitorRect& a, const MonitorRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct MonitorEntry {
    void* Monitor = nullptr;  // the monitor showing this device; null when not on the desktop
    MonitorRect Rect;         // the device's area in desktop coordinates
    void* Window = nullptr;   // its blanking window; null when none
    bool IsPrimary = false;   // the primary display never gets a blanking window
};

struct MonitorTable {
    static constexpr uint32_t kMaxEntries = 9;
    MonitorEntry Entries[kMaxEntries];
    uint32_t EntryCount = 0;
};

// One display device as the system describes it.
struct DisplayDevice {
    std::string name;        // "\\.\DISPLAY1"
    bool mirroring = false;  // a mirroring driver: not a display of its own
    bool attached = false;   // part of the desktop
    bool primary = false;
    bool modeKnown = false;  // its current display mode could be read
    int32_t x = 0;           // the mode's desktop position and size
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct DisplayMonitor {
    void* handle = nullptr;
    MonitorRect rect;
    std::string device;  // the display device showing it
};

class DisplaySystem {
public:
    virtual ~DisplaySystem() = default;
    // False when there is no device with this index: the enumeration ends there.
    virtual bool Device(uint32_t index, DisplayDevice& device) = 0;
    // Every monitor of the desktop with its full rectangle.
    virtual std::vector<DisplayMonitor> Monitors() = 0;
};

// An entry gets a blanking window only when it is a further monitor of the desktop.
bool TakesPart(const MonitorEntry& entry);

// The monitor whose rectangle overlaps `rect` the most (the first one on a tie); null when
// none overlaps it.
void* LargestOverlap(const MonitorRect& rect, const std::vector<DisplayMonitor>& monitors);

// Fills `table` from scratch with the system's devices in their order: mirroring drivers
// are skipped and not counted, a device that is not attached keeps a zero entry, the
// primary display sits at 0,0 with its mode's size; at most kMaxEntries entries. An attached
// device whose mode cannot be read (or reads as empty) takes the rectangle of the monitor it
// shows, found by the device's name. Window
// handles already in the table are dropped, so blanking windows must be destroyed first.
void FillMonitorTable(MonitorTable& table, DisplaySystem& system);
