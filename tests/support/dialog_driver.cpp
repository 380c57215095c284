#include "dialog_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <vector>

namespace {

constexpr int kMessageBoxIcon = 1088;

struct FindData {
    int marker, exclude;
    bool anyVisible;
    HWND found;
};

bool IsOurDialog(HWND w)
{
    char cls[32];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == GetCurrentProcessId() && GetClassNameA(w, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0 &&
           IsWindowVisible(w);
}

BOOL CALLBACK FindProc(HWND w, LPARAM lp)
{
    auto* f = reinterpret_cast<FindData*>(lp);
    if (!IsOurDialog(w))
        return TRUE;
    if (f->anyVisible) {
        f->found = w;
        return FALSE;
    }
    if (IsWindowEnabled(w) && GetDlgItem(w, f->marker) && !(f->exclude && GetDlgItem(w, f->exclude))) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND WaitForDialog(int markerId, int excludeId, DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        FindData f = {markerId, excludeId, false, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
        if (f.found) {
            Sleep(50);  // let the dialog finish its initialisation
            return f.found;
        }
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

bool WaitGone(HWND window, DWORD ms)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(20);
    }
    return true;
}

void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button)
        SendMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

void ClickLater(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

void CloseAllDialogs()
{
    for (int round = 0; round < 20; ++round) {
        FindData f = {0, 0, true, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
        if (!f.found)
            return;
        PostMessageA(f.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageA(f.found, WM_CLOSE, 0, 0);
        WaitGone(f.found, 2000);
    }
}

static BOOL CALLBACK CollectStatic(HWND w, LPARAM lp)
{
    char cls[32];
    if (GetClassNameA(w, cls, sizeof cls) && lstrcmpiA(cls, "Static") == 0) {
        std::string t = WindowText(w);
        if (!t.empty())
            *reinterpret_cast<std::string*>(lp) = t;
    }
    return TRUE;
}

std::string AnswerMessageBox(DWORD ms, std::string* title)
{
    DWORD start = GetTickCount();
    do {
        FindData f = {0, 0, true, nullptr};
        EnumWindows(FindProc, reinterpret_cast<LPARAM>(&f));
        // Message boxes carry an icon control of this ID, shown or hidden.
        if (f.found && GetDlgItem(f.found, kMessageBoxIcon)) {
            Sleep(50);
            std::string text;
            EnumChildWindows(f.found, CollectStatic, reinterpret_cast<LPARAM>(&text));
            if (title)
                *title = WindowText(f.found);
            PostMessageA(f.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            PostMessageA(f.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            WaitGone(f.found, 3000);
            return text;
        }
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return "";
}

void Snapshot(const char* name)
{
    const char* dir = getenv("TARN_SHOT_DIR");
    if (!dir || !*dir)
        return;
    char ready[MAX_PATH], done[MAX_PATH];
    snprintf(ready, sizeof ready, "%s\\%s.ready", dir, name);
    snprintf(done, sizeof done, "%s\\%s.done", dir, name);
    Sleep(300);
    if (FILE* f = fopen(ready, "w"))
        fclose(f);
    for (int i = 0; i < 300 && GetFileAttributesA(done) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    DeleteFileA(done);
}

DialogScript::DialogScript(std::function<void()> script)
    : thread([script] {
          script();
          // A script that failed half-way may leave its dialog open.
          Sleep(200);
          CloseAllDialogs();
      })
{
}

void DialogScript::Join()
{
    if (thread.joinable())
        thread.join();
}

DialogScript::~DialogScript()
{
    Join();
}
