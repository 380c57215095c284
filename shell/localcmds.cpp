#include "shell/localcmds.h"

#include <windows.h>
#include <direct.h>
#include <stdio.h>
#include <string.h>
#include <ctype.h>
#include <vector>

#include "config/dialogs.h"
#include "config/options.h"
#include "shell/lists.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

namespace {

void Refresh()
{
    FillLocalLists(g_hwndMain);
}

// Makes the drive of letter current; false when it cannot be.
bool ChangeDrive(char letter)
{
    int drive = tolower(static_cast<unsigned char>(letter)) - 'a' + 1;
    return _chdrive(drive) == 0;
}

}  // namespace

void LogSystemReason(DWORD code)
{
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<char*>(&text), 0, nullptr);
    if (n && text) {
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
            text[--n] = 0;
        LogMessage(157, text);
        LocalFree(text);
    } else {
        // The system has no text for this error: its number says what it was.
        char number[32];
        wsprintfA(number, "error %u", static_cast<unsigned>(code));
        LogMessage(157, number);
    }
}

bool ConfirmDelete(const char* name)
{
    char text[80] = "", title[256] = "";
    FormatCatalogue(text, sizeof text, 95, name);
    LoadCatalogue(97, title, sizeof title);
    return MessageBoxA(g_hwndMain, text, title, MB_YESNO) == IDYES;
}

UINT RunViewer(const char* viewer, const char* file, bool dotWhenNoExtension)
{
    char line[512];
    _snprintf(line, sizeof line - 2, "%s %s", viewer, file);
    line[sizeof line - 2] = 0;
    if (dotWhenNoExtension && !strchr(file, '.'))
        strcat(line, ".");
    return WinExec(line, SW_SHOWNORMAL);
}

void LocalChangeDirectory()
{
    std::vector<int> sel;
    ListSelection(IDC_LOCAL_DIRS, &sel);
    if (sel.size() > 1) {
        LogLine(static_cast<UINT>(12));
        return;
    }
    if (sel.size() == 1) {
        char text[512];
        ListItemText(IDC_LOCAL_DIRS, sel[0], text, sizeof text);
        if (text[0] == '[' && text[1] == '-') {
            if (!ChangeDrive(text[2]))
                LogMessage(153, text);
            Refresh();
        } else if (SetCurrentDirectoryA(text)) {
            Refresh();
        } else {
            LogMessage(154, text);
        }
        return;
    }
    if (!AskText(nullptr, 144, 13))
        return;
    if (InputText[0] && InputText[1] == ':' && !ChangeDrive(InputText[0])) {
        LogMessage(153, InputText);
        return;
    }
    if (SetCurrentDirectoryA(InputText))
        Refresh();
    else
        LogMessage(154, InputText);
}

void LocalCreateDirectory()
{
    if (!AskText(nullptr, 145, 13) || !InputText[0])
        return;
    if (CreateDirectoryA(InputText, nullptr)) {
        Refresh();
    } else {
        DWORD code = GetLastError();
        LogMessage(155, InputText);
        LogSystemReason(code);
    }
}

void LocalRemoveDirectories()
{
    std::vector<int> sel;
    bool removed = false;
    auto remove = [&](const char* name) {
        if (RemoveDirectoryA(name)) {
            removed = true;
        } else {
            DWORD code = GetLastError();
            LogMessage(128, name);
            LogSystemReason(code);
        }
    };
    if (ListSelection(IDC_LOCAL_DIRS, &sel) && !sel.empty()) {
        for (int index : sel) {
            char name[512];
            ListItemText(IDC_LOCAL_DIRS, index, name, sizeof name);
            if (ConfirmDelete(name))
                remove(name);
        }
    } else if (AskText(nullptr, 148, 13) && InputText[0] && ConfirmDelete(InputText)) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        remove(name);
    }
    if (removed)
        Refresh();
}

void LocalViewFile()
{
    std::vector<int> sel;
    if (!ListSelection(IDC_LOCAL_FILES, &sel) || sel.size() > 1)
        return;
    char name[512] = "";
    if (sel.size() == 1) {
        ListItemText(IDC_LOCAL_FILES, sel[0], name, sizeof name);
    } else {
        if (!AskText(name, 54, 122) || !name[0])
            return;
    }
    if (RunViewer(ProgramOptions.viewer, name, true) < 32)
        LogMessage(156, ProgramOptions.viewer);
}

void LocalRenameFiles()
{
    std::vector<int> sel;
    bool renamed = false;
    auto rename = [&](const char* oldName) {
        if (!AskText(nullptr, 141, 15, oldName))
            return;
        char newName[70];
        lstrcpynA(newName, InputText, sizeof newName);
        if (MoveFileA(oldName, newName)) {
            renamed = true;
        } else {
            DWORD code = GetLastError();
            LogMessage(152, oldName, newName);
            LogSystemReason(code);
        }
    };
    if (ListSelection(IDC_LOCAL_FILES, &sel) && !sel.empty()) {
        for (int index : sel) {
            char name[512];
            ListItemText(IDC_LOCAL_FILES, index, name, sizeof name);
            rename(name);
        }
    } else {
        char oldName[512] = "";
        if (AskText(oldName, 141, 122) && oldName[0])
            rename(oldName);
    }
    if (renamed)
        Refresh();
}

void LocalDeleteFiles()
{
    std::vector<int> sel;
    bool deleted = false;
    auto remove = [&](const char* name) {
        if (DeleteFileA(name)) {
            deleted = true;
        } else {
            DWORD code = GetLastError();
            LogMessage(132, name);
            LogSystemReason(code);
        }
    };
    if (ListSelection(IDC_LOCAL_FILES, &sel) && !sel.empty()) {
        for (int index : sel) {
            char name[512];
            ListItemText(IDC_LOCAL_FILES, index, name, sizeof name);
            if (ConfirmDelete(name))
                remove(name);
        }
    } else if (AskText(nullptr, 56, 122) && InputText[0] && ConfirmDelete(InputText)) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        remove(name);
    }
    if (deleted)
        Refresh();
}
