#include "ftp/reply.h"

#include <string.h>

#include "net/address.h"

int ReplyCode(const char* line)
{
    if (!line)
        return 0;
    char head[4] = {};
    for (int i = 0; i < 3 && line[i]; ++i)
        head[i] = line[i];
    const char* p = head;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    int value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + (*p++ - '0');
    // "-1" would read as the failure result of the line reader.
    return negative ? 0 : value;
}

bool ReplyLineContinues(int code, const char* line)
{
    if ((code >= 1 && code <= 99) || code >= 600)
        return true;
    return line && line[0] && line[1] && line[2] && line[3] == '-';
}

// Length in bytes of the character at p (of at most `left` bytes).
static int CharLength(const char* p, int left, bool (*isLeadByte)(unsigned char))
{
    if (left >= 2 && isLeadByte && isLeadByte(static_cast<unsigned char>(*p)))
        return 2;
    return 1;
}

int ReplyTakeCount(const char* peek, int count, bool exos, bool (*isLeadByte)(unsigned char))
{
    if (count <= 0)
        return 0;
    if (peek[0] == 0)
        return 1;
    int take = count;
    for (int i = 0; i < count; i += CharLength(peek + i, count - i, isLeadByte)) {
        if (peek[i] == '\n') {
            take = i + 1;
            break;
        }
    }
    if (exos && take > 80) {
        for (int i = 0; i < take; i += CharLength(peek + i, take - i, isLeadByte)) {
            if (peek[i] == '\r') {
                int next = i + 1;
                if (next < take)
                    next += CharLength(peek + next, take - next, isLeadByte);
                take = next;
                break;
            }
        }
    }
    return take;
}

int TrimReplyLine(char* line)
{
    int n = static_cast<int>(strlen(line));
    while (n > 2 && (line[n - 1] == '\n' || line[n - 1] == '\r' || line[n - 1] == ' '))
        line[--n] = 0;
    return n;
}

const char* CommandEcho(const char* command)
{
    // Servers take commands in any case, so a typed "pass" is a password too.
    bool pass = command != nullptr;
    for (int i = 0; pass && i < 5; ++i)
        pass = (command[i] & ~0x20) == "PASS "[i] || command[i] == "PASS "[i];
    if (pass)
        return "PASS xxxxxx";
    return command ? command : "";
}

unsigned long long AnnouncedSize(const char* line)
{
    unsigned long long found = SIZE_UNKNOWN;
    for (const char* p = line ? strchr(line, '(') : nullptr; p; p = strchr(p + 1, '(')) {
        const char* q = p + 1;
        unsigned long long n = 0;
        bool fits = *q >= '0' && *q <= '9';
        for (; *q >= '0' && *q <= '9'; ++q) {
            unsigned digit = static_cast<unsigned>(*q - '0');
            if (n > (SIZE_UNKNOWN - 1 - digit) / 10)
                fits = false;
            else
                n = n * 10 + digit;
        }
        while (*q == ' ')
            ++q;
        if (fits && _strnicmp(q, "bytes", 5) == 0 && q[5] == ')')
            found = n;
    }
    return found;
}

bool FeatureLineIsUtf8(const char* line)
{
    if (!line || line[0] != ' ')
        return false;
    static constexpr char kFeature[] = "UTF8";
    for (int i = 0; kFeature[i]; ++i)
        if ((line[1 + i] & ~0x20) != kFeature[i] && line[1 + i] != kFeature[i])
            return false;
    char after = line[sizeof kFeature];
    return after == 0 || after == ' ' || after == '\r' || after == '\n';
}

ExtendedPassiveParse ParseExtendedPassiveReply(const char* reply, unsigned short* port)
{
    *port = 0;
    const char* p = reply ? strchr(reply, '(') : nullptr;
    if (!p)
        return EPSV_GARBLED;
    char delimiter = *++p;
    if (delimiter < '!' || delimiter > '~' || (delimiter >= '0' && delimiter <= '9'))
        return EPSV_GARBLED;
    if (p[1] != delimiter || p[2] != delimiter)
        return EPSV_GARBLED;
    p += 3;
    unsigned long value = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (++digits > 5)
            return EPSV_GARBLED;
        value = value * 10 + static_cast<unsigned long>(*p - '0');
    }
    if (digits == 0 || *p != delimiter || value > 65535)
        return EPSV_GARBLED;
    *port = static_cast<unsigned short>(value);
    return value == 0 ? EPSV_PORT_ZERO : EPSV_OK;
}

void FormatExtendedPortCommand(char* out, const unsigned char address[16], unsigned short port)
{
    char text[ADDRESS_TEXT_SIZE];
    FormatIpv6(address, text);
    wsprintfA(out, "EPRT |2|%s|%u|", text, static_cast<unsigned>(port));
}
