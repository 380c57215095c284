// The socket primitives under every connection: open the control
// connection, send a buffer whole, close a socket safely.
#include "net/socket.h"

#include <string.h>

#include "log/log.h"
#include "log/process.h"
#include "net/address.h"
#include "net/blocking.h"
#include "net/resolve.h"
#include "net/tls.h"
#include "resources/catalogue.h"
#include "store/options.h"

namespace {

// SendAll hands the stack one send() of at most this much; a data block
// (SEND_BLOCK) goes in one call.
constexpr int kSendPiece = 262144;
constexpr int kCloseRetries = 5;
// Longest bound of one connect (a day): beyond it, milliseconds overflow.
constexpr DWORD kMaxLimitSeconds = 86400;

// closesocket, replaceable by tests that need a close that keeps failing.
int (PASCAL* g_closeSocket)(SOCKET) = closesocket;

}  // namespace

void SetCloseSocketForTesting(int (PASCAL* fn)(SOCKET))
{
    g_closeSocket = fn ? fn : closesocket;
}

SOCKET ConnectFirst(const NetAddress* addresses, int count, unsigned long limitMs, NetAddress* answered)
{
    protoent* protocol = getprotobyname("tcp");
    int protocolNumber = protocol ? protocol->p_proto : 6;
    for (int i = 0; i < count; ++i) {
        const NetAddress& address = addresses[i];
        char text[ADDRESS_TEXT_SIZE];
        FormatNetAddress(address, text);
        SOCKET s = socket(address.any.sa_family, SOCK_STREAM, protocolNumber);
        if (s == INVALID_SOCKET) {
            // An IPv6 address where the system has no IPv6: the next one may do.
            LogError("create socket", WSAGetLastError());
            continue;
        }
        LONG on = 1;
        if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) == SOCKET_ERROR) {
            LogError("setsockopt", WSAGetLastError());
            closesocket(s);
            continue;
        }
        LogMessage(MSG_CONNECTING, text);
        if (BlockingConnect(s, &address.any, NetAddressLength(address), limitMs) == SOCKET_ERROR) {
            int error = WSAGetLastError();
            LogError("connect", error);
            closesocket(s);
            if (error == WSAEINTR)
                break;  // cancelled (abort, time-out, a stopped worker): no other address either
            continue;
        }
        LogMessage(MSG_CONNECTED, text, NetAddressPort(address));
        if (answered)
            *answered = address;
        return s;
    }
    return INVALID_SOCKET;
}

SOCKET ConnectTcp(const char* host, const char* service, NetAddress* answered)
{
    if (!host)
        host = "";
    if (!service)
        service = "ftp";
    LogLine("  ");

    unsigned port;
    servent* entry = getservbyname(service, "tcp");
    if (HostProfile.ftpPort != 21) {
        LogMessage(MSG_PORT_OVERRIDDEN, static_cast<unsigned>(HostProfile.ftpPort));
        port = static_cast<u_short>(HostProfile.ftpPort);
    } else {
        port = entry ? ntohs(static_cast<u_short>(entry->s_port)) : 21;
    }

    NetAddress addresses[RESOLVE_MAX];
    int count = ResolveHost(host, port, addresses, RESOLVE_MAX);
    if (count == 0)
        return INVALID_SOCKET;
    // Each address gets the profile's time-out, so that one that never
    // answers leaves time for the next.
    DWORD seconds = HostProfile.timeout;
    unsigned long limitMs = seconds > kMaxLimitSeconds ? kMaxLimitSeconds * 1000ul : seconds * 1000ul;
    SOCKET s = ConnectFirst(addresses, count, limitMs, answered);
    if (s == INVALID_SOCKET)
        LogMessage(MSG_CANNOT_CONNECT, host, service, port);
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
            // A stalled data connection is reported by its transfer, which
            // names the file.
            if (!StallExpired()) {
                LogError("send", error);
                LogMessage(MSG_SEND_LEFT, static_cast<unsigned>(s), static_cast<unsigned>(remaining), r);
            }
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
