// Filling the monitor table from a made-up list of display devices and monitors: the
// primary at 0,0, a monitor left of it, outputs that are not attached, mirroring drivers,
// more devices than the table holds, and the largest-overlap monitor.
#include "saver/MonitorTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

void* Handle(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(0x1000 * n)); }

DisplayDevice Attached(int32_t x, int32_t y, int32_t width, int32_t height, bool primary = false) {
    DisplayDevice d;
    d.attached = true;
    d.primary = primary;
    d.modeKnown = true;
    d.x = x;
    d.y = y;
    d.width = width;
    d.height = height;
    return d;
}

DisplayDevice Unattached() { return DisplayDevice(); }

DisplayDevice Named(DisplayDevice d, const char* name) {
    d.name = name;
    return d;
}

DisplayDevice Mirror() {
    DisplayDevice d = Attached(0, 0, 1024, 768);
    d.mirroring = true;
    return d;
}

class FakeSystem : public DisplaySystem {
public:
    std::vector<DisplayDevice> devices;
    std::vector<DisplayMonitor> monitors;
    uint32_t devicesAsked = 0;

    bool Device(uint32_t index, DisplayDevice& device) override {
        devicesAsked = index + 1;
        if (index >= devices.size()) return false;
        device = devices[index];
        return true;
    }
    std::vector<DisplayMonitor> Monitors() override { return monitors; }
};

std::string Describe(const MonitorRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

struct ExpectedEntry {
    int monitor;  // 0: null, n: Handle(n)
    MonitorRect rect;
    bool primary;
};

struct Case {
    const char* name;
    std::vector<DisplayDevice> devices;
    std::vector<DisplayMonitor> monitors;
    std::vector<ExpectedEntry> expected;
    int blanked;  // entries that get a blanking window
};

const DisplayMonitor kPrimaryMonitor{Handle(1), {0, 0, 1024, 768}};

std::vector<Case> Cases() {
    return {
        {"one monitor", {Attached(0, 0, 1024, 768, true)}, {kPrimaryMonitor},
         {{1, {0, 0, 1024, 768}, true}}, 0},
        {"second monitor right of the primary",
         {Attached(0, 0, 1024, 768, true), Attached(1024, 0, 800, 600)},
         {kPrimaryMonitor, {Handle(2), {1024, 0, 1824, 600}}},
         {{1, {0, 0, 1024, 768}, true}, {2, {1024, 0, 1824, 600}, false}}, 1},
        {"second monitor left of the primary, primary listed second",
         {Attached(-1280, -100, 1280, 1024), Attached(0, 0, 1024, 768, true)},
         {{Handle(2), {-1280, -100, 0, 924}}, kPrimaryMonitor},
         {{2, {-1280, -100, 0, 924}, false}, {1, {0, 0, 1024, 768}, true}}, 1},
        {"the primary is at 0,0 whatever its mode says",
         {Attached(50, 60, 1024, 768, true)}, {kPrimaryMonitor},
         {{1, {0, 0, 1024, 768}, true}}, 0},
        {"an output that is not attached is counted with a zero entry",
         {Attached(0, 0, 1024, 768, true), Unattached(), Attached(1024, 0, 800, 600)},
         {kPrimaryMonitor, {Handle(3), {1024, 0, 1824, 600}}},
         {{1, {0, 0, 1024, 768}, true}, {0, {}, false}, {3, {1024, 0, 1824, 600}, false}}, 1},
        {"mirroring drivers are skipped and not counted",
         {Mirror(), Attached(0, 0, 1024, 768, true), Mirror(), Attached(1024, 0, 800, 600)},
         {kPrimaryMonitor, {Handle(2), {1024, 0, 1824, 600}}},
         {{1, {0, 0, 1024, 768}, true}, {2, {1024, 0, 1824, 600}, false}}, 1},
        {"a device over two monitors gets the one it overlaps most",
         {Attached(0, 0, 1024, 768, true), Attached(900, 0, 800, 600)},
         {kPrimaryMonitor, {Handle(2), {1024, 0, 1824, 600}}},
         {{1, {0, 0, 1024, 768}, true}, {2, {900, 0, 1700, 600}, false}}, 1},
        {"a device outside every monitor has no monitor and no window",
         {Attached(0, 0, 1024, 768, true), Attached(5000, 0, 800, 600)}, {kPrimaryMonitor},
         {{1, {0, 0, 1024, 768}, true}, {0, {5000, 0, 5800, 600}, false}}, 0},
        {"an attached device whose mode cannot be read",
         {Attached(0, 0, 1024, 768, true),
          [] { DisplayDevice d = Attached(1024, 0, 800, 600); d.modeKnown = false; return d; }()},
         {kPrimaryMonitor, {Handle(2), {1024, 0, 1824, 600}}},
         {{1, {0, 0, 1024, 768}, true}, {0, {}, false}}, 0},
        {"a device whose mode reads as empty takes its own monitor's rectangle",
         {Named(Attached(0, 0, 1024, 768, true), "\\\\.\\DISPLAY1"), Named(Attached(0, 0, 0, 0), "\\\\.\\DISPLAY2")},
         {{Handle(1), {0, 0, 1024, 768}, "\\\\.\\DISPLAY1"}, {Handle(2), {1024, 0, 2048, 768}, "\\\\.\\DISPLAY2"}},
         {{1, {0, 0, 1024, 768}, true}, {2, {1024, 0, 2048, 768}, false}}, 1},
        {"a device whose mode cannot be read takes its own monitor's rectangle",
         {Named(Attached(0, 0, 1024, 768, true), "A"),
          [] { DisplayDevice d = Named(Attached(-800, 0, 800, 600), "B"); d.modeKnown = false; return d; }()},
         {{Handle(2), {-800, 0, 0, 600}, "B"}, {Handle(1), {0, 0, 1024, 768}, "A"}},
         {{1, {0, 0, 1024, 768}, true}, {2, {-800, 0, 0, 600}, false}}, 1},
        {"no devices at all", {}, {}, {}, 0},
    };
}

TEST(FillMonitorTable, DeviceLists) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.devices = c.devices;
        system.monitors = c.monitors;
        MonitorTable table;
        FillMonitorTable(table, system);
        ASSERT_EQ(c.expected.size(), table.EntryCount);
        int blanked = 0;
        for (uint32_t i = 0; i < table.EntryCount; ++i) {
            const MonitorEntry& entry = table.Entries[i];
            const ExpectedEntry& want = c.expected[i];
            EXPECT_EQ(want.monitor ? Handle(want.monitor) : nullptr, entry.Monitor) << "entry " << i;
            EXPECT_EQ(Describe(want.rect), Describe(entry.Rect)) << "entry " << i;
            EXPECT_EQ(want.primary, entry.IsPrimary) << "entry " << i;
            EXPECT_EQ(nullptr, entry.Window) << "entry " << i;
            if (TakesPart(entry)) ++blanked;
        }
        EXPECT_EQ(c.blanked, blanked);
        EXPECT_EQ(c.devices.size() + 1, system.devicesAsked) << "every device up to the end is asked for";
    }
}

