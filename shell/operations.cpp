#include "shell/operations.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "dialogs/dialogs.h"
#include "dialogs/hostdlg.h"
#include "store/options.h"
#include "ftp/command.h"
#include "ftp/ftps.h"
#include "ftp/localname.h"
#include "ftp/logon.h"
#include "ftp/reply.h"
#include "ftp/resume.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "listing/hosttypes.h"
#include "listing/mlsd.h"
#include "listing/names.h"
#include "listing/textconv.h"
#include "shell/lists.h"
#include "log/log.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/bytecount.h"
#include "shell/configlink.h"
#include "shell/keepalive.h"
#include "shell/localcmds.h"
#include "shell/mainwin.h"
#include "shell/statuslines.h"
#include "shell/watchdog.h"
#include "net/blocking.h"

OperationRequestRec OperationRequest;
BYTE g_connectInProgress;
LONG g_dirsCreated;
ULONGLONG g_treeStartMs;
char g_fetchHost[64];
char g_fetchPath[256];

static volatile BYTE g_abortWaitExpired;

namespace {

// The size of the name buffers of the file loops (a name that does not fit is
// not whole).
constexpr int kNameSize = 256;

// The exit code of a worker that was stopped.
constexpr DWORD kStoppedExit = 1;

void EnableAbort(bool on) { EnableControl(IDC_ABORT, on); }


// The end of every operation: Abort off, then the busy flag, as the last act.
DWORD EndOperation()
{
    // A stopped operation is ended by its stopper.
    if (WorkerStopping())
        return kStoppedExit;
    EnableAbort(false);
    SetBusy(0);
    return 0;
}

void RefreshRemote() { DoDirList(g_hwndMain); }
void RefreshLocal() { FillLocalLists(g_hwndMain); }

// Batched status lines (a tree transfer) show the log's newest lines only:
// a line shown here would be covered by the next logged line before it
// could be seen.
void SetUpperStatus(const char* text)
{
    if (g_hwndStatusUpper && !StatusLinesBatched())
        SetWindowTextA(g_hwndStatusUpper, text);
}

void ShowSendingStatus(const char* local, const char* remote, unsigned i, unsigned n)
{
    char text[512];
    if (FormatCatalogue(text, sizeof text, MSG_SENDING_FILE, local, remote, i, n) >= 0)
        SetUpperStatus(text);
}

// A local file's modification time (UTC); false when it cannot be read.
bool LocalFileTime(const char* name, FactTime* time)
{
    HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME written;
    SYSTEMTIME utc;
    bool known = GetFileTime(h, nullptr, nullptr, &written) && FileTimeToSystemTime(&written, &utc);
    CloseHandle(h);
    if (!known)
        return false;
    *time = {utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond};
    return true;
}

// Gives a received file the time the listing named (Keep the server's file
// times); a failure is logged under the name shown.
void KeepServerTime(const char* local, const char* shown, const FactTime& time)
{
    SYSTEMTIME utc = {};
    utc.wYear = time.year;
    utc.wMonth = time.month;
    utc.wDay = time.day;
    utc.wHour = time.hour;
    utc.wMinute = time.minute;
    utc.wSecond = time.second;
    FILETIME stamp;
    DWORD error = ERROR_INVALID_DATA;
    if (SystemTimeToFileTime(&utc, &stamp)) {
        HANDLE h = CreateFileA(local, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        error = h == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
        if (h != INVALID_HANDLE_VALUE) {
            if (!SetFileTime(h, nullptr, nullptr, &stamp))
                error = GetLastError();
            CloseHandle(h);
        }
    }
    if (error != NO_ERROR)
        LogMessage(MSG_FILE_TIME_NOT_SET, shown, static_cast<unsigned>(error));
}

int SendOneFile(const char* local, const char* remote)
{
    std::string wire = NameOnWire(remote);
    char command[512];
    _snprintf(command, sizeof command - 1, ProgramOptions.sendUnique ? "STOU %s" : "STOR %s", wire.c_str());
    command[sizeof command - 1] = 0;
    // A smaller copy on the server is what an interrupted send left there.
    RestartRec restart;
    bool resume =
        PlanSendResume(FtpSession.controlSocket, wire.c_str(), local, ProgramOptions.transferType, &restart);
    int result = StoreFile(FtpSession.controlSocket, command, local, ProgramOptions.transferType,
                           resume ? &restart : nullptr);
    // The sent file keeps its time on the server where MFMT sets it (not
    // after STOU, whose name the server chose).
    FactTime time;
    if (result == REPLY_OK && ProgramOptions.keepTimes && FtpSession.serverMfmt && !ProgramOptions.sendUnique &&
        LocalFileTime(local, &time))
        SendCommand(FtpSession.controlSocket, "MFMT %s %s", FormatFactTime(time).c_str(), wire.c_str());
    return result;
}

// A batch of files goes on past a file that fails; its end says how many
// failed. Abort and a lost connection end it at once.
struct BatchRec {
    long files;   // files tried
    long failed;  // of them, files that did not arrive whole
};
BatchRec g_batch;

void BatchStart() { g_batch = BatchRec(); }

// After one file of the batch: false when the batch must end here.
bool BatchGoesOn(bool succeeded)
{
    ++g_batch.files;
    if (!succeeded)
        ++g_batch.failed;
    return !WorkerStopping() && FtpSession.loggedOn && !ControlConnectionLost();
}

// A file the batch could not even try (a refused name) counts as failed.
void BatchRefused()
{
    ++g_batch.files;
    ++g_batch.failed;
}

// The end of a batch of several files that ran to its end, some failed.
void BatchReport()
{
    if (g_batch.files > 1 && g_batch.failed > 0 && !WorkerStopping() && !ControlConnectionLost())
        LogMessage(MSG_BATCH_FAILED, g_batch.failed, g_batch.files);
}

DWORD StartThread(ThreadProc proc)
{
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, proc, nullptr, 0, &id);
    SetWorkerThread(h, id);
    return id;
}

}  // namespace

