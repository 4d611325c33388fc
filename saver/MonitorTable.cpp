// Filling the table of display devices (see MonitorTable.h).
#include "saver/MonitorTable.h"

#include <algorithm>

namespace {

int64_t OverlapArea(const MonitorRect& a, const MonitorRect& b) {
    int64_t width = static_cast<int64_t>(std::min(a.right, b.right)) - std::max(a.left, b.left);
    int64_t height = static_cast<int64_t>(std::min(a.bottom, b.bottom)) - std::max(a.top, b.top);
    return width > 0 && height > 0 ? width * height : 0;
}

const DisplayMonitor* MonitorOfDevice(const std::string& name, const std::vector<DisplayMonitor>& monitors) {
    for (const DisplayMonitor& monitor : monitors)
        if (!name.empty() && monitor.device == name) return &monitor;
    return nullptr;
}

}  // namespace

bool TakesPart(const MonitorEntry& entry) { return !entry.IsPrimary && entry.Monitor != nullptr; }

void* LargestOverlap(const MonitorRect& rect, const std::vector<DisplayMonitor>& monitors) {
    void* best = nullptr;
    int64_t bestArea = 0;
    for (const DisplayMonitor& monitor : monitors) {
        int64_t area = OverlapArea(rect, monitor.rect);
        if (area > bestArea) {
            bestArea = area;
            best = monitor.handle;
        }
    }
    return best;
}

void FillMonitorTable(MonitorTable& table, DisplaySystem& system) {
    table = MonitorTable();
    std::vector<DisplayMonitor> monitors;
    bool monitorsRead = false;
    DisplayDevice device;
    for (uint32_t index = 0; table.EntryCount < MonitorTable::kMaxEntries; ++index) {
        device = DisplayDevice();
        if (!system.Device(index, device)) break;
        if (device.mirroring) continue;
        MonitorEntry& entry = table.Entries[table.EntryCount++];
        entry = MonitorEntry();
        if (!device.attached) continue;
        entry.IsPrimary = device.primary;
        if (!monitorsRead) {
            monitors = system.Monitors();
            monitorsRead = true;
        }
        if (device.modeKnown && device.width > 0 && device.height > 0) {
            int32_t left = device.primary ? 0 : device.x;
            int32_t top = device.primary ? 0 : device.y;
            entry.Rect = {left, top, left + device.width, top + device.height};
        } else if (const DisplayMonitor* own = MonitorOfDevice(device.name, monitors)) {
            // Some drivers cannot report a further output's mode; its monitor still knows
            // where it is.
            entry.Rect = own->rect;
        }
        entry.Monitor = LargestOverlap(entry.Rect, monitors);
    }
}
