// Geometry of the main window and its controls, computed and as created.
#include <gtest/gtest.h>

#include <windows.h>
#include <set>
#include <utility>

#include "resources/resource.h"
#include "shell/app.h"
#include "shell/layout.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "tests/support/testwindow.h"

namespace {

const MainControlSpec& Spec(int id)
{
    for (int i = 0; i < kMainControlCount; ++i)
        if (kMainControls[i].id == id)
            return kMainControls[i];
    static MainControlSpec none{};
    return none;
}

TEST(Layout, DialogUnitsBecomePixelsWithTheBaseUnits)
{
    struct Case { int baseX, baseY; PixelRect localDirs; };
    for (Case c : {Case{8, 16, {14, 62, 148, 100}}, Case{6, 13, {10, 50, 111, 81}}}) {
        PixelRect r = ControlPixels(Spec(IDC_LOCAL_DIRS), c.baseX, c.baseY);
        EXPECT_EQ(r.x, c.localDirs.x);
        EXPECT_EQ(r.y, c.localDirs.y);
        EXPECT_EQ(r.width, c.localDirs.width);
        EXPECT_EQ(r.height, c.localDirs.height);
    }
    for (int i = 0; i < kMainControlCount; ++i) {  // base units 4 by 8: pixels are units
        PixelRect r = ControlPixels(kMainControls[i], 4, 8);
        EXPECT_EQ(r.x, kMainControls[i].x);
        EXPECT_EQ(r.height, kMainControls[i].height);
    }
}

TEST(Layout, TableHoldsEveryControlOnce)
{
    std::set<int> ids;
    int statusTexts = 0;
    for (int i = 0; i < kMainControlCount; ++i) {
        if (kMainControls[i].id == IDC_STATUS)
            ++statusTexts;
        else
            EXPECT_TRUE(ids.insert(kMainControls[i].id).second) << kMainControls[i].id;
    }
    EXPECT_EQ(statusTexts, 4);
    EXPECT_EQ(ids.size(), 36u);  // with the earlier status lines and the progress bar
}

// With nothing extra every control is where the table puts it; grown, the
// lists take the extra width and height, the button columns keep their
// size beside them, the log gets whole lines, and nothing overlaps.
TEST(Layout, GrowingKeepsTheSmallestLayoutAndOverlapsNothing)
{
    const int baseX = 9, baseY = 16, line = DluToPixelY(8, baseY);
    MainGrowth none = GrowthFor(0, 0, line);
    for (int i = 0; i < kMainControlCount; ++i) {
        PixelRect a = GrownPixels(kMainControls[i], baseX, baseY, none), b = ControlPixels(kMainControls[i], baseX, baseY);
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height) << kMainControls[i].id;
    }
    for (auto extra : {std::pair<int, int>{953, 576}, {1, 1}, {1273, 661}}) {
        MainGrowth g = GrowthFor(extra.first, extra.second, line);
        EXPECT_EQ(g.left + g.right, extra.first);
        EXPECT_EQ(g.dirs + g.files + g.log, extra.second);
        EXPECT_EQ(g.log % line, 0);
        EXPECT_LE(g.log, MAIN_LOG_EXTRA_LINES * line);
        PixelRect dirs = GrownPixels(Spec(IDC_LOCAL_DIRS), baseX, baseY, g);
        PixelRect files = GrownPixels(Spec(IDC_REMOTE_FILES), baseX, baseY, g);
        PixelRect goTo = GrownPixels(Spec(IDC_LOCAL_GOTO), baseX, baseY, g);
        EXPECT_EQ(dirs.width, ControlPixels(Spec(IDC_LOCAL_DIRS), baseX, baseY).width + g.left);
        EXPECT_EQ(files.height, ControlPixels(Spec(IDC_REMOTE_FILES), baseX, baseY).height + g.files);
        EXPECT_EQ(goTo.width, DluToPixelX(47, baseX));
        EXPECT_EQ(goTo.x - (dirs.x + dirs.width), DluToPixelX(84, baseX) - DluToPixelX(7, baseX) - DluToPixelX(74, baseX));
        for (int i = 0; i < kMainControlCount; ++i)
            for (int j = i + 1; j < kMainControlCount; ++j) {
                PixelRect a = GrownPixels(kMainControls[i], baseX, baseY, g);
                PixelRect b = GrownPixels(kMainControls[j], baseX, baseY, g);
                bool overlap = a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
                EXPECT_FALSE(overlap) << kMainControls[i].id << " and " << kMainControls[j].id;
            }
    }
}

TEST(Layout, PlacementTextAndKeepingItOnAMonitor)
{
    WindowPlaceRec p = {};
    ASSERT_TRUE(ParsePlacement("10,-20,1610,980,1", &p));
    EXPECT_EQ(FormatPlacement(p), "10,-20,1610,980,1");
    EXPECT_TRUE(p.maximized);
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "5,2,3,4,0", "1,2,3,4,0,", "a,2,3,4,0", "1,2,1,4,0",
                            "1,2,3,4,0x"})
        EXPECT_FALSE(ParsePlacement(bad, &p)) << bad;
    const struct { WindowPlaceRec in; WindowPlaceRec out; } cases[] = {
        {{100, 100, 800, 600, false}, {100, 100, 800, 600, false}},      // inside: as it was
        {{3000, 200, 3700, 700, true}, {1220, 200, 1920, 700, true}},    // on a monitor that is gone
        {{-500, -400, 200, 100, false}, {0, 0, 700, 500, false}},
        {{0, 0, 2500, 1500, false}, {0, 0, 1920, 1050, false}},          // larger than the area
        {{0, 0, 300, 200, false}, {0, 0, 651, 428, false}},              // smaller than the window may be
    };
    for (const auto& c : cases) {
        WindowPlaceRec r = KeepInArea(c.in, 0, 0, 1920, 1050, 651, 428);
        EXPECT_EQ(FormatPlacement(r), FormatPlacement(c.out)) << FormatPlacement(c.in);
    }
}

