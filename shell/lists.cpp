#include "shell/lists.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "ftp/command.h"
#include "ftp/reply.h"
#include "ftp/localname.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "listing/locallist.h"
#include "listing/mlsd.h"
#include "listing/names.h"
#include "listing/paths.h"
#include "listing/remotelist.h"
#include "listing/rules.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "resources/catalogue.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/mainwin.h"
#include "shell/namebatch.h"

char RemoteCurrentDir[181];

static int g_localDirWidest, g_localFileWidest;
static int g_remoteDirWidest, g_remoteFileWidest;

int GetMaskText(int editId, char out[120])
{
    *reinterpret_cast<WORD*>(out) = 119;
    LRESULT n = SendMessageA(MainControl(editId), EM_GETLINE, 0, reinterpret_cast<LPARAM>(out));
    if (n < 0 || n > 119)
        n = 0;
    out[n] = 0;
    return static_cast<int>(n);
}

static void ResetList(int id, int startExtent)
{
    HWND list = MainControl(id);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    ForgetItemWires(list);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, startExtent, 0);
}

// The local lists

// A tree walk fills the local lists for every directory it enters and
// leaves. The drives' entries come from LB_DIR, which asks every drive letter
// for its type (tens of milliseconds under Wine): a walk lists them once, in
// a list box of its own, and its fills add those entries; its end fills the
// lists once more the usual way. The worker starts and ends a walk; the
// rest is the GUI thread's.
static volatile LONG g_walk;        // a walk is on: its number (never 0)
static LONG g_walkRead;             // the walk whose drives g_walkDrives holds
static bool g_walkFilled;           // a fill of that walk took them from there
static std::vector<std::string> g_walkDrives;

static bool ReadWalkDrives(LONG walk)
{
    g_walkDrives.clear();
    HWND scratch = CreateWindowA("LISTBOX", "", WS_CHILD | LBS_SORT | LBS_HASSTRINGS, 0, 0, 0, 0, g_hwndMain,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!scratch)
        return false;
    SendMessageA(scratch, LB_DIR, DDL_DRIVES | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*"));
    LRESULT count = SendMessageA(scratch, LB_GETCOUNT, 0, 0);
    bool read = count != LB_ERR;
    for (LRESULT i = 0; read && i < count; ++i) {
        LRESULT length = SendMessageA(scratch, LB_GETTEXTLEN, i, 0);
        std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1);
        read = length != LB_ERR && SendMessageA(scratch, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data())) != LB_ERR;
        g_walkDrives.emplace_back(text.data());
    }
    DestroyWindow(scratch);
    g_walkRead = read ? walk : 0;
    return read;
}

static void AddDriveEntries(HWND list)
{
    LONG walk = g_walk;
    if (walk == 0 || (g_walkRead != walk && !ReadWalkDrives(walk))) {
        SendMessageA(list, LB_DIR, DDL_DRIVES | DDL_EXCLUSIVE, reinterpret_cast<LPARAM>("*"));
        return;
    }
    for (const std::string& drive : g_walkDrives)
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.c_str()));
    g_walkFilled = true;
}

static void FillLocalList(int id, int startExtent, const char* pattern, bool directories, int* widest)
{
    HWND list = MainControl(id);
    ResetList(id, startExtent);
    std::vector<char> names;
    int count = ReadLocalNames(pattern, directories, &names);
    ListFillRec fill = {list, widest, false};
    AddListNames(&fill, names.data(), count, static_cast<int>(names.size()));
    if (directories)
        AddDriveEntries(list);
    EndListFill(&fill);
}

static LRESULT FillLocalOnGuiThread(void*)
{
    char mask[120];
    GetMaskText(IDC_LOCAL_MASK, mask);
    g_localDirWidest = g_localFileWidest = 0;
    char directory[512];
    DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory)
        directory[0] = 0;
    SetDlgItemTextA(g_hwndMain, IDC_LOCAL_DIR_TEXT, ShortenLocalPath(directory, 25, TextCodePage).c_str());
    FillLocalList(IDC_LOCAL_DIRS, 45, "*.*", true, &g_localDirWidest);
    FillLocalList(IDC_LOCAL_FILES, 0, mask[0] ? mask : "*.*", false, &g_localFileWidest);
    // The dispatch lists again when the mask edit loses the focus with its
    // modified mark set; the mask just used is not new.
    SendDlgItemMessageA(g_hwndMain, IDC_LOCAL_MASK, EM_SETMODIFY, FALSE, 0);
    return 0;
}

