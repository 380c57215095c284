// The main window grows: resized, its lists take the room and no control
// covers another; its placement is there again at the next start.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/tarnapp.h"

namespace {

RECT ChildRect(const TarnApp& app, HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, app.main, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// Every pair of the window's controls that share pixels, as "id and id".
std::vector<std::string> Overlaps(const TarnApp& app)
{
    std::vector<std::pair<int, RECT>> controls;
    for (HWND c = GetWindow(app.main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        controls.push_back({GetDlgCtrlID(c), ChildRect(app, c)});
    std::vector<std::string> found;
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            RECT both;
            if (IntersectRect(&both, &controls[i].second, &controls[j].second))
                found.push_back(std::to_string(controls[i].first) + " and " + std::to_string(controls[j].first));
        }
    return found;
}

TEST(MainWindowSize, ResizedTheListsGrowNothingOverlapsAndThePlacementStays)
{
    RegistryGuard registry;
    WriteTestOptions();
    TarnApp app;
    ASSERT_TRUE(app.Start("window-size"));
    const int lists[] = {IDC_LOCAL_DIRS, IDC_LOCAL_FILES, IDC_REMOTE_DIRS, IDC_REMOTE_FILES};
    RECT before[4];
    for (int i = 0; i < 4; ++i)
        before[i] = ChildRect(app, app.Control(lists[i]));
    RECT goTo = ChildRect(app, app.Control(IDC_REMOTE_GOTO)), log = ChildRect(app, app.StatusLine(false));
    EXPECT_TRUE(Overlaps(app).empty()) << Joined(Overlaps(app));
    RECT smallest;
    GetWindowRect(app.main, &smallest);

    // Smaller than the smallest it does not get.
    SetWindowPos(app.main, nullptr, 30, 20, 300, 200, SWP_NOZORDER);
    RECT r;
    GetWindowRect(app.main, &r);
    EXPECT_EQ(Width(r), Width(smallest));
    EXPECT_EQ(Height(r), Height(smallest));

    SetWindowPos(app.main, nullptr, 30, 20, 1600, 1000, SWP_NOZORDER);
    GetWindowRect(app.main, &r);
    ASSERT_EQ(Width(r), 1600);
    ASSERT_EQ(Height(r), 1000);
    for (int i = 0; i < 4; ++i) {
        RECT now = ChildRect(app, app.Control(lists[i]));
        EXPECT_GT(Width(now), Width(before[i]) + 400) << lists[i];
        EXPECT_GT(Height(now), Height(before[i]) + 150) << lists[i];
    }
    RECT goToNow = ChildRect(app, app.Control(IDC_REMOTE_GOTO));
    EXPECT_EQ(Width(goToNow), Width(goTo));  // the button columns keep their size
    EXPECT_EQ(Height(goToNow), Height(goTo));
    EXPECT_EQ(goToNow.left - ChildRect(app, app.Control(IDC_REMOTE_DIRS)).right,
              goTo.left - before[2].right);  // ... beside their lists
    EXPECT_GT(Width(ChildRect(app, app.StatusLine(false))), Width(log) + 800);
    EXPECT_GT(Height(ChildRect(app, app.Control(IDC_STATUS_EARLIER))), 3 * Height(log));
    std::vector<std::string> overlaps = Overlaps(app);
    EXPECT_TRUE(overlaps.empty()) << Joined(overlaps);

    // The placement is saved with the options and is there at the next start.
    app.Click(IDC_EXIT);
    ASSERT_EQ(app.WaitExit(), 0);
    EXPECT_EQ(RegText("_config_", "PLACEMENT"), "30,20,1630,1020,0");
    TarnApp again;
    ASSERT_TRUE(again.Start("window-size-again"));
    GetWindowRect(again.main, &r);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(Width(r), 1600);
    EXPECT_EQ(Height(r), 1000);

    // Maximized, it starts maximized, the normal place kept behind it.
    ShowWindow(again.main, SW_MAXIMIZE);
    ASSERT_TRUE(TarnApp::WaitFor([&] { return IsZoomed(again.main) != 0; }, 3000));
    again.Click(IDC_EXIT);
    ASSERT_EQ(again.WaitExit(), 0);
    EXPECT_EQ(RegText("_config_", "PLACEMENT"), "30,20,1630,1020,1");
    TarnApp third;
    ASSERT_TRUE(third.Start("window-size-third"));
    EXPECT_TRUE(IsZoomed(third.main));
    EXPECT_TRUE(Overlaps(third).empty()) << Joined(Overlaps(third));
    third.Click(IDC_EXIT);
    ASSERT_EQ(third.WaitExit(), 0);

    // A place on a monitor that is no more: the window comes back in sight.
    RegSetText("_config_", "PLACEMENT", "5000,4000,5700,4500,0");
    TarnApp lost;
    ASSERT_TRUE(lost.Start("window-size-lost"));
    GetWindowRect(lost.main, &r);
    EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(Width(r), 700);
    lost.Click(IDC_EXIT);
    EXPECT_EQ(lost.WaitExit(), 0);
}

}  // namespace
