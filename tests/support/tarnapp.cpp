// The driver uses SendInput and GetGUIThreadInfo (Windows 2000 on), which
// the program itself does not need.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0501
#define _WIN32_WINNT 0x0501
#include "tests/support/tarnapp.h"
#include "tests/support/paths.h"

#include <windows.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"

namespace {

constexpr int kMessageBoxIcon = 1088;
constexpr char kProbe[] = "\x01tarn-probe";

std::string WindowTextOf(HWND hwnd)
{
    char text[1024] = "";
    if (hwnd)
        GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

DWORD ProcessOf(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct TopLevelSearch {
    DWORD pid;
    const char* className;
    int markerId;   // dialogs only: a control the dialog must have
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<TopLevelSearch*>(lp);
    if (ProcessOf(hwnd) != s->pid || ClassOf(hwnd) != s->className || !IsWindowVisible(hwnd))
        return TRUE;
    if (s->markerId && (!IsWindowEnabled(hwnd) || !GetDlgItem(hwnd, s->markerId)))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

HWND FindWindowOf(DWORD pid, const char* className, int markerId = 0)
{
    TopLevelSearch s{pid, className, markerId, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

BOOL CALLBACK CollectStaticText(HWND w, LPARAM lp)
{
    if (lstrcmpiA(ClassOf(w).c_str(), "Static") == 0) {
        std::string t = WindowTextOf(w);
        if (!t.empty())
            *reinterpret_cast<std::string*>(lp) = t;
    }
    return TRUE;
}

std::string FromWide(const wchar_t* text)
{
    char out[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}

std::string ListItemW(HWND list, int index)
{
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR || length > 1000)
        return "";
    wchar_t text[1024] = L"";
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
    return FromWide(text);
}

// The main window's status scroll: one line up or down, and whether the
// status lines were shown anew (at either end of the history they are not).
bool ScrollStatus(HWND main, HWND bar, HWND lower, int code)
{
    SendMessageA(lower, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kProbe));
    SendMessageA(main, WM_VSCROLL, code, reinterpret_cast<LPARAM>(bar));
    return WindowTextOf(lower) != kProbe;
}

}  // namespace

TarnApp::~TarnApp()
{
    if (process.hProcess) {
        if (Running()) {
            // A test that failed half-way may leave dialogs or the program up.
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 10000);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (!dir.empty())
        RemoveTree(dir);
}

bool TarnApp::Start(const std::string& name, const std::string& arguments, DWORD ms)
{
    if (!Launch(name, arguments))
        return false;
    if (!WaitFor([&] { return (main = FindWindowOf(process.dwProcessId, "TARN")) != nullptr; }, ms))
        return false;
    // The last line start-up logs.
    return WaitFor([&] { return !WindowTextOf(StatusLine(false)).empty(); }, ms);
}

namespace {

std::string EnvironmentText(const char* name)
{
    char value[1024] = "";
    GetEnvironmentVariableA(name, value, sizeof value);
    return value;
}

std::vector<DWORD> TarnProcesses()
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {sizeof entry};
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szExeFile, "tarn.exe") == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

}  // namespace

bool TarnApp::StartAsUser(const std::string& name, const std::string& user, DWORD ms)
{
    std::string program = EnvironmentText("TARN_PROGRAM");
    if (program.empty())
        program = EnvironmentText("TARN_BINARY_DIR") + "/tarn.exe";
    const std::string source = EnvironmentText("TARN_SOURCE_DIR"), prefix = EnvironmentText("WINEPREFIX");
    if (source.empty() || prefix.empty())
        return false;
    if (dir.empty())
        dir = TempDirectory(name);
    const std::vector<DWORD> before = TarnProcesses();
    std::string line = "/usr/bin/env USER=" + user + " LOGNAME=" + user + " WINEPREFIX=" + prefix +
                       " WINEDEBUG=-all DISPLAY=" + EnvironmentText("DISPLAY") + " " + source + "/tools/wine-run " +
                       program;
    STARTUPINFOA si = {sizeof si};
    PROCESS_INFORMATION unix = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &unix))
        return false;
    if (unix.hProcess)
        CloseHandle(unix.hProcess);
    if (unix.hThread)
        CloseHandle(unix.hThread);
    DWORD pid = 0;
    if (!WaitFor([&] {
            for (DWORD id : TarnProcesses())
                if (std::find(before.begin(), before.end(), id) == before.end())
                    pid = id;
            return pid != 0;
        }, ms))
        return false;
    process.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
    process.dwProcessId = pid;
    if (!process.hProcess)
        return false;
    if (!WaitFor([&] { return (main = FindWindowOf(process.dwProcessId, "TARN")) != nullptr; }, ms))
        return false;
    return WaitFor([&] { return !WindowTextOf(StatusLine(false)).empty(); }, ms);
}

bool TarnApp::Launch(const std::string& name, const std::string& arguments)
{
    const std::string exe = ProgramPath();
    if (exe.empty())
        return false;
    if (dir.empty())
        dir = TempDirectory(name);
    std::string line = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA si = {sizeof si};
    return CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &process) != 0;
}

long TarnApp::WaitExit(DWORD ms)
{
    if (WaitForSingleObject(process.hProcess, ms) != WAIT_OBJECT_0)
        return -1000;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
}

bool TarnApp::Running() const
{
    return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

HWND TarnApp::DebugWindow() const
{
    TopLevelSearch s{process.dwProcessId, "WSDBUGWNDCLASS", 0, nullptr};
    // Minimised windows are visible too; the search needs no marker.
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND TarnApp::Control(int id) const
{
    return GetDlgItem(main, id);
}

HWND TarnApp::StatusLine(bool upper) const
{
    int seen = 0;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(c) != IDC_STATUS)
            continue;
        if (seen++ == (upper ? 0 : 1))
            return c;
    }
    return nullptr;
}

std::string TarnApp::Text(int id) const
{
    return WindowTextOf(Control(id));
}

std::string TarnApp::Title() const
{
    return WindowTextOf(main);
}

bool TarnApp::Enabled(int id) const
{
    return IsWindowEnabled(Control(id)) != 0;
}

bool TarnApp::Visible(int id) const
{
    return IsWindowVisible(Control(id)) != 0;
}

bool TarnApp::Checked(int id) const
{
    return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TarnApp::DebugCommand(int id) const
{
    PostMessageA(DebugWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void TarnApp::Click(int id) const
{
    PostMessageA(Control(id), BM_CLICK, 0, 0);
}

void TarnApp::Notify(int id, int code) const
{
    PostMessageA(main, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Control(id)));
}

void TarnApp::Type(int id, const std::string& text) const
{
    HWND edit = Control(id);
    // The click gives the edit the focus, as the user's would.
    PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    PostMessageA(edit, WM_LBUTTONUP, 0, 0);
    for (char c : text)
        PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool TarnApp::Key(WORD vk, bool shift) const
{
    HWND top = main;
    // A dialog of the program, when one is up, is where the keys go.
    if (!IsWindowEnabled(main))
        return false;
    if (GetForegroundWindow() != top) {
        SetForegroundWindow(top);
        if (!WaitFor([&] { return GetForegroundWindow() == top; }, 3000))
            return false;
    }
    INPUT inputs[4] = {};
    int n = 0;
    auto add = [&](WORD key, bool up) {
        inputs[n].type = INPUT_KEYBOARD;
        inputs[n].ki.wVk = key;
        inputs[n].ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, 0));
        inputs[n].ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        ++n;
    };
    if (shift)
        add(VK_SHIFT, false);
    add(vk, false);
    add(vk, true);
    if (shift)
        add(VK_SHIFT, true);
    bool sent = SendInput(static_cast<UINT>(n), inputs, sizeof(INPUT)) == static_cast<UINT>(n);
    Sleep(150);  // the program takes the stroke from its queue
    return sent;
}

HWND TarnApp::Focused() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(main, nullptr);
    if (!GetGUIThreadInfo(thread, &info))
        return nullptr;
    return info.hwndFocus;
}

int TarnApp::TabTo(int id, bool backwards, int limit) const
{
    for (int presses = 0; presses <= limit; ++presses) {
        if (Focused() == Control(id))
            return presses;
        if (!Key(VK_TAB, backwards))
            return -1;
    }
    return -1;
}

void TarnApp::PressEnter(int id) const
{
    PostMessageA(Control(id), WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(Control(id), WM_KEYUP, VK_RETURN, 0xC0000001);
}

std::vector<std::string> TarnApp::Items(int listId) const
{
    HWND list = Control(listId);
    std::vector<std::string> items;
    int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        items.push_back(ListItemW(list, i));
    return items;
}

bool TarnApp::Select(int listId, const std::vector<std::string>& names) const
{
    SelectNone(listId);
    std::vector<std::string> items = Items(listId);
    bool all = true;
    for (const std::string& name : names) {
        bool found = false;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] == name) {
                SendMessageA(Control(listId), LB_SETSEL, TRUE, static_cast<LPARAM>(i));
                found = true;
                break;
            }
        }
        all = all && found;
    }
    return all;
}

