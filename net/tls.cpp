// TLS streams over the cancellable sockets, through Schannel.
//
// Records arrive in pieces: the encrypted bytes are kept until a whole record
// is there, one record is decrypted per DecryptMessage, and what follows it
// (SECBUFFER_EXTRA) stays for the next. The decrypted bytes are served to
// peeks and reads before the socket is waited on again.
#include "net/tls.h"

#define SECURITY_WIN32
#include <security.h>
#include <schannel.h>
#include <string.h>

#include "log/log.h"
#include "net/blocking.h"
#include "resources/catalogue.h"

namespace {

// One record is at most 2^14 bytes of plain text and 2^14 + 2048 encrypted,
// plus its header. The input takes up to sixteen records per receive, and
// the output sends up to sixteen per send: socket calls are costly (under Wine
// each is a round trip to its server), and 256 KiB per call is where a plain
// transfer stops gaining.
constexpr int kRecordMax = 16384 + 2048 + 5;
constexpr int kRecordsPerCall = 16;
constexpr int kInSize = kRecordsPerCall * kRecordMax;
constexpr int kPlainSize = 2 * 16384;
constexpr int kRecordSlot = kRecordMax + 1024;
constexpr int kOutSize = kRecordsPerCall * kRecordSlot;
constexpr int kStreams = 4;           // control, data, and room for a stopped one's
constexpr DWORD kDrainMs = 1500;      // the wait for the server's close after ours
constexpr int kHandshakeRounds = 64;  // a handshake that goes on longer is refused

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

struct TlsStream {
    SOCKET s;  // INVALID_SOCKET: free
    bool established;
    bool peerClosed;  // close_notify (or the end of the connection) came
    bool cutOff;      // the connection ended without close_notify
    bool broken;      // a record was cut off: nothing more may be sent or read
    volatile LONG userThread;  // the thread inside TlsSend or TlsRecv, 0 when none
    CtxtHandle context;
    bool hasContext;
    SecPkgContext_StreamSizes sizes;
    char target[64];
    int inStart, inUsed;  // the encrypted bytes not yet decrypted: in[inStart, inUsed)
    int plainStart, plainEnd;
    char in[kInSize];
    char plain[kPlainSize];
    char out[kOutSize];
};

TlsStream g_streams[kStreams];
bool g_streamsReady;

// SSPI, loaded once.
struct Sspi {
    bool tried;
    UINT failure;  // catalogue entry of why TLS is unavailable, 0 when loaded
    PSecurityFunctionTableA table;
    ENCRYPT_MESSAGE_FN encrypt;
    DECRYPT_MESSAGE_FN decrypt;
};
Sspi g_sspi;

// One credentials handle for the streams of a session: acquired with the
// first stream, freed with the last.
CredHandle g_credentials;
int g_credentialUsers;

CRITICAL_SECTION g_lock;
volatile LONG g_lockState;  // 0 not made, 1 being made, 2 ready

void Lock()
{
    if (g_lockState != 2) {
        if (InterlockedCompareExchange(&g_lockState, 1, 0) == 0) {
            InitializeCriticalSection(&g_lock);
            InterlockedExchange(&g_lockState, 2);
        } else {
            while (g_lockState != 2)
                Sleep(0);
        }
    }
    EnterCriticalSection(&g_lock);
}

void Unlock()
{
    LeaveCriticalSection(&g_lock);
}

struct LockGuard {
    LockGuard() { Lock(); }
    ~LockGuard() { Unlock(); }
};

void ReadyStreams()
{
    if (g_streamsReady)
        return;
    for (TlsStream& t : g_streams)
        t.s = INVALID_SOCKET;
    g_streamsReady = true;
}

TlsStream* Find(SOCKET s)
{
    if (s == INVALID_SOCKET || !g_streamsReady)
        return nullptr;
    for (TlsStream& t : g_streams)
        if (t.s == s)
            return &t;
    return nullptr;
}

const char* Hex(SECURITY_STATUS status, char* buffer)
{
    wsprintfA(buffer, "0x%08lX", static_cast<unsigned long>(status));
    return buffer;
}

void LogStatus(UINT entry, const char* what, SECURITY_STATUS status)
{
    char hex[16];
    LogMessage(entry, what, ErrorText(static_cast<DWORD>(status)), Hex(status, hex));
}

bool LoadSspi()
{
    if (g_sspi.tried)
        return g_sspi.failure == 0;
    g_sspi.tried = true;
    HMODULE module = LoadLibraryA("secur32.dll");
    if (!module)
        module = LoadLibraryA("security.dll");
    if (!module) {
        g_sspi.failure = MSG_TLS_NO_SSPI;
        return false;
    }
    auto init = reinterpret_cast<INIT_SECURITY_INTERFACE_A>(
        reinterpret_cast<void*>(GetProcAddress(module, "InitSecurityInterfaceA")));
    PSecurityFunctionTableA table = init ? init() : nullptr;
    if (!table) {
        g_sspi.failure = MSG_TLS_NO_SSPI;
        return false;
    }
    // Table version 1 (older Windows, Wine) holds them in the reserved slots.
    g_sspi.encrypt = reinterpret_cast<ENCRYPT_MESSAGE_FN>(table->Reserved3);
    g_sspi.decrypt = reinterpret_cast<DECRYPT_MESSAGE_FN>(table->Reserved4);
    if (!g_sspi.encrypt)
        g_sspi.encrypt = reinterpret_cast<ENCRYPT_MESSAGE_FN>(
            reinterpret_cast<void*>(GetProcAddress(module, "EncryptMessage")));
    if (!g_sspi.decrypt)
        g_sspi.decrypt = reinterpret_cast<DECRYPT_MESSAGE_FN>(
            reinterpret_cast<void*>(GetProcAddress(module, "DecryptMessage")));
    if (!g_sspi.encrypt || !g_sspi.decrypt || !table->InitializeSecurityContextA ||
        !table->AcquireCredentialsHandleA) {
        g_sspi.failure = MSG_TLS_NO_SSPI;
        return false;
    }
    g_sspi.table = table;
    return true;
}

// Takes the session's credentials for one more stream (the lock held).
bool TakeCredentials()
{
    if (g_credentialUsers > 0) {
        ++g_credentialUsers;
        return true;
    }
    SCHANNEL_CRED schannel = {};
    schannel.dwVersion = SCHANNEL_CRED_VERSION;
    // The protocols are the system's (0): what Windows allows is what we speak.
    // The certificate is checked by us, and no client certificate is offered.
    schannel.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    SECURITY_STATUS status = g_sspi.table->AcquireCredentialsHandleA(
        nullptr, const_cast<SEC_CHAR*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, &schannel, nullptr, nullptr,
        &g_credentials, &expiry);
    if (status != SEC_E_OK) {
        LogStatus(MSG_TLS_CREDENTIALS_FAILED, "Schannel", status);
        return false;
    }
    g_credentialUsers = 1;
    return true;
}

void DropCredentials()
{
    if (g_credentialUsers > 0 && --g_credentialUsers == 0)
        g_sspi.table->FreeCredentialsHandle(&g_credentials);
}

// Sends the whole buffer on the raw socket: true when all of it went out.
bool SendRaw(SOCKET s, const char* buffer, int length, bool* partly)
{
    int sent = 0;
    while (sent < length) {
        int r = SocketSend(s, buffer + sent, length - sent, 0);
        if (r <= 0) {
            if (partly)
                *partly = sent > 0;
            return false;
        }
        sent += r;
    }
    return true;
}

bool SendToken(SOCKET s, SecBuffer& token)
{
    bool ok = true;
    if (token.pvBuffer && token.cbBuffer > 0)
        ok = SendRaw(s, static_cast<const char*>(token.pvBuffer), static_cast<int>(token.cbBuffer), nullptr);
    if (token.pvBuffer)
        g_sspi.table->FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    return ok;
}

// Moves the bytes not yet used to the front of the input buffer.
void DropConsumed(TlsStream& t)
{
    if (t.inStart > 0) {
        memmove(t.in, t.in + t.inStart, static_cast<size_t>(t.inUsed - t.inStart));
        t.inUsed -= t.inStart;
        t.inStart = 0;
    }
}

// Reads more encrypted bytes: 1 read, 0 the connection ended, -1 failed or
// cancelled (the error set).
int ReadMore(TlsStream& t)
{
    DropConsumed(t);
    if (t.inUsed >= kInSize) {
        WSASetLastError(WSAEMSGSIZE);
        return -1;
    }
    int n = SocketRecv(t.s, t.in + t.inUsed, kInSize - t.inUsed, 0);
    if (n > 0) {
        t.inUsed += n;
        return 1;
    }
    return n == 0 ? 0 : -1;
}

TlsResult WaitFailure(TlsStream& t, int read)
{
    if (read < 0 && (WSAGetLastError() == WSAEINTR || NetAborting))
        return TLS_CANCELLED;
    if (read < 0)
        LogError("recv", WSAGetLastError());
    LogMessage(MSG_TLS_SERVER_ENDED_HANDSHAKE, t.target);
    return TLS_FAILED;
}

// The handshake after the first token: the server's flights in, ours out,
// until Schannel is done. Bytes already in t.in are used first.
TlsResult ContinueHandshake(TlsStream& t)
{
    DropConsumed(t);
    bool needMore = t.inUsed == 0;
    for (int round = 0; round < kHandshakeRounds;) {
        if (needMore) {
            int r = ReadMore(t);
            if (r <= 0)
                return WaitFailure(t, r);
        }
        SecBuffer inBuffers[2] = {{static_cast<unsigned long>(t.inUsed), SECBUFFER_TOKEN, t.in},
                                  {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, inBuffers};
        SecBuffer outBuffers[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 2, outBuffers};
        unsigned long attributes = 0;
        SECURITY_STATUS status = g_sspi.table->InitializeSecurityContextA(
            &g_credentials, &t.context, t.target, kContextFlags, 0, 0, &inDesc, 0, nullptr, &outDesc, &attributes,
            nullptr);
        if (outBuffers[1].pvBuffer)
            g_sspi.table->FreeContextBuffer(outBuffers[1].pvBuffer);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needMore = true;
            continue;
        }
        ++round;
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate: we have none to give,
            // so the same input goes in again without one.
            needMore = false;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            SendToken(t.s, outBuffers[0]);  // an alert for the server, when there is one
            LogStatus(MSG_TLS_HANDSHAKE_FAILED, t.target, status);
            return TLS_FAILED;
        }
        if (!SendToken(t.s, outBuffers[0]))
            return WaitFailure(t, -1);
        if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0) {
            int extra = static_cast<int>(inBuffers[1].cbBuffer);
            memmove(t.in, t.in + t.inUsed - extra, static_cast<size_t>(extra));
            t.inUsed = extra;
            needMore = false;
        } else {
            t.inUsed = 0;
            needMore = true;
        }
        if (status == SEC_E_OK)
            return TLS_OK;
    }
    LogStatus(MSG_TLS_HANDSHAKE_FAILED, t.target, SEC_E_INTERNAL_ERROR);
    return TLS_FAILED;
}

