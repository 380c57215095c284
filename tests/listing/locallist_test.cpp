// The local lists of the real main window over a real directory.
#include <gtest/gtest.h>
#include <stdio.h>
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "shell/app.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "tests/support/window.h"

namespace {

const char kLongName[] = "a_file_name_much_wider_than_the_local_file_list.txt";

// C:\tarn-local\Program Files\Accessories\Sub\Deeper with subdirectories and
// files; the current directory is restored afterwards.
struct LocalTree {
    std::string root = "C:\\tarn-local";
    std::string deep = root + "\\Program Files\\Accessories\\Sub\\Deeper";
    char saved[MAX_PATH];
    std::vector<std::string> made;

    LocalTree()
    {
        GetCurrentDirectoryA(sizeof saved, saved);
        Remove();
        std::string path = root;
        MakeDir(path);
        for (const char* part : {"\\Program Files", "\\Accessories", "\\Sub", "\\Deeper"})
            MakeDir(path += part);
        for (const char* dir : {"sub1", "Hidden dir", "dir.txt"})
            MakeDir(deep + "\\" + dir);
        SetFileAttributesA((deep + "\\Hidden dir").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
        for (const char* file : {"a.txt", "B.TXT", "noext", "c.log", kLongName})
            MakeFile(deep + "\\" + file);
        SetCurrentDirectoryA(deep.c_str());
    }
    ~LocalTree()
    {
        SetCurrentDirectoryA(saved);
        Remove();
    }
    void MakeDir(const std::string& path)
    {
        CreateDirectoryA(path.c_str(), nullptr);
        made.push_back(path);
    }
    void MakeFile(const std::string& path)
    {
        FILE* f = fopen(path.c_str(), "wb");
        fputs("x", f);
        fclose(f);
        made.push_back(path);
    }
    void Remove()
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            SetFileAttributesA(it->c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!DeleteFileA(it->c_str()))
                RemoveDirectoryA(it->c_str());
        }
        made.clear();
    }
};

void SetLocalMask(const char* mask)
{
    SetDlgItemTextA(g_hwndMain, IDC_LOCAL_MASK, mask);
}

std::vector<std::string> Sorted(std::vector<std::string> items)
{
    std::sort(items.begin(), items.end());
    return items;
}

// The subdirectories; the drive entries are checked on their own.
std::vector<std::string> Subdirectories()
{
    std::vector<std::string> dirs;
    for (const std::string& d : ListItems(IDC_LOCAL_DIRS))
        if (d.compare(0, 2, "[-") != 0)
            dirs.push_back(d);
    return Sorted(dirs);
}

int TextWidth(int listId, const char* text)
{
    HWND list = MainControl(listId);
    HDC dc = GetDC(list);
    SIZE size;
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    ReleaseDC(list, dc);
    return size.cx;
}

DWORD WINAPI ListRepeatedly(void* done)
{
    for (int i = 0; i < 30; ++i)
        FillLocalLists(g_hwndMain);
    static_cast<std::atomic<bool>*>(done)->store(true);
    return 0;
}

}  // namespace

TEST(LocalLists, DirectoryMaskAndDrives)
{
    TestMainWindow();
    LocalTree tree;
    const std::vector<std::string> subdirs = {"..", "Hidden dir", "dir.txt", "sub1"};
    struct Case {
        const char* mask;
        std::vector<std::string> files;
    } cases[] = {
        {"", {"B.TXT", "a.txt", kLongName, "c.log", "noext"}},
        {"*.txt", {"B.TXT", "a.txt", kLongName}},
        {"*.zzz", {}},
        {"sub*", {}},
        {"?.log", {"c.log"}},
    };
    for (const Case& c : cases) {
        SetLocalMask(c.mask);
        SendDlgItemMessageA(g_hwndMain, IDC_LOCAL_MASK, EM_SETMODIFY, TRUE, 0);
        FillLocalLists(g_hwndMain);
        EXPECT_EQ(Subdirectories(), Sorted(subdirs)) << c.mask;
        EXPECT_EQ(Sorted(ListItems(IDC_LOCAL_FILES)), Sorted(c.files)) << c.mask;
        std::vector<std::string> dirs = ListItems(IDC_LOCAL_DIRS);
        EXPECT_NE(std::find(dirs.begin(), dirs.end(), "[-c-]"), dirs.end()) << c.mask;
        EXPECT_EQ(ControlText(IDC_LOCAL_DIR_TEXT), "C:\\...\\Accessories\\Sub\\Deeper");
        EXPECT_EQ(SendDlgItemMessageA(g_hwndMain, IDC_LOCAL_MASK, EM_GETMODIFY, 0, 0), 0);
    }
    SetLocalMask("");
    FillLocalLists(g_hwndMain);
    HoldForScreenshot();
}