void TarnApp::SelectNone(int listId) const
{
    SendMessageA(Control(listId), LB_SETSEL, FALSE, -1);
}

std::vector<std::string> TarnApp::Selected(int listId) const
{
    HWND list = Control(listId);
    int indexes[300];
    LRESULT n = SendMessageA(list, LB_GETSELITEMS, 300, reinterpret_cast<LPARAM>(indexes));
    std::vector<std::string> names;
    for (LRESULT i = 0; i < n && n != LB_ERR; ++i)
        names.push_back(ListItemW(list, indexes[i]));
    return names;
}

std::vector<std::string> TarnApp::History() const
{
    HWND bar = Control(IDC_STATUS_SCROLL);
    HWND upper = StatusLine(true), lower = StatusLine(false);
    std::string newest = WindowTextOf(lower);
    std::string beforeNewest = WindowTextOf(upper);
    std::vector<std::string> reversed{newest};
    // Up to the oldest pair: the lower line walks back one line a step.
    for (int i = 0; i < 70; ++i) {
        if (!ScrollStatus(main, bar, lower, SB_LINEUP)) {
            if (reversed.size() == 1 && beforeNewest.empty())
                break;  // a history of one line
            reversed.push_back(WindowTextOf(upper));
            break;
        }
        reversed.push_back(WindowTextOf(lower));
    }
    // And back down to the newest, which the status lines show again.
    for (int i = 0; i < 70 && ScrollStatus(main, bar, lower, SB_LINEDOWN); ++i) {
    }
    SendMessageA(lower, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(newest.c_str()));
    SendMessageA(upper, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(beforeNewest.c_str()));
    return std::vector<std::string>(reversed.rbegin(), reversed.rend());
}

