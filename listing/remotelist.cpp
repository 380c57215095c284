#include "listing/remotelist.h"

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

#include "ftp/command.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "listing/hosttypes.h"
#include "shell/namebatch.h"
#include "listing/paths.h"
#include "listing/rules.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/mainwin.h"

char RemoteCurrentDir[181];

static int g_dirWidest, g_fileWidest;
// Set while ParseListingFile fills the lists; AddRemoteDir and AddRemoteFile
// add straight to the lists otherwise.
static NameBatchRec* g_dirBatch;
static NameBatchRec* g_fileBatch;

int GetRemoteMask(char out[120])
{
    *reinterpret_cast<WORD*>(out) = 119;
    LRESULT n = SendMessageA(MainControl(IDC_REMOTE_MASK), EM_GETLINE, 0, reinterpret_cast<LPARAM>(out));
    if (n < 0 || n > 119)
        n = 0;
    out[n] = 0;
    return static_cast<int>(n);
}

void ListCommand(const char* mask, char out[128])
{
    lstrcpyA(out, "LIST");
    if (mask[0]) {
        lstrcatA(out, " ");
        lstrcpynA(out + 5, mask, 120);
    }
}

static void AddRemoteName(int id, NameBatchRec* batch, int* widest, const char* name)
{
    if (batch) {
        BatchAdd(batch, name);
        return;
    }
    HWND list = MainControl(id);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SetListExtent(list, name, widest);
}

void ForgetListingFill()
{
    g_dirBatch = g_fileBatch = nullptr;
}

void AddRemoteDir(const char* name) { AddRemoteName(IDC_REMOTE_DIRS, g_dirBatch, &g_dirWidest, name); }
void AddRemoteFile(const char* name) { AddRemoteName(IDC_REMOTE_FILES, g_fileBatch, &g_fileWidest, name); }

static void SinkDir(void*, const std::wstring& name)
{
    AddRemoteDir(WideToMulti(name, 511, TextCodePage).c_str());
}

static void SinkFile(void*, const std::wstring& name)
{
    AddRemoteFile(WideToMulti(name, 511, TextCodePage).c_str());
}

static void SinkLog(void*, unsigned id) { LogLine(id); }

static void HandlePiece(const char* piece, size_t length, RuleState& state, const RuleSink& sink)
{
    std::wstring line = MultiToWide(piece, length, state.codePage);
    size_t feed = line.find(L'\n');
    if (feed != std::wstring::npos)
        line.resize(feed);
    // Looked up per line: the Windows NT rule can switch the type mid-listing.
    RuleForHostType(HostType)(line, state, sink);
}

int ParseListingFile(const char* path)
{
    // Read as bytes, with the carriage return before a line feed dropped here:
    // the runtime's text mode would also end the listing at a Ctrl-Z byte.
    FILE* file = fopen(path, "rb");
    if (!file) {
        LogLine(25);
        return -1;
    }
    NameBatchRec dirs, files;
    BatchStart(&dirs, MainControl(IDC_REMOTE_DIRS), &g_dirWidest);
    BatchStart(&files, MainControl(IDC_REMOTE_FILES), &g_fileWidest);
    g_dirBatch = &dirs;
    g_fileBatch = &files;
    RuleState state = {&HostType, false, TextCodePage};
    const RuleSink sink = {nullptr, SinkDir, SinkFile, SinkLog};
    std::vector<char> buffer(64 * 1024);
    char piece[512];
    size_t length = 0;
    bool pendingReturn = false;
    auto put = [&](char c) {
        piece[length++] = c;
        if (c == '\n' || length == 511) {
            HandlePiece(piece, length, state, sink);
            length = 0;
        }
    };
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            char c = buffer[i];
            if (pendingReturn) {
                pendingReturn = false;
                if (c != '\n')
                    put('\r');
            }
            if (c == '\r')
                pendingReturn = true;
            else
                put(c);
        }
    }
    if (pendingReturn)
        put('\r');
    if (length > 0)
        HandlePiece(piece, length, state, sink);
    fclose(file);
    g_dirBatch = g_fileBatch = nullptr;
    BatchEnd(&dirs);
    BatchEnd(&files);
    return 0;
}

static void ResetList(int id)
{
    HWND list = MainControl(id);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, 0, 0);
}

static void ShowRemoteDir()
{
    char directory[181] = "";
    LoadCatalogue(77, directory, sizeof directory);
    std::string named;
    if (FtpPwd(FtpSession.controlSocket) == 2 && PwdDirectory(FtpSession.replyLine, TextCodePage, &named))
        lstrcpynA(directory, named.c_str(), sizeof directory);
    lstrcpyA(RemoteCurrentDir, directory);
    std::string label = RemoteDirLabel(RemoteCurrentDir, HostType, TextCodePage);
    SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, label.c_str());
}

int DoDirList(HWND)
{
    char mask[120];
    GetRemoteMask(mask);
    ResetList(IDC_REMOTE_DIRS);
    ResetList(IDC_REMOTE_FILES);
    g_dirWidest = g_fileWidest = 0;
    if (!FtpSession.loggedOn) {
        RemoteCurrentDir[0] = 0;
        SetDlgItemTextA(g_hwndMain, IDC_REMOTE_DIR_TEXT, "");
    } else {
        ShowRemoteDir();
        if (!FtpSession.hostTypeDetected)
            DetectHostType(FtpSession.controlSocket);
        char command[128];
        ListCommand(mask, command);
        int result = RetrieveListing(FtpSession.controlSocket, command);
        SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_DIRS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(".."));
        if (result != 2)
            LogMessage(26, result);
        else
            ParseListingFile(ListingTempFile);
    }
    // The dispatch lists again when the mask edit loses the focus with its
    // modified mark set; the mask just used is not new.
    SendDlgItemMessageA(g_hwndMain, IDC_REMOTE_MASK, EM_SETMODIFY, FALSE, 0);
    return 0;
}