bool StartWorker(HWND window, WPARAM command, ThreadProc proc)
{
    if (IsBusy()) {
        LogLine(MSG_BUSY);
        return false;
    }
    OperationRequest = {window, command};
    SetBusy(1);
    StartThread(proc);
    return true;
}

void StartOperation(HWND window, WPARAM command, ThreadProc proc, bool needsConnection)
{
    if (IsBusy()) {
        LogLine(MSG_BUSY);
        return;
    }
    if (needsConnection && !FtpSession.loggedOn) {
        LogLine(MSG_NOT_CONNECTED);
        return;
    }
    OperationRequest = {window, command};
    SetBusy(1);
    auto selected = [](int id) {
        return static_cast<int>(SendMessageA(MainControl(id), LB_GETSELCOUNT, 0, 0));
    };
    bool tree = false;
    if (proc == SendFilesThread)
        tree = selected(IDC_LOCAL_DIRS) > 0 && selected(IDC_LOCAL_FILES) <= 0;
    else if (proc == ReceiveFilesThread)
        tree = selected(IDC_REMOTE_DIRS) > 0 && selected(IDC_REMOTE_FILES) <= 0;
    if (tree) {
        proc = proc == SendFilesThread ? SendTreeThread : ReceiveTreeThread;
        FtpSession.totalBytes = FtpSession.totalMilliseconds = FtpSession.totalFiles = 0;
        FtpSession.failedFiles = 0;
        g_dirsCreated = 0;
        g_treeStartMs = TransferClockMs();
    }
    StartThread(proc);
}

bool SendSelectedFiles(bool askName)
{
    std::vector<int> sel;
    if (!ListSelection(IDC_LOCAL_FILES, &sel) || (sel.empty() && !askName))
        return false;
    EnableAbort(true);
    char typed[256] = "";
    if (sel.empty()) {
        if (!AskText(typed, CAPTION_SEND_LOCAL_FILE, PROMPT_LOCAL_FILE) || !typed[0])
            return false;
    }
    unsigned n = sel.empty() ? 1 : static_cast<unsigned>(sel.size());
    std::vector<ListItemRec> items;
    ReadListItems(IDC_LOCAL_FILES, sel, kNameSize, false, &items);
    BatchStart();
    for (unsigned i = 1; i <= n; ++i) {
        char local[256], remote[256];
        if (sel.empty())
            lstrcpynA(local, typed, sizeof local);
        else
            lstrcpynA(local, items[i - 1].shown.c_str(), sizeof local);
        lstrcpyA(remote, local);
        if (ProgramOptions.prompt)
            AskText(remote, CAPTION_SEND_LOCAL_FILE, PROMPT_REMOTE_NAME_FOR, local);
        if (!remote[0])
            continue;
        ShowSendingStatus(local, remote, i, n);
        if (!BatchGoesOn(SendOneFile(local, remote) == REPLY_OK))
            break;
    }
    return true;
}

DWORD WINAPI SendFilesThread(LPVOID)
{
    if (SendSelectedFiles(true)) {
        BatchReport();
        RefreshRemote();
    }
    return EndOperation();
}

