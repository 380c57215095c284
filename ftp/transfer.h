// The data connection: transfer type, the listening socket and PORT, and
// receiving and sending files and listings.
#pragma once
#include <winsock.h>
#include <windows.h>

#include "ftp/reply.h"  // SIZE_UNKNOWN

// A transfer that continues an interrupted one: REST with the offset goes
// out after PORT or PASV, just before the transfer command, and the file
// moves from that byte on. A REST answered with anything but 350 makes a
// receive start from the first byte under the fresh names (one line says
// why) and a send append with appendCommand from the same offset.
struct RestartRec {
    unsigned long long offset = 0;           // bytes both sides have already; 0: the whole file, no REST
    unsigned long long size = SIZE_UNKNOWN;  // the whole file's size, for the byte count
    const char* name = "";                   // the file, as the status lines name it
    char freshLocal[256] = "";               // a receive refused REST: the names of the whole file
    char freshFallback[256] = "";
    char appendCommand[512] = "";            // a send refused REST: "APPE name"
    bool accepted = false;                   // set by the transfer: REST was answered 350
};

// Sends TYPE when `type` ('A', 'I' or 'L') differs from the type last set on
// the server, and remembers it whatever the server answers.
void SetTransferType(SOCKET control, char type);
// Listens on a free port and announces it with the control connection's
// local address: PORT on IPv4 (listening on every address), EPRT on IPv6
// (listening on that address). The listening socket, or INVALID_SOCKET.
SOCKET OpenDataListener(SOCKET control);
// Passive mode: asks for a data port and connects to it at the control
// connection's peer address, under the reply time-out and the cancel rules
// of the other blocking calls: on IPv4 with PASV, and with EPSV once when
// PASV is answered 5xx; on IPv6 with EPSV. The connected socket, also held
// in FtpSession.listenSocket, or INVALID_SOCKET with the failure logged.
// Used for every data connection while HostProfile.passive is set.
SOCKET OpenPassiveData(SOCKET control);
// Receives one remote file (command "RETR ...", or a listing command) into
// local (fallback when local cannot be created). 2 when the server confirmed
// the transfer and the file was written whole; another reply class; 0 when
// the transfer was not made, or the server confirmed it but the local side
// failed (no file could be created, a write or a receive failed).
// restart, when given with an offset, continues an interrupted transfer
// (RestartRec below). knownSize: the file's size as the listing gave it, the
// expected size when the server's preliminary reply names none.
int RetrieveFile(SOCKET control, const char* command, const char* local, const char* fallback, char type,
                 RestartRec* restart = nullptr, unsigned long long knownSize = SIZE_UNKNOWN);
// The receive loop on an accepted data connection: 1 when a receive took
// place, 0 when nothing was received.
int ReceiveToFile(SOCKET data, const char* name, const char* fallback);
// Runs a listing command (LIST or NLST ...) with its data connection and
// writes the listing into ListingTempFile; returns 2 when the server
// confirmed the transfer. onData, when given, gets every piece as it is
// written to the file, so that the listing can be read while it arrives.
using ListingDataFn = void (*)(void* context, const char* bytes, int length);
int RetrieveListing(SOCKET control, const char* command, ListingDataFn onData = nullptr, void* context = nullptr);
// The code of the first reply to the last transfer command (its 1xx, or the
// refusal), 0 when the command was not sent or no reply came.
LONG TransferCommandCode();
// A command typed by the user, sent unchanged; LIST, NLST and MLSD go through
// RetrieveListing so that their data connection is served. The class of the
// last reply.
int FtpQuote(SOCKET s, const char* text);
// Sends one local file with command "STOR ..." or "STOU ...". A local file
// that cannot be opened is reported before anything reaches the server.
// 2 when the server confirmed the transfer and the whole file was sent.
// restart, when given with an offset, continues an interrupted transfer.
int StoreFile(SOCKET control, const char* command, const char* local, char type, RestartRec* restart = nullptr);
// The send loop on an accepted data connection: 1 when the file was opened
// and sent (completely or not), 0 when nothing was sent.
int SendFromFile(SOCKET data, const char* name);
// The size of a local file, SIZE_UNKNOWN when it cannot be read (or there
// is none).
unsigned long long LocalFileSize(const char* name);
// Closes a transfer file recorded in FtpSession and sets its handle to -1
// (the abort procedure closes the files a stopped transfer left open).
void CloseTransferFile(int* handle);

// Block sizes of the data loops: one recv() takes up to RECEIVE_BLOCK bytes,
// and the file being sent is read in SEND_BLOCK bytes, each sent whole.
// Socket calls are costly (under Wine each is a round trip to its server), so
// the blocks are large: 256 KiB moves about twice what 64 KiB blocks do.
enum { RECEIVE_BLOCK = 262144, SEND_BLOCK = 262144 };

// The pure rules, for the tests.

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address and a port, both in host byte
// order, into out (at least 32 bytes).
void FormatPortCommand(char* out, unsigned long address, unsigned short port);

// Reads the address and port of a 227 reply ("227 Entering Passive Mode
// (h1,h2,h3,h4,p1,p2)"): the first six comma-separated numbers after the
// code, each 0..255, with or without parentheses. Address and port in host
// byte order. PASSIVE_PORT_ZERO when they name port 0.
enum PassiveParse { PASSIVE_OK, PASSIVE_GARBLED, PASSIVE_PORT_ZERO };
PassiveParse ParsePassiveReply(const char* reply, unsigned long* address, unsigned short* port);

// The clock of the transfer statistics, in milliseconds: the performance
// counter, which every Windows NT has, else the tick count.
ULONGLONG TransferClockMs();

// The statistics line of a finished transfer: its catalogue entry and the
// values it is formatted with, from the time the transfer took in
// milliseconds (0 counts as 1).
struct TransferReport {
    UINT id;
    ULONGLONG total;         // bytes
    double seconds;          // the long forms: "%.2f seconds"
    ULONGLONG wholeSeconds;  // the short forms: rounded to the nearest second
    ULONGLONG bitsPerSecond;
    double kbytesPerSecond;
};
TransferReport ReportFor(bool received, ULONGLONG total, DWORD milliseconds, bool succeeded, bool writeError);
void LogTransferReport(const TransferReport& report);