void TarnApp::Mark()
{
    mark_ = History();
}

std::vector<std::string> TarnApp::NewLines() const
{
    std::vector<std::string> now = History();
    const std::vector<std::string>& was = mark_;
    // The history is a window of the log: the marked lines, less the oldest
    // that dropped out, then the new ones.
    for (size_t dropped = 0; dropped <= was.size(); ++dropped) {
        size_t kept = was.size() - dropped;
        if (kept > now.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < kept && same; ++i)
            same = now[i] == was[dropped + i];
        if (same)
            return std::vector<std::string>(now.begin() + kept, now.end());
    }
    return now;
}

bool TarnApp::WaitLogged(const std::function<bool(const std::string&)>& match, DWORD ms) const
{
    DWORD start = GetTickCount(), changed = start;
    std::string upper, lower;
    bool looked = false;
    for (;;) {
        std::string u = WindowTextOf(StatusLine(true)), l = WindowTextOf(StatusLine(false));
        if (match(u) || match(l))
            return true;
        if (u != upper || l != lower) {
            upper = u;
            lower = l;
            changed = GetTickCount();
            looked = false;
        } else if (!looked && GetTickCount() - changed > 300) {
            // Quiet: the line may have passed between two looks.
            for (const std::string& line : NewLines())
                if (match(line))
                    return true;
            looked = true;
        }
        if (GetTickCount() - start > ms)
            return false;
        Sleep(15);
    }
}

bool TarnApp::WaitLogged(const std::string& line, DWORD ms) const
{
    std::string wanted = Line(line);
    return WaitLogged([&](const std::string& l) { return l == wanted; }, ms);
}

void TarnApp::Settle(DWORD quietMs, DWORD ms) const
{
    DWORD start = GetTickCount(), changed = start;
    std::string last;
    while (GetTickCount() - start < ms) {
        std::string now = WindowTextOf(StatusLine(true)) + "\n" + WindowTextOf(StatusLine(false));
        if (now != last) {
            last = now;
            changed = GetTickCount();
        } else if (GetTickCount() - changed >= quietMs) {
            return;
        }
        Sleep(20);
    }
}

bool TarnApp::WaitFor(const std::function<bool()>& pred, DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (pred())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        Sleep(20);
    }
}

HWND TarnApp::WaitDialog(int markerId, DWORD ms) const
{
    HWND found = nullptr;
    if (!WaitFor([&] { return (found = FindWindowOf(process.dwProcessId, "#32770", markerId)) != nullptr; }, ms))
        return nullptr;
    Sleep(50);  // its initialisation is done once it shows
    return found;
}

