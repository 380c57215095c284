// Small-files benchmark: a tree of many small files received and sent as a
// tree, once through the real tarn.exe driven through its windows (a click
// on Receive or Send with the tree's directory selected, timed to the end of
// the operation: Abort off, the lists back, both sides back where they
// began), and once by a bare Win32 loop in this process that carries out
// the same FTP commands per file and nothing else:
//   TYPE I once; per file CWD when the directory changes (MKD first when
//   sending), the listener and PORT (active) or PASV and the connect
//   (passive), RETR or STOR, the data connection's bytes in 64 KiB blocks
//   to or from the file, the close, the final reply.
// Blocking sockets, the replies read through a buffer: what Windows (here
// Wine) needs for each file. With TLS the bare loop secures the control and
// every data connection with TARN's own TLS stream (net/tls: Schannel through
// SSPI), the same handshake, records and close_notify as TARN's, so that the
// figure is the cost of a file around the TLS stream.
//
//   bench_smallfiles.exe FILES DIRS ROUND [CONFIG...]
//
// CONFIG is active, passive, active_tls or passive_tls (default all four).
// The tree is small\dNN\fNNNNN.bin on the servers (bench/smallfiles.sh
// makes it); sends go to /up. Prints one line per run:
//   <tarn|bare> <recv|send> <config> <files> <seconds>
#include <winsock.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "net/tls.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"

namespace {

struct Config {
    const char* name;
    bool passive;
    bool tls;
};
constexpr Config kConfigs[] = {
    {"active", false, false}, {"passive", true, false}, {"active_tls", false, true}, {"passive_tls", true, true}};

constexpr int kBlock = 65536;
constexpr DWORD kPollMs = 10;
constexpr DWORD kRunTimeoutMs = 600000;
const char kTarget[] = "127.0.0.1";

int g_files = 1000, g_dirs = 10;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / f.QuadPart;
}

std::string DirName(int d)
{
    char name[16];
    snprintf(name, sizeof name, "d%02d", d);
    return name;
}

// File k of the tree and the directory it lies in.
int DirOf(int k) { return static_cast<int>(static_cast<long long>(k) * g_dirs / g_files); }
std::string FileName(int k)
{
    char name[24];
    snprintf(name, sizeof name, "f%05d.bin", k);
    return name;
}

// Files below a directory (recursively) and their bytes.
void CountTree(const std::string& dir, int* files, long long* bytes)
{
    WIN32_FIND_DATAA f;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &f);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!strcmp(f.cFileName, ".") || !strcmp(f.cFileName, ".."))
            continue;
        if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CountTree(dir + "\\" + f.cFileName, files, bytes);
        } else {
            ++*files;
            *bytes += (static_cast<long long>(f.nFileSizeHigh) << 32) | f.nFileSizeLow;
        }
    } while (FindNextFileA(h, &f));
    FindClose(h);
}

bool TreeComplete(const std::string& dir, long long expectedBytes, const char* what)
{
    int files = 0;
    long long bytes = 0;
    CountTree(dir, &files, &bytes);
    if (files == g_files && bytes == expectedBytes)
        return true;
    fprintf(stderr, "%s: %d files, %lld bytes in %s (expected %d, %lld)\n", what, files, bytes, dir.c_str(), g_files,
            expectedBytes);
    return false;
}

// ---- The bare loop ----------------------------------------------------------

struct Control {
    SOCKET s = INVALID_SOCKET;
    bool tls = false;
    std::string in;  // received, not yet read as lines
    std::string said, heard;  // the last command and reply line, for a failure's report
};

int SendAllBytes(SOCKET s, bool tls, const char* p, int n)
{
    for (int sent = 0; sent < n;) {
        int r = tls ? TlsSend(s, p + sent, n - sent) : send(s, p + sent, n - sent, 0);
        if (r <= 0)
            return -1;
        sent += r;
    }
    return n;
}

int RecvSome(SOCKET s, bool tls, char* p, int n)
{
    return tls ? TlsRecv(s, p, n, 0) : recv(s, p, n, 0);
}

// One whole reply (multi-line ones to their last line): its code, -1 when
// the connection ended. *last gets its last line.
int Reply(Control& c, std::string* last = nullptr)
{
    int code = 0;
    for (;;) {
        size_t lf;
        while ((lf = c.in.find('\n')) == std::string::npos) {
            char buffer[4096];
            int n = RecvSome(c.s, c.tls, buffer, sizeof buffer);
            if (n <= 0)
                return -1;
            c.in.append(buffer, static_cast<size_t>(n));
        }
        std::string line = c.in.substr(0, lf + 1);
        c.in.erase(0, lf + 1);
        bool coded = line.size() >= 4 && isdigit(static_cast<unsigned char>(line[0])) &&
                     isdigit(static_cast<unsigned char>(line[1])) && isdigit(static_cast<unsigned char>(line[2]));
        if (!coded)
            continue;
        int lineCode = atoi(line.substr(0, 3).c_str());
        if (code == 0)
            code = lineCode;
        if (lineCode == code && line[3] == ' ') {
            c.heard = line;
            if (last)
                *last = line;
            return code;
        }
    }
}