DWORD WINAPI DropFilesThread(LPVOID)
{
    HDROP drop = reinterpret_cast<HDROP>(OperationRequest.command);
    POINT point;
    DragQueryPoint(drop, &point);
    UINT n = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (!FtpSession.loggedOn) {
        LogLine(MSG_DROP_NOT_CONNECTED);
    } else if (FtpSession.commandCount != 0) {
        LogLine(MSG_DROP_BUSY);
    } else {
        BatchStart();
        for (UINT i = 1; i <= n; ++i) {
            char path[257] = "";
            DragQueryFileA(drop, i - 1, path, sizeof path);
            CharLowerBuffA(path, lstrlenA(path) < 4 ? lstrlenA(path) : 4);
            const char* slash = strrchr(path, '\\');
            if (!slash)
                continue;
            char remote[256];
            lstrcpynA(remote, slash + 1, sizeof remote);
            if (ProgramOptions.prompt)
                AskText(remote, CAPTION_SEND_LOCAL_FILE, PROMPT_REMOTE_NAME_FOR, remote);
            if (!remote[0])
                continue;
            EnableAbort(true);
            ShowSendingStatus(path, remote, i, n);
            if (!BatchGoesOn(SendOneFile(path, remote) == REPLY_OK))
                break;
        }
        BatchReport();
        RefreshRemote();
    }
    DragFinish(drop);
    return EndOperation();
}

// Steps of the receive of selected remote files, shared with the tree receive.
// A tree fills the local lists itself once it leaves the directory, and
// hides them meanwhile: its files are not added to them one by one.
void ReceiveSelectedFiles(bool inTree)
{
    std::vector<int> sel;
    if (!ListSelection(IDC_REMOTE_FILES, &sel))
        return;
    EnableAbort(true);
    char typed[256] = "";
    if (sel.empty()) {
        if (!AskText(typed, CAPTION_RECEIVE_REMOTE_FILE, PROMPT_REMOTE_FILE) || !typed[0])
            return;
    }
    unsigned n = sel.empty() ? 1 : static_cast<unsigned>(sel.size());
    std::vector<ListItemRec> items;
    ReadListItems(IDC_REMOTE_FILES, sel, kNameSize, true, &items);
    BatchStart();
    for (unsigned i = 1; i <= n; ++i) {
        char remote[256], local[256], fallback[256], plain[256] = "";
        std::string wire;
        std::wstring wideLocal;  // the true name, when the code page cannot write it
        if (sel.empty()) {
            // A typed path names a remote file; the local copy goes into the
            // current local directory under the path's last component.
            lstrcpynA(remote, typed, sizeof remote);
            wire = NameOnWire(remote);
            bool vms = HostType == HOST_MULTINET || HostType == HOST_UCX || HostType == HOST_VARNVMS;
            if (!MakeSafeLocalName(RemotePathLastComponent(remote, vms), local, fallback, plain)) {
                BatchRefused();
                continue;
            }
        } else {
            lstrcpynA(remote, items[i - 1].shown.c_str(), sizeof remote);
            wire = items[i - 1].wire;
            if (!items[i - 1].whole) {
                // Too long for a name here: refused, and named shortened.
                ListItemText(IDC_REMOTE_FILES, sel[i - 1], remote, sizeof remote, true);
                LogMessage(MSG_REMOTE_NAME_REFUSED, remote);
                BatchRefused();
                continue;
            }
            // The local file gets the name shown, never one with marks in it.
            std::wstring wide;
            ReceiveNameKind kind = ReceivableName(wire, remote, &wide);
            if (kind == RECEIVE_REFUSED) {
                BatchRefused();
                continue;
            }
            if (kind == RECEIVE_WIDE) {
                // Received under a temporary name of the code page, then renamed.
                if (!MakeWideLocalName(wide, remote, &wideLocal)) {
                    BatchRefused();
                    continue;
                }
                char temp[MAX_PATH];
                UINT made = GetTempFileNameA(".", "trn", 0, temp);
                if (!made || lstrlenA(temp) >= static_cast<int>(sizeof local)) {
                    if (made)
                        DeleteFileA(temp);
                    LogMessage(MSG_NAME_NOT_WRITABLE, remote);
                    BatchRefused();
                    continue;
                }
                lstrcpyA(local, temp);
                lstrcpyA(fallback, local);
            } else if (!MakeSafeLocalName(remote, local, fallback, plain)) {
                BatchRefused();
                continue;
            }
        }
        // A local file of the file's own name is what an interrupted receive
        // left: it is offered under that name, and continued when it is
        // smaller than the remote file; otherwise the names above are used.
        RestartRec restart;
        bool resumable = wideLocal.empty() && plain[0] && ReceiveMayResume(ProgramOptions.transferType) &&
                         LocalFileSize(plain) != SIZE_UNKNOWN;
        if (resumable) {
            lstrcpyA(restart.freshLocal, local);
            lstrcpyA(restart.freshFallback, fallback);
            lstrcpyA(local, plain);
            lstrcpyA(fallback, plain);
        }
        if (ProgramOptions.prompt && wideLocal.empty())
            AskText(local, CAPTION_RECEIVE_REMOTE_FILE, PROMPT_LOCAL_NAME_FOR, remote);
        if (!local[0])
            continue;
        bool resume = false;
        if (resumable && lstrcmpA(local, plain) == 0) {
            resume = PlanReceiveResume(FtpSession.controlSocket, wire.c_str(), plain, ProgramOptions.transferType,
                                       &restart);
            if (!resume) {
                lstrcpyA(local, restart.freshLocal);
                lstrcpyA(fallback, restart.freshFallback);
            }
        }
        LogMessage(MSG_RECEIVING_FILE, remote, wideLocal.empty() ? local : remote, i, n);
        char command[512];
        _snprintf(command, sizeof command - 1, "RETR %s", wire.c_str());
        command[sizeof command - 1] = 0;
        // What the listing said of a listed file: its size for the percent
        // when the server names none, its time for Keep the server's file times.
        unsigned long long size = SIZE_UNKNOWN;
        FactTime time = {};
        bool timed = !sel.empty() && ListedFacts(wire, &size, &time);
        if (RetrieveFile(FtpSession.controlSocket, command, local, fallback, ProgramOptions.transferType,
                         resume ? &restart : nullptr, size) != REPLY_OK) {
            if (!wideLocal.empty())
                DeleteFileA(local);
            if (!BatchGoesOn(false))
                break;
            continue;
        }
        if (timed && ProgramOptions.keepTimes)
            KeepServerTime(local, remote, time);
        bool named = true;
        if (!wideLocal.empty()) {
            named = GiveWideName(local, wideLocal);
            if (!named) {
                LogMessage(MSG_NAME_NOT_WRITABLE, remote);
                DeleteFileA(local);
            }
            // the local list, read again below, shows it
        } else if (!inTree) {
            SendMessageA(MainControl(IDC_LOCAL_FILES), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(local));
        }
        if (!BatchGoesOn(named))
            break;
    }
    if (!inTree)
        RefreshLocal();
}

