// The data connection and the transfers on it.
//
// Active mode (the default): we listen, announce the port with PORT (EPRT
// on IPv6), send the transfer command and accept the server's connection.
// Passive mode (a profile option): we ask for a port with PASV (EPSV on
// IPv6, or once PASV is refused), connect to it and send the transfer
// command. The bytes are moved unchanged in every type; the type
// only tells the server how to represent the file.
#include "ftp/transfer.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "net/address.h"
#include "net/hooks.h"
#include "store/options.h"
#include "net/blocking.h"
#include "ftp/command.h"
#include "ftp/ftps.h"
#include "ftp/hooks.h"
#include "ftp/reply.h"
#include "net/tls.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "log/log.h"
#include "resources/catalogue.h"

namespace {

// How long a sent file's data connection waits for the server's close: the
// time a close would linger for the last bytes.
constexpr unsigned long kSentCloseWaitMs = 5000;

// The blocks of the data loops. One transfer runs at a time (it holds the
// control connection), and a worker that is stopped may never return, so
// they are not on the stack nor allocated per transfer.
char g_receiveBlock[RECEIVE_BLOCK];
char g_sendBlock[SEND_BLOCK];

// A listing passes wanted = false: it is never announced, whatever the
// option says.
void Beep(UINT sound, bool wanted = true)
{
    if (wanted && ProgramOptions.bell)
        MessageBeep(sound);
}

const char* Text(const char* s)
{
    return s ? s : "";
}

unsigned Port(const NetAddress& address)
{
    return NetAddressPort(address);
}

// An address as the log shows it (net/address.h), in a buffer of its own.
struct Shown {
    char text[ADDRESS_TEXT_SIZE];
    explicit Shown(const NetAddress& address) { FormatNetAddress(address, text); }
};

// The system's text for a failed read or write of a local file; a short
// write without an error code is a full disk.
void LogFileError(int result, DWORD otherwise)
{
    DWORD code = result < 0 && _doserrno ? static_cast<DWORD>(_doserrno) : otherwise;
    LogMessage(MSG_REASON, ErrorText(code));
}

// The local file under the name, else under the fallback name; -1 when
// neither can be created. The fallback is the caller's: no name is derived
// here, so a name the caller made safe stays the only other name tried.
int CreateLocalFile(const char* name, const char* fallback)
{
    name = Text(name);
    fallback = Text(fallback);
    const int flags = _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY;
    int fd = _open(name, flags, _S_IREAD | _S_IWRITE);
    if (fd != -1)
        return fd;
    LogMessage(MSG_FAILED_TO_OPEN, name, static_cast<unsigned>(errno));
    LogMessage(MSG_TRYING_SHORTER_NAME, fallback);
    fd = _open(fallback, flags, _S_IREAD | _S_IWRITE);
    if (fd == -1)
        LogMessage(MSG_STILL_FAILED_TO_OPEN, fallback, static_cast<unsigned>(errno));
    return fd;
}

// What a data loop moved, for the report that follows the server's final
// reply: a transfer succeeds only when that reply is 2xx.
struct LoopOutcome {
    bool reported = false;  // a statistics line is due
    bool complete = false;  // our side moved the whole file
    bool counted = false;   // goes into the session's totals
    bool writeError = false;
    bool stalled = false;   // the stall limit ended it
    ULONGLONG total = 0;
    DWORD milliseconds = 1;
};

}  // namespace

ULONGLONG TransferClockMs()
{
    LARGE_INTEGER count, frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 && QueryPerformanceCounter(&count)) {
        ULONGLONG c = static_cast<ULONGLONG>(count.QuadPart), f = static_cast<ULONGLONG>(frequency.QuadPart);
        return c / f * 1000 + c % f * 1000 / f;
    }
    return GetTickCount();
}

