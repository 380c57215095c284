// Long-session benchmark: the real tarn.exe, driven through its windows,
// runs connect / list / receive / send / disconnect cycles against vsftpd,
// then cycles that each meet one fault of a scripted server. After every
// cycle it reads the process's private memory, its handles and its threads;
// per kind of cycle it prints the growth per cycle, the plain cycles being
// the baseline the faults are set against.
//   bench_cycles.exe [PLAIN_CYCLES] [CYCLES_PER_FAULT]
// Run through bench/cycles.sh, which starts the servers.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/transferfiles.h"

namespace {

constexpr DWORD kPingTimeoutMs = 5000, kPingEveryMs = 50;
constexpr DWORD kFaultTimeoutSeconds = 3;  // the profile's reply time-out for the scripted faults
constexpr unsigned kFileSize = 256 * 1024;

struct Sample {
    double virtualKiB = 0, workingKiB = 0, privateKiB = 0;
    int handles = 0, threads = 0;
};

// The process's memory counters as the system keeps them (VM_COUNTERS):
// under Wine the private bytes read 0, but the virtual size (which holds
// every thread stack and heap block left behind) and the working set do not.
struct VmCounters {
    SIZE_T peakVirtualSize, virtualSize;
    ULONG pageFaultCount;
    SIZE_T peakWorkingSetSize, workingSetSize;
    SIZE_T quotaPeakPagedPoolUsage, quotaPagedPoolUsage, quotaPeakNonPagedPoolUsage, quotaNonPagedPoolUsage;
    SIZE_T pagefileUsage, peakPagefileUsage;
};
using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int kProcessVmCounters = 3;

Sample Measure(HANDLE process, DWORD pid)
{
    Sample s;
    static QueryProcess query =
        reinterpret_cast<QueryProcess>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess"));
    VmCounters vm = {};
    if (query && query(process, kProcessVmCounters, &vm, sizeof vm, nullptr) == 0) {
        s.virtualKiB = vm.virtualSize / 1024.0;
        s.workingKiB = vm.workingSetSize / 1024.0;
    }
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
        s.privateKiB = pmc.PrivateUsage / 1024.0;
    s.handles = HandleCount(process);
    s.threads = ThreadCount(pid);
    return s;
}

// Pings the main window from a thread of its own; the longest answer is
// how long the window kept the user waiting.
struct Pinger {
    HWND window = nullptr;
    volatile LONG stop = 0;
    volatile LONG longestMs = 0, hung = 0;
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(LPVOID p)
    {
        Pinger* self = static_cast<Pinger*>(p);
        while (!self->stop) {
            DWORD start = GetTickCount();
            DWORD_PTR result;
            if (!SendMessageTimeoutA(self->window, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeoutMs, &result))
                InterlockedIncrement(&self->hung);
            LONG took = static_cast<LONG>(GetTickCount() - start);
            if (took > self->longestMs)
                self->longestMs = took;
            Sleep(kPingEveryMs);
        }
        return 0;
    }
    void Start(HWND w)
    {
        window = w;
        thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    void Stop()
    {
        stop = 1;
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    LONG TakeLongest() { return InterlockedExchange(&longestMs, 0); }
};

std::vector<ScriptStep> Logon()
{
    return {Say("220 scripted\r\n"), Hear(), Say("331 password\r\n"), Hear(), Say("230 in\r\n"), Hear(),
            Say("257 \"/\" is current\r\n"), Hear(), Say("214 help ok\r\n"), Hear(), Say("215 UNIX Type: L8\r\n"),
            Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 listing\r\n"), DataConnect(),
            DataSay("-rw-r--r--   1 ftp      ftp       1048576 Jan  1 12:00 big.bin\r\n"), DataClose(),
            Say("226 done\r\n")};
}

// QUIT, answered, for a session that survives its fault.
std::vector<ScriptStep> Quit() { return {Hear(), Say("221 Goodbye.\r\n"), Silent()}; }

enum Action { RECEIVE, SEND, RECEIVE_THEN_ABORT };

struct Fault {
    const char* name;
    Action action;
    std::vector<ScriptStep> steps;  // after the logon and the first listing
};

std::vector<Fault> Faults()
{
    auto join = [](std::vector<ScriptStep> a, const std::vector<ScriptStep>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<ScriptStep> toRetr = {Hear(), Say("200 Type set\r\n"), Hear(), Say("200 PORT ok\r\n"), Hear()};
    return {
        {"data connection never arrives", RECEIVE, join(join(toRetr, {Say("150 Opening data connection.\r\n")}), Quit())},
        {"stall stopped by Abort", RECEIVE_THEN_ABORT,
         join(join(toRetr, {Say("150 Opening data connection.\r\n"), DataConnect(), DataZeros(65536), DataHear(),
                            Say("426 Transfer aborted.\r\n")}),
              Quit())},
        {"421 in reply to RETR", RECEIVE,
         join(toRetr, {Say("421 Service not available, closing control connection.\r\n"), Drop()})},
        {"closed in the middle of a receive", RECEIVE,
         join(toRetr, {Say("150 Opening BINARY mode data connection for big.bin (1048576 bytes).\r\n"), DataConnect(),
                       DataZeros(327680), DataClose(), Drop()})},
        {"closed in the middle of a send", SEND,
         join(toRetr, {Say("150 Ok to send data.\r\n"), DataConnect(), DataHear(65536), DataClose(true), Drop()})},
        {"PORT refused", RECEIVE,
         join({Hear(), Say("200 Type set\r\n"), Hear(), Say("500 Illegal PORT command.\r\n")}, Quit())},
        {"a line without a code", RECEIVE, join(join(toRetr, {Say("the file is on its way\r\n")}), Quit())},
    };
}

struct Kind {
    std::string name;
    std::vector<Sample> samples;  // after each cycle
    LONG longestMs = 0;
    LONG hung = 0;
    int failures = 0;
};

bool HeardStarting(ScriptServer& server, const std::string& verb, size_t from)
{
    std::vector<std::string> heard = server.Heard();
    for (size_t i = from; i < heard.size(); ++i)
        if (heard[i].compare(0, verb.size(), verb) == 0)
            return true;
    return false;
}

// Disconnects when still connected; true once Connect is enabled again.
bool EndSession(TarnApp& app)
{
    if (!app.Enabled(IDC_CONNECT) && app.Enabled(IDC_DISCONNECT))
        app.Click(IDC_DISCONNECT);
    return TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 30000);
}

bool Succeeded(const std::string& line)
{
    static const std::string tail = "transfer succeeded";
    return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

// One plain cycle against vsftpd: nullptr, or the step that failed.
const char* PlainCycle(TarnApp& app, const std::string& serverRoot, const std::string& original)
{
    app.Click(IDC_CONNECT);
    if (!app.ConnectWith("bench-vsftpd", kServerPassword))
        return "host dialog";
    if (!TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "cycle.bin"); }))
        return "remote list";
    app.Settle(200);
    app.Mark();
    if (!app.Select(IDC_REMOTE_FILES, {"cycle.bin"}))
        return "remote selection";
    app.Click(IDC_RECEIVE);
    if (!app.WaitLogged(Succeeded))
        return "receive";
    app.Settle(200);
    if (ReadBytes(app.dir + "\\cycle.bin") != original)
        return "received bytes";
    if (!TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_FILES), "up.bin"); }))
        return "local list";
    app.Mark();
    if (!app.Select(IDC_LOCAL_FILES, {"up.bin"}))
        return "local selection";
    app.Click(IDC_SEND);
    if (!app.WaitLogged(Succeeded))
        return "send";
    app.Settle(200);
    if (ReadBytes(serverRoot + "\\up.bin") != original)
        return "sent bytes";
    return EndSession(app) ? nullptr : "disconnect";
}