DWORD WINAPI ReceiveFilesThread(LPVOID)
{
    ReceiveSelectedFiles(false);
    BatchReport();
    return EndOperation();
}

DWORD WINAPI RemoteViewThread(LPVOID)
{
    std::vector<int> sel;
    if (!ListSelection(IDC_REMOTE_FILES, &sel) || sel.size() > 1)
        return EndOperation();
    char name[256] = "";
    std::string wire;
    if (sel.size() == 1)
        RemoteItem(IDC_REMOTE_FILES, sel[0], name, sizeof name, &wire);
    else if (!AskText(name, CAPTION_VIEW, PROMPT_REMOTE_FILE) || !name[0])
        return EndOperation();
    else
        wire = NameOnWire(name);
    char command[512];
    _snprintf(command, sizeof command - 1, "RETR %s", wire.c_str());
    command[sizeof command - 1] = 0;
    EnableAbort(true);
    if (RetrieveFile(FtpSession.controlSocket, command, ViewTempFile, ViewTempFile, 'A') == REPLY_OK &&
        RunViewer(ProgramOptions.viewer, ViewTempFile, true) < 32)
        LogMessage(MSG_VIEWER_FAILED, ProgramOptions.viewer);
    return EndOperation();
}

DWORD WINAPI RemoteChdirThread(LPVOID)
{
    std::vector<int> sel;
    ListSelection(IDC_REMOTE_DIRS, &sel);
    if (sel.size() > 1) {
        LogMessage(MSG_ONE_DIRECTORY_FOR_CHDIR_REMOTE);
        return EndOperation();
    }
    char name[256] = "";
    std::string wire;
    if (sel.size() == 1) {
        RemoteItem(IDC_REMOTE_DIRS, sel[0], name, sizeof name, &wire);
    } else {
        if (!AskText(nullptr, CAPTION_GOTO_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY) || !InputText[0])
            return EndOperation();
        lstrcpynA(name, InputText, sizeof name);
        wire = NameOnWire(name);
    }
    EnableAbort(true);
    if (FtpCwd(FtpSession.controlSocket, wire.c_str()) == REPLY_OK)
        RefreshRemote();
    return EndOperation();
}

DWORD WINAPI RemoteMkdirThread(LPVOID)
{
    if (AskText(nullptr, CAPTION_CREATE_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY) && InputText[0]) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        if (FtpMkd(FtpSession.controlSocket, NameOnWire(name).c_str()) == REPLY_OK)
            RefreshRemote();
    }
    return EndOperation();
}

DWORD WINAPI RemoteRmdirThread(LPVOID)
{
    std::vector<int> sel;
    if (ListSelection(IDC_REMOTE_DIRS, &sel) && !sel.empty()) {
        bool any = false;
        for (int index : sel) {
            char name[256];
            std::string wire;
            RemoteItem(IDC_REMOTE_DIRS, index, name, sizeof name, &wire);
            if (ConfirmDelete(name) && FtpRmd(FtpSession.controlSocket, wire.c_str()) == REPLY_OK)
                any = true;
        }
        if (any)
            RefreshRemote();
    } else if (AskText(nullptr, CAPTION_DELETE_REMOTE_DIRECTORY, PROMPT_REMOTE_DIRECTORY) && InputText[0]) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        if (ConfirmDelete(name) && FtpRmd(FtpSession.controlSocket, NameOnWire(name).c_str()) == REPLY_OK)
            RefreshRemote();
    }
    return EndOperation();
}

