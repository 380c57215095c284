#include "shell/localcmds.h"

#include <windows.h>
#include <direct.h>
#include <stdio.h>
#include <string.h>
#include <ctype.h>
#include <vector>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "shell/lists.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"
#include "resources/catalogue.h"

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
        LogMessage(MSG_REASON, text);
        LocalFree(text);
    } else {
        // The system has no text for this error: its number says what it was.
        char number[32];
        wsprintfA(number, "error %u", static_cast<unsigned>(code));
        LogMessage(MSG_REASON, number);
    }
}

bool ConfirmDelete(const char* name)
{
    char text[80] = "", title[256] = "";
    FormatCatalogue(text, sizeof text, PROMPT_CONFIRM_DELETE, name);
    LoadCatalogue(CAPTION_VERIFY_DELETION, title, sizeof title);
    return MessageBoxA(g_hwndMain, text, title, MB_YESNO) == IDYES;
}

UINT RunViewer(const char* viewer, const char* file, bool dotWhenNoExtension)
{
    char line[512];
    const char* dot = dotWhenNoExtension && !strchr(file, '.') ? "." : "";
    // A path with blanks (the temporary folder's may have them) is one
    // argument only in quotes.
    const char* quote = strchr(file, ' ') ? "\"" : "";
    _snprintf(line, sizeof line - 1, "%s %s%s%s%s", viewer, quote, file, dot, quote);
    line[sizeof line - 1] = 0;
    return WinExec(line, SW_SHOWNORMAL);
}

void LocalChangeDirectory()
{
    std::vector<int> sel;
    ListSelection(IDC_LOCAL_DIRS, &sel);
    if (sel.size() > 1) {
        LogLine(MSG_ONE_DIRECTORY_FOR_CHDIR);
        return;
    }
    if (sel.size() == 1) {
        char text[512];
        ListItemText(IDC_LOCAL_DIRS, sel[0], text, sizeof text);
        if (text[0] == '[' && text[1] == '-') {
            if (!ChangeDrive(text[2]))
                LogMessage(MSG_CHDRIVE_FAILED, text);
            Refresh();
        } else if (SetCurrentDirectoryA(text)) {
            Refresh();
        } else {
            LogMessage(MSG_CHDIR_FAILED, text);
        }
        return;
    }
    if (!AskText(nullptr, CAPTION_GOTO_LOCAL_DIRECTORY, PROMPT_LOCAL_DIRECTORY))
        return;
    if (InputText[0] && InputText[1] == ':' && !ChangeDrive(InputText[0])) {
        LogMessage(MSG_CHDRIVE_FAILED, InputText);
        return;
    }
    if (SetCurrentDirectoryA(InputText))
        Refresh();
    else
        LogMessage(MSG_CHDIR_FAILED, InputText);
}

void LocalCreateDirectory()
{
    if (!AskText(nullptr, CAPTION_CREATE_LOCAL_DIRECTORY, PROMPT_LOCAL_DIRECTORY) || !InputText[0])
        return;
    if (CreateDirectoryA(InputText, nullptr)) {
        Refresh();
    } else {
        DWORD code = GetLastError();
        LogMessage(MSG_MKDIR_FAILED, InputText);
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
            LogMessage(MSG_RMDIR_FAILED, name);
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
    } else if (AskText(nullptr, CAPTION_DELETE_LOCAL_DIRECTORY, PROMPT_LOCAL_DIRECTORY) && InputText[0] &&
               ConfirmDelete(InputText)) {
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
        if (!AskText(name, CAPTION_VIEW, PROMPT_LOCAL_FILE) || !name[0])
            return;
    }
    if (RunViewer(ProgramOptions.viewer, name, true) < 32)
        LogMessage(MSG_VIEWER_FAILED, ProgramOptions.viewer);
}

void LocalRenameFiles()
{
    std::vector<int> sel;
    bool renamed = false;
    auto rename = [&](const char* oldName) {
        if (!AskText(nullptr, CAPTION_RENAME_LOCAL_FILE, PROMPT_NEW_NAME, oldName))
            return;
        char newName[70];
        lstrcpynA(newName, InputText, sizeof newName);
        if (MoveFileA(oldName, newName)) {
            renamed = true;
        } else {
            DWORD code = GetLastError();
            LogMessage(MSG_RENAME_FAILED, oldName, newName);
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
        if (AskText(oldName, CAPTION_RENAME_LOCAL_FILE, PROMPT_LOCAL_FILE) && oldName[0])
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
            LogMessage(MSG_DELETE_FAILED, name);
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
    } else if (AskText(nullptr, CAPTION_DELETE, PROMPT_LOCAL_FILE) && InputText[0] && ConfirmDelete(InputText)) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        remove(name);
    }
    if (deleted)
        Refresh();
}