namespace {

// The time from start to now, at least 1 ms (a rate needs a time).
DWORD MillisecondsSince(ULONGLONG start)
{
    ULONGLONG now = TransferClockMs();
    ULONGLONG ms = now > start ? now - start : 0;
    return ms < 1 ? 1 : ms > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(ms);
}

// The size the last preliminary reply announced, SIZE_UNKNOWN when none.
unsigned long long g_announcedSize = SIZE_UNKNOWN;
// The code of the first reply to the last transfer command, 0 when none came.
LONG g_transferCommandCode;

// The statistics line, succeeded only when our side was complete and the
// server confirmed; then the totals.
void ReportLoop(bool received, const LoopOutcome& out, bool confirmed)
{
    if (!out.reported)
        return;
    LogTransferReport(ReportFor(received, out.total, out.milliseconds, out.complete && confirmed, out.writeError));
    if (out.counted) {
        FtpSession.totalBytes += out.total;
        FtpSession.totalMilliseconds += out.milliseconds;
        // A file counts as transferred only when it is whole.
        if (out.complete && confirmed)
            FtpSession.totalFiles += 1;
        else
            FtpSession.failedFiles += 1;
    }
}

// The failure line of a transfer that is not whole: the file, and the bytes
// moved against the size expected (announced by the server for a receive,
// the local file's size for a send) when that is known and larger.
void ReportIncomplete(bool received, const char* name, ULONGLONG moved, unsigned long long expected)
{
    std::string movedText = std::to_string(moved);
    if (expected != SIZE_UNKNOWN && expected > moved)
        LogMessage(received ? MSG_RECEIVE_INCOMPLETE : MSG_SEND_INCOMPLETE, Text(name), movedText.c_str(),
                   std::to_string(expected).c_str());
    else
        LogMessage(received ? MSG_RECEIVE_UNCONFIRMED : MSG_SEND_UNCONFIRMED, Text(name), movedText.c_str());
}

// Puts a runtime file's position at offset, past the 2 GiB that the
// runtime's own seek reaches. False when it could not.
bool SeekLocalFile(int fd, unsigned long long offset)
{
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(h, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == NO_ERROR;
}

// The local file of an interrupted receive, opened to be continued at
// offset (nothing is truncated); -1, logged, when it cannot be.
int ContinueLocalFile(const char* name, unsigned long long offset)
{
    name = Text(name);
    int fd = _open(name, _O_WRONLY | _O_BINARY);
    if (fd != -1 && !SeekLocalFile(fd, offset)) {
        _close(fd);
        fd = -1;
    }
    if (fd == -1)
        LogMessage(MSG_FAILED_TO_OPEN, name, static_cast<unsigned>(errno));
    return fd;
}

// The stall limit of the profile, for the data loops.
unsigned long StallLimitMs()
{
    const DWORD kMaxSeconds = 4000000;  // what fits in milliseconds
    DWORD seconds = HostProfile.stall < kMaxSeconds ? HostProfile.stall : kMaxSeconds;
    return static_cast<unsigned long>(seconds) * 1000;
}

// The receive loop. out->complete tells the frame whether the file was
// written whole: created, every block written, no receive failed, no abort.
// size is the whole file's size as far as known, SIZE_UNKNOWN when it is
// not; offset > 0 continues the local file from there.
int ReceiveLoop(SOCKET data, const char* name, const char* fallback, bool bell, LoopOutcome* out,
                unsigned long long size, unsigned long long offset, ListingDataFn onData = nullptr,
                void* context = nullptr)
{
    *out = LoopOutcome();
    if (data == INVALID_SOCKET || !FtpSession.loggedOn)
        return 0;
    CommandCountEnter();
    // No reply time-out while data moves: a stalled transfer ends by the
    // user's abort, or by the profile's stall limit.
    FtpHooks.stopTimeout();
    NetAborting = 0;

    int fd = offset ? ContinueLocalFile(name, offset) : CreateLocalFile(name, fallback);
    bool created = fd != -1;
    FtpSession.receiveFile = fd;
    FtpSession.receiveFileOpen = created ? 1 : 0;

    ULONGLONG start = TransferClockMs();
    char* block = g_receiveBlock;
    ULONGLONG total = 0;
    bool receiveFailed = false, writeError = false;
    int receiveError = 0;
    FtpHooks.bytesBegin(true, size, offset);
    SetStallLimit(data, StallLimitMs());
    for (;;) {
        int n = BlockingRecv(data, block, RECEIVE_BLOCK, 0);
        if (n <= 0) {
            if (n < 0) {
                receiveFailed = true;
                receiveError = WSAGetLastError();
            }
            break;
        }
        // Without a file the data is still read to its end, so that the
        // server finishes the transfer and its final reply stays in step.
        if (created) {
            int written = _write(FtpSession.receiveFile, block, n);
            if (written != n) {
                writeError = true;
                LogFileError(written, ERROR_DISK_FULL);
                break;
            }
            if (onData)
                onData(context, block, n);
        }
        total += static_cast<ULONGLONG>(n);
        FtpHooks.bytesStep(offset + total);
        if (NetHooks.safePoint() || NetAborting)
            break;
    }
    bool stalled = StallExpired();
    SetStallLimit(INVALID_SOCKET, 0);
    out->stalled = stalled;
    DWORD milliseconds = MillisecondsSince(start);
    if (created) {
        CloseTransferFile(&FtpSession.receiveFile);
        FtpSession.receiveFileOpen = 0;
    }
    FtpHooks.bytesEnd();

    if (receiveFailed) {
        if (!stalled)  // the frame names the stalled file
            LogError("recv", receiveError);
        if (total == 0) {
            Beep(MB_ICONEXCLAMATION, bell);
            CommandCountLeave();
            return 0;
        }
    }
    out->milliseconds = milliseconds;
    out->total = total;
    out->complete = created && !NetAborting && !writeError && !receiveFailed;
    out->writeError = writeError;
    out->counted = created;
    out->reported = true;
    FtpSession.lastReceiveOk = created && !writeError && !receiveFailed ? 1 : 0;
    Beep(MB_ICONASTERISK, bell);
    CommandCountLeave();
    return 1;
}

// The send loop on the file recorded in FtpSession (open already, at
// offset), `size` bytes long as far as known. out->complete tells the frame
// whether the rest of the file went out.
int SendLoop(SOCKET data, LoopOutcome* out, unsigned long long size, unsigned long long offset = 0)
{
    *out = LoopOutcome();
    CommandCountEnter();
    ULONGLONG start = TransferClockMs();
    char* block = g_sendBlock;
    ULONGLONG total = 0;
    bool sendFailed = false, readError = false;
    FtpHooks.bytesBegin(false, size, offset);
    SetStallLimit(data, StallLimitMs());
    for (;;) {
        int n = _read(FtpSession.sendFile, block, SEND_BLOCK);
        if (n <= 0) {
            if (n < 0) {
                readError = true;
                LogFileError(n, ERROR_READ_FAULT);
            }
            break;
        }
        total += static_cast<ULONGLONG>(n);
        if (SendAll(data, block, n) != n) {
            sendFailed = true;  // SendAll has logged why
            break;
        }
        FtpHooks.bytesStep(offset + total);
        if (NetHooks.safePoint()) {
            sendFailed = true;
            break;
        }
    }
    out->stalled = StallExpired();
    SetStallLimit(INVALID_SOCKET, 0);
    DWORD milliseconds = MillisecondsSince(start);
    CloseTransferFile(&FtpSession.sendFile);
    FtpSession.sendFileOpen = 0;
    FtpHooks.bytesEnd();

    out->milliseconds = milliseconds;
    out->total = total;
    out->stalled = out->stalled && sendFailed;
    // A file cut short by a read error is not a file sent.
    out->complete = !sendFailed && !readError;
    out->counted = true;
    out->reported = true;
    Beep(MB_ICONASTERISK);
    CommandCountLeave();
    return 1;
}

int OpenForSending(const char* name)
{
    name = Text(name);
    int fd = _open(name, _O_RDONLY | _O_BINARY);
    if (fd == -1) {
        LogMessage(MSG_FAILED_TO_OPEN, name, static_cast<unsigned>(errno));
        Beep(MB_ICONEXCLAMATION);
    }
    return fd;
}

// The restart of the transfer being opened, null for a whole file.
RestartRec* g_restart = nullptr;

// The transfer command, after REST when the transfer continues an
// interrupted one (RestartRec). The class of the transfer command's reply.
int SendTransferCommand(SOCKET control, const char* command)
{
    RestartRec* restart = g_restart;
    if (restart && restart->offset > 0) {
        SendCommand(control, "REST %s", std::to_string(restart->offset).c_str());
        restart->accepted = FtpSession.lastReplyCode == 350;
        if (!restart->accepted && restart->appendCommand[0]) {
            LogMessage(MSG_RESUME_BY_APPEND, Text(restart->name), std::to_string(restart->offset).c_str());
            command = restart->appendCommand;
            restart->accepted = true;  // APPE continues from the same offset
        } else if (!restart->accepted) {
            LogMessage(MSG_NOT_RESUMED_REST_REFUSED, Text(restart->name));
        }
    }
    int result = SendCommand(control, "%s", Text(command));
    g_transferCommandCode = FtpSession.lastReplyCode;
    return result;
}

// Releases the data socket that is not yet a transfer's (listener, or the
// connected socket of passive mode) and beeps when asked to.
SOCKET GiveUpDataSocket(bool beep)
{
    ReleaseHeldSocket(&FtpSession.listenSocket);
    Beep(MB_ICONEXCLAMATION, beep);
    return INVALID_SOCKET;
}

// Passive mode: the connected socket is held as listenSocket until the
// server has accepted the transfer command, so that an abort before then
// only closes it and waits for no transfer's reply.
SOCKET OpenPassiveConnection(SOCKET control, const char* command, bool bell, bool beepOnFailure)
{
    FtpSession.listenSocket = OpenPassiveData(control);
    if (FtpSession.listenSocket == INVALID_SOCKET)
        return GiveUpDataSocket(bell && beepOnFailure);
    if (SendTransferCommand(control, command) != REPLY_PRELIMINARY)
        return GiveUpDataSocket(bell);
    g_announcedSize = AnnouncedSize(FtpSession.replyLine);
    FtpSession.dataSocket = FtpSession.listenSocket;
    FtpSession.listenSocket = INVALID_SOCKET;
    return FtpSession.dataSocket;
}

// The frame up to the data connection: type, then PASV and the connect, or
// the listener and PORT, the transfer command and the accept under the
// watchdog. Returns the data socket (also held in FtpSession), or
// INVALID_SOCKET with everything that was opened released again.
SOCKET OpenPlainDataConnection(SOCKET control, const char* command, char type, const char* acceptLabel,
                          bool bell, bool beepOnAcceptFailure)
{
    SetTransferType(control, type);
    if (HostProfile.passive)
        return OpenPassiveConnection(control, command, bell, beepOnAcceptFailure);
    FtpSession.listenSocket = OpenDataListener(control);
    if (FtpSession.listenSocket == INVALID_SOCKET) {
        Beep(MB_ICONEXCLAMATION, bell);
        return INVALID_SOCKET;
    }
    // The server must answer with a preliminary reply before it connects.
    if (SendTransferCommand(control, command) != REPLY_PRELIMINARY)
        return GiveUpDataSocket(bell);
    g_announcedSize = AnnouncedSize(FtpSession.replyLine);

    NetAddress& peer = FtpSession.dataPeerAddr;
    int length = sizeof peer;
    FtpHooks.armTimeout(HostProfile.timeout);
    FtpSession.dataSocket = BlockingAccept(FtpSession.listenSocket, &peer.any, &length);
    int error = WSAGetLastError();
    FtpHooks.stopTimeout();
    if (FtpSession.dataSocket == INVALID_SOCKET) {
        LogError(acceptLabel, error);
        return GiveUpDataSocket(bell && beepOnAcceptFailure);
    }
    LONG on = 1;
    if (setsockopt(FtpSession.dataSocket, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) ==
        SOCKET_ERROR) {
        LogError("setsockopt", WSAGetLastError());
        ReleaseHeldSocket(&FtpSession.dataSocket);
        return GiveUpDataSocket(bell && beepOnAcceptFailure);
    }
    ReleaseHeldSocket(&FtpSession.listenSocket);
    LogMessage(MSG_ACCEPT_FROM, static_cast<unsigned>(FtpSession.dataSocket), Shown(peer).text, Port(peer));
    return FtpSession.dataSocket;
}

// The data connection, with TLS when the session is secured. A data
// connection that cannot be secured is closed, and the server's answer to
// the transfer it then ends is read, so that the replies stay in step.
SOCKET OpenDataConnection(SOCKET control, const char* command, char type, const char* acceptLabel, bool bell,
                          bool beepOnAcceptFailure)
{
    SOCKET data = OpenPlainDataConnection(control, command, type, acceptLabel, bell, beepOnAcceptFailure);
    if (data == INVALID_SOCKET || !SessionIsSecure() || SecureDataConnection(data))
        return data;
    FtpSession.dataSocket = ReleaseSocket(FtpSession.dataSocket);
    if (!NetAborting)
        GetReply(control);
    Beep(MB_ICONEXCLAMATION, bell);
    return INVALID_SOCKET;
}

// The checks of both members before anything is sent: false (logged) when
// the transfer cannot start.
bool CanStart(SOCKET control)
{
    if (control == INVALID_SOCKET) {
        LogLine(MSG_NO_CONTROL_SOCKET);
        return false;
    }
    if (FtpSession.commandCount != 0) {
        LogLine(MSG_COMMAND_IN_PROCESS);
        return false;
    }
    return true;
}

}  // namespace

void FormatPortCommand(char* out, unsigned long address, unsigned short port)
{
    wsprintfA(out, "PORT %u,%u,%u,%u,%u,%u", static_cast<unsigned>((address >> 24) & 0xFF),
              static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
              static_cast<unsigned>(address & 0xFF), static_cast<unsigned>(port >> 8),
              static_cast<unsigned>(port & 0xFF));
}

PassiveParse ParsePassiveReply(const char* reply, unsigned long* address, unsigned short* port)
{
    *address = 0;
    *port = 0;
    const char* p = Text(reply);
    // The code, then the first number of the text.
    for (int i = 0; i < 3 && *p; ++i)
        ++p;
    while (*p && (*p < '0' || *p > '9'))
        ++p;
    unsigned values[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (*p != ',')
                return PASSIVE_GARBLED;
            ++p;
        }
        if (*p < '0' || *p > '9')
            return PASSIVE_GARBLED;
        unsigned v = 0;
        for (int digits = 0; *p >= '0' && *p <= '9'; ++p, ++digits) {
            v = v * 10 + static_cast<unsigned>(*p - '0');
            if (digits >= 3 || v > 255)
                return PASSIVE_GARBLED;
        }
        values[i] = v;
    }
    // A seventh number would make the six something else.
    if (*p == ',')
        return PASSIVE_GARBLED;
    *address = (static_cast<unsigned long>(values[0]) << 24) | (values[1] << 16) | (values[2] << 8) | values[3];
    *port = static_cast<unsigned short>((values[4] << 8) | values[5]);
    return *port == 0 ? PASSIVE_PORT_ZERO : PASSIVE_OK;
}