int Command(Control& c, const std::string& text, std::string* last = nullptr)
{
    c.said = text;
    std::string line = text + "\r\n";
    if (SendAllBytes(c.s, c.tls, line.data(), static_cast<int>(line.size())) < 0)
        return -1;
    return Reply(c, last);
}

bool Logon(Control& c, int port, bool tls)
{
    c.s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = inet_addr(kTarget);
    a.sin_port = htons(static_cast<u_short>(port));
    if (connect(c.s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || Reply(c) != 220)
        return false;
    if (tls) {
        if (Command(c, "AUTH TLS") != 234 || TlsAttach(c.s, kTarget, false) != TLS_OK)
            return false;
        c.tls = true;
        if (Command(c, "PBSZ 0") != 200 || Command(c, "PROT P") != 200)
            return false;
    }
    return Command(c, std::string("USER ") + kServerUser) == 331 &&
           Command(c, std::string("PASS ") + kServerPassword) == 230;
}

void Quit(Control& c)
{
    Command(c, "QUIT");
    if (c.tls)
        TlsDetach(c.s, true);
    closesocket(c.s);
}

// The data connection of one transfer command, up to its preliminary reply
// and (with TLS) its handshake; INVALID_SOCKET when it failed.
SOCKET OpenData(Control& c, bool passive, const std::string& command)
{
    SOCKET data = INVALID_SOCKET;
    if (passive) {
        std::string reply;
        unsigned h[6];
        if (Command(c, "PASV", &reply) != 227)
            return INVALID_SOCKET;
        size_t open = reply.find('(');
        if (open == std::string::npos || sscanf(reply.c_str() + open + 1, "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2],
                                                &h[3], &h[4], &h[5]) != 6)
            return INVALID_SOCKET;
        data = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr(kTarget);
        a.sin_port = htons(static_cast<u_short>(h[4] * 256 + h[5]));
        if (connect(data, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || Command(c, command) / 100 != 1) {
            closesocket(data);
            return INVALID_SOCKET;
        }
    } else {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr(kTarget);
        int length = sizeof a;
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0 || listen(listener, 1) != 0) {
            closesocket(listener);
            return INVALID_SOCKET;
        }
        unsigned port = ntohs(a.sin_port);
        char text[64];
        snprintf(text, sizeof text, "PORT 127,0,0,1,%u,%u", port >> 8, port & 255);
        if (Command(c, text) != 200 || Command(c, command) / 100 != 1) {
            closesocket(listener);
            return INVALID_SOCKET;
        }
        data = accept(listener, nullptr, nullptr);
        closesocket(listener);
        if (data == INVALID_SOCKET)
            return INVALID_SOCKET;
    }
    if (c.tls && TlsAttach(data, kTarget, false) != TLS_OK) {
        closesocket(data);
        return INVALID_SOCKET;
    }
    return data;
}

void CloseData(SOCKET data, bool tls)
{
    if (tls)
        TlsDetach(data, true);
    closesocket(data);
}

bool BareReceiveFile(Control& c, bool passive, const std::string& name)
{
    SOCKET data = OpenData(c, passive, "RETR " + name);
    if (data == INVALID_SOCKET)
        return false;
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    static char block[kBlock];
    for (;;) {
        int n = RecvSome(data, c.tls, block, kBlock);
        if (n <= 0)
            break;
        DWORD written = 0;
        WriteFile(file, block, static_cast<DWORD>(n), &written, nullptr);
    }
    CloseHandle(file);
    CloseData(data, c.tls);
    return Reply(c) == 226;
}

bool BareSendFile(Control& c, bool passive, const std::string& name)
{
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    SOCKET data = OpenData(c, passive, "STOR " + name);
    if (data == INVALID_SOCKET) {
        CloseHandle(file);
        return false;
    }
    static char block[kBlock];
    bool ok = true;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, block, kBlock, &n, nullptr) || n == 0)
            break;
        if (SendAllBytes(data, c.tls, block, static_cast<int>(n)) < 0) {
            ok = false;
            break;
        }
    }
    CloseHandle(file);
    CloseData(data, c.tls);
    return Reply(c) == 226 && ok;
}

