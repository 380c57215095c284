#include "ftp/resume.h"

#include <stdio.h>
#include <string>

#include "ftp/command.h"
#include "ftp/reply.h"
#include "ftp/session.h"
#include "log/log.h"
#include "resources/catalogue.h"
#include "store/options.h"

namespace {

// The size of the remote file in the transfer's type (SIZE answers in the
// type set), SIZE_UNKNOWN when the server does not tell.
unsigned long long RemoteFileSize(SOCKET control, const char* wire, char type)
{
    SetTransferType(control, type);
    if (SendCommandCode(control, "SIZE %s", wire) != 213)
        return SIZE_UNKNOWN;
    return ParseSizeReply(FtpSession.replyLine);
}

}  // namespace

ResumeChoice ChooseReceiveResume(bool option, char type, unsigned long long local, unsigned long long remote)
{
    if (!option || type != 'I' || local == SIZE_UNKNOWN)
        return RESUME_WHOLE;
    if (remote == SIZE_UNKNOWN)
        return RESUME_SIZE_UNKNOWN;
    return local < remote ? RESUME_CONTINUE : RESUME_NOT_SMALLER;
}

ResumeChoice ChooseSendResume(bool option, char type, bool sendUnique, unsigned long long local,
                              unsigned long long remote)
{
    if (!option || type != 'I' || sendUnique || local == SIZE_UNKNOWN || remote == SIZE_UNKNOWN)
        return RESUME_WHOLE;
    return remote > 0 && remote < local ? RESUME_CONTINUE : RESUME_WHOLE;
}

unsigned long long ParseSizeReply(const char* line)
{
    if (!line || ReplyCode(line) != 213)
        return SIZE_UNKNOWN;
    const char* p = line + 3;
    while (*p == ' ')
        ++p;
    if (*p < '0' || *p > '9')
        return SIZE_UNKNOWN;
    unsigned long long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - '0');
        if (n > (SIZE_UNKNOWN - 1 - digit) / 10)
            return SIZE_UNKNOWN;
        n = n * 10 + digit;
    }
    // "213 12 bytes" or trailing blanks are still a size; "213 12abc" is not.
    return *p == 0 || *p == ' ' || *p == '\r' || *p == '\n' ? n : SIZE_UNKNOWN;
}

bool ReceiveMayResume(char type)
{
    return ProgramOptions.resume == 1 && type == 'I';
}

bool PlanReceiveResume(SOCKET control, const char* wire, const char* target, char type, RestartRec* restart)
{
    unsigned long long local = LocalFileSize(target);
    if (!ReceiveMayResume(type) || local == SIZE_UNKNOWN)
        return false;
    unsigned long long remote = RemoteFileSize(control, wire, type);
    switch (ChooseReceiveResume(true, type, local, remote)) {
    case RESUME_CONTINUE:
        restart->offset = local;
        restart->size = remote;
        return true;
    case RESUME_NOT_SMALLER:
        LogMessage(MSG_NOT_RESUMED_NOT_SMALLER, target, std::to_string(local).c_str(),
                   std::to_string(remote).c_str());
        return false;
    case RESUME_SIZE_UNKNOWN:
        LogMessage(MSG_NOT_RESUMED_SIZE_UNKNOWN, target);
        return false;
    case RESUME_WHOLE:
        break;
    }
    return false;
}

bool PlanSendResume(SOCKET control, const char* wire, const char* local, char type, RestartRec* restart)
{
    if (ProgramOptions.resume != 1 || type != 'I' || ProgramOptions.sendUnique == 1)
        return false;
    unsigned long long size = LocalFileSize(local);
    if (size == SIZE_UNKNOWN || size == 0)
        return false;
    unsigned long long remote = RemoteFileSize(control, wire, type);
    if (ChooseSendResume(true, type, false, size, remote) != RESUME_CONTINUE)
        return false;
    restart->offset = remote;
    restart->size = size;
    _snprintf(restart->appendCommand, sizeof restart->appendCommand - 1, "APPE %s", wire);
    restart->appendCommand[sizeof restart->appendCommand - 1] = 0;
    return true;
}
