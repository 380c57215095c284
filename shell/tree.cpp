// Directory tree transfers: each level creates the directory on the other
// side, walks into it on both sides, transfers its files, descends into its
// subdirectories by selecting them, walks back and reports the totals.
#include <windows.h>
#include <direct.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/dialogs.h"
#include "store/options.h"
#include "ftp/command.h"
#include "ftp/localname.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "shell/lists.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/bytecount.h"
#include "shell/mainwin.h"
#include "shell/operations.h"
#include "shell/statuslines.h"
#include "resources/catalogue.h"

void ReceiveSelectedFiles(bool inTree);

namespace {

void EnableAbort(bool on) { EnableControl(IDC_ABORT, on); }

// Selects items first..last of a list; false when the list refuses.
bool SelectRange(int listId, int first, int last)
{
    return SendMessageA(MainControl(listId), LB_SELITEMRANGEEX, first, last) != LB_ERR;
}

int ItemCount(int listId)
{
    return static_cast<int>(SendMessageA(MainControl(listId), LB_GETCOUNT, 0, 0));
}

// The parent entry and the drives are no subdirectories to walk into, wherever
// the sorted list puts them ("#old" sorts before "..").
bool IsWalkable(const char* name)
{
    return name[0] && strcmp(name, "..") != 0 && strcmp(name, ".") != 0 && !(name[0] == '[' && name[1] == '-');
}

// A directory name from the server is made and entered here only when it
// names a directory of this one: a name with a separator or a drive, of dots
// alone, or of a device would lead elsewhere, and is refused in the log. The
// name is not made unique: an existing directory is filled.
bool PlainDirectoryName(const char* name)
{
    wchar_t wide[256];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256) > 0) {
        std::wstring checked = wide;
        if (SafeLocalName(&checked) == 0)
            return true;
    }
    LogMessage(MSG_REMOTE_NAME_REFUSED, name);
    return false;
}

// Re-reads the remote side after a CWD; the listing's receive is no file.
void RefreshRemoteAfterCwd()
{
    DWORD files = FtpSession.totalFiles, failed = FtpSession.failedFiles;
    DoDirList(g_hwndMain);
    FtpSession.totalFiles = files;
    FtpSession.failedFiles = failed;
}

// The window during a tree transfer: the status lines show the newest lines
// at most every STATUS_BATCH_MS and the byte field the moving file's total,
// instead of a call into the GUI thread for every line and every file.
void BeginWindowBatch()
{
    BatchStatusLines(true);
    ByteCountBatch(true);
    WalkLocalFills(true);
}

void EndWindowBatch()
{
    WalkLocalFills(false);
    ByteCountBatch(false);
    BatchStatusLines(false);
}

void ReportLevelEnd(UINT bytesEntry)
{
    if (static_cast<LONG>(FtpSession.totalFiles) > 0)
        LogMessage(MSG_TREE_TOTALS, static_cast<long>(FtpSession.totalFiles), static_cast<long>(g_dirsCreated));
    // The time the tree has taken so far, to the millisecond: what the user
    // waited for, not a whole second (or more) for each file.
    if (FtpSession.totalMilliseconds > 0) {
        ULONGLONG now = TransferClockMs();
        double seconds = (now > g_treeStartMs ? now - g_treeStartMs : 1) / 1000.0;
        LogMessage(bytesEntry, FtpSession.totalBytes, seconds,
                   static_cast<double>(FtpSession.totalBytes) / seconds / 1024.0);
    }
}

void LevelEnd(bool ok, UINT bytesEntry, bool outermost)
{
    if (ok)
        ReportLevelEnd(bytesEntry);
    // The files that are not whole, once for the whole tree, however it ended.
    if (outermost && FtpSession.failedFiles > 0)
        LogMessage(MSG_TREE_FAILED, static_cast<long>(FtpSession.failedFiles));
    if (outermost)
        EndWindowBatch();
    EnableAbort(false);
    ShowFileLists();
    if (outermost)
        SetBusy(0);
}

void SendFileBatch()
{
    if (SendSelectedFiles(false))
        EnableAbort(false);
}

int g_depth;