TlsResult StartHandshake(TlsStream& t)
{
    SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, outBuffers};
    unsigned long attributes = 0;
    TimeStamp expiry;
    SECURITY_STATUS status = g_sspi.table->InitializeSecurityContextA(
        &g_credentials, nullptr, t.target, kContextFlags, 0, 0, nullptr, 0, &t.context, &outDesc, &attributes,
        &expiry);
    if (status != SEC_I_CONTINUE_NEEDED) {
        if (outBuffers[0].pvBuffer)
            g_sspi.table->FreeContextBuffer(outBuffers[0].pvBuffer);
        LogStatus(MSG_TLS_HANDSHAKE_FAILED, t.target, status);
        return TLS_FAILED;
    }
    t.hasContext = true;
    if (!SendToken(t.s, outBuffers[0]))
        return WaitFailure(t, -1);
    return ContinueHandshake(t);
}

void LogNegotiated(TlsStream& t)
{
    SecPkgContext_ConnectionInfo info = {};
    if (g_sspi.table->QueryContextAttributesA(&t.context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return;
    LogMessage(MSG_TLS_NEGOTIATED, TlsProtocolName(info.dwProtocol), TlsCipherName(info.aiCipher),
               static_cast<unsigned>(info.dwCipherStrength));
}

void Free(TlsStream& t)
{
    if (t.hasContext)
        g_sspi.table->DeleteSecurityContext(&t.context);
    t.hasContext = false;
    t.established = false;
    t.s = INVALID_SOCKET;
    DropCredentials();
}

void SendCloseNotify(TlsStream& t)
{
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
    if (g_sspi.table->ApplyControlToken(&t.context, &controlDesc) != SEC_E_OK)
        return;
    SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, outBuffers};
    unsigned long attributes = 0;
    SECURITY_STATUS status = g_sspi.table->InitializeSecurityContextA(
        &g_credentials, &t.context, t.target, kContextFlags, 0, 0, nullptr, 0, nullptr, &outDesc, &attributes, nullptr);
    if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_I_CONTEXT_EXPIRED)
        SendToken(t.s, outBuffers[0]);
    else if (outBuffers[0].pvBuffer)
        g_sspi.table->FreeContextBuffer(outBuffers[0].pvBuffer);
}