TransferReport ReportFor(bool received, ULONGLONG total, DWORD milliseconds, bool succeeded, bool writeError)
{
    TransferReport r;
    r.total = total;
    DWORD ms = milliseconds ? milliseconds : 1;
    r.seconds = ms / 1000.0;
    r.wholeSeconds = (ms + 500ull) / 1000;
    r.bitsPerSecond = total / ms * 8000 + total % ms * 8000 / ms;  // no overflow below 2^50 bytes
    r.kbytesPerSecond = static_cast<double>(total) / r.seconds / 1024.0;
    bool longForm = total > 1024 && !(received && writeError);
    if (received)
        r.id = longForm ? (succeeded ? MSG_RECEIVED_LONG_SUCCEEDED : MSG_RECEIVED_LONG_FAILED)
                        : (succeeded ? MSG_RECEIVED_SHORT_SUCCEEDED : MSG_RECEIVED_SHORT_FAILED);
    else
        r.id = longForm ? (succeeded ? MSG_SENT_LONG_SUCCEEDED : MSG_SENT_LONG_FAILED)
                        : (succeeded ? MSG_SENT_SHORT_SUCCEEDED : MSG_SENT_SHORT_FAILED);
    return r;
}

void LogTransferReport(const TransferReport& r)
{
    if (IsPrintfEntry(r.id))
        LogMessage(r.id, r.total, r.seconds, r.kbytesPerSecond);
    else
        LogMessage(r.id, r.total, r.wholeSeconds, r.bitsPerSecond);
}

