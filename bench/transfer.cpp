// Transfer benchmark against a real FTP server on loopback (active mode):
// TARN's RetrieveFile / StoreFile, run on a worker thread under the real
// main window (so the byte counters and the status log take part), against
// a bare Win32 loop over the same control connection that does nothing but
// recv blocks and write them (receiving), or read blocks and send them
// (sending), on a non-blocking socket that waits in select() as TARN's
// cancellable socket layer does. The bare loop runs twice: with 64 KiB
// blocks, the floor that TARN's own 64 KiB blocks are measured against, and
// with the small sizes of old (4000-byte receives; 512-byte reads sent in
// pieces of at most 1024), to show what the block size alone is worth.
//
//   bench_transfer.exe PORT REMOTE-FILE [ROUNDS [recv|send|both]]
//
// The server must hold REMOTE-FILE in the root of user tarnftp; the local
// files are made in the current directory. Prints one line per figure:
//   <name> <bytes> <seconds> <MiB/s>
// (bench/transfer.sh runs it beside curl and prints the table.)
#include <winsock.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <functional>
#include <thread>

#include "store/options.h"
#include "ftp/command.h"
#include "ftp/logon.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "shell/app.h"
#include "shell/busy.h"
#include "shell/startup.h"

namespace {

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / f.QuadPart;
}

// Runs work on a worker thread while this (GUI) thread dispatches messages.
void OnWorker(const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    DWORD gui = GetCurrentThreadId();
    std::thread worker([&] {
        work();
        done = true;
        PostThreadMessageA(gui, WM_NULL, 0, 0);
    });
    while (!done) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (!done)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    worker.join();
}

long long FileSize(const char* name)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The bare loop's data connection: listen, PORT, the command, accept.
SOCKET BareOpen(SOCKET control, const char* command)
{
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    int length = sizeof a;
    if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) != 0 || listen(listener, 1) != 0) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    char port[32];
    FormatPortCommand(port, 0x7F000001ul, ntohs(a.sin_port));
    if (SendCommand(control, "%s", port) != 2 || SendCommand(control, "%s", command) != 1) {
        closesocket(listener);
        return INVALID_SOCKET;
    }
    SOCKET data = accept(listener, nullptr, nullptr);
    closesocket(listener);
    return data;
}

// The socket calls of the bare loops: non-blocking ones that wait in
// select(), like TARN's cancellable layer. The bare loops' sizes:
struct BareSizes { int receive, read, piece; };
constexpr BareSizes kLargeBlocks = {65536, 65536, 65536};
constexpr BareSizes kSmallBlocks = {4000, 512, 1024};
constexpr BareSizes kHugeBlocks = {262144, 262144, 262144};
constexpr int kBareBlock = 262144;

void WaitFor(SOCKET s, bool write)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, nullptr);
}

int Recv(SOCKET s, char* buffer, int length)
{
    for (;;) {
        int n = recv(s, buffer, length, 0);
        if (n >= 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            return n;
        WaitFor(s, false);
    }
}

int Send(SOCKET s, const char* buffer, int length)
{
    for (;;) {
        int n = send(s, buffer, length, 0);
        if (n >= 0 || WSAGetLastError() != WSAEWOULDBLOCK)
            return n;
        WaitFor(s, true);
    }
}

void SetMode(SOCKET s)
{
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}

long long BareReceive(SOCKET control, const char* remote, const char* local, const BareSizes& sizes)
{
    char command[300];
    _snprintf(command, sizeof command, "RETR %s", remote);
    SOCKET data = BareOpen(control, command);
    if (data == INVALID_SOCKET)
        return -1;
    SetMode(data);
    HANDLE file = CreateFileA(local, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    static char block[kBareBlock];
    long long total = 0;
    for (;;) {
        int n = Recv(data, block, sizes.receive);
        if (n <= 0)
            break;
        DWORD written = 0;
        WriteFile(file, block, n, &written, nullptr);
        total += n;
    }
    CloseHandle(file);
    closesocket(data);
    return GetReply(control) == 2 ? total : -1;
}

long long BareSend(SOCKET control, const char* local, const char* remote, const BareSizes& sizes)
{
    char command[300];
    _snprintf(command, sizeof command, "STOR %s", remote);
    HANDLE file = CreateFileA(local, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    SOCKET data = BareOpen(control, command);
    if (data == INVALID_SOCKET) {
        CloseHandle(file);
        return -1;
    }
    SetMode(data);
    static char block[kBareBlock];
    long long total = 0;
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, block, static_cast<DWORD>(sizes.read), &n, nullptr) || n == 0)
            break;
        for (DWORD sent = 0; sent < n;) {
            DWORD left = n - sent;
            int piece = static_cast<int>(left < static_cast<DWORD>(sizes.piece) ? left : static_cast<DWORD>(sizes.piece));
            int r = Send(data, block + sent, piece);
            if (r <= 0) {
                n = 0;
                break;
            }
            sent += r;
        }
        if (n == 0)
            break;
        total += n;
    }
    CloseHandle(file);
    closesocket(data);
    return GetReply(control) == 2 ? total : -1;
}