// True when the input holds at least one whole record (its 5-byte header
// gives its length), which decrypts without waiting on the socket.
bool WholeRecordBuffered(const TlsStream& t)
{
    int available = t.inUsed - t.inStart;
    if (available < 5)
        return false;
    const unsigned char* header = reinterpret_cast<const unsigned char*>(t.in + t.inStart);
    return 5 + ((header[3] << 8) | header[4]) <= available;
}

// Records the thread inside a send or receive for as long as it is there.
struct StreamUse {
    TlsStream* t;
    explicit StreamUse(TlsStream* stream) : t(stream) { InterlockedExchange(&t->userThread, static_cast<LONG>(GetCurrentThreadId())); }
    ~StreamUse() { InterlockedExchange(&t->userThread, 0); }
};

}  // namespace

bool TlsCutOff(SOCKET s)
{
    TlsStream* t = Find(s);
    return t && t->cutOff;
}

bool TlsBroken(SOCKET s)
{
    TlsStream* t = Find(s);
    return t && t->broken;
}

void TlsThreadGone(unsigned long threadId)
{
    if (!g_streamsReady || threadId == 0)
        return;
    for (TlsStream& t : g_streams)
        if (t.s != INVALID_SOCKET && static_cast<unsigned long>(t.userThread) == threadId) {
            t.broken = true;
            t.userThread = 0;
        }
}

