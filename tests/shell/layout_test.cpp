// Geometry of the main window and its controls, computed and as created.
#include <gtest/gtest.h>

#include <windows.h>
#include <set>

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
    EXPECT_EQ(ids.size(), 34u);
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
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT wr;
    GetWindowRect(main, &wr);
    EXPECT_EQ(wr.right - wr.left, DluX(287));
    EXPECT_EQ(wr.bottom - wr.top, DluY(211));

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
