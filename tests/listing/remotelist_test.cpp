// The remote lists of the real main window: a listing file read into them,
// the frame when not logged on, and the batched fill against one name at a
// time.
#include <gtest/gtest.h>
#include <stdio.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ftp/session.h"
#include "listing/hosttypes.h"
#include "shell/namebatch.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "tests/support/window.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

std::string WriteListing(const std::string& bytes)
{
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "LST", 0, path);
    FILE* f = fopen(path, "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
}

int TimesLogged(UINT id)
{
    char text[256];
    LoadCatalogue(id, text, sizeof text);
    int n = 0;
    for (int i = 0; i < StatusHistory.count; ++i)
        n += strcmp(StatusHistory.lines[i], text) == 0;
    return n;
}

void ClearRemoteLists()
{
    for (int id : {IDC_REMOTE_DIRS, IDC_REMOTE_FILES})
        SendMessageA(MainControl(id), LB_RESETCONTENT, 0, 0);
}

struct RestoreHostType {
    DWORD saved = HostType;
    unsigned codePage = TextCodePage;
    ~RestoreHostType()
    {
        HostType = saved;
        TextCodePage = codePage;
    }
};

}  // namespace

TEST(RemoteLists, ListingFileReadIntoTheLists)
{
    TestMainWindow();
    RestoreHostType restore;
    const std::string longName(1200, 'A');
    struct Case {
        DWORD hostType;
        std::string bytes;
        std::vector<std::string> dirs, files;
    } cases[] = {
        // Carriage returns before line feeds go; the last line needs no line feed.
        {HOST_UNIX,
         "total 3\r\n"
         "drwxr-xr-x   2 o g 512 Jan 15 12:00 .\r\n"
         "  1042 -rw-r--r--  1 o g 1234 Jan 15 12:00 notes.txt\r\n"
         "lrwxrwxrwx   1 o g 7 Jan 15 12:00 sys -> usr/sys\r\n"
         "drwxr-xr-x   2 o g 512 Jan 15 12:00 my docs\r\n"
         "-rw-r--r--   1 o g 5 Jan 15 12:00 last.txt",
         {"my docs", "sys"},
         {"last.txt", "notes.txt", "sys"}},
        // A line of 1200 bytes is three lines of 511, 511 and 178 bytes; a
        // carriage return elsewhere stays; a Ctrl-Z byte does not end the listing.
        {HOST_CHAMELEON,
         longName + "\n" + "a\rb 1\r\n" + "z\x1Az 1\r\n" + "after 1\r\n",
         {},
         {std::string(511, 'A'), std::string(511, 'A'), std::string(178, 'A'), "a\rb", "after", "z\x1Az"}},
        {HOST_CHAMELEON, "", {}, {}},
    };
    for (const Case& c : cases) {
        ClearRemoteLists();
        HostType = c.hostType;
        std::string path = WriteListing(c.bytes);
        int result = -2;
        RunOnWorker([&] { result = ReadListingIntoLists(path.c_str()); });
        DeleteFileA(path.c_str());
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Sorted(ListItems(IDC_REMOTE_DIRS)), Sorted(c.dirs)) << c.bytes.substr(0, 60);
        EXPECT_EQ(Sorted(ListItems(IDC_REMOTE_FILES)), Sorted(c.files)) << c.bytes.substr(0, 60);
    }
}

TEST(RemoteLists, WindowsNtListingSwitchesToUnixOnce)
{
    TestMainWindow();
    RestoreHostType restore;
    ClearRemoteLists();
    HostType = HOST_WINNT;
    int notesBefore = TimesLogged(24);
    std::string path = WriteListing(
        "01-15-96  12:00PM       <DIR>          Program Files\r\n"
        "01-15-96  12:00PM                 1234 read me.txt\r\n"
        "total 12\r\n"
        "lrwxrwxrwx 1 o g 7 Jan 15 12:00 sys -> usr/sys\r\n"
        "drwxr-xr-x 2 o g 512 Jan 15 12:00 docs\r\n"
        "01-15-96  12:00PM                 1234 after.txt\r\n");
    RunOnWorker([&] { ReadListingIntoLists(path.c_str()); });
    DeleteFileA(path.c_str());
    EXPECT_EQ(Sorted(ListItems(IDC_REMOTE_DIRS)), Sorted({"Program Files", "sys", "docs"}));
    EXPECT_EQ(Sorted(ListItems(IDC_REMOTE_FILES)), Sorted({"read me.txt", "sys"}));
    EXPECT_EQ(HostType, static_cast<DWORD>(HOST_UNIX));
    EXPECT_EQ(TimesLogged(24), notesBefore + 1);
}

TEST(RemoteLists, ShiftJisNameThroughTheListingFile)
{
    TestMainWindow();
    RestoreHostType restore;
    ClearRemoteLists();
    HostType = HOST_UNIX;
    TextCodePage = 932;
    std::string path = WriteListing("drwxr-xr-x   2 o g 512 Jan 15 12:00 \x95\x5C\x8E\xA6/\n"
                                    "-rw-r--r--   1 o g 5 Jan 15 12:00 \x83\x5C\n");
    ReadListingIntoLists(path.c_str());
    DeleteFileA(path.c_str());
    EXPECT_EQ(ListItems(IDC_REMOTE_DIRS), std::vector<std::string>{"\x95\x5C\x8E\xA6"});
    EXPECT_EQ(ListItems(IDC_REMOTE_FILES), std::vector<std::string>{"\x83\x5C"});
}

TEST(RemoteLists, MissingListingFileIsLogged)
{
    TestMainWindow();
    ClearRemoteLists();
    int before = TimesLogged(25);
    EXPECT_EQ(ReadListingIntoLists("C:\\no\\such\\listing.tmp"), -1);
    EXPECT_EQ(TimesLogged(25), before + 1);
    EXPECT_TRUE(ListItems(IDC_REMOTE_FILES).empty());
}

