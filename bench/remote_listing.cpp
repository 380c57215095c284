// Fills the remote lists of the real main window from a remote listing and
// prints how long that takes and the peak memory of the process.
//
//   bench_remote_listing.exe [listing-file] [one-at-a-time-count]
//   bench_remote_listing.exe --server PORT [mlsd]
//
// The listing file is LIST output as a server sent it (remote_listing.sh
// fetches one of 100,000 entries from a real server on loopback); without
// one, 100,000 ls -l lines are made up. The lists are filled by
// ReadListingIntoLists on a worker thread while the GUI thread runs its message
// loop, as during a remote operation. For comparison, the given number of
// names (default 500) is then added one at a time the old way, one
// synchronous call and repaint per name, and the cost per name is printed.
// With --server, the listing comes from the server on loopback PORT through
// the program's own path, with LIST, or with "mlsd" with MLSD as a profile
// with MLSD on lists where FEAT offers it, each beside the same listing
// command alone.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "store/options.h"
#include "ftp/logon.h"
#include "ftp/session.h"
#include "ftp/transfer.h"
#include "listing/hosttypes.h"
#include "listing/remotelist.h"
#include "listing/rules.h"
#include "listing/textconv.h"
#include "resources/resource.h"
#include "shell/app.h"
#include "shell/lists.h"
#include "shell/mainwin.h"
#include "shell/startup.h"

static double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

static void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// Runs work on a new thread while this one processes messages.
static void OnWorker(LPTHREAD_START_ROUTINE work, void* argument)
{
    HANDLE thread = CreateThread(nullptr, 0, work, argument, 0, nullptr);
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0)
        Pump();
    CloseHandle(thread);
    Pump();
}

static DWORD WINAPI ParseOnWorker(void* path)
{
    ReadListingIntoLists(static_cast<const char*>(path));
    return 0;
}

static DWORD WINAPI OneAtATimeOnWorker(void* count)
{
    for (int i = 0; i < *static_cast<int*>(count); ++i) {
        char name[32];
        wsprintfA(name, "one-at-a-time-%06d.dat", i);
        AddRemoteFile(name);
    }
    return 0;
}

struct MemoryCounters {
    DWORD cb, PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage;
};

static void PrintPeakMemory()
{
    using Query = BOOL(WINAPI*)(HANDLE, MemoryCounters*, DWORD);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    MemoryCounters counters = {};
    counters.cb = sizeof counters;
    if (query && query(GetCurrentProcess(), &counters, sizeof counters))
        printf("peak working set %.1f MB, peak private bytes %.1f MB\n", counters.PeakWorkingSetSize / 1048576.0,
               counters.PeakPagefileUsage / 1048576.0);
}

static std::string MakeListing()
{
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    GetTempFileNameA(dir, "BEN", 0, path);
    FILE* f = fopen(path, "wb");
    fprintf(f, "total 400000\r\n");
    for (int i = 0; i < 100000; ++i) {
        if (i % 10 == 0)
            fprintf(f, "drwxr-xr-x    2 ftp      ftp          4096 Jan 15 12:00 directory-%06d\r\n", i);
        else
            fprintf(f, "-rw-r--r--    1 ftp      ftp        %6d Jan 15 12:00 file-%06d.dat\r\n", i * 7 % 999999, i);
    }
    fclose(f);
    return path;
}

static DWORD WINAPI ConnectOnWorker(void*)
{
    FtpSession.controlSocket = FtpConnect("127.0.0.1");
    return 0;
}

static DWORD WINAPI ListOnWorker(void*)
{
    DoDirList(g_hwndMain);
    return 0;
}

// The listing command alone (LIST, or MLSD): the listing received into
// ListingTempFile, nothing filled.
static bool g_mlsd;
static DWORD WINAPI ListOnlyOnWorker(void*)
{
    RetrieveListing(FtpSession.controlSocket, g_mlsd ? "MLSD" : "LIST");
    return 0;
}

// The line rules alone over the received listing, the names converted as the
// lists would take them but added nowhere.
static long g_ruleNames;
static void CountName(void*, const std::wstring& name)
{
    g_ruleNames += static_cast<long>(WideToMulti(name, 511, TextCodePage).size() > 0);
}
static void NoLog(void*, unsigned) {}
static DWORD WINAPI RulesOnWorker(void*)
{
    RuleState state = {&HostType, false, TextCodePage, g_mlsd};
    const RuleSink sink = {nullptr, CountName, CountName, NoLog};
    ParseListingFile(ListingTempFile, state, sink);
    return 0;
}

static DWORD WINAPI FillOnWorker(void*)
{
    ReadListingIntoLists(ListingTempFile, g_mlsd);
    return 0;
}