void SetTransferType(SOCKET control, char type)
{
    if (type == FtpSession.transferType)
        return;
    if (type == 'L')
        SendCommand(control, "TYPE L 8");
    else
        SendCommand(control, "TYPE %c", type);
    FtpSession.transferType = type;
}

SOCKET OpenDataListener(SOCKET control)
{
    // The server connects back to the address it knows us by: the control
    // connection's local end. On IPv6 the listener is bound to it and
    // announced with EPRT; on IPv4 it listens on every address, announced
    // with PORT. When that end cannot be read, 0.0.0.0 goes out and the
    // server will refuse it.
    NetAddress controlEnd = {};
    int length = sizeof controlEnd;
    bool controlEndKnown = getsockname(control, &controlEnd.any, &length) != SOCKET_ERROR;
    int controlEndError = controlEndKnown ? 0 : WSAGetLastError();
    bool v6 = controlEndKnown && NetAddressIsV6(controlEnd);

    SOCKET s = socket(v6 ? NET_AF_INET6 : AF_INET, SOCK_STREAM, 6);
    if (s == INVALID_SOCKET) {
        LogError("socket create", WSAGetLastError());
        return INVALID_SOCKET;
    }
    NetAddress& local = FtpSession.localAddr;
    LogMessage(MSG_GOING_TO_LISTEN, static_cast<unsigned>(s), Shown(local).text, Port(local));

    if (v6) {
        local = controlEnd;
    } else {
        memset(&local, 0, sizeof local);
        local.v4.sin_family = AF_INET;
        local.v4.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    SetNetAddressPort(&local, 0);
    if (bind(s, &local.any, NetAddressLength(local)) == SOCKET_ERROR) {
        LogError("bind", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    length = sizeof local;
    if (getsockname(s, &local.any, &length) == SOCKET_ERROR) {
        LogError("getsockname", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (listen(s, 1) == SOCKET_ERROR) {
        LogError("listen", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (!controlEndKnown) {
        LogError("getsockname", controlEndError);
        memset(&controlEnd, 0, sizeof controlEnd);
        controlEnd.v4.sin_family = AF_INET;
    }
    char command[COMMAND_MAX + 1];
    if (v6)
        FormatExtendedPortCommand(command, controlEnd.v6.sin6_addr, static_cast<unsigned short>(Port(local)));
    else
        FormatPortCommand(command, ntohl(controlEnd.v4.sin_addr.s_addr), static_cast<unsigned short>(Port(local)));
    if (SendCommand(control, "%s", command) != REPLY_OK) {
        // The transfer goes on; its accept waits until the time-out.
        LogMessage(MSG_PORT_NOT_UNDERSTOOD, static_cast<unsigned>(s));
        return s;
    }
    LogMessage(MSG_LISTENER, static_cast<unsigned>(s), Shown(local).text, Port(local));
    return s;
}

namespace {

// EPSV and the port of its 229 reply; false (logged) when there is none.
bool AskExtendedPassive(SOCKET control, unsigned short* port)
{
    int result = SendCommand(control, "EPSV");
    if (result != REPLY_OK) {
        if (result != 0 && result != -1)  // a reply came, and it was no 229
            LogLine(MSG_PASSIVE_REFUSED);
        return false;
    }
    char reply[128];
    lstrcpynA(reply, FtpSession.replyLine, sizeof reply);
    ExtendedPassiveParse parsed = ParseExtendedPassiveReply(reply, port);
    if (parsed != EPSV_OK) {
        LogMessage(parsed == EPSV_PORT_ZERO ? MSG_PASSIVE_PORT_ZERO : MSG_PASSIVE_REPLY_GARBLED, reply);
        return false;
    }
    return true;
}

}  // namespace

SOCKET OpenPassiveData(SOCKET control)
{
    // The data connection goes to the address the control connection
    // reached: servers behind NAT announce their private address in 227,
    // and 229 names none.
    NetAddress server = {};
    int length = sizeof server;
    if (getpeername(control, &server.any, &length) == SOCKET_ERROR) {
        LogError("getpeername", WSAGetLastError());
        return INVALID_SOCKET;
    }
    unsigned short port = 0;
    if (NetAddressIsV6(server)) {
        // PASV can name IPv4 addresses only.
        if (!AskExtendedPassive(control, &port))
            return INVALID_SOCKET;
    } else {
        int result = SendCommand(control, "PASV");
        if (result == REPLY_FAILED) {
            // A server that refuses PASV may still know EPSV: asked once.
            if (!AskExtendedPassive(control, &port))
                return INVALID_SOCKET;
        } else if (result != REPLY_OK) {
            if (result != 0 && result != -1)  // a reply came, and it was no 227
                LogLine(MSG_PASSIVE_REFUSED);
            return INVALID_SOCKET;
        } else {
            char reply[128];
            lstrcpynA(reply, FtpSession.replyLine, sizeof reply);
            unsigned long announced;
            PassiveParse parsed = ParsePassiveReply(reply, &announced, &port);
            if (parsed != PASSIVE_OK) {
                LogMessage(parsed == PASSIVE_PORT_ZERO ? MSG_PASSIVE_PORT_ZERO : MSG_PASSIVE_REPLY_GARBLED, reply);
                return INVALID_SOCKET;
            }
            if (ntohl(server.v4.sin_addr.s_addr) != announced) {
                in_addr named;
                named.s_addr = htonl(announced);
                char text[16];
                lstrcpynA(text, inet_ntoa(named), sizeof text);
                LogMessage(MSG_PASSIVE_ADDRESS_REPLACED, text, static_cast<unsigned>(port), Shown(server).text);
            }
        }
    }
    SetNetAddressPort(&server, port);

    // Held where abort and the watchdog release it while the connect waits.
    SOCKET s = socket(server.any.sa_family, SOCK_STREAM, 6);
    if (s == INVALID_SOCKET) {
        LogError("socket create", WSAGetLastError());
        return INVALID_SOCKET;
    }
    FtpSession.listenSocket = s;
    FtpHooks.armTimeout(HostProfile.timeout);
    int connected = BlockingConnect(s, &server.any, NetAddressLength(server));
    int error = WSAGetLastError();
    FtpHooks.stopTimeout();
    if (connected == SOCKET_ERROR) {
        LogError("connect PASV", error);
        ReleaseHeldSocket(&FtpSession.listenSocket);
        return INVALID_SOCKET;
    }
    FtpSession.dataPeerAddr = server;
    LogMessage(MSG_DATA_CONNECTED, static_cast<unsigned>(s), Shown(server).text, Port(server));
    return s;
}

unsigned long long LocalFileSize(const char* name)
{
    HANDLE h = CreateFileA(Text(name), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return SIZE_UNKNOWN;
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    bool known = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    CloseHandle(h);
    return known ? (static_cast<unsigned long long>(high) << 32) | low : SIZE_UNKNOWN;
}

int ReceiveToFile(SOCKET data, const char* name, const char* fallback)
{
    LoopOutcome out;
    int r = ReceiveLoop(data, name, fallback, true, &out, SIZE_UNKNOWN, 0);
    ReportLoop(true, out, true);
    return r;
}

int SendFromFile(SOCKET data, const char* name)
{
    if (data == INVALID_SOCKET || !FtpSession.loggedOn)
        return 0;
    int fd = OpenForSending(name);
    if (fd == -1)
        return 0;
    FtpSession.sendFile = fd;
    FtpSession.sendFileOpen = 1;
    LoopOutcome out;
    int r = SendLoop(data, &out, LocalFileSize(name));
    ReportLoop(false, out, true);
    return r;
}

namespace {

// The end of a data connection that stalled, as after Abort: it is dropped
// and the server's answer to the cut transfer is read.
int ReadStalledTransferReply(SOCKET control, const char* shownName)
{
    LogMessage(MSG_TRANSFER_STALLED, Text(shownName), static_cast<unsigned>(HostProfile.stall));
    LogMessage(MSG_WAITING_FOR_ABORT_REPLY);
    int result = GetReply(control);
    LogMessage(MSG_ABORT_REPLY, static_cast<int>(FtpSession.lastReplyCode));
    return result;
}

// The line of a transfer that continued an interrupted one: its offset and
// what moved this time.
void ReportResumed(const char* shownName, unsigned long long offset, const LoopOutcome& out)
{
    if (offset > 0 && out.reported)
        LogMessage(MSG_RESUMED_AT, Text(shownName), std::to_string(offset).c_str(),
                   std::to_string(out.total).c_str());
}

int Retrieve(SOCKET control, const char* command, const char* local, const char* fallback, char type, bool bell,
             const char* shownName, RestartRec* restart, unsigned long long knownSize,
             ListingDataFn onData = nullptr, void* context = nullptr)
{
    FtpSession.lastReplyCode = 0;
    g_announcedSize = SIZE_UNKNOWN;
    g_transferCommandCode = 0;
    FtpSession.replyDepth = 0;
    if (!CanStart(control))
        return 0;
    if (restart) {
        restart->accepted = false;
        restart->name = Text(shownName);
        restart->appendCommand[0] = 0;  // a receive never appends on the server
    }
    g_restart = restart;
    SOCKET data = OpenDataConnection(control, command, type, "accept RetrieveFile", bell, false);
    g_restart = nullptr;
    if (data == INVALID_SOCKET) {
        FtpSession.lastReceiveOk = 0;
        return 0;
    }
    // The server's word on the size first; else what the listing said.
    const unsigned long long expected = g_announcedSize != SIZE_UNKNOWN ? g_announcedSize : knownSize;
    unsigned long long offset = 0, size = expected;
    if (restart && restart->offset > 0) {
        if (restart->accepted) {
            offset = restart->offset;
            size = restart->size;
        } else if (restart->freshLocal[0]) {
            local = restart->freshLocal;
            fallback = restart->freshFallback[0] ? restart->freshFallback : restart->freshLocal;
        }
    }
    LoopOutcome out;
    ReceiveLoop(data, local, fallback, bell, &out, size, offset, onData, context);
    // The server's close_notify is answered before the connection is shut;
    // without one, the end of the file is not proven.
    if (TlsCutOff(FtpSession.dataSocket)) {
        LogLine(MSG_TLS_DATA_CUT_OFF);
        out.complete = false;
    }
    TlsDetach(FtpSession.dataSocket, !NetAborting && !out.stalled);
    if (FtpSession.dataSocket != INVALID_SOCKET && shutdown(FtpSession.dataSocket, 2) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        if (error != WSAENOTCONN)  // the server closed first: nothing to shut down
            LogError("shutdown", error);
    }
    ReleaseHeldSocket(&FtpSession.dataSocket, !out.stalled);
    int result = out.stalled ? ReadStalledTransferReply(control, shownName) : GetReply(control);
    // The server's confirmation does not make up for a file we failed to
    // write, and a file is whole only when the server confirms it.
    bool confirmed = result == REPLY_OK;
    ReportLoop(true, out, confirmed);
    ReportResumed(shownName, offset, out);
    if (out.reported && !(out.complete && confirmed))
        ReportIncomplete(true, shownName, offset + out.total, offset ? size : expected);
    if (result == REPLY_OK && !out.complete)
        result = 0;
    FtpSession.lastReceiveOk = result == REPLY_OK ? 1 : 0;
    return result;
}

}  // namespace

int RetrieveFile(SOCKET control, const char* command, const char* local, const char* fallback, char type,
                 RestartRec* restart, unsigned long long knownSize)
{
    return Retrieve(control, command, local, fallback, type, true, local, restart, knownSize);
}

int RetrieveListing(SOCKET control, const char* command, ListingDataFn onData, void* context)
{
    return Retrieve(control, command, ListingTempFile, ListingTempFile, 'A', false, command, nullptr, SIZE_UNKNOWN,
                    onData, context);
}

LONG TransferCommandCode() { return g_transferCommandCode; }

int FtpQuote(SOCKET s, const char* text)
{
    text = text ? text : "";
    if (strncmp(text, "LIST", 4) == 0 || strncmp(text, "NLST", 4) == 0 || strncmp(text, "MLSD", 4) == 0)
        RetrieveListing(s, text);
    else
        SendCommand(s, "%s", text);
    return FtpSession.lastReplyCode / 100;
}

int StoreFile(SOCKET control, const char* command, const char* local, char type, RestartRec* restart)
{
    FtpSession.lastReplyCode = 0;
    if (!CanStart(control))
        return 0;
    // Opened before the server hears of the transfer: a file we cannot read
    // must not replace the server's copy with an empty one.
    int fd = OpenForSending(local);
    if (fd == -1)
        return 0;
    unsigned long long offset = restart ? restart->offset : 0;
    if (offset > 0 && !SeekLocalFile(fd, offset)) {
        LogMessage(MSG_FAILED_TO_OPEN, Text(local), static_cast<unsigned>(EIO));
        _close(fd);
        return 0;
    }
    FtpSession.sendFile = fd;
    FtpSession.sendFileOpen = 1;
    unsigned long long size = LocalFileSize(local);

    if (restart) {
        restart->accepted = false;
        restart->name = Text(local);
    }
    g_restart = restart;
    SOCKET data = OpenDataConnection(control, command, type, "accept", true, true);
    g_restart = nullptr;
    if (data == INVALID_SOCKET) {
        CloseTransferFile(&FtpSession.sendFile);
        FtpSession.sendFileOpen = 0;
        return 0;
    }
    LoopOutcome out;
    if (FtpSession.loggedOn) {
        SendLoop(data, &out, size, offset);
    } else {
        CloseTransferFile(&FtpSession.sendFile);
        FtpSession.sendFileOpen = 0;
    }
    // Closing the data connection tells the server that the file has ended;
    // it closes its end once it has read the whole file. That is waited for
    // here, bounded and ended by Abort, instead of in a close that lingers
    // (under Wine such a close holds up every window when the server has
    // gone). A send that failed is not waited for at all.
    if (out.complete && !TlsAttached(FtpSession.dataSocket)) {
        shutdown(FtpSession.dataSocket, 1);
        DrainUntilClosed(FtpSession.dataSocket, kSentCloseWaitMs);
    }
    ReleaseHeldSocket(&FtpSession.dataSocket, out.complete);
    int result = out.stalled ? ReadStalledTransferReply(control, local) : GetReply(control);
    bool confirmed = result == REPLY_OK;
    ReportLoop(false, out, confirmed);
    ReportResumed(local, offset, out);
    if (out.reported && !(out.complete && confirmed))
        ReportIncomplete(false, local, offset + out.total, size);
    if (result == REPLY_OK && !out.complete)
        result = 0;
    return result;
}

void CloseTransferFile(int* handle)
{
    if (*handle != -1)
        _close(*handle);
    *handle = -1;
}
