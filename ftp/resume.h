// Continuing interrupted transfers (the option "Resume interrupted files"):
// whether a file is continued, and from which byte. The transfer itself,
// with its REST, is ftp/transfer's (RestartRec).
//
// Only binary type resumes: in ASCII and L8 the byte offsets of the two
// sides differ. A receive continues a local file of the target name that is
// smaller than the remote file; a send (Send Unique off) continues a remote
// file that is smaller than the local one.
#pragma once
#include <winsock.h>

#include "ftp/transfer.h"

// The pure rules.
enum ResumeChoice {
    RESUME_WHOLE,         // the whole file, as without the option; nothing is said
    RESUME_CONTINUE,      // continue from the size the other side has
    RESUME_NOT_SMALLER,   // a receive: the local copy is as large as the remote file or larger
    RESUME_SIZE_UNKNOWN,  // a receive: the server did not tell the remote file's size
};
// A receive: local is the size of the local file of the target name
// (SIZE_UNKNOWN when there is none), remote the size SIZE gave
// (SIZE_UNKNOWN when the server did not tell).
ResumeChoice ChooseReceiveResume(bool option, char type, unsigned long long local, unsigned long long remote);
// A send: local is the size of the file sent, remote the size of the remote
// file of that name (SIZE_UNKNOWN when there is none or the server does not tell).
ResumeChoice ChooseSendResume(bool option, char type, bool sendUnique, unsigned long long local,
                              unsigned long long remote);
// The size in a reply to SIZE ("213 1234"); SIZE_UNKNOWN for another reply
// or a number that does not fit.
unsigned long long ParseSizeReply(const char* line);

// Whether a receive in this type may continue a local file, as the options
// say: then the receive looks for a local copy under the file's own name.
bool ReceiveMayResume(char type);
// A receive of the remote file wire into the local file target (its own,
// unnumbered name), which exists: asks the server for the size and fills
// *restart when target is to be continued. False when the file is received
// whole; the line that says why is logged here.
bool PlanReceiveResume(SOCKET control, const char* wire, const char* target, char type, RestartRec* restart);
// A send of local as the remote file wire: asks the server for the size of
// its copy and fills *restart (with APPE for a server that refuses REST)
// when that copy is to be continued. False when the file is sent whole.
bool PlanSendResume(SOCKET control, const char* wire, const char* local, char type, RestartRec* restart);