DWORD WINAPI RemoteDeleteThread(LPVOID)
{
    std::vector<int> sel;
    if (ListSelection(IDC_REMOTE_FILES, &sel) && !sel.empty()) {
        for (int index : sel) {
            char name[256];
            std::string wire;
            RemoteItem(IDC_REMOTE_FILES, index, name, sizeof name, &wire);
            if (ConfirmDelete(name))
                SendCommand(FtpSession.controlSocket, "DELE %s", wire.c_str());
        }
        RefreshRemote();
    } else if (AskText(nullptr, CAPTION_DELETE, PROMPT_REMOTE_FILE) && InputText[0]) {
        char name[70];
        lstrcpynA(name, InputText, sizeof name);
        if (ConfirmDelete(name) && SendCommand(FtpSession.controlSocket, "DELE %s", NameOnWire(name).c_str()) == REPLY_OK)
            RefreshRemote();
    }
    return EndOperation();
}

// RNFR, and RNTO only after a class-3 answer; returns the class of the last
// command. The old name is asked about as shown and sent as oldWire.
static int RenameRemote(const char* oldName, const std::string& oldWire, int result)
{
    if (!AskText(nullptr, CAPTION_RENAME_REMOTE_FILE, PROMPT_NEW_NAME, oldName) || !InputText[0])
        return result;
    char newName[70];
    lstrcpynA(newName, InputText, sizeof newName);
    result = SendCommand(FtpSession.controlSocket, "RNFR %s", oldWire.c_str());
    if (result == REPLY_MORE)
        result = SendCommand(FtpSession.controlSocket, "RNTO %s", NameOnWire(newName).c_str());
    return result;
}

DWORD WINAPI RemoteRenameThread(LPVOID)
{
    std::vector<int> sel;
    int result = 0;
    if (ListSelection(IDC_REMOTE_FILES, &sel) && !sel.empty()) {
        for (int index : sel) {
            char name[256];
            std::string wire;
            RemoteItem(IDC_REMOTE_FILES, index, name, sizeof name, &wire);
            result = RenameRemote(name, wire, result);
        }
    } else {
        char oldName[256] = "";
        if (AskText(oldName, CAPTION_RENAME_REMOTE_FILE, PROMPT_REMOTE_FILE) && oldName[0])
            result = RenameRemote(oldName, NameOnWire(oldName), result);
    }
    if (result == REPLY_OK)
        RefreshRemote();
    return EndOperation();
}

DWORD WINAPI RemoteRefreshThread(LPVOID)
{
    RefreshRemote();
    return EndOperation();
}

DWORD WINAPI ConnectThread(LPVOID)
{
    g_connectInProgress = 1;
    if (FtpSession.controlSocket != INVALID_SOCKET) {
        char text[256];
        LoadCatalogue(MSG_ALREADY_CONNECTED, text, sizeof text);
        SetUpperStatus(text);
    } else {
        EnableControl(IDC_CONNECT, false);
        HostProfile.useGateway = 0;
        if (RunHostDialog(OperationRequest.window) == 1) {
            EnableAbort(true);
            ConnectSession(HostProfile.host, HostProfile.user, HostProfile.password);
            // A stopped connect is ended by its stopper.
            if (WorkerStopping())
                return kStoppedExit;
            if (FtpSession.controlSocket == INVALID_SOCKET) {
                EnableControl(IDC_CONNECT, true);
                FtpSession.hostName[0] = 0;
            } else {
                WatchIdleSession(FtpSession.controlSocket);
                if (HostProfile.initialDir[0])
                    FtpCwd(FtpSession.controlSocket, HostProfile.initialDir);
            }
            RefreshRemote();
        }
    }
    if (WorkerStopping())
        return kStoppedExit;
    SetBusy(0);
    g_connectInProgress = 0;
    EnableAbort(false);
    SetDlgItemTextA(g_hwndMain, IDC_REMOTE_HOST_TEXT, FtpSession.hostName);
    return 0;
}

int FetchRemotePath(const char* path)
{
    const char* slash = strrchr(path, '/');
    char base[256];
    lstrcpynA(base, slash ? slash + 1 : path, sizeof base);
    char local[256], fallback[256];
    MakeLocalName(base, local, fallback);
    LogMessage(MSG_RECEIVING, path, local);
    char command[512];
    _snprintf(command, sizeof command - 1, "RETR %s", path);
    command[sizeof command - 1] = 0;
    int result = RetrieveFile(FtpSession.controlSocket, command, local, fallback, ProgramOptions.transferType);
    if (result == REPLY_OK)
        SendMessageA(MainControl(IDC_LOCAL_FILES), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path));
    return result;
}