int FillLocalLists(HWND)
{
    // The lists of a stopped operation stay as they are.
    if (WorkerStopping())
        return 0;
    CallOnGuiThread(FillLocalOnGuiThread, nullptr);
    return 0;
}

static LRESULT EndWalkOnGuiThread(void*)
{
    bool filled = g_walkFilled;
    g_walkFilled = false;
    g_walkRead = 0;
    g_walkDrives.clear();
    if (filled)
        FillLocalOnGuiThread(nullptr);
    return 0;
}

void WalkLocalFills(bool on)
{
    static LONG walks;
    if (on) {
        LONG walk = ++walks;
        InterlockedExchange(&g_walk, walk ? walk : ++walks);
        return;
    }
    InterlockedExchange(&g_walk, 0);
    // A stopped walk leaves the lists as they are (their drive entries taken
    // from the walk's listing of them).
    if (!WorkerStopping())
        CallOnGuiThread(EndWalkOnGuiThread, nullptr);
}

// The remote lists

static void AddRemoteName(int id, int* widest, const char* name)
{
    HWND list = MainControl(id);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SetListExtent(list, name, widest);
}

void AddRemoteDir(const char* name) { AddRemoteName(IDC_REMOTE_DIRS, &g_remoteDirWidest, name); }
void AddRemoteFile(const char* name) { AddRemoteName(IDC_REMOTE_FILES, &g_remoteFileWidest, name); }

// The batches of one listing, on the stack of the thread that reads it: a
// worker stopped half-way takes them with it; with them the rules' state and
// the reader of a listing that arrives in pieces.
struct RemoteFillRec {
    NameBatchRec dirs, files;
    RuleState state;
    RuleSink sink;
    ListingReaderRec reader;
    std::string lastFile;  // the server's bytes of the file named last, for its facts
    bool switched;         // the session's names went to the code page during this listing
};

// What the last listing told of its files besides their names (MLSD's size
// and modify facts), by the server's bytes of each name.
struct ListedFileFacts {
    unsigned long long size = SIZE_UNKNOWN;
    bool hasTime = false;
    FactTime time = {};
};
static CRITICAL_SECTION g_factsLock;
static const bool g_factsLockReady = [] {
    InitializeCriticalSection(&g_factsLock);
    return true;
}();
static std::unordered_map<std::string, ListedFileFacts> g_listedFacts;

static void ForgetListedFacts()
{
    EnterCriticalSection(&g_factsLock);
    g_listedFacts.clear();
    LeaveCriticalSection(&g_factsLock);
}

bool ListedFacts(const std::string& wire, unsigned long long* size, FactTime* time)
{
    EnterCriticalSection(&g_factsLock);
    auto found = g_listedFacts.find(wire);
    bool known = found != g_listedFacts.end();
    ListedFileFacts facts = known ? found->second : ListedFileFacts();
    LeaveCriticalSection(&g_factsLock);
    if (size)
        *size = facts.size;
    if (time)
        *time = facts.time;
    return known && facts.hasTime;
}

unsigned long long ListedFileSize(const std::string& wire)
{
    unsigned long long size = SIZE_UNKNOWN;
    ListedFacts(wire, &size, nullptr);
    return size;
}

bool NameSeen(const std::string& wire)
{
    if (!FtpSession.namesGuessed)
        return true;
    bool valid = true;
    Utf8ToWide(wire, &valid);
    if (valid)
        return true;
    // For good: the names taken so far were UTF-8 and ASCII alike, and the
    // code page reads them the same way.
    FtpSession.namesGuessed = 0;
    FtpSession.namesUtf8 = 0;
    LogMessage(MSG_NAMES_SWITCH_CODE_PAGE, wire.c_str());
    return false;
}

// A name that a rule gave: in the code page as it is; from a UTF-8 listing
// (decoded keeping every byte) shown converted, with its bytes kept. The
// server's bytes go to *wire. Once the session has gone to the code page
// during the listing, nothing more: the listing is shown again from its file.
static void SinkName(RemoteFillRec* fill, NameBatchRec* batch, const std::wstring& name, std::string* wire)
{
    if (fill->switched)
        return;
    if (!FtpSession.namesUtf8) {
        *wire = WideToMulti(name, 511, TextCodePage);
        BatchAdd(batch, wire->c_str());
        return;
    }
    *wire = WideKeptToUtf8(name);
    if (!NameSeen(*wire)) {
        fill->switched = true;
        return;
    }
    std::string shown = WireNameShown(*wire, true, TextCodePage);
    BatchAddKept(batch, shown.c_str(), wire->c_str());
}