// The whole tree by the bare loop, from the directory that holds "small"
// (locally and on the server); the seconds, or -1.
double BareTree(const Config& config, int port, bool send, const std::string& localDir, const char* remoteDir)
{
    Control c;
    if (!Logon(c, port, config.tls)) {
        fprintf(stderr, "bare loop: cannot log on to port %d\n", port);
        return -1;
    }
    SetCurrentDirectoryA(localDir.c_str());
    if (Command(c, std::string("CWD ") + remoteDir) != 250)
        return -1;
    double t0 = Now();
    bool ok = Command(c, "TYPE I") == 200;
    if (send) {
        ok = ok && Command(c, "MKD small") / 100 == 2;
    } else {
        CreateDirectoryA("small", nullptr);
    }
    const std::string base = std::string(remoteDir) + (strcmp(remoteDir, "/") ? "/" : "") + "small/";
    int dir = -1;
    for (int k = 0; ok && k < g_files; ++k) {
        if (DirOf(k) != dir) {
            dir = DirOf(k);
            std::string path = localDir + "\\small\\" + DirName(dir);
            if (send)
                ok = Command(c, "MKD " + base + DirName(dir)) / 100 == 2;
            else
                CreateDirectoryA(path.c_str(), nullptr);
            ok = ok && Command(c, "CWD " + base + DirName(dir)) == 250 && SetCurrentDirectoryA(path.c_str());
        }
        if (ok)
            ok = send ? BareSendFile(c, config.passive, FileName(k)) : BareReceiveFile(c, config.passive, FileName(k));
    }
    double t = Now() - t0;
    SetCurrentDirectoryA(localDir.c_str());
    if (!ok)
        fprintf(stderr, "bare loop: %s failed (%s) after \"%s\": %s\n", send ? "send" : "receive", config.name,
                c.said.c_str(), c.heard.c_str());
    Quit(c);
    return ok ? t : -1;
}

// ---- TARN through its windows -----------------------------------------------

bool PollUntil(bool (*pred)(TarnApp&), TarnApp& app, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!pred(app)) {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(kPollMs);
    }
    return true;
}

std::string g_startLocal, g_startRemote;

bool WalkBegan(TarnApp& app)
{
    return !app.Visible(IDC_LOCAL_FILES) || app.Text(IDC_REMOTE_DIR_TEXT) != g_startRemote ||
           app.Text(IDC_LOCAL_DIR_TEXT) != g_startLocal;
}

bool WalkEnded(TarnApp& app)
{
    return !app.Enabled(IDC_ABORT) && app.Visible(IDC_LOCAL_FILES) && app.Visible(IDC_REMOTE_DIRS) &&
           app.Text(IDC_LOCAL_DIR_TEXT) == g_startLocal && app.Text(IDC_REMOTE_DIR_TEXT) == g_startRemote;
}

bool RemoteGoTo(TarnApp& app, const std::string& path)
{
    app.SelectNone(IDC_REMOTE_DIRS);
    app.Click(IDC_REMOTE_GOTO);
    app.Answer(path);
    if (!TarnApp::WaitFor([&] { return app.Text(IDC_REMOTE_DIR_TEXT) == path; }))
        return false;
    app.Settle(300);
    return true;
}

// One tree transfer of "small" by tarn.exe from where it stands: the seconds
// from the click to the end of the operation, or -1.
double TarnTree(TarnApp& app, bool send)
{
    int dirList = send ? IDC_LOCAL_DIRS : IDC_REMOTE_DIRS;
    app.SelectNone(send ? IDC_LOCAL_FILES : IDC_REMOTE_FILES);
    if (!app.Select(dirList, {"small"})) {
        fprintf(stderr, "tarn: no \"small\" in the %s directories\n", send ? "local" : "remote");
        return -1;
    }
    g_startLocal = app.Text(IDC_LOCAL_DIR_TEXT);
    g_startRemote = app.Text(IDC_REMOTE_DIR_TEXT);
    double t0 = Now();
    app.Click(send ? IDC_SEND : IDC_RECEIVE);
    if (!PollUntil(WalkBegan, app, 30000) || !PollUntil(WalkEnded, app, kRunTimeoutMs)) {
        fprintf(stderr, "tarn: the tree %s did not end\n", send ? "send" : "receive");
        return -1;
    }
    double t = Now() - t0;
    app.Settle(300);
    return t;
}