DWORD WINAPI CommandLineFetchThread(LPVOID)
{
    LogMessage(MSG_REMOTE_HOST_NAME, g_fetchHost);
    HostProfile.useGateway = 0;
    HostProfile.passive = 0;  // no profile: the data connection is active
    HostProfile.nameEncoding = NAMES_CODE_PAGE;  // ... and names are bytes of the code page
    HostProfile.mlsd = MLSD_NEVER;                // ... and it lists nothing
    HostProfile.tls = 0;      // ... and plain
    HostProfile.keepAlive = 0;  // ... and sends no NOOP
    if (ConnectSession(g_fetchHost, "anonymous", ProgramOptions.mailAddr) != INVALID_SOCKET)
        FetchRemotePath(g_fetchPath);
    if (WorkerStopping())
        return kStoppedExit;
    SetBusy(0);
    if (FtpSession.lastReceiveOk == 1) {
        PostMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    } else {
        SetDlgItemTextA(g_hwndMain, IDC_REMOTE_HOST_TEXT, FtpSession.hostName);
        RefreshRemote();
    }
    return 0;
}

void KillWorker()
{
    DWORD id = WorkerThreadId();
    if (StopWorker()) {
        TransportThreadGone(id);
        // A listing it was filling ends here (its batches went with it), and
        // so does the byte count of its transfer.
        RedrawAllLists();
        ByteCountAbandon();
    }
}

// The watchdog's end of a worker whose reply never came: it is stopped, and
// what it held is released so that the next command works.
static void CloseBrokenControl(HWND main);

static void WatchdogKillWorker()
{
    KillWorker();
    CloseBrokenControl(g_hwndMain);
    bool receiveWasOpen, sendWasOpen;
    CloseTransferFiles(&receiveWasOpen, &sendWasOpen);
    ReleaseHeldSocket(&FtpSession.dataSocket);
    ReleaseHeldSocket(&FtpSession.listenSocket);
    FtpSession.commandCount = 0;
    ShowFileLists();
    EnableControl(IDC_ABORT, false);
    // A logon cut off ends as a failed one: its socket goes, Connect comes back.
    if (EndCutOffLogon())
        FtpSession.hostName[0] = 0;
    if (g_connectInProgress) {
        g_connectInProgress = 0;
        if (FtpSession.controlSocket == INVALID_SOCKET)
            EnableControl(IDC_CONNECT, true);
    }
}

void InstallWorkerStops()
{
    WatchdogStopWorker = WatchdogKillWorker;
}

void CloseTransferFiles(bool* receiveWasOpen, bool* sendWasOpen)
{
    *receiveWasOpen = *sendWasOpen = false;
    if (FtpSession.receiveFileOpen) {
        CloseTransferFile(&FtpSession.receiveFile);
        FtpSession.receiveFileOpen = 0;
        *receiveWasOpen = true;
    }
    if (FtpSession.sendFileOpen) {
        CloseTransferFile(&FtpSession.sendFile);
        FtpSession.sendFileOpen = 0;
        *sendWasOpen = true;
    }
}

int ReadAbortReply(SOCKET control)
{
    GetReply(control);
    LogMessage(MSG_ABORT_REPLY, static_cast<int>(FtpSession.lastReplyCode));
    return 0;
}

namespace {

// Timers of the main window that bound the GUI thread's waits while stopping.
constexpr UINT ABORT_WAIT_TIMER_ID = 21, QUIT_WAIT_TIMER_ID = 22;
constexpr UINT kStopWaitMs = 15000;  // the longest wait for an answer while stopping

}  // namespace

// The wait for the aborted transfer's answer ends after 15 seconds: a server
// that never answers would otherwise hold the GUI thread for the whole
// reply time-out.
void CALLBACK AbortWaitTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    KillTimer(hwnd, ABORT_WAIT_TIMER_ID);
    g_abortWaitExpired = 1;
    LogMessage(MSG_ABORT_TIMEOUT);
    if (BlockingInProgress())
        CancelBlockingCall();
}

namespace {

// Set while Abort or Disconnect runs on the GUI thread; their exchanges
// dispatch messages, and a second stop must not start inside the first.
bool g_stopping;

struct StopGuard {
    StopGuard() { g_stopping = true; }
    ~StopGuard() { g_stopping = false; }
};

void CALLBACK QuitWaitTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    KillTimer(hwnd, QUIT_WAIT_TIMER_ID);
    if (BlockingInProgress())
        CancelBlockingCall();
}

// QUIT from the GUI thread: a server that does not answer it holds the
// window no longer than an abort's answer may.
void SendQuit(HWND main)
{
    SetTimer(main, QUIT_WAIT_TIMER_ID, kStopWaitMs, QuitWaitTimerProc);
    SendCommand(FtpSession.controlSocket, "QUIT");
    KillTimer(main, QUIT_WAIT_TIMER_ID);
}

}  // namespace