TEST(MainWindow, EveryControlIsAtItsPlaceWithItsCaptionAndState)
{
    HWND main = EnsureMainWindow();
    ASSERT_TRUE(main);
    char cls[32];
    GetClassNameA(main, cls, sizeof cls);
    EXPECT_STREQ(cls, "TARN");
    EXPECT_EQ(WindowText(main), "TARN");
    LONG style = GetWindowLongA(main, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_THICKFRAME);
    // It opens at its smallest: the client area of the window of old, which
    // was 287 by 211 units with the frame of a window that cannot be resized.
    RECT fixedFrame = {0, 0, 0, 0};
    AdjustWindowRectEx(&fixedFrame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0);
    RECT client;
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, DluX(287) - (fixedFrame.right - fixedFrame.left));
    EXPECT_EQ(client.bottom, DluY(211) - (fixedFrame.bottom - fixedFrame.top));

    // Walk the children in creation order: the table's order.
    int index = 0;
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT), ++index) {
        ASSERT_LT(index, kMainControlCount);
        const MainControlSpec& c = kMainControls[index];
        EXPECT_EQ(GetDlgCtrlID(child), c.id) << index;
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
        PixelRect want = ControlPixels(c, g_baseX, g_baseY);
        EXPECT_EQ(r.left, want.x) << c.id;
        EXPECT_EQ(r.top, want.y) << c.id;
        EXPECT_EQ(r.right - r.left, want.width) << c.id;
        EXPECT_EQ(r.bottom - r.top, want.height) << c.id;
        if (c.literal && (c.kind == CK_BUTTON || c.kind == CK_RADIO)) {
            EXPECT_EQ(WindowText(child), c.literal);
        }
        bool enabled = c.id != IDC_DISCONNECT && c.id != IDC_ABORT;
        EXPECT_EQ(IsWindowEnabled(child) != 0, enabled) << c.id;
    }
    EXPECT_EQ(index, kMainControlCount);
    EXPECT_EQ(WindowText(MainControl(IDC_CONNECT)), "Connect");
    EXPECT_EQ(WindowText(MainControl(IDC_MODE_BINARY)), "Binary");
    EXPECT_EQ(SendMessageA(MainControl(IDC_LOCAL_MASK), EM_GETLIMITTEXT, 0, 0), 50);
}

TEST(MainWindow, ListExtentWidensOnlyForWiderNames)
{
    HWND list = MainControl(IDC_REMOTE_FILES);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 0, 0);
    int widest = 0;
    SetListExtent(list, "a", &widest);
    EXPECT_EQ(widest, 0);
    EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0), 0);
    std::string wide(120, 'W');
    SetListExtent(list, wide.c_str(), &widest);
    int extent = static_cast<int>(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0));
    EXPECT_GT(extent, 0);
    EXPECT_EQ(extent, widest);
    SetListExtent(list, std::string(60, 'W').c_str(), &widest);
    EXPECT_EQ(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0), extent);
}

TEST(MainWindow, HideAndShowFileLists)
{
    HideFileLists();
    EXPECT_FALSE(IsWindowVisible(MainControl(IDC_REMOTE_FILES)));
    EXPECT_FALSE(IsWindowEnabled(MainControl(IDC_LOCAL_GOTO)));
    EXPECT_FALSE(IsWindowEnabled(MainControl(IDC_REMOTE_MASK)));
    EXPECT_TRUE(IsWindowEnabled(MainControl(IDC_REMOTE_GOTO)));
    ShowFileLists();
    EXPECT_TRUE(IsWindowVisible(MainControl(IDC_REMOTE_FILES)));
    EXPECT_TRUE(IsWindowEnabled(MainControl(IDC_LOCAL_GOTO)));
}

TEST(MainWindow, LocalMaskIsReadBack)
{
    SetDlgItemTextA(g_hwndMain, IDC_LOCAL_MASK, "*.txt");
    char mask[120];
    EXPECT_EQ(GetMaskText(IDC_LOCAL_MASK, mask), 5);
    EXPECT_STREQ(mask, "*.txt");
    SetDlgItemTextA(g_hwndMain, IDC_LOCAL_MASK, "");
    EXPECT_EQ(GetMaskText(IDC_LOCAL_MASK, mask), 0);
    EXPECT_STREQ(mask, "");
}

TEST(MainWindow, TransferTypeRadioButtonsFollowTheType)
{
    SendMessageA(g_hwndMain, WM_COMMAND, IDC_MODE_L8, 0);
    EXPECT_EQ(SendMessageA(MainControl(IDC_MODE_L8), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(MainControl(IDC_MODE_BINARY), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(g_hwndMain, WM_COMMAND, IDC_MODE_BINARY, 0);
    SendMessageA(g_hwndMain, WM_COMMAND, IDM_SHOW_TRANSFER_TYPE, 0);
    EXPECT_EQ(SendMessageA(MainControl(IDC_MODE_BINARY), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(MainControl(IDC_MODE_L8), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

}  // namespace