bool TarnConnect(TarnApp& app, const std::string& folder)
{
    app.Click(IDC_CONNECT);
    if (!app.ConnectWith(folder, kServerPassword) ||
        !TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_DIRS), "small"); }, 60000)) {
        fprintf(stderr, "tarn: cannot connect with %s\n", folder.c_str());
        return false;
    }
    app.Settle(300);
    return true;
}

void TarnDisconnect(TarnApp& app)
{
    if (app.Enabled(IDC_DISCONNECT))
        app.Click(IDC_DISCONNECT);
    TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT); }, 30000);
    app.Settle(300);
}

void Report(const char* who, bool send, const Config& config, double seconds)
{
    if (seconds < 0)
        return;
    printf("%s %s %s %d %.3f\n", who, send ? "send" : "recv", config.name, g_files, seconds);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s FILES DIRS ROUND [active|passive|active_tls|passive_tls...]\n", argv[0]);
        return 2;
    }
    g_files = atoi(argv[1]);
    g_dirs = atoi(argv[2]);
    int round = atoi(argv[3]);
    std::vector<const Config*> configs;
    for (int i = 4; i < argc; ++i)
        for (const Config& c : kConfigs)
            if (!strcmp(argv[i], c.name))
                configs.push_back(&c);
    if (configs.empty())
        for (const Config& c : kConfigs)
            configs.push_back(&c);

    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    if (!TlsAvailable()) {
        fprintf(stderr, "no TLS under this Wine\n");
        return 1;
    }
    RegistryGuard registry;
    WriteTestOptions();
    const RealServer& plain = kRealServers[0];
    const RealServer& secure = kTlsServers[0];
    for (const Config& c : kConfigs) {
        std::string folder = std::string("bench-") + c.name;
        WriteHostProfile(folder, ServerPort(c.tls ? secure : plain), false);
        RegSetText(folder, "PASV", c.passive ? "1" : "0");
        if (c.tls) {
            RegSetText(folder, "TLS", "1");
            RegSetText(folder, "TLSCERT", ServerFingerprint(secure));
        }
    }
    const long long treeBytes = [] {
        int files = 0;
        long long bytes = 0;
        CountTree(ServerRoot(kRealServers[0], false) + "\\small", &files, &bytes);
        return bytes;
    }();

    TarnApp app;
    app.dir = TempDirectory("bench-smallfiles");
    std::string bareDir = TempDirectory("bench-smallfiles-bare");
    if (!app.Start("bench-smallfiles")) {
        fprintf(stderr, "tarn.exe did not start\n");
        return 2;
    }
    int failures = 0;
    for (const Config* config : configs) {
        const RealServer& server = config->tls ? secure : plain;
        const std::string root = ServerRoot(server, false);
        if (!TarnConnect(app, std::string("bench-") + config->name))
            return 1;
        for (int direction = 0; direction < 2; ++direction) {
            bool send = direction == 1;
            // Turn about which goes first.
            for (int k = 0; k < 2; ++k) {
                bool tarnNow = (k + round + direction) % 2 == 0;
                double seconds;
                if (tarnNow) {
                    if (send) {
                        RemoveTree(root + "\\up\\small");
                        if (!RemoteGoTo(app, "/up"))
                            return 1;
                    } else {
                        RemoveTree(app.dir + "\\small");
                    }
                    seconds = TarnTree(app, send);
                    if (send) {
                        if (seconds >= 0 && !TreeComplete(root + "\\up\\small", treeBytes, "tarn send"))
                            seconds = -1;
                        if (!RemoteGoTo(app, "/"))
                            return 1;
                    } else if (seconds >= 0 && !TreeComplete(app.dir + "\\small", treeBytes, "tarn receive")) {
                        seconds = -1;
                    }
                    Report("tarn", send, *config, seconds);
                } else {
                    if (send) {
                        RemoveTree(root + "\\up\\small");
                        // The tree received by the bare loop, sent back.
                        if (!DirExists(bareDir + "\\small"))
                            BareTree(*config, ServerPort(server), false, bareDir, "/");
                    } else {
                        RemoveTree(bareDir + "\\small");
                    }
                    seconds = BareTree(*config, ServerPort(server), send, bareDir, send ? "/up" : "/");
                    if (seconds >= 0 && !TreeComplete(send ? root + "\\up\\small" : bareDir + "\\small", treeBytes,
                                                      send ? "bare send" : "bare receive"))
                        seconds = -1;
                    Report("bare", send, *config, seconds);
                }
                if (seconds < 0)
                    ++failures;
            }
        }
        TarnDisconnect(app);
    }
    app.Click(IDC_EXIT);
    app.WaitExit();
    RemoveTree(bareDir);
    WSACleanup();
    return failures == 0 ? 0 : 1;
}
