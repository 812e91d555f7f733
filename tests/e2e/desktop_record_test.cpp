// The record behind the monitor's switch, against a real X server with real modes: while
// one lease's record stands, another lease switches nothing and restores nothing; a record
// whose lease has gone is given back before the next switch, so the mode recorded then is
// the desktop's again.
#include "program_fixture.h"

#include "monitors.h"
#include "platform/x11_errors.h"
#include "platform/x11_mode.h"

namespace {

class DesktopRecordTest : public DisctrailTest {
protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "Xorg on the dummy driver needs root here: its wrapper refuses other users "
                            "outside a console";
        }
        server = startXorgDummy();
        arrangeMonitors(server, ProgramMonitor::Right);
        display = connectTo(server.displayName());
        ASSERT_TRUE(display);
        // As in the program: refused requests recorded, not fatal.
        handleXErrors();
        desktop = readLayout(display.get());
        programMonitor = monitorNamed(desktop, "DUMMY0");
    }

    // A run's lease: a window of a connection of its own, gone when that closes.
    struct Lease {
        DisplayHandle connection;
        Window window = None;
    };
    Lease makeLease() {
        Lease lease{connectTo(server.displayName()), None};
        lease.window = XCreateWindow(lease.connection.get(), DefaultRootWindow(lease.connection.get()), 0, 0, 1, 1, 0,
                                     CopyFromParent, InputOnly, CopyFromParent, 0, nullptr);
        XSync(lease.connection.get(), False);
        return lease;
    }

    bool switchUnder(const Lease& lease) {
        MonitorArea area{};
        return switchMonitor(display.get(), lease.window, programMonitor.x + 1, programMonitor.y + 1, area);
    }
    bool restoreUnder(const Lease& lease) {
        MonitorArea area{};
        return restoreMonitor(display.get(), lease.window, area);
    }

    Layout desktop;
    MonitorState programMonitor;
};

TEST_F(DesktopRecordTest, AnotherLeaseNeitherSwitchesNorRestoresWhileTheFirstLives) {
    const Lease first = makeLease();
    const Lease second = makeLease();
    const Layout switched = withMode(desktop, "DUMMY0", 640, 480);

    ASSERT_TRUE(switchUnder(first));
    EXPECT_EQ(describe(readLayout(display.get())), describe(switched));
    EXPECT_FALSE(switchUnder(second)) << "switched while another run holds the monitor";
    EXPECT_FALSE(restoreUnder(second)) << "gave back a monitor another run holds";
    EXPECT_EQ(describe(readLayout(display.get())), describe(switched));

    EXPECT_TRUE(restoreUnder(first));
    EXPECT_EQ(describe(readLayout(display.get())), describe(desktop));
    EXPECT_FALSE(restoreUnder(first)) << "a record outlived its restore";
}

TEST_F(DesktopRecordTest, ARecordWhoseLeaseHasGoneIsGivenBackBeforeTheNextSwitch) {
    Lease first = makeLease();
    ASSERT_TRUE(switchUnder(first));
    first.connection.reset();  // the run and its guardian both killed
    const Layout switched = withMode(desktop, "DUMMY0", 640, 480);
    EXPECT_EQ(describe(readLayout(display.get())), describe(switched)) << "with nobody left to restore";

    const Lease second = makeLease();
    ASSERT_TRUE(switchUnder(second));
    EXPECT_EQ(describe(readLayout(display.get())), describe(switched));
    // What the second recorded is the desktop's mode, not the first's 640x480.
    EXPECT_TRUE(restoreUnder(second));
    EXPECT_EQ(describe(readLayout(display.get())), describe(desktop));
}

} // namespace
