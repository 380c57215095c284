// Receive loop over loopback: a bare blocking recv() loop against the same
// loop through BlockingRecv (non-blocking socket, cancellable wait), with
// the 4096-byte block of the transfers. Prints MiB/s and the ratio.
//   bench_recv_loop.exe [MiB] [port]     (defaults 256, TARN_PORT_BASE + 90)
#include <winsock.h>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <thread>
#include <vector>

#include "net/blocking.h"
#include "net/socket.h"

namespace {

SOCKET Listen(int port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// Sends `bytes` to the first client of the listener, then closes.
void Sender(SOCKET listener, long long bytes)
{
    SOCKET c = accept(listener, nullptr, nullptr);
    std::vector<char> block(65536, 'x');
    while (bytes > 0) {
        int n = send(c, block.data(), static_cast<int>(bytes < 65536 ? bytes : 65536), 0);
        if (n <= 0)
            break;
        bytes -= n;
    }
    closesocket(c);
}

double Run(int port, long long bytes, bool blockingLayer, long long* received)
{
    SOCKET listener = Listen(port);
    if (listener == INVALID_SOCKET) {
        fprintf(stderr, "cannot listen on port %d\n", port);
        exit(1);
    }
    std::thread sender(Sender, listener, bytes);
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    a.sin_addr.s_addr = inet_addr("127.0.0.1");
    int rc = blockingLayer ? BlockingConnect(s, reinterpret_cast<sockaddr*>(&a), sizeof a)
                           : connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (rc != 0) {
        fprintf(stderr, "connect failed: %d\n", WSAGetLastError());
        exit(1);
    }
    char block[4096];
    long long total = 0;
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (;;) {
        int n = blockingLayer ? BlockingRecv(s, block, sizeof block, 0) : recv(s, block, sizeof block, 0);
        if (n <= 0)
            break;
        total += n;
    }
    QueryPerformanceCounter(&t1);
    sender.join();
    closesocket(s);
    closesocket(listener);
    *received = total;
    return static_cast<double>(t1.QuadPart - t0.QuadPart) / f.QuadPart;
}

}  // namespace

int main(int argc, char** argv)
{
    WSADATA data;
    WSAStartup(0x0101, &data);
    long long mib = argc > 1 ? atoll(argv[1]) : 256;
    const char* baseText = getenv("TARN_PORT_BASE");
    int port = argc > 2 ? atoi(argv[2]) : (baseText ? atoi(baseText) : 21000) + 90;
    long long bytes = mib * 1024 * 1024;
    long long got = 0;
    const int rounds = 3;
    double best[2] = {1e30, 1e30};
    for (int r = 0; r < rounds; ++r) {
        for (int layer = 0; layer < 2; ++layer) {
            double t = Run(port, bytes, layer == 1, &got);
            if (got != bytes)
                fprintf(stderr, "received %lld of %lld bytes\n", got, bytes);
            if (t < best[layer])
                best[layer] = t;
        }
    }
    printf("%lld MiB, 4096-byte receives, best of %d rounds\n", mib, rounds);
    printf("bare recv loop:     %7.3f s  %8.1f MiB/s\n", best[0], mib / best[0]);
    printf("BlockingRecv loop:  %7.3f s  %8.1f MiB/s\n", best[1], mib / best[1]);
    printf("ratio:              %7.3f\n", best[1] / best[0]);
    WSACleanup();
    return 0;
}