// The whole remote listing as the program makes it: logged on anonymously to
// the server on loopback port, DoDirList (PWD, LIST into ListingTempFile, the
// lists filled) on a worker. Detection runs in a first listing, untimed.
static int ListFromServer(int port)
{
    static WSADATA data;
    WSAStartup(0x0101, &data);
    HostProfile.ftpPort = static_cast<DWORD>(port);
    HostProfile.mlsd = g_mlsd ? MLSD_AUTO : MLSD_NEVER;
    lstrcpyA(FtpSession.userName, "anonymous");
    lstrcpyA(FtpSession.password, "bench@example.org");
    OnWorker(ConnectOnWorker, nullptr);
    if (FtpSession.controlSocket == INVALID_SOCKET) {
        printf("cannot log on to 127.0.0.1:%d\n", port);
        return 1;
    }
    if (g_mlsd && !FtpSession.listMlsd) {
        printf("127.0.0.1:%d offers no MLSD\n", port);
        return 1;
    }
    OnWorker(ListOnWorker, nullptr);
    // Run side by side, best of three: LIST alone through TARN's receive
    // path, then the whole listing as the user waits for it (PWD, LIST, the
    // lists filled), and its parts.
    constexpr int kRounds = 3;
    double list = 1e9, whole = 1e9, rules = 1e9, fill = 1e9;
    long dirs = 0, files = 0;
    for (int round = 0; round < kRounds; ++round) {
        double t0 = Now();
        OnWorker(ListOnlyOnWorker, nullptr);
        double t1 = Now();
        OnWorker(ListOnWorker, nullptr);
        double t2 = Now();
        dirs = static_cast<long>(SendMessageA(MainControl(IDC_REMOTE_DIRS), LB_GETCOUNT, 0, 0));
        files = static_cast<long>(SendMessageA(MainControl(IDC_REMOTE_FILES), LB_GETCOUNT, 0, 0));
        g_ruleNames = 0;
        OnWorker(RulesOnWorker, nullptr);
        double t3 = Now();
        SendMessageA(MainControl(IDC_REMOTE_DIRS), LB_RESETCONTENT, 0, 0);
        SendMessageA(MainControl(IDC_REMOTE_FILES), LB_RESETCONTENT, 0, 0);
        Pump();
        double t4 = Now();
        OnWorker(FillOnWorker, nullptr);
        double t5 = Now();
        list = t1 - t0 < list ? t1 - t0 : list;
        whole = t2 - t1 < whole ? t2 - t1 : whole;
        rules = t3 - t2 < rules ? t3 - t2 : rules;
        fill = t5 - t4 < fill ? t5 - t4 : fill;
    }
    printf("remote listing from 127.0.0.1:%d: %ld directories (\"..\" included) and %ld files, best of %d\n", port,
           dirs, files, kRounds);
    const char* command = g_mlsd ? "MLSD" : "LIST";
    printf("  %s alone (received, nothing filled)   %.2f s\n", command, list);
    printf("  PWD, %s and the lists filled          %.2f s\n", command, whole);
    printf("  of which: the line rules alone          %.2f s (%ld names)\n", rules, g_ruleNames);
    printf("            rules and the lists filled    %.2f s\n", fill);
    printf("TARN's listing / %s alone (goal 1.3)    %.2f\n", command, whole / list);
    PrintPeakMemory();
    return 0;
}

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (!CreateMainWindow(GetModuleHandleA(nullptr), nullptr, SW_SHOWNORMAL, &exitCode))
        return 1;
    Pump();
    if (argc > 2 && strcmp(argv[1], "--server") == 0) {
        g_mlsd = argc > 3 && strcmp(argv[3], "mlsd") == 0;
        int rc = ListFromServer(atoi(argv[2]));
        SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
        Pump();
        return rc;
    }
    std::string path = argc > 1 ? argv[1] : MakeListing();
    int oneAtATime = argc > 2 ? atoi(argv[2]) : 500;
    HostType = HOST_UNIX;

    double start = Now();
    OnWorker(ParseOnWorker, const_cast<char*>(path.c_str()));
    double filled = Now();
    long dirs = static_cast<long>(SendMessageA(MainControl(IDC_REMOTE_DIRS), LB_GETCOUNT, 0, 0));
    long files = static_cast<long>(SendMessageA(MainControl(IDC_REMOTE_FILES), LB_GETCOUNT, 0, 0));
    printf("listing %s\n", path.c_str());
    printf("%ld directories and %ld files in the lists after %.2f s\n", dirs, files, filled - start);
    PrintPeakMemory();

    if (oneAtATime > 0) {
        SendMessageA(MainControl(IDC_REMOTE_FILES), LB_RESETCONTENT, 0, 0);
        Pump();
        start = Now();
        OnWorker(OneAtATimeOnWorker, &oneAtATime);
        double perName = (Now() - start) / oneAtATime;
        printf("one name at a time: %.2f ms a name, %.0f s for 100,000\n", perName * 1000, perName * 100000);
    }
    if (argc <= 1)
        DeleteFileA(path.c_str());
    SendMessageA(g_hwndMain, WM_CLOSE, 0, 0);
    Pump();
    return 0;
}