std::string TarnApp::Answer(const std::string& text, std::string* title, DWORD ms) const
{
    HWND dialog = WaitDialog(IDC_INPUT_TEXT, ms);
    if (!dialog)
        return "";
    if (title)
        *title = WindowTextOf(dialog);
    std::string prompt = WindowTextOf(GetDlgItem(dialog, IDC_INPUT_PROMPT));
    SendMessageA(GetDlgItem(dialog, IDC_INPUT_TEXT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
    return prompt;
}

std::string TarnApp::CancelInput(std::string* title, DWORD ms) const
{
    HWND dialog = WaitDialog(IDC_INPUT_TEXT, ms);
    if (!dialog)
        return "";
    if (title)
        *title = WindowTextOf(dialog);
    std::string prompt = WindowTextOf(GetDlgItem(dialog, IDC_INPUT_PROMPT));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
    return prompt;
}

std::string TarnApp::AnswerBox(int button, std::string* title, DWORD ms) const
{
    HWND box = WaitDialog(kMessageBoxIcon, ms);
    if (!box)
        return "";
    std::string text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    if (title)
        *title = WindowTextOf(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
    return text;
}

bool TarnApp::ConnectWith(const std::string& folder, const std::string& password, DWORD hostType) const
{
    HWND dialog = WaitDialog(IDC_HOST_FOLDER);
    if (!dialog)
        return false;
    HWND combo = GetDlgItem(dialog, IDC_HOST_FOLDER);
    HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
    if (!edit)
        return false;
    // Select what the box holds, then type over it.
    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : folder)
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
    if (!WaitFor([&] { return WindowTextOf(GetDlgItem(dialog, IDC_HOST_NAME)) != folder; }, 5000))
        return false;  // the profile's host never replaced the folder's name
    SendMessageA(GetDlgItem(dialog, IDC_HOST_PASSWORD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password.c_str()));
    if (hostType)
        SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_SETCURSEL, hostType - 6000, 0);
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    return WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
}

std::string TarnApp::Line(const std::string& text)
{
    std::string line = text.substr(0, 80);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' '))
        line.pop_back();
    return line;
}

void WriteTestOptions(const std::string& viewer, DWORD flags, DWORD autoStart)
{
    RegSetText("_config_", "MAILADDR", "tester@example.org");
    RegSetText("_config_", "VIEWER", viewer);
    RegSetText("_config_", "FLAGS", std::to_string(flags));
    RegSetText("_config_", "AUTOSTART", std::to_string(autoStart));
}

void WriteHostProfile(const std::string& folder, int port, bool anonymous, const std::string& initialDir,
                      DWORD timeout)
{
    RegSetText(folder, "HOST", "127.0.0.1");
    RegSetText(folder, "UID", anonymous ? "anonymous" : kServerUser);
    if (!initialDir.empty())
        RegSetText(folder, "DIR", initialDir);
    RegSetText(folder, "TYPE", "6000");
    RegSetText(folder, "TIMEOUT", std::to_string(timeout));
    RegSetText(folder, "RETRIES", "0");
    RegSetText(folder, "FTPPORT", std::to_string(port));
}

std::string TempDirectory(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string dir = std::string(temp) + "tarn-e2e-" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

bool DirExists(const std::string& path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

static void CollectTree(const std::string& root, const std::string& relative,
                        std::vector<std::pair<std::string, std::string>>* out)
{
    WIN32_FIND_DATAA fd;
    std::string base = relative.empty() ? root : root + "\\" + relative;
    HANDLE h = FindFirstFileA((base + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> dirs;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string rel = relative.empty() ? name : relative + "\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out->push_back({rel + "\\", ""});
            dirs.push_back(rel);
        } else {
            out->push_back({rel, ReadBytes(root + "\\" + rel)});
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    for (const std::string& d : dirs)
        CollectTree(root, d, out);
}

std::vector<std::pair<std::string, std::string>> TreeContents(const std::string& root)
{
    std::vector<std::pair<std::string, std::string>> out;
    CollectTree(root, "", &out);
    std::sort(out.begin(), out.end());
    return out;
}

long ServerLogSize() { return VsftpdLogSize(kRealServers[0]); }

std::vector<std::string> ServerCommandsSince(long offset) { return VsftpdCommandsSince(kRealServers[0], offset); }

int HandleCount(HANDLE process)
{
    constexpr UINT_PTR kLastProbed = 4 * 16384;
    int count = 0;
    for (UINT_PTR value = 4; value <= kLastProbed; value += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            ++count;
            CloseHandle(copy);
        }
    }
    return count;
}

int ThreadCount(DWORD pid)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid ? 1 : 0;
    CloseHandle(snapshot);
    return count;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}
