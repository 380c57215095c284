// The one global record of the connection to the remote server.
#pragma once
#include <winsock.h>
#include <windows.h>

struct FtpSessionRec {
    SOCKET controlSocket;        // INVALID_SOCKET when not connected
    SOCKET dataSocket;           // accepted data connection of the running transfer
    SOCKET listenSocket;         // data socket before the transfer: listening between PORT and accept,
                                 // or connecting/connected between PASV and the command's reply
    char hostName[64];           // at most 62 characters
    char userName[80];           // at most 78
    char password[80];           // at most 78
    volatile LONG loggedOn;
    volatile LONG commandCount;  // > 0 while a command, reply, transfer or logon runs
    LONG replyDepth;
    LONG lastReplyCode;          // 100..599, or 0
    char replyLine[4096];        // last reply line; also the transfers' block buffer
    char sendBuffer[4096];       // command line being sent, with CR LF
    sockaddr_in serverAddr;
    sockaddr_in localAddr;
    sockaddr_in dataPeerAddr;
    char transferType;           // 'A', 'I' or 'L': the type last set on the server
    LONG hostTypeDetected;
    int receiveFile;             // runtime file handle of ReceiveToFile, -1 when none
    BYTE receiveFileOpen;
    int sendFile;                // runtime file handle of SendFromFile, -1 when none
    BYTE sendFileOpen;
    BYTE lastReceiveOk;
    ULONGLONG totalBytes;
    DWORD totalSeconds;
    DWORD totalFiles;
    LONG namesUtf8;              // remote names are UTF-8 on the wire (set at the logon)
    DWORD failedFiles;           // of a tree transfer: files the server did not confirm whole
};

extern FtpSessionRec FtpSession;

// The host type of the current connection (a HOST_ number of
// ftp/hosttypeids.h): a connect starts it from the profile, a greeting or the
// detection after the logon may refine it; the reply reading and the
// commands follow its rules.
extern DWORD HostType;

// The command count guards the control connection. The abort and close
// procedures reset it to 0 under a running exchange, so leaving never takes
// it below 0 (which would refuse every later command).
void CommandCountEnter();
// Takes the idle control connection for one command: the count goes from 0
// to 1 in one step. False, and nothing changed, when it was not 0.
bool CommandCountTake();
void CommandCountLeave();

// The temporary files: every remote listing is received into ListingTempFile
// (LongDir shows it), a remote file to be viewed into ViewTempFile. Start-up
// names them.
extern char ListingTempFile[261];
extern char ViewTempFile[261];