// A TLS control connection whose worker was stopped inside a record can
// carry nothing more: it is closed, and the user connects again.
static void CloseBrokenControl(HWND main)
{
    if (FtpSession.controlSocket == INVALID_SOCKET || !ControlStreamBroken())
        return;
    LogLine(MSG_TLS_CONTROL_CLOSED);
    NetAborting = 1;
    FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
    FtpSession.loggedOn = 0;
    FtpSession.hostName[0] = 0;
    SetWindowTextA(main, "TARN");
    SetDlgItemTextA(main, IDC_REMOTE_HOST_TEXT, "");
    EnableControl(IDC_DISCONNECT, false);
    EnableControl(IDC_CONNECT, true);
}

// Steps shared by Abort and Disconnect once the worker is gone: the aborted
// transfer's answer, its files and the listening socket.
// transferRunning: the data connection was open when the worker was stopped
// (which closes it as it unwinds).
static void EndDataTransfer(HWND main, bool transferRunning, bool* receiveWasOpen, bool* sendWasOpen)
{
    CloseBrokenControl(main);
    if (transferRunning) {
        ReleaseHeldSocket(&FtpSession.dataSocket);
        // Without a control connection there is no answer to wait for.
        if (FtpSession.controlSocket != INVALID_SOCKET) {
            LogMessage(MSG_WAITING_FOR_ABORT_REPLY);
            g_abortWaitExpired = 0;
            SetTimer(main, ABORT_WAIT_TIMER_ID, kStopWaitMs, AbortWaitTimerProc);
            ReadAbortReply(FtpSession.controlSocket);
            if (g_abortWaitExpired)
                LogMessage(MSG_ABORT_FAILED);
            KillTimer(main, ABORT_WAIT_TIMER_ID);
        }
        bool r, s;
        CloseTransferFiles(&r, &s);
        *receiveWasOpen = *receiveWasOpen || r;
        *sendWasOpen = *sendWasOpen || s;
    }
    NetAborting = 1;
    FtpSession.commandCount = 0;
    ReleaseHeldSocket(&FtpSession.listenSocket);
}

void AbortOperation(HWND main)
{
    if (!IsBusy())
        return;
    // A second Abort while this one waits for the server finds it busy.
    if (g_stopping) {
        LogLine(MSG_BUSY);
        return;
    }
    StopGuard stopping;
    LogMessage(MSG_ABORTING_THREAD);
    LogMessage(MSG_ABORT_WARNING);
    bool receiveWasOpen = FtpSession.receiveFileOpen != 0, sendWasOpen = FtpSession.sendFileOpen != 0;
    bool transferRunning = FtpSession.dataSocket != INVALID_SOCKET;
    KillWorker();
    ShowFileLists();
    EndDataTransfer(main, transferRunning, &receiveWasOpen, &sendWasOpen);
    if (g_connectInProgress) {
        if (FtpSession.controlSocket != INVALID_SOCKET) {
            SendQuit(main);
            ReleaseHeldSocket(&FtpSession.controlSocket);
        }
        FtpSession.loggedOn = 0;
        LogMessage(MSG_CONNECT_ABORTED);
        g_connectInProgress = 0;
        FtpSession.commandCount = 0;
        EnableControl(IDC_ABORT, false);
        EnableControl(IDC_DISCONNECT, false);
        EnableControl(IDC_CONNECT, true);
        SetWindowTextA(main, "TARN");
        FtpSession.lastReplyCode = 0;
    } else {
        LogMessage(MSG_OPERATION_ABORTED);
        // The stopped operation can no longer turn Abort off as it ends.
        EnableControl(IDC_ABORT, false);
        if (sendWasOpen)
            RefreshRemote();
    }
    if (receiveWasOpen)
        RefreshLocal();
    // Only now may the next operation start: until here the abort's own
    // exchange used the control connection, and a connect started meanwhile
    // would have lost its socket to it.
    SetBusy(0);
}