bool TlsAvailable(UINT* why)
{
    LockGuard guard;
    bool ok = LoadSspi();
    if (why)
        *why = g_sspi.failure;
    return ok;
}

TlsResult TlsAttach(SOCKET s, const char* target, bool logNegotiated)
{
    TlsStream* t = nullptr;
    {
        LockGuard guard;
        if (!LoadSspi()) {
            LogLine(g_sspi.failure);
            return TLS_UNAVAILABLE;
        }
        ReadyStreams();
        for (TlsStream& slot : g_streams) {
            if (slot.s == INVALID_SOCKET) {
                t = &slot;
                break;
            }
        }
        if (!t) {
            LogStatus(MSG_TLS_HANDSHAKE_FAILED, target ? target : "", SEC_E_INSUFFICIENT_MEMORY);
            return TLS_FAILED;
        }
        if (!TakeCredentials())
            return TLS_UNAVAILABLE;
        t->s = s;
    }
    t->established = false;
    t->peerClosed = false;
    t->cutOff = false;
    t->broken = false;
    t->userThread = 0;
    t->hasContext = false;
    t->inStart = t->inUsed = 0;
    t->plainStart = t->plainEnd = 0;
    lstrcpynA(t->target, target ? target : "", sizeof t->target);
    TlsResult result = StartHandshake(*t);
    if (result == TLS_OK) {
        if (g_sspi.table->QueryContextAttributesA(&t->context, SECPKG_ATTR_STREAM_SIZES, &t->sizes) != SEC_E_OK) {
            LogStatus(MSG_TLS_HANDSHAKE_FAILED, t->target, SEC_E_INTERNAL_ERROR);
            result = TLS_FAILED;
        } else {
            unsigned long room = kRecordSlot - t->sizes.cbHeader - t->sizes.cbTrailer;
            if (t->sizes.cbMaximumMessage > room)
                t->sizes.cbMaximumMessage = room;
            t->established = true;
            if (logNegotiated)
                LogNegotiated(*t);
        }
    }
    if (result != TLS_OK) {
        LockGuard guard;
        Free(*t);
    }
    return result;
}

bool TlsAttached(SOCKET s)
{
    TlsStream* t = Find(s);
    return t && t->established;
}