TEST(LocalLists, RootHasNoParentAndShortPathsStayWhole)
{
    TestMainWindow();
    LocalTree tree;
    SetLocalMask("");
    SetCurrentDirectoryA("C:\\");
    FillLocalLists(g_hwndMain);
    std::vector<std::string> dirs = ListItems(IDC_LOCAL_DIRS);
    EXPECT_EQ(std::find(dirs.begin(), dirs.end(), ".."), dirs.end());
    EXPECT_EQ(std::find(dirs.begin(), dirs.end(), "."), dirs.end());
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), "tarn-local"), dirs.end());
    EXPECT_EQ(ControlText(IDC_LOCAL_DIR_TEXT), "C:\\");
    SetCurrentDirectoryA(tree.root.c_str());
    FillLocalLists(g_hwndMain);
    EXPECT_EQ(Subdirectories(), Sorted({"..", "Program Files"}));
    EXPECT_EQ(ControlText(IDC_LOCAL_DIR_TEXT), "C:\\tarn-local");
}

// The directory list starts every listing at an extent of 45 pixels, the file
// list at 0; a name wider than the list widens it to that name's width.
TEST(LocalLists, Extents)
{
    TestMainWindow();
    LocalTree tree;
    SendDlgItemMessageA(g_hwndMain, IDC_LOCAL_DIRS, LB_SETHORIZONTALEXTENT, 500, 0);
    SetLocalMask("*.log");
    FillLocalLists(g_hwndMain);
    EXPECT_EQ(ListExtent(IDC_LOCAL_DIRS), 45);
    EXPECT_EQ(ListExtent(IDC_LOCAL_FILES), 0);
    SetLocalMask("");
    FillLocalLists(g_hwndMain);
    EXPECT_EQ(ListExtent(IDC_LOCAL_FILES), TextWidth(IDC_LOCAL_FILES, kLongName));
    SetLocalMask("*.log");
    FillLocalLists(g_hwndMain);
    EXPECT_EQ(ListExtent(IDC_LOCAL_FILES), 0);
}

// A worker's listing runs in one piece on the GUI thread, so whenever the GUI
// thread looks between two of its own listings, the lists are whole.
TEST(LocalLists, ListingsOfTwoThreadsDoNotMix)
{
    TestMainWindow();
    LocalTree tree;
    SetLocalMask("");
    FillLocalLists(g_hwndMain);
    const std::vector<std::string> dirs = ListItems(IDC_LOCAL_DIRS), files = ListItems(IDC_LOCAL_FILES);
    std::atomic<bool> done(false);
    HANDLE worker = CreateThread(nullptr, 0, ListRepeatedly, &done, 0, nullptr);
    int rounds = 0;
    while (!done) {
        FillLocalLists(g_hwndMain);
        // One message at a time: at most one call of the worker's is handled
        // before the lists are looked at again.
        MsgWaitForMultipleObjects(1, &worker, FALSE, 5, QS_ALLINPUT);
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        ASSERT_EQ(ListItems(IDC_LOCAL_DIRS), dirs);
        ASSERT_EQ(ListItems(IDC_LOCAL_FILES), files);
        ++rounds;
    }
    WaitForSingleObject(worker, INFINITE);
    CloseHandle(worker);
    EXPECT_GT(rounds, 5);
}