TEST(RemoteLists, NotLoggedOnEmptiesTheRemoteSide)
{
    TestMainWindow();
    FtpSession.loggedOn = 0;
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_DIRS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("old"));
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_FILES, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("old.txt"));
    SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, "/old");
    lstrcpyA(RemoteCurrentDir, "/old");
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_MASK, EM_SETMODIFY, TRUE, 0);
    RunOnWorker([] { DoDirList(g_hwndMain); });
    EXPECT_TRUE(ListItems(IDC_REMOTE_DIRS).empty());
    EXPECT_TRUE(ListItems(IDC_REMOTE_FILES).empty());
    EXPECT_EQ(ControlText(IDC_REMOTE_DIR_TEXT), "");
    EXPECT_STREQ(RemoteCurrentDir, "");
    EXPECT_EQ(SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_MASK, EM_GETMODIFY, 0, 0), 0);
}

// Redraw goes off once the vertical scroll bar shows, and the names go to the
// list in batches: the list and its extent must end exactly as when every
// name is added on its own and measured with SetListExtent.
TEST(RemoteLists, BatchedFillEndsAsOneNameAtATime)
{
    TestMainWindow();
    HWND list = MainControl(IDC_REMOTE_FILES);
    auto reset = [list] {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        SendMessageA(list, LB_SETHORIZONTALEXTENT, 0, 0);
        PumpMessages();
    };
    reset();
    RECT client;
    GetClientRect(list, &client);
    const int wide = client.right, narrow = wide - GetSystemMetrics(SM_CXVSCROLL);
    // A name as wide as the list without its scroll bar but not with it
    // widens the extent only once the scroll bar shows.
    std::vector<std::string> between, wider;
    HDC dc = GetDC(list);
    for (char c : {'W', 'm', 'x', 'i'}) {
        for (int k = 1; k < 80; ++k) {
            std::string name(k, c);
            SIZE size;
            GetTextExtentPoint32A(dc, name.c_str(), k, &size);
            if (size.cx > narrow && size.cx <= wide)
                between.push_back(name);
            else if (size.cx > wide && size.cx < wide + 60)
                wider.push_back(name);
        }
    }
    ReleaseDC(list, dc);
    ASSERT_FALSE(between.empty());
    ASSERT_GE(wider.size(), 2u);
    std::vector<std::string> many;
    for (int i = 0; i < 200; ++i)
        many.push_back("name" + std::to_string((i * 7919) % 1000));

    struct Fill {
        std::vector<std::string> names;
        std::vector<size_t> flushAfter;
    } fills[4];
    // Before the scroll bar shows: no extent.
    fills[0].names = {between.front()};
    fills[0].names.insert(fills[0].names.end(), many.begin(), many.end());
    fills[0].flushAfter = {1, 3};
    // After it: the extent of that name.
    fills[1].names = many;
    fills[1].names.push_back(between.front());
    fills[1].flushAfter = {1, 3};
    // Mixed, with names that compare equal and batches of every size.
    fills[2].names = {between.front(), "abc", "ABC"};
    fills[2].names.insert(fills[2].names.end(), many.begin(), many.end());
    fills[2].names.insert(fills[2].names.begin() + 150, {between.back(), wider[1], "Abc", "dup", "dup"});
    fills[2].names.insert(fills[2].names.begin() + 180, {wider[0], "dup", between.front()});
    fills[2].flushAfter = {1, 2, 9, 100, 151, 170};
    // Mostly in order, as servers list: runs that only grow, broken by names
    // that differ in case, hyphens and punctuation only, or sort earlier.
    for (int i = 0; i < 300; ++i) {
        char name[32];
        snprintf(name, sizeof name, "file-%04d.dat", i);
        fills[3].names.push_back(name);
        if (i % 37 == 5)
            fills[3].names.insert(fills[3].names.end(), {"File-" + std::string(name + 5), name, "file" + std::string(name + 5),
                                                         "fi-le" + std::string(name + 4), "a", "zz", "ZZ", "z-z", "_x",
                                                         "x'y", "~x", "FILE-9999.DAT", "file-9999.dat"});
    }
    fills[3].names.insert(fills[3].names.begin() + 100, wider[0]);
    fills[3].flushAfter = {1, 7, 40, 41, 200};

    for (int f = 0; f < 4; ++f) {
        const Fill& fill = fills[f];
        reset();
        int widestOne = 0;
        for (const std::string& name : fill.names) {
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
            SetListExtent(list, name.c_str(), &widestOne);
        }
        PumpMessages();
        std::vector<std::string> itemsOne = ListItems(IDC_REMOTE_FILES);
        int extentOne = ListExtent(IDC_REMOTE_FILES);
        if (f == 0)
            ASSERT_EQ(extentOne, 0);
        else
            ASSERT_GT(extentOne, narrow);

        reset();
        int widestBatched = 0;
        RunOnWorker([&] {
            NameBatchRec batch;
            BatchStart(&batch, list, &widestBatched);
            for (size_t i = 0; i < fill.names.size(); ++i) {
                BatchAdd(&batch, fill.names[i].c_str());
                if (std::find(fill.flushAfter.begin(), fill.flushAfter.end(), i + 1) != fill.flushAfter.end())
                    BatchFlush(&batch);
            }
            BatchEnd(&batch);
        });
        EXPECT_EQ(ListItems(IDC_REMOTE_FILES), itemsOne) << "fill " << f;
        EXPECT_EQ(ListExtent(IDC_REMOTE_FILES), extentOne) << "fill " << f;
        EXPECT_EQ(widestBatched, widestOne) << "fill " << f;
    }
    HoldForScreenshot();
}