// One level of a tree transfer; sending when send is true.
void TreeLevel(bool send)
{
    bool outermost = g_depth++ == 0;
    const int dirList = send ? IDC_LOCAL_DIRS : IDC_REMOTE_DIRS;
    const UINT bytesEntry = send ? MSG_SENT_LONG_SUCCEEDED : MSG_RECEIVED_LONG;
    std::vector<int> sel;
    char localBack[261];
    char remoteBack[512];
    if (!ListSelection(dirList, &sel) || sel.empty() || !GetCurrentDirectoryA(sizeof localBack, localBack)) {
        g_depth--;
        LevelEnd(true, bytesEntry, outermost);
        return;
    }
    lstrcpynA(remoteBack, RemoteCurrentDir, sizeof remoteBack);
    EnableAbort(true);
    HideFileLists();
    // The selection is read now: the lists change as the level walks.
    // Each as shown (the local side) and as the server's bytes (the wire).
    std::vector<std::pair<std::string, std::string>> names;
    for (int index : sel) {
        char name[256];
        std::string wire;
        bool whole = send ? ListItemText(dirList, index, name, sizeof name)
                          : RemoteItem(dirList, index, name, sizeof name, &wire);
        if (!whole) {
            // Too long to be made or entered here: skipped, and said so.
            ListItemText(dirList, index, name, sizeof name, true);
            LogMessage(MSG_REMOTE_NAME_REFUSED, name);
            continue;
        }
        if (send)
            wire = NameOnWire(name);
        names.emplace_back(name, wire);
    }
    bool ok = true;
    for (const auto& entry : names) {
        // A stopped walk makes no directory more.
        if (WorkerStopping()) {
            ok = false;
            break;
        }
        const char* name = entry.first.c_str();
        const char* wire = entry.second.c_str();
        if (!IsWalkable(name))
            continue;
        if (!send && ReceivableName(entry.second, name) != RECEIVE_AS_SHOWN)
            continue;
        if (send) {
            int r = FtpMkd(FtpSession.controlSocket, wire);
            if (r == 550) {
                LogMessage(MSG_REMOTE_MKDIR_WARNING, name);
            } else if (r == REPLY_FAILED) {
                LogMessage(MSG_REMOTE_MKDIR_ABORT, 5);
                ok = false;
                break;
            } else {
                g_dirsCreated++;
                LogMessage(MSG_REMOTE_DIRECTORY_CREATED, name);
            }
        } else {
            if (!PlainDirectoryName(name))
                continue;
            if (CreateDirectoryA(name, nullptr)) {
                LogMessage(MSG_LOCAL_DIRECTORY_CREATED, name);
                g_dirsCreated++;
            }
        }
        if (!send) {
            // Entering a directory that neither existed nor could be made would
            // put its files into this one.
            if (!SetCurrentDirectoryA(name)) {
                LogMessage(MSG_CHDIR_FAILED, name);
                continue;
            }
            FillLocalLists(g_hwndMain);
        }
        if (FtpCwd(FtpSession.controlSocket, wire) != REPLY_OK) {
            LogMessage(MSG_REMOTE_CWD_ABORT);
            ok = false;
            break;
        }
        RefreshRemoteAfterCwd();
        if (send) {
            SetCurrentDirectoryA(name);
            FillLocalLists(g_hwndMain);
        }
        const int fileList = send ? IDC_LOCAL_FILES : IDC_REMOTE_FILES;
        int files = ItemCount(fileList);
        if (files > 0) {
            if (!SelectRange(fileList, 0, files - 1)) {
                LogMessage(send ? MSG_LOCAL_SELECTION_ABORT : MSG_REMOTE_SELECTION_ABORT);
                ok = false;
                break;
            }
            if (send)
                SendFileBatch();
            else
                ReceiveSelectedFiles(true);
        }
        // All entries: the next level skips the parent entry and the drives by name.
        int dirs = ItemCount(dirList);
        if (dirs >= 2 && SelectRange(dirList, 0, dirs - 1))
            TreeLevel(send);
        SetCurrentDirectoryA(localBack);
        FillLocalLists(g_hwndMain);
        if (FtpCwd(FtpSession.controlSocket, remoteBack) != REPLY_OK) {
            LogMessage(MSG_REMOTE_CWD_ABORT);
            ok = false;
            break;
        }
        RefreshRemoteAfterCwd();
    }
    g_depth--;
    LevelEnd(ok, bytesEntry, outermost);
}

}  // namespace

DWORD WINAPI SendTreeThread(LPVOID)
{
    g_depth = 0;
    BeginWindowBatch();
    TreeLevel(true);
    return WorkerStopping() ? 1 : 0;  // 1: stopped
}

DWORD WINAPI ReceiveTreeThread(LPVOID)
{
    g_depth = 0;
    BeginWindowBatch();
    TreeLevel(false);
    return WorkerStopping() ? 1 : 0;  // 1: stopped
}