// One cycle that meets a fault; false when the program did not come back
// to a usable, disconnected state.
bool FaultCycle(TarnApp& app, const Fault& fault)
{
    std::vector<ScriptStep> steps = Logon();
    steps.insert(steps.end(), fault.steps.begin(), fault.steps.end());
    ScriptServer server(steps);
    if (!server.Listening())
        return false;
    WriteHostProfile("bench-fault", server.Port(), false, "", kFaultTimeoutSeconds);
    app.Click(IDC_CONNECT);
    if (!app.ConnectWith("bench-fault", "secret"))
        return false;
    if (!TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "big.bin"); }))
        return false;
    app.Settle(200);
    size_t heardBefore = server.Heard().size();
    if (fault.action == SEND) {
        app.Select(IDC_LOCAL_FILES, {"up.bin"});
        app.Click(IDC_SEND);
    } else {
        app.Select(IDC_REMOTE_FILES, {"big.bin"});
        app.Click(IDC_RECEIVE);
    }
    const std::string verb = fault.action == SEND ? "STOR" : "PORT";
    if (!TarnApp::WaitFor([&] { return HeardStarting(server, verb, heardBefore); }))
        return false;
    if (fault.action == RECEIVE_THEN_ABORT) {
        app.Settle(300);
        app.Click(IDC_ABORT);
    }
    // The operation ends by itself (time-out, failure, lost connection).
    TarnApp::WaitFor([&] { return !app.Enabled(IDC_ABORT) || app.Enabled(IDC_CONNECT); }, 30000);
    app.Settle(300);
    bool ok = EndSession(app);
    server.Stop();
    return ok;
}