int TlsSend(SOCKET s, const char* buffer, int length)
{
    TlsStream* t = Find(s);
    if (!t || !t->established)
        return SocketSend(s, buffer, length, 0);
    StreamUse use(t);
    if (t->broken) {
        LogLine(MSG_TLS_STREAM_BROKEN);
        WSASetLastError(WSAECONNABORTED);
        return SOCKET_ERROR;
    }
    int sent = 0;
    while (sent < length) {
        // Records one after the other, as many as one send takes.
        int fill = 0;
        while (sent < length && fill + kRecordSlot <= kOutSize) {
            int piece = length - sent;
            if (piece > static_cast<int>(t->sizes.cbMaximumMessage))
                piece = static_cast<int>(t->sizes.cbMaximumMessage);
            char* header = t->out + fill;
            char* data = header + t->sizes.cbHeader;
            char* trailer = data + piece;
            memcpy(data, buffer + sent, static_cast<size_t>(piece));
            SecBuffer buffers[4] = {{t->sizes.cbHeader, SECBUFFER_STREAM_HEADER, header},
                                    {static_cast<unsigned long>(piece), SECBUFFER_DATA, data},
                                    {t->sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, trailer},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
            SECURITY_STATUS status = g_sspi.encrypt(&t->context, 0, &desc, 0);
            if (status != SEC_E_OK) {
                LogStatus(MSG_TLS_SEND_FAILED, t->target, status);
                t->broken = true;
                WSASetLastError(WSAECONNABORTED);
                return SOCKET_ERROR;
            }
            // The trailer can be shorter than announced: the record is what
            // the three buffers hold now, and they lie one after the other.
            fill += static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
            sent += piece;
        }
        if (!SendRaw(s, t->out, fill, nullptr)) {
            // Records encrypted and not (wholly) sent leave the stream
            // unusable: the server would miss their sequence numbers.
            t->broken = true;
            return SOCKET_ERROR;
        }
    }
    return length;
}

int TlsRecv(SOCKET s, char* buffer, int length, int flags)
{
    TlsStream* t = Find(s);
    if (!t || !t->established)
        return SocketRecv(s, buffer, length, flags);
    StreamUse use(t);
    while (t->plainEnd == t->plainStart) {
        if (t->peerClosed)
            return 0;
        if (t->broken) {
            LogLine(MSG_TLS_STREAM_BROKEN);
            WSASetLastError(WSAECONNABORTED);
            return SOCKET_ERROR;
        }
        if (t->inUsed > t->inStart) {
            unsigned char contentType = static_cast<unsigned char>(t->in[t->inStart]);
            SecBuffer buffers[4] = {{static_cast<unsigned long>(t->inUsed - t->inStart), SECBUFFER_DATA,
                                     t->in + t->inStart},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr},
                                    {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
            SECURITY_STATUS status = g_sspi.decrypt(&t->context, &desc, 0, nullptr);
            if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE || status == SEC_I_CONTEXT_EXPIRED) {
                SecBuffer* data = nullptr;
                SecBuffer* extra = nullptr;
                for (SecBuffer& b : buffers) {
                    if (b.BufferType == SECBUFFER_DATA && !data)
                        data = &b;
                    else if (b.BufferType == SECBUFFER_EXTRA && !extra)
                        extra = &b;
                }
                unsigned long plainLength = data ? data->cbBuffer : 0;
                if (plainLength > static_cast<unsigned long>(kPlainSize)) {
                    t->broken = true;
                    continue;
                }
                // The plain text is copied out of t->in before anything
                // else goes there.
                if (plainLength)
                    memcpy(t->plain, data->pvBuffer, plainLength);
                t->plainStart = 0;
                t->plainEnd = static_cast<int>(plainLength);
                // The next record is the tail of the input: counted from its
                // end, as not every Windows points pvBuffer at it.
                if (extra && extra->cbBuffer > 0 && static_cast<int>(extra->cbBuffer) <= t->inUsed - t->inStart)
                    t->inStart = t->inUsed - static_cast<int>(extra->cbBuffer);
                else
                    t->inStart = t->inUsed = 0;
                if (status == SEC_I_CONTEXT_EXPIRED ||
                    (status == SEC_E_OK && RecordIsCloseAlert(contentType, plainLength))) {
                    t->peerClosed = true;
                } else if (status == SEC_I_RENEGOTIATE) {
                    // New handshake messages (TLS 1.3 session tickets on
                    // current Windows): Schannel takes them through the
                    // handshake call.
                    TlsResult again = ContinueHandshake(*t);
                    if (again == TLS_CANCELLED)
                        return SOCKET_ERROR;
                    if (again != TLS_OK)
                        t->broken = true;
                }
                continue;
            }
            if (status != SEC_E_INCOMPLETE_MESSAGE) {
                LogStatus(MSG_TLS_RECEIVE_FAILED, t->target, status);
                t->broken = true;
                WSASetLastError(WSAECONNABORTED);
                return SOCKET_ERROR;
            }
        }
        int r = ReadMore(*t);
        if (r == 0)
            t->peerClosed = t->cutOff = true;  // ended without close_notify
        else if (r < 0)
            return SOCKET_ERROR;
    }
    int available = t->plainEnd - t->plainStart;
    int n = length < available ? length : available;
    if (n > 0)
        memcpy(buffer, t->plain + t->plainStart, static_cast<size_t>(n));
    if (flags & MSG_PEEK)
        return n;
    t->plainStart += n;
    // A large read takes the further records already here, as a plain
    // receive takes what the socket holds; it never waits for more.
    while (n < length && t->plainEnd == t->plainStart && !t->peerClosed && !t->broken && WholeRecordBuffered(*t)) {
        int more = TlsRecv(s, buffer + n, length - n, 0);
        if (more <= 0)
            break;
        n += more;
    }
    return n;
}

void TlsDetach(SOCKET s, bool graceful)
{
    TlsStream* t = Find(s);
    if (!t)
        return;
    if (graceful && t->established && !t->broken) {
        bool peerFirst = t->peerClosed;
        SendCloseNotify(*t);
        // Our close must not reset the connection before the server has
        // read our alert.
        if (!peerFirst)
            DrainUntilClosed(s, kDrainMs);
    }
    LockGuard guard;
    Free(*t);
}

const void* TlsPeerCertificate(SOCKET s)
{
    TlsStream* t = Find(s);
    if (!t || !t->hasContext)
        return nullptr;
    PCCERT_CONTEXT certificate = nullptr;
    if (g_sspi.table->QueryContextAttributesA(&t->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK)
        return nullptr;
    return certificate;
}

std::string FormatFingerprint(const BYTE* bytes, int count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += ':';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

bool ParseFingerprint(const char* text, BYTE out[32])
{
    int nibbles = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        char c = *p;
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c == ':' || c == ' ') {
            if (nibbles % 2)
                return false;  // a separator inside a byte
            continue;
        } else
            return false;
        if (nibbles >= 64)
            return false;
        if (nibbles % 2 == 0)
            out[nibbles / 2] = static_cast<BYTE>(v << 4);
        else
            out[nibbles / 2] = static_cast<BYTE>(out[nibbles / 2] | v);
        ++nibbles;
    }
    return nibbles == 64;
}

bool RecordIsCloseAlert(unsigned char contentType, unsigned long plainLength)
{
    return contentType == TLS_RECORD_ALERT && plainLength == 0;
}

const char* TlsProtocolName(DWORD protocol)
{
    struct Name {
        DWORD bits;
        const char* name;
    };
    static constexpr Name names[] = {
        {0x00003000, "TLS 1.3"}, {0x00000C00, "TLS 1.2"}, {0x00000300, "TLS 1.1"},
        {0x000000C0, "TLS 1.0"}, {0x00000030, "SSL 3.0"}, {0x0000000C, "SSL 2.0"},
    };
    for (const Name& n : names)
        if (protocol & n.bits)
            return n.name;
    return "unknown protocol";
}

const char* TlsCipherName(unsigned int algorithm)
{
    struct Name {
        unsigned int id;
        const char* name;
    };
    static constexpr Name names[] = {
        {0x660e, "AES-128"}, {0x660f, "AES-192"}, {0x6610, "AES-256"}, {0x6611, "AES"},
        {0x6603, "3DES"},    {0x6601, "DES"},     {0x6801, "RC4"},     {0x6602, "RC2"},
    };
    for (const Name& n : names)
        if (n.id == algorithm)
            return n.name;
    return "unknown cipher";
}