static void SinkDir(void* context, const std::wstring& name)
{
    RemoteFillRec* fill = static_cast<RemoteFillRec*>(context);
    std::string wire;
    SinkName(fill, &fill->dirs, name, &wire);
}

static void SinkFile(void* context, const std::wstring& name)
{
    RemoteFillRec* fill = static_cast<RemoteFillRec*>(context);
    SinkName(fill, &fill->files, name, &fill->lastFile);
}

static void SinkLog(void*, unsigned id) { LogLine(id); }

static void SinkFileSize(void* context, const std::wstring&, unsigned long long size)
{
    RemoteFillRec* fill = static_cast<RemoteFillRec*>(context);
    if (fill->switched)
        return;
    EnterCriticalSection(&g_factsLock);
    g_listedFacts[fill->lastFile].size = size;
    LeaveCriticalSection(&g_factsLock);
}

static void SinkFileTime(void* context, const std::wstring&, const FactTime& time)
{
    RemoteFillRec* fill = static_cast<RemoteFillRec*>(context);
    if (fill->switched)
        return;
    EnterCriticalSection(&g_factsLock);
    ListedFileFacts& facts = g_listedFacts[fill->lastFile];
    facts.hasTime = true;
    facts.time = time;
    LeaveCriticalSection(&g_factsLock);
}

static void StartRemoteFill(RemoteFillRec* fill, bool machine)
{
    BatchStart(&fill->dirs, MainControl(IDC_REMOTE_DIRS), &g_remoteDirWidest);
    BatchStart(&fill->files, MainControl(IDC_REMOTE_FILES), &g_remoteFileWidest);
    fill->state = RuleState{&HostType, false, FtpSession.namesUtf8 ? static_cast<unsigned>(CP_UTF8) : TextCodePage,
                            machine, false, false};
    fill->sink = RuleSink{fill, SinkDir, SinkFile, SinkLog, SinkFileSize, SinkFileTime};
    fill->lastFile.clear();
    fill->switched = false;
    ListingReaderStart(&fill->reader, fill->state, fill->sink);
}

static void FeedRemoteFill(void* context, const char* bytes, int length)
{
    ListingReaderFeed(&static_cast<RemoteFillRec*>(context)->reader, bytes, length);
}

int ReadListingIntoLists(const char* path, bool machine)
{
    RemoteFillRec fill;
    StartRemoteFill(&fill, machine);
    int result = ParseListingFile(path, fill.state, fill.sink);
    if (result == 0) {
        BatchEnd(&fill.dirs);
        BatchEnd(&fill.files);
    }
    return result;
}

static void ShowRemoteDir()
{
    char directory[181] = "";
    LoadCatalogue(MSG_UNDECIPHERABLE, directory, sizeof directory);
    std::string named;
    bool utf8 = FtpSession.namesUtf8 != 0;
    // The directory is kept as the server's bytes (the tree transfers go back
    // to it) and shown converted.
    if (FtpPwd(FtpSession.controlSocket) == REPLY_OK &&
        PwdDirectory(FtpSession.replyLine, utf8 ? static_cast<unsigned>(CP_UTF8) : TextCodePage, &named)) {
        // A directory that is not UTF-8 ends names taken as UTF-8 before its listing.
        if (utf8 && !NameSeen(named)) {
            utf8 = false;
            PwdDirectory(FtpSession.replyLine, TextCodePage, &named);
        }
        lstrcpynA(directory, named.c_str(), sizeof directory);
    }
    lstrcpyA(RemoteCurrentDir, directory);
    std::string shown = WireNameShown(RemoteCurrentDir, utf8, TextCodePage);
    std::string label = RemoteDirLabel(shown.c_str(), HostType, TextCodePage);
    SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, label.c_str());
}

void DetectRemoteCommands(SOCKET control)
{
    CommandSupport support = DetectHostType(control);
    EnableControl(IDC_REMOTE_CREATE, support.canMakeDir);
    EnableControl(IDC_REMOTE_REMOVE, support.canRemoveDir);
    EnableControl(IDC_REMOTE_RENAME, support.canRename);
    EnableControl(IDC_REMOTE_DELETE, support.canDelete);
}

static void ClearRemoteLists()
{
    ResetList(IDC_REMOTE_DIRS, 0);
    ResetList(IDC_REMOTE_FILES, 0);
    ForgetListedFacts();
    g_remoteDirWidest = g_remoteFileWidest = 0;
}