void Report(const char* name, long long bytes, double seconds)
{
    printf("%s %lld %.3f %.2f\n", name, bytes, seconds, bytes / seconds / (1024.0 * 1024.0));
    fflush(stdout);
}

// TARN's receive (direction 0: RETR into tarn-down.bin) or send (STOR of
// it) on a worker, as the program runs them: the bytes moved, -1 when the
// transfer failed.
long long TarnTransfer(SOCKET s, int direction, const char* retr, const char* stor)
{
    long long size = FileSize("tarn-down.bin");
    int r = 0;
    if (direction == 0) {
        OnWorker([&] { r = RetrieveFile(s, retr, "tarn-down.bin", "tarn-down.bin", 'I'); });
        return r == 2 ? FileSize("tarn-down.bin") : -1;
    }
    OnWorker([&] { r = StoreFile(s, stor, "tarn-down.bin", 'I'); });
    return r == 2 ? size : -1;
}

}  // namespace

// Rounds of TARN's receive and send of REMOTE through a session of its own
// on PORT, with TLS when FINGERPRINT is given (the certificate to trust);
// reports NAME_recv and NAME_send.
static bool TarnRounds(const char* name, int port, const char* fingerprint, const char* remote, int rounds,
                       const bool wanted[2])
{
    HostProfile.ftpPort = static_cast<DWORD>(port);
    HostProfile.tls = fingerprint ? 1 : 0;
    lstrcpynA(HostProfile.trustedCertificate, fingerprint ? fingerprint : "", sizeof HostProfile.trustedCertificate);
    SOCKET s = ConnectSession("127.0.0.1", "tarnftp", "tarn-pass");
    if (s == INVALID_SOCKET) {
        fprintf(stderr, "cannot log on to 127.0.0.1:%d\n", port);
        return false;
    }
    SetTransferType(s, 'I');
    char retr[300], stor[300];
    _snprintf(retr, sizeof retr, "RETR %s", remote);
    _snprintf(stor, sizeof stor, "STOR %s.tarn-up", remote);
    bool ok = true;
    for (int round = 0; ok && round < rounds; ++round) {
        for (int direction = 0; ok && direction < 2; ++direction) {
            if (!wanted[direction])
                continue;
            char label[40];
            _snprintf(label, sizeof label, "%s_%s", name, direction == 0 ? "recv" : "send");
            double t0 = Now();
            long long bytes = TarnTransfer(s, direction, retr, stor);
            double t = Now() - t0;
            if (bytes < 0) {
                fprintf(stderr, "%s failed\n", label);
                ok = false;
            } else {
                Report(label, bytes, t);
            }
        }
    }
    SendCommand(s, "QUIT");
    FtpSession.controlSocket = ReleaseSocket(s);
    FtpSession.loggedOn = 0;
    return ok;
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s PORT REMOTE-FILE [ROUNDS [recv|send|both [TLS-PORT FINGERPRINT\n"
                "        [PY-PORT PYTLS-PORT PYTLS-FINGERPRINT]]]]\n", argv[0]);
        return 2;
    }
    int port = atoi(argv[1]);
    const char* remote = argv[2];
    int rounds = argc > 3 ? atoi(argv[3]) : 1;
    const char* which = argc > 4 ? argv[4] : "both";
    bool wanted[2] = {strcmp(which, "send") != 0, strcmp(which, "recv") != 0};

    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
    g_guiThreadId = GetCurrentThreadId();
    BusyLockInit();
    int exitCode = 0;
    if (!CreateMainWindow(GetModuleHandleA(nullptr), nullptr, SW_SHOWNORMAL, &exitCode)) {
        fprintf(stderr, "no main window\n");
        return 1;
    }

    HostProfile.ftpPort = static_cast<DWORD>(port);
    HostProfile.timeout = 60;
    ProgramOptions.bell = 0;
    SOCKET s = ConnectTcp("127.0.0.1", "ftp");
    if (s == INVALID_SOCKET || GetReply(s) != 2 || SendCommand(s, "USER tarnftp") != 3 ||
        SendCommand(s, "PASS tarn-pass") != 2) {
        fprintf(stderr, "cannot log on to 127.0.0.1:%d\n", port);
        return 1;
    }
    FtpSession.controlSocket = s;
    FtpSession.loggedOn = 1;
    FtpSession.transferType = 'A';
    SetTransferType(s, 'I');

    char retr[300], stor[300];
    _snprintf(retr, sizeof retr, "RETR %s", remote);
    _snprintf(stor, sizeof stor, "STOR %s.tarn-up", remote);
    // 0: TARN; 1: bare loop, 64 KiB blocks; 2: bare loop, the small sizes;
    // 3: bare loop, 256 KiB blocks.
    constexpr int kVariants = 4;
    static const char* const kNames[kVariants][2] = {{"tarn_recv", "tarn_send"},
                                                     {"bare64k_recv", "bare64k_send"},
                                                     {"baresmall_recv", "baresmall_send"},
                                                     {"bare256k_recv", "bare256k_send"}};
    char up[300];
    _snprintf(up, sizeof up, "%s.bare-up", remote);
    for (int round = 0; round < rounds; ++round) {
        for (int direction = 0; direction < 2; ++direction) {
            if (!wanted[direction])
                continue;
            // Rotate the order, so that none always goes first.
            for (int k = 0; k < kVariants; ++k) {
                int variant = (k + round) % kVariants;
                const BareSizes& sizes = variant == 1 ? kLargeBlocks : variant == 3 ? kHugeBlocks : kSmallBlocks;
                long long bytes = -1;
                double t0 = Now();
                if (variant == 0) {
                    bytes = TarnTransfer(s, direction, retr, stor);
                } else if (direction == 0) {
                    OnWorker([&] { bytes = BareReceive(s, remote, "bare-down.bin", sizes); });
                } else {
                    OnWorker([&] { bytes = BareSend(s, "bare-down.bin", up, sizes); });
                }
                double t = Now() - t0;
                if (bytes < 0) {
                    fprintf(stderr, "%s failed\n", kNames[variant][direction]);
                    return 1;
                }
                Report(kNames[variant][direction], bytes, t);
            }
        }
    }
    SendCommand(s, "QUIT");
    FtpSession.controlSocket = ReleaseSocket(s);
    FtpSession.loggedOn = 0;

    // FTPS: the same file through TARN with TLS on the control and data
    // connections, against the FTPS vsftpd (its port and certificate).
    if (argc > 6 && !TarnRounds("tls", atoi(argv[5]), argv[6], remote, rounds, wanted))
        return 1;
    // The same pair against pyftpdlib, plain and with TLS: one server with
    // and without TLS, for the cost of TARN's TLS where the server's own TLS
    // is not what limits it.
    if (argc > 9 && (!TarnRounds("py", atoi(argv[7]), nullptr, remote, rounds, wanted) ||
                     !TarnRounds("pytls", atoi(argv[8]), argv[9], remote, rounds, wanted)))
        return 1;
    DestroyWindow(g_hwndMain);
    WSACleanup();
    return 0;
}
