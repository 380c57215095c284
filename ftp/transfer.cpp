// The data connection and the transfers on it.
//
// Active mode (the default): we listen, announce the port with PORT, send
// the transfer command and accept the server's connection. Passive mode (a
// profile option): we ask for a port with PASV, connect to it and send the
// transfer command. The bytes are moved unchanged in every type; the type
// only tells the server how to represent the file.
#include "ftp/transfer.h"

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <string>

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

unsigned Port(const sockaddr_in& address)
{
    return ntohs(address.sin_port);
}

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
    ULONGLONG total = 0;
    DWORD seconds = 1;
};

// The size the last preliminary reply announced, SIZE_UNKNOWN when none.
unsigned long long g_announcedSize = SIZE_UNKNOWN;

// The statistics line, succeeded only when our side was complete and the
// server confirmed; then the totals.
void ReportLoop(bool received, const LoopOutcome& out, bool confirmed)
{
    if (!out.reported)
        return;
    LogTransferReport(ReportFor(received, out.total, out.seconds, out.complete && confirmed, out.writeError));
    if (out.counted) {
        FtpSession.totalBytes += out.total;
        FtpSession.totalSeconds += out.seconds;
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

// The size of a local file, SIZE_UNKNOWN when it cannot be read.
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

// The receive loop. out->complete tells the frame whether the file was
// written whole: created, every block written, no receive failed, no abort.
// size is what the server announced, SIZE_UNKNOWN when it did not.
int ReceiveLoop(SOCKET data, const char* name, const char* fallback, bool bell, LoopOutcome* out,
                unsigned long long size, ListingDataFn onData = nullptr, void* context = nullptr)
{
    *out = LoopOutcome();
    if (data == INVALID_SOCKET || !FtpSession.loggedOn)
        return 0;
    CommandCountEnter();
    FtpHooks.stopTimeout();  // a stalled transfer ends only by the user's abort
    NetAborting = 0;

    int fd = CreateLocalFile(name, fallback);
    bool created = fd != -1;
    FtpSession.receiveFile = fd;
    FtpSession.receiveFileOpen = created ? 1 : 0;

    time_t start = time(nullptr);
    char* block = g_receiveBlock;
    ULONGLONG total = 0;
    bool receiveFailed = false, writeError = false;
    int receiveError = 0;
    FtpHooks.bytesBegin(true, size);
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
        FtpHooks.bytesStep(total);
        if (NetHooks.safePoint() || NetAborting)
            break;
    }
    time_t end = time(nullptr);
    if (created) {
        CloseTransferFile(&FtpSession.receiveFile);
        FtpSession.receiveFileOpen = 0;
    }
    FtpHooks.bytesEnd();

    if (receiveFailed) {
        LogError("recv", receiveError);
        if (total == 0) {
            Beep(MB_ICONEXCLAMATION, bell);
            CommandCountLeave();
            return 0;
        }
    }
    out->seconds = end > start ? static_cast<DWORD>(end - start) : 1;
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

// The send loop on the file recorded in FtpSession (open already), `size`
// bytes long as far as known. out->complete tells the frame whether the
// whole file went out.
int SendLoop(SOCKET data, LoopOutcome* out, unsigned long long size)
{
    *out = LoopOutcome();
    CommandCountEnter();
    time_t start = time(nullptr);
    char* block = g_sendBlock;
    ULONGLONG total = 0;
    bool sendFailed = false, readError = false;
    FtpHooks.bytesBegin(false, size);
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
        FtpHooks.bytesStep(total);
        if (NetHooks.safePoint()) {
            sendFailed = true;
            break;
        }
    }
    time_t end = time(nullptr);
    CloseTransferFile(&FtpSession.sendFile);
    FtpSession.sendFileOpen = 0;
    FtpHooks.bytesEnd();

    out->seconds = end > start ? static_cast<DWORD>(end - start) : 1;
    out->total = total;
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
    if (SendCommand(control, "%s", Text(command)) != REPLY_PRELIMINARY)
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
    if (SendCommand(control, "%s", Text(command)) != REPLY_PRELIMINARY)
        return GiveUpDataSocket(bell);
    g_announcedSize = AnnouncedSize(FtpSession.replyLine);

    sockaddr_in& peer = FtpSession.dataPeerAddr;
    int length = sizeof peer;
    FtpHooks.armTimeout(HostProfile.timeout);
    FtpSession.dataSocket = BlockingAccept(FtpSession.listenSocket, reinterpret_cast<sockaddr*>(&peer), &length);
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
    LogMessage(MSG_ACCEPT_FROM, static_cast<unsigned>(FtpSession.dataSocket), inet_ntoa(peer.sin_addr), Port(peer));
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

TransferReport ReportFor(bool received, ULONGLONG total, DWORD seconds, bool succeeded, bool writeError)
{
    TransferReport r;
    r.total = total;
    r.seconds = seconds ? seconds : 1;
    r.bitsPerSecond = total / r.seconds * 8 + total % r.seconds * 8 / r.seconds;  // no overflow below 2^61 bytes
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
        LogMessage(r.id, r.total, static_cast<double>(r.seconds), r.kbytesPerSecond);
    else
        LogMessage(r.id, r.total, static_cast<ULONGLONG>(r.seconds), r.bitsPerSecond);
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
    SOCKET s = socket(AF_INET, SOCK_STREAM, 6);
    if (s == INVALID_SOCKET) {
        LogError("socket create", WSAGetLastError());
        return INVALID_SOCKET;
    }
    sockaddr_in& local = FtpSession.localAddr;
    LogMessage(MSG_GOING_TO_LISTEN, static_cast<unsigned>(s), inet_ntoa(local.sin_addr), Port(local));

    memset(&local, 0, sizeof local);
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        LogError("bind", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    int length = sizeof local;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR) {
        LogError("getsockname", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    if (listen(s, 1) == SOCKET_ERROR) {
        LogError("listen", WSAGetLastError());
        closesocket(s);
        return INVALID_SOCKET;
    }
    // The server connects back to the address it knows us by; when that
    // cannot be read, 0.0.0.0 goes out and the server will refuse it.
    sockaddr_in controlEnd = {};
    length = sizeof controlEnd;
    if (getsockname(control, reinterpret_cast<sockaddr*>(&controlEnd), &length) == SOCKET_ERROR) {
        LogError("getsockname", WSAGetLastError());
        memset(&controlEnd, 0, sizeof controlEnd);
    }
    char command[32];
    FormatPortCommand(command, ntohl(controlEnd.sin_addr.s_addr), static_cast<unsigned short>(Port(local)));
    if (SendCommand(control, "%s", command) != REPLY_OK) {
        // The transfer goes on; its accept waits until the time-out.
        LogMessage(MSG_PORT_NOT_UNDERSTOOD, static_cast<unsigned>(s));
        return s;
    }
    LogMessage(MSG_LISTENER, static_cast<unsigned>(s), inet_ntoa(local.sin_addr), Port(local));
    return s;
}

SOCKET OpenPassiveData(SOCKET control)
{
    int result = SendCommand(control, "PASV");
    if (result != REPLY_OK) {
        if (result != 0 && result != -1)  // a reply came, and it was no 227
            LogLine(MSG_PASSIVE_REFUSED);
        return INVALID_SOCKET;
    }
    char reply[128];
    lstrcpynA(reply, FtpSession.replyLine, sizeof reply);
    unsigned long announced;
    unsigned short port;
    PassiveParse parsed = ParsePassiveReply(reply, &announced, &port);
    if (parsed != PASSIVE_OK) {
        LogMessage(parsed == PASSIVE_PORT_ZERO ? MSG_PASSIVE_PORT_ZERO : MSG_PASSIVE_REPLY_GARBLED, reply);
        return INVALID_SOCKET;
    }
    // Servers behind NAT announce their private address: the data connection
    // goes to the address the control connection reached.
    sockaddr_in server = {};
    int length = sizeof server;
    if (getpeername(control, reinterpret_cast<sockaddr*>(&server), &length) == SOCKET_ERROR) {
        LogError("getpeername", WSAGetLastError());
        return INVALID_SOCKET;
    }
    server.sin_port = htons(port);
    if (ntohl(server.sin_addr.s_addr) != announced) {
        in_addr named;
        named.s_addr = htonl(announced);
        char text[16];
        lstrcpynA(text, inet_ntoa(named), sizeof text);
        LogMessage(MSG_PASSIVE_ADDRESS_REPLACED, text, static_cast<unsigned>(port), inet_ntoa(server.sin_addr));
    }

    // Held where abort and the watchdog release it while the connect waits.
    SOCKET s = socket(AF_INET, SOCK_STREAM, 6);
    if (s == INVALID_SOCKET) {
        LogError("socket create", WSAGetLastError());
        return INVALID_SOCKET;
    }
    FtpSession.listenSocket = s;
    FtpHooks.armTimeout(HostProfile.timeout);
    int connected = BlockingConnect(s, reinterpret_cast<sockaddr*>(&server), sizeof server);
    int error = WSAGetLastError();
    FtpHooks.stopTimeout();
    if (connected == SOCKET_ERROR) {
        LogError("connect PASV", error);
        ReleaseHeldSocket(&FtpSession.listenSocket);
        return INVALID_SOCKET;
    }
    FtpSession.dataPeerAddr = server;
    LogMessage(MSG_DATA_CONNECTED, static_cast<unsigned>(s), inet_ntoa(server.sin_addr), Port(server));
    return s;
}

int ReceiveToFile(SOCKET data, const char* name, const char* fallback)
{
    LoopOutcome out;
    int r = ReceiveLoop(data, name, fallback, true, &out, SIZE_UNKNOWN);
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

int Retrieve(SOCKET control, const char* command, const char* local, const char* fallback, char type, bool bell,
             const char* shownName, ListingDataFn onData = nullptr, void* context = nullptr)
{
    FtpSession.lastReplyCode = 0;
    g_announcedSize = SIZE_UNKNOWN;
    FtpSession.replyDepth = 0;
    if (!CanStart(control))
        return 0;
    SOCKET data = OpenDataConnection(control, command, type, "accept RetrieveFile", bell, false);
    if (data == INVALID_SOCKET) {
        FtpSession.lastReceiveOk = 0;
        return 0;
    }
    LoopOutcome out;
    ReceiveLoop(data, local, fallback, bell, &out, g_announcedSize, onData, context);
    // The server's close_notify is answered before the connection is shut;
    // without one, the end of the file is not proven.
    if (TlsCutOff(FtpSession.dataSocket)) {
        LogLine(MSG_TLS_DATA_CUT_OFF);
        out.complete = false;
    }
    TlsDetach(FtpSession.dataSocket, !NetAborting);
    if (FtpSession.dataSocket != INVALID_SOCKET && shutdown(FtpSession.dataSocket, 2) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        if (error != WSAENOTCONN)  // the server closed first: nothing to shut down
            LogError("shutdown", error);
    }
    ReleaseHeldSocket(&FtpSession.dataSocket);
    int result = GetReply(control);
    // The server's confirmation does not make up for a file we failed to
    // write, and a file is whole only when the server confirms it.
    bool confirmed = result == REPLY_OK;
    ReportLoop(true, out, confirmed);
    if (out.reported && !(out.complete && confirmed))
        ReportIncomplete(true, shownName, out.total, g_announcedSize);
    if (result == REPLY_OK && !out.complete)
        result = 0;
    FtpSession.lastReceiveOk = result == REPLY_OK ? 1 : 0;
    return result;
}

}  // namespace

int RetrieveFile(SOCKET control, const char* command, const char* local, const char* fallback, char type)
{
    return Retrieve(control, command, local, fallback, type, true, local);
}

int RetrieveListing(SOCKET control, const char* command, ListingDataFn onData, void* context)
{
    return Retrieve(control, command, ListingTempFile, ListingTempFile, 'A', false, command, onData, context);
}

int FtpQuote(SOCKET s, const char* text)
{
    text = text ? text : "";
    if (strncmp(text, "LIST", 4) == 0 || strncmp(text, "NLST", 4) == 0)
        RetrieveListing(s, text);
    else
        SendCommand(s, "%s", text);
    return FtpSession.lastReplyCode / 100;
}

int StoreFile(SOCKET control, const char* command, const char* local, char type)
{
    FtpSession.lastReplyCode = 0;
    if (!CanStart(control))
        return 0;
    // Opened before the server hears of the transfer: a file we cannot read
    // must not replace the server's copy with an empty one.
    int fd = OpenForSending(local);
    if (fd == -1)
        return 0;
    FtpSession.sendFile = fd;
    FtpSession.sendFileOpen = 1;
    unsigned long long size = LocalFileSize(local);

    SOCKET data = OpenDataConnection(control, command, type, "accept", true, true);
    if (data == INVALID_SOCKET) {
        CloseTransferFile(&FtpSession.sendFile);
        FtpSession.sendFileOpen = 0;
        return 0;
    }
    LoopOutcome out;
    if (FtpSession.loggedOn) {
        SendLoop(data, &out, size);
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
    int result = GetReply(control);
    bool confirmed = result == REPLY_OK;
    ReportLoop(false, out, confirmed);
    if (out.reported && !(out.complete && confirmed))
        ReportIncomplete(false, local, out.total, size);
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