int DoDirList(HWND)
{
    // A connection the server has ended is not asked again: its session
    // ends, and the lists stay as they were.
    if (WorkerStopping() || (FtpSession.loggedOn && ControlConnectionLost()))
        return 0;
    char mask[120];
    GetMaskText(IDC_REMOTE_MASK, mask);
    ClearRemoteLists();
    if (!FtpSession.loggedOn) {
        RemoteCurrentDir[0] = 0;
        SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, "");
    } else {
        ShowRemoteDir();
        if (!FtpSession.hostTypeDetected)
            DetectRemoteCommands(FtpSession.controlSocket);
        char command[128];
        bool machine = false;
        ListingCommand(mask, FtpSession.listMlsd != 0, command, &machine);
        SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_DIRS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(".."));
        // The lists fill while the listing arrives: the rules and the list
        // boxes work while the server is still sending.
        RemoteFillRec fill;
        StartRemoteFill(&fill, machine);
        int result = RetrieveListing(FtpSession.controlSocket, command, FeedRemoteFill, &fill);
        LONG refusal = TransferCommandCode();
        if (machine && result != REPLY_OK && refusal >= 300 && refusal != 421 && !WorkerStopping()) {
            // Refused, not failed: this session lists with LIST from now on.
            LogMessage(MSG_MLSD_REFUSED, static_cast<unsigned>(refusal));
            FtpSession.listMlsd = 0;
            BatchCancel(&fill.dirs);
            BatchCancel(&fill.files);
            ListCommand(mask, command);
            machine = false;
            StartRemoteFill(&fill, machine);
            result = RetrieveListing(FtpSession.controlSocket, command, FeedRemoteFill, &fill);
        }
        if (result == REPLY_OK)
            ListingReaderEnd(&fill.reader);
        if (result == REPLY_OK && !fill.switched) {
            BatchEnd(&fill.dirs);
            BatchEnd(&fill.files);
        } else {
            // A listing that did not end well shows nothing of itself; one
            // whose names turned out to be in the code page is shown again.
            BatchCancel(&fill.dirs);
            BatchCancel(&fill.files);
            ClearRemoteLists();
            SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_DIRS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(".."));
            if (result == REPLY_OK)
                ReadListingIntoLists(ListingTempFile, machine);
            else
                LogMessage(MSG_DIRLIST_RESULT, result);
        }
    }
    // The dispatch lists again when the mask edit loses the focus with its
    // modified mark set; the mask just used is not new.
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_MASK, EM_SETMODIFY, FALSE, 0);
    return 0;
}

std::string NameOnWire(const char* name)
{
    return TypedNameToWire(name ? name : "", FtpSession.namesUtf8 != 0, TextCodePage);
}

bool RemoteItem(int listId, int index, char* shown, int shownSize, std::string* wire)
{
    return ListItemText(listId, index, shown, shownSize) && ListItemWire(listId, index, wire);
}

namespace {

struct ListItemsRequest {
    int listId;
    const std::vector<int>* indexes;
    int shownSize;
    bool wires;
    std::vector<ListItemRec>* items;
};

LRESULT ReadListItemsHere(void* argument)
{
    ListItemsRequest& r = *static_cast<ListItemsRequest*>(argument);
    std::vector<char> shown(static_cast<size_t>(r.shownSize));
    for (int index : *r.indexes) {
        ListItemRec item;
        item.whole = ListItemText(r.listId, index, shown.data(), r.shownSize);
        item.shown = shown.data();
        if (r.wires)
            item.whole = item.whole && ListItemWire(r.listId, index, &item.wire);
        r.items->push_back(item);
    }
    return 0;
}

}  // namespace

void ReadListItems(int listId, const std::vector<int>& indexes, int shownSize, bool wires,
                   std::vector<ListItemRec>* items)
{
    items->clear();
    if (shownSize <= 0)
        return;
    ListItemsRequest r = {listId, &indexes, shownSize, wires, items};
    CallOnGuiThread(ReadListItemsHere, &r);
}

ReceiveNameKind ReceivableName(const std::string& wire, const char* shown, std::wstring* wide)
{
    if (!FtpSession.namesUtf8)
        return RECEIVE_AS_SHOWN;
    bool valid = true;
    std::wstring name = Utf8ToWide(wire, &valid);
    if (!valid) {
        LogMessage(MSG_NAME_NOT_UTF8, shown);
        return RECEIVE_REFUSED;
    }
    if (RepresentableInCodePage(name, TextCodePage))
        return RECEIVE_AS_SHOWN;
    if (wide && WideFileCallsPresent()) {
        *wide = name;
        return RECEIVE_WIDE;
    }
    LogMessage(MSG_NAME_NOT_WRITABLE, shown);
    return RECEIVE_REFUSED;
}