void DisconnectSession(HWND main, bool exitAfter)
{
    if (g_stopping) {
        LogLine(MSG_BUSY);
        return;
    }
    StopGuard stopping;
    NetAborting = 1;
    bool receiveWasOpen = FtpSession.receiveFileOpen != 0, sendWasOpen = FtpSession.sendFileOpen != 0;
    bool transferRunning = FtpSession.dataSocket != INVALID_SOCKET;
    if (IsBusy()) {
        LogLine(MSG_ABORTING_BEFORE_CLOSE);
        KillWorker();
        ShowFileLists();
        FtpSession.commandCount = 0;
    }
    // The busy flag stays set while QUIT is exchanged, so that no operation
    // starts on the connection being closed.
    SetBusy(1);
    EndDataTransfer(main, transferRunning, &receiveWasOpen, &sendWasOpen);
    if (FtpSession.controlSocket != INVALID_SOCKET) {
        SendQuit(main);
        ReleaseHeldSocket(&FtpSession.controlSocket);
        FtpSession.loggedOn = 0;
    }
    FtpSession.commandCount = 0;
    SetWindowTextA(main, "TARN");
    if (exitAfter) {
        PostMessageA(main, WM_CLOSE, 0, 0);
    } else {
        EnableControl(IDC_ABORT, false);
        EnableControl(IDC_DISCONNECT, false);
        EnableControl(IDC_CONNECT, true);
        RefreshRemote();
    }
    FtpSession.hostName[0] = 0;
    if (!exitAfter)
        SetDlgItemTextA(main, IDC_REMOTE_HOST_TEXT, "");
    SetBusy(0);
    if (receiveWasOpen && !exitAfter)
        RefreshLocal();
}

namespace {

// A worker that found the connection gone ends by itself within moments
// (every further call on the connection fails at once) and reports what it
// was doing; it is given that time before it is stopped.
constexpr UINT LOST_WAIT_TIMER_ID = 23;
constexpr UINT kLostWaitSliceMs = 100;
constexpr int kLostWaitSlices = 30;
int g_lostWaits;

void CALLBACK LostWaitTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    KillTimer(hwnd, LOST_WAIT_TIMER_ID);
    EndLostSession(hwnd);
}

}  // namespace

void EndLostSession(HWND main)
{
    // A stop under way (Disconnect, Exit) ends the session itself.
    if (g_stopping || !FtpSession.loggedOn || FtpSession.controlSocket == INVALID_SOCKET) {
        g_lostWaits = 0;
        return;
    }
    if (IsBusy() && g_lostWaits < kLostWaitSlices) {
        ++g_lostWaits;
        SetTimer(main, LOST_WAIT_TIMER_ID, kLostWaitSliceMs, LostWaitTimerProc);
        return;
    }
    g_lostWaits = 0;
    StopGuard stopping;
    LogMessage(MSG_CONNECTION_LOST);
    NetAborting = 1;
    bool receiveWasOpen = FtpSession.receiveFileOpen != 0;
    if (IsBusy()) {
        KillWorker();
        ShowFileLists();
    }
    g_connectInProgress = 0;
    SetBusy(1);
    bool r, s;
    CloseTransferFiles(&r, &s);
    receiveWasOpen = receiveWasOpen || r;
    ReleaseHeldSocket(&FtpSession.dataSocket);
    ReleaseHeldSocket(&FtpSession.listenSocket);
    ReleaseHeldSocket(&FtpSession.controlSocket);
    FtpSession.loggedOn = 0;
    FtpSession.commandCount = 0;
    SetWindowTextA(main, "TARN");
    EnableControl(IDC_ABORT, false);
    EnableControl(IDC_DISCONNECT, false);
    FtpSession.hostName[0] = 0;
    SetDlgItemTextA(main, IDC_REMOTE_HOST_TEXT, "");
    // Connect comes last, in every end of a session: once it is enabled,
    // the rest of the window shows the end too.
    EnableControl(IDC_CONNECT, true);
    SetBusy(0);
    if (receiveWasOpen)
        RefreshLocal();
}

// The server's words on an idle connection: its reply is read and shown;
// a connection that has ended with it is reported lost.
static DWORD WINAPI LastWordsThread(LPVOID)
{
    SOCKET s = FtpSession.controlSocket;
    GetReply(s);
    if (!ControlConnectionLost() && s == FtpSession.controlSocket) {
        char byte;
        int r = recv(s, &byte, 1, MSG_PEEK);
        if (r == 0 || (r == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK))
            PostMessageA(g_hwndMain, WM_TARN_CONNECTION_LOST, 0, 0);
    }
    return EndOperation();
}

void OnControlClosed(HWND main, SOCKET s)
{
    // A close posted for an earlier connection may arrive after its socket
    // was released and its number given to this one: only a connection that
    // has ended now counts.
    if (s != FtpSession.controlSocket)
        return;
    char byte;
    int r = recv(s, &byte, 1, MSG_PEEK);
    if (r == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
        return;
    // Bytes still to read: a running operation reads them and finds the end
    // itself; with none running they are the server's last words (an idle
    // time-out's 421), shown before the session ends. The connection has
    // ended, so the read finds them, or the end, at once.
    if (r > 0 && IsBusy())
        return;
    // Read on a worker of its own, as every exchange is: a 421 or the end
    // it finds ends the session (ftp/command posts that), a reply without
    // an end leaves the session as it is.
    if (r > 0 && !g_stopping && FtpSession.loggedOn && FtpSession.commandCount == 0 &&
        StartWorker(main, 0, LastWordsThread))
        return;
    EndLostSession(main);
}