TEST(FillMonitorTable, TenDevicesFillNineEntriesAndTheTenthIsNeverAskedFor) {
    FakeSystem system;
    system.devices.push_back(Attached(0, 0, 1024, 768, true));
    system.monitors.push_back(kPrimaryMonitor);
    for (int i = 1; i < 10; ++i) {
        system.devices.push_back(Attached(1024 * i, 0, 1024, 768));
        system.monitors.push_back({Handle(i + 1), {1024 * i, 0, 1024 * (i + 1), 768}});
    }
    MonitorTable table;
    FillMonitorTable(table, system);
    EXPECT_EQ(9u, table.EntryCount);
    EXPECT_EQ(9u, system.devicesAsked);
    EXPECT_EQ(Handle(9), table.Entries[8].Monitor);
    EXPECT_EQ(Describe({8192, 0, 9216, 768}), Describe(table.Entries[8].Rect));
}

TEST(FillMonitorTable, MirroringDriversDoNotTakeUpThePlaceOfADisplay) {
    FakeSystem system;
    system.devices.push_back(Attached(0, 0, 1024, 768, true));
    system.monitors.push_back(kPrimaryMonitor);
    for (int i = 1; i < 10; ++i) {
        system.devices.push_back(Mirror());
        system.devices.push_back(Attached(1024 * i, 0, 1024, 768));
        system.monitors.push_back({Handle(i + 1), {1024 * i, 0, 1024 * (i + 1), 768}});
    }
    MonitorTable table;
    FillMonitorTable(table, system);
    EXPECT_EQ(9u, table.EntryCount);
    for (uint32_t i = 1; i < 9; ++i) EXPECT_TRUE(TakesPart(table.Entries[i])) << i;
}

TEST(FillMonitorTable, ASecondFillStartsFromAnEmptyTable) {
    FakeSystem system;
    system.devices = {Attached(0, 0, 1024, 768, true), Attached(1024, 0, 800, 600)};
    system.monitors = {kPrimaryMonitor, {Handle(2), {1024, 0, 1824, 600}}};
    MonitorTable table;
    for (MonitorEntry& entry : table.Entries) entry.Window = Handle(7);
    table.EntryCount = MonitorTable::kMaxEntries;
    FillMonitorTable(table, system);
    FillMonitorTable(table, system);
    EXPECT_EQ(2u, table.EntryCount);
    for (const MonitorEntry& entry : table.Entries) EXPECT_EQ(nullptr, entry.Window);
}

TEST(LargestOverlap, TouchingEdgesDoNotOverlap) {
    std::vector<DisplayMonitor> monitors = {kPrimaryMonitor};
    EXPECT_EQ(nullptr, LargestOverlap({1024, 0, 1824, 600}, monitors));
    EXPECT_EQ(nullptr, LargestOverlap({-800, 0, 0, 600}, monitors));
    EXPECT_EQ(nullptr, LargestOverlap({}, monitors));
    EXPECT_EQ(Handle(1), LargestOverlap({1023, 767, 1024, 768}, monitors));
}

}  // namespace