void Report(const Kind& baseline, const std::vector<Kind>& kinds)
{
    printf("%-34s %6s %11s %9s %11s %8s %8s %8s %6s\n", "kind of cycle", "cycles", "virt KiB/c", "vs plain",
           "rss KiB/c", "handles", "threads", "max ms", "fails");
    auto perCycle = [](const Kind& k, double Sample::*field) {
        if (k.samples.size() < 2)
            return 0.0;
        // The first cycle warms up: growth from its end to the last one's.
        return (k.samples.back().*field - k.samples.front().*field) / static_cast<double>(k.samples.size() - 1);
    };
    double base = perCycle(baseline, &Sample::virtualKiB);
    for (const Kind& k : kinds) {
        double growth = perCycle(k, &Sample::virtualKiB);
        double resident = perCycle(k, &Sample::workingKiB);
        int handles = k.samples.empty() ? 0 : k.samples.back().handles - k.samples.front().handles;
        int threads = k.samples.empty() ? 0 : k.samples.back().threads - k.samples.front().threads;
        char ratio[32] = "-";
        if (base > 0.5 || base < -0.5)
            snprintf(ratio, sizeof ratio, "%.2f", growth / base);
        printf("%-34s %6zu %11.1f %9s %11.1f %+8d %+8d %8ld %6d\n", k.name.c_str(), k.samples.size(), growth, ratio,
               resident, handles, threads, static_cast<long>(k.longestMs), k.failures);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int plainCycles = argc > 1 ? atoi(argv[1]) : 200;
    int perFault = argc > 2 ? atoi(argv[2]) : 10;
    setvbuf(stdout, nullptr, _IONBF, 0);

    // The way of counting handles, checked on this process: 16 new events
    // must count as 16 more.
    constexpr int kProbeEvents = 16;
    int before = HandleCount(GetCurrentProcess());
    std::vector<HANDLE> events;
    for (int i = 0; i < kProbeEvents; ++i)
        events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    int after = HandleCount(GetCurrentProcess());
    for (HANDLE e : events)
        CloseHandle(e);
    printf("handle count by probing: %d new events counted as %d (GetProcessHandleCount says %s)\n", kProbeEvents,
           after - before, [] {
               DWORD n = 0;
               static char text[32];
               if (GetProcessHandleCount(GetCurrentProcess(), &n))
                   snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(n));
               else
                   snprintf(text, sizeof text, "nothing");
               return text;
           }());

    RegistryGuard registry;
    WriteTestOptions();
    const RealServer& vsftpd = kRealServers[0];
    WriteHostProfile("bench-vsftpd", ServerPort(vsftpd), false);
    std::string serverRoot = ServerRoot(vsftpd, false);
    std::string original(kFileSize, '\0');
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>((i * 2654435761u) >> 13);
    if (!WriteBytes(serverRoot + "\\cycle.bin", original)) {
        printf("cannot write %s\\cycle.bin (are the servers started?)\n", serverRoot.c_str());
        return 2;
    }

    TarnApp app;
    app.dir = TempDirectory("bench-cycles");
    WriteBytes(app.dir + "\\up.bin", original);
    if (!app.Start("bench-cycles")) {
        printf("tarn.exe did not start\n");
        return 2;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(app.main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, pid);
    Sample first = Measure(process, pid);
    printf("tarn.exe at start: virtual %.0f KiB, working set %.0f KiB, private %.0f KiB, %d handles, %d threads\n",
           first.virtualKiB, first.workingKiB, first.privateKiB, first.handles, first.threads);
    Pinger pinger;
    pinger.Start(app.main);

    std::vector<Kind> kinds;
    Kind plain;
    plain.name = "plain (vsftpd)";
    for (int i = 0; i < plainCycles; ++i) {
        if (const char* failed = PlainCycle(app, serverRoot, original)) {
            ++plain.failures;
            std::vector<std::string> lines = app.NewLines();
            printf("  plain cycle %d failed at: %s; last line: %s\n", i + 1, failed,
                   lines.empty() ? "" : lines.back().c_str());
            EndSession(app);
        }
        plain.samples.push_back(Measure(process, pid));
        plain.longestMs = std::max(plain.longestMs, pinger.TakeLongest());
        if ((i + 1) % 50 == 0)
            printf("  %d plain cycles: virtual %.0f KiB, working set %.0f KiB, %d handles\n", i + 1,
                   plain.samples.back().virtualKiB, plain.samples.back().workingKiB, plain.samples.back().handles);
    }
    kinds.push_back(plain);
    Kind allFaults;
    allFaults.name = "all faults together";
    for (const Fault& fault : Faults()) {
        Kind k;
        k.name = fault.name;
        for (int i = 0; i < perFault; ++i) {
            if (!FaultCycle(app, fault)) {
                ++k.failures;
                printf("  %s: cycle %d did not end disconnected\n", fault.name, i + 1);
                EndSession(app);
            }
            k.samples.push_back(Measure(process, pid));
            k.longestMs = std::max(k.longestMs, pinger.TakeLongest());
        }
        allFaults.samples.insert(allFaults.samples.end(), k.samples.begin(), k.samples.end());
        allFaults.longestMs = std::max(allFaults.longestMs, k.longestMs);
        allFaults.failures += k.failures;
        kinds.push_back(k);
        printf("  %s: virtual %.0f KiB, working set %.0f KiB, %d handles\n", fault.name, k.samples.back().virtualKiB,
               k.samples.back().workingKiB, k.samples.back().handles);
    }
    kinds.push_back(allFaults);
    pinger.Stop();
    Sample last = Measure(process, pid);

    printf("\n");
    Report(plain, kinds);
    printf("\nhandles: %d at start, %d after the first cycle, %d at the end; threads %d -> %d; window pings "
           "unanswered within %lu ms: %ld\n",
           first.handles, plain.samples.empty() ? first.handles : plain.samples.front().handles, last.handles,
           first.threads, last.threads, static_cast<unsigned long>(kPingTimeoutMs), static_cast<long>(pinger.hung));
    printf("memory: virtual %.0f -> %.0f KiB, working set %.0f -> %.0f KiB, private %.0f -> %.0f KiB\n",
           first.virtualKiB, last.virtualKiB, first.workingKiB, last.workingKiB, first.privateKiB, last.privateKiB);
    CloseHandle(process);
    app.Click(IDC_EXIT);
    app.WaitExit();
    int failures = 0;
    for (const Kind& k : kinds)
        failures += &k == &kinds.back() ? 0 : k.failures;
    return failures == 0 ? 0 : 1;
}
