#include "listing/locallist.h"

#include <string.h>
#include <string>
#include <vector>

#include "listing/paths.h"
#include "listing/textconv.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

static int g_dirWidest, g_fileWidest;

// Names of the entries matching pattern that are (or are not) directories,
// "." left out; each ends with a NUL.
static int CollectNames(const char* pattern, bool directories, std::vector<char>* names)
{
    int count = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern, &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        bool isDir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDir != directories || strcmp(found.cFileName, ".") == 0)
            continue;
        names->insert(names->end(), found.cFileName, found.cFileName + strlen(found.cFileName) + 1);
        ++count;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return count;
}

static void FillList(int id, int startExtent, const char* pattern, bool directories, int* widest)
{
    HWND list = MainControl(id);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, startExtent, 0);
    std::vector<char> names;
    int count = CollectNames(pattern, directories, &names);
    ListFillRec fill = {list, widest, false};
    AddListNames(&fill, names.data(), count, static_cast<int>(names.size()));
    if (directories)
        SendMessageA(list, LB_DIR, DDL_DRIVES | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*"));
    EndListFill(&fill);
}

static LRESULT FillOnGuiThread(void*)
{
    char mask[120];
    GetLocalMask(mask);
    g_dirWidest = g_fileWidest = 0;
    char directory[512];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory)
        directory[0] = 0;
    SetDlgItemTextA(g_hwndMain, IDC_LOCAL_DIR_TEXT, ShortenLocalPath(directory, 25, TextCodePage).c_str());
    FillList(IDC_LOCAL_DIRS, 45, "*.*", true, &g_dirWidest);
    FillList(IDC_LOCAL_FILES, 0, mask[0] ? mask : "*.*", false, &g_fileWidest);
    // The dispatch lists again when the mask edit loses the focus with its
    // modified mark set; the mask just used is not new.
    SendDlgItemMessageA(g_hwndMain, IDC_LOCAL_MASK, EM_SETMODIFY, FALSE, 0);
    return 0;
}

int FillLocalLists(HWND)
{
    CallOnGuiThread(FillOnGuiThread, nullptr);
    return 0;
}
