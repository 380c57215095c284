// The socket primitives under every connection: open the control
// connection, send a buffer whole, close a socket safely.
#include "net/socket.h"

#include <string.h>

#include "log/log.h"
#include "log/process.h"
#include "net/blocking.h"
#include "net/tls.h"
#include "resources/catalogue.h"
#include "store/options.h"

namespace {

// SendAll hands the stack one send() of at most this much; a data block
// (SEND_BLOCK) goes in one call.
constexpr int kSendPiece = 262144;
constexpr int kCloseRetries = 5;

// closesocket, replaceable by tests that need a close that keeps failing.
int (PASCAL* g_closeSocket)(SOCKET) = closesocket;

}  // namespace

void SetCloseSocketForTesting(int (PASCAL* fn)(SOCKET))
{
    g_closeSocket = fn ? fn : closesocket;
}

SOCKET ConnectTcp(const char* host, const char* service, sockaddr_in* answered)
{
    if (!host)
        host = "";
    if (!service)
        service = "ftp";
    LogLine("  ");

    sockaddr_in server;
    memset(&server, 0, sizeof server);
    server.sin_family = AF_INET;

    servent* entry = getservbyname(service, "tcp");
    if (HostProfile.ftpPort != 21) {
        LogMessage(MSG_PORT_OVERRIDDEN, static_cast<unsigned>(HostProfile.ftpPort));
        server.sin_port = htons(static_cast<u_short>(HostProfile.ftpPort));
    } else {
        server.sin_port = entry ? static_cast<u_short>(entry->s_port) : htons(21);
    }

    hostent* he = gethostbyname(host);
    if (he && he->h_addr_list && he->h_addr_list[0]) {
        int n = he->h_length < 4 ? he->h_length : 4;
        memcpy(&server.sin_addr, he->h_addr_list[0], n);
    } else {
        unsigned long address = inet_addr(host);
        if (address == INADDR_NONE) {
            LogMessage(MSG_NO_HOST_ENTRY, host);
            return INVALID_SOCKET;
        }
        server.sin_addr.s_addr = address;
    }

    protoent* protocol = getprotobyname("tcp");
    int protocolNumber = protocol ? protocol->p_proto : 6;

    SOCKET s = socket(AF_INET, SOCK_STREAM, protocolNumber);
    if (s == INVALID_SOCKET) {
        LogError("create socket", WSAGetLastError());
        return INVALID_SOCKET;
    }
    LONG on = 1;
    if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR) {
        LogError("setsockopt", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }

    LogMessage(MSG_CONNECTING, inet_ntoa(server.sin_addr));
    if (BlockingConnect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) == SOCKET_ERROR) {
        LogError("connect", WSAGetLastError());
        LogMessage(MSG_CANNOT_CONNECT, host, service, static_cast<unsigned>(ntohs(server.sin_port)));
        closesocket(s);
        return INVALID_SOCKET;
    }
    LogMessage(MSG_CONNECTED, inet_ntoa(server.sin_addr), static_cast<unsigned>(ntohs(server.sin_port)));
    if (answered)
        *answered = server;
    return s;
}

int BlockingSend(SOCKET s, const char* buffer, int length, int flags)
{
    if (TlsAttached(s))
        return TlsSend(s, buffer, length);
    return SocketSend(s, buffer, length, flags);
}

int BlockingRecv(SOCKET s, char* buffer, int length, int flags)
{
    if (TlsAttached(s))
        return TlsRecv(s, buffer, length, flags);
    return SocketRecv(s, buffer, length, flags);
}

void TransportThreadGone(unsigned long threadId)
{
    TlsThreadGone(threadId);
    BlockingThreadGone(threadId);
}

int SendAll(SOCKET s, const char* buffer, int length)
{
    if (length < 1)
        return 0;
    int remaining = length;
    const char* p = buffer;
    while (remaining > 0) {
        int piece = remaining < kSendPiece ? remaining : kSendPiece;
        int r = BlockingSend(s, p, piece, 0);
        int error = r > 0 ? 0 : WSAGetLastError();  // before logging can touch it
        if (g_debugMode) {
            LogMessage(MSG_SEND_TRACE, static_cast<unsigned>(s), static_cast<unsigned>(remaining - r),
                       static_cast<unsigned>(r));
            if (BlockingInProgress())
                LogError("We're blocking on send()", 0);
        }
        if (r <= 0) {
            LogError("send", error);
            LogMessage(MSG_SEND_LEFT, static_cast<unsigned>(s), static_cast<unsigned>(remaining), r);
            return r;
        }
        remaining -= r;
        p += r;
    }
    return length;
}

SOCKET ReleaseSocket(SOCKET s, bool graceful)
{
    if (s == INVALID_SOCKET)
        return INVALID_SOCKET;
    // A TLS stream ends with close_notify unless a wait was cut (the stream
    // may then stand inside a record).
    TlsDetach(s, graceful && !BlockingInProgress() && !NetAborting);
    if (BlockingInProgress()) {
        LogMessage(MSG_CANCELLED_BLOCKING_CALL, static_cast<unsigned>(s));
        CancelBlockingCall();
        NetAborting = 1;
    }
    // A connection that cannot be shut down is gone (the peer reset it): no
    // byte still queued will ever leave, so the close does not wait for them.
    bool gone = false;
    if (shutdown(s, 2) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        gone = true;
        if (error != WSAENOTCONN)
            LogError("shutdown", error);
    }
    linger lingerOption;
    lingerOption.l_onoff = 1;
    lingerOption.l_linger = NetAborting || !graceful || gone ? 0 : 5;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&lingerOption), sizeof lingerOption);
    // The blocking layer made the socket non-blocking; a linger only means
    // "wait for the rest to go out" on a blocking socket.
    u_long off = 0;
    ioctlsocket(s, FIONBIO, &off);

    if (g_closeSocket(s) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        int retries = 0;
        while (error == WSAEWOULDBLOCK && !NetAborting && retries < kCloseRetries) {
            ++retries;
            error = g_closeSocket(s) == SOCKET_ERROR ? WSAGetLastError() : 0;
        }
        if (error != 0) {
            LogError("closesocket", error);
            if (error == WSAEWOULDBLOCK && retries == kCloseRetries)
                LogMessage(MSG_CLOSE_RETRIED, retries);
        }
    }
    LogMessage(MSG_SOCKET_CLOSED, static_cast<unsigned>(s));
    return INVALID_SOCKET;
}

void ReleaseHeldSocket(SOCKET* holder, bool graceful)
{
    // Taken out of its holder in one step: of two threads releasing the
    // same holder, only one gets the socket to close.
    static_assert(sizeof(SOCKET) == sizeof(PVOID), "SOCKET is pointer-sized");
    SOCKET s = reinterpret_cast<SOCKET>(
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(holder), reinterpret_cast<PVOID>(INVALID_SOCKET)));
    ReleaseSocket(s, graceful);
}
