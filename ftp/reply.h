// The rules of the reply exchange that need neither a network nor a window:
// reply codes, the multi-line rule, how much of a peeked line to take,
// trimming, and the echo of a command.
#pragma once

enum {
    REPLY_LINE_MAX = 4000,   // bytes kept of one reply line; the rest up to its line feed is dropped
    REPLY_PEEK = 82,         // bytes of the first look at a line
    COMMAND_MAX = 511,       // characters of one formatted command
};

// The class of a reply: the first digit of its code, as the command
// operations return it (ftp/command.h).
enum ReplyClass {
    REPLY_PRELIMINARY = 1,   // 1xx: more replies follow
    REPLY_OK = 2,            // 2xx: done
    REPLY_MORE = 3,          // 3xx: the server waits for the next command
    REPLY_TRANSIENT = 4,     // 4xx: failed, may work later
    REPLY_FAILED = 5,        // 5xx: failed
};

// The code of a reply line: its first three characters read as a decimal
// number (leading blanks and one sign skipped, then digits); 0 when there
// is no digit. A negative value is no code either and gives 0.
int ReplyCode(const char* line);

// Whether a line read with this code (and this text) is followed by another
// line of the same reply: codes 1 to 99 and from 600 on, or "-" as the
// fourth character.
bool ReplyLineContinues(int code, const char* line);

// How many of the `count` peeked bytes the first receive of a line takes:
// the characters up to and including the first LF, or all of them without
// one; 1 when the first byte is NUL. For the EXOS host type, when more than
// 80 bytes would be taken and a CR comes first, only the characters up to
// the CR and the one character after it. `isLeadByte` says whether a byte
// begins a double-byte character of the user's code page (0: single-byte).
int ReplyTakeCount(const char* peek, int count, bool exos, bool (*isLeadByte)(unsigned char));

// Removes LF, CR and blanks from the end while the line is longer than two
// characters (so a bare CR LF stays). Returns the new length.
int TrimReplyLine(char* line);

// The text that the status log shows for a command: "PASS xxxxxx" for a
// command that begins with "PASS " in any case, else the command itself.
const char* CommandEcho(const char* command);

// The size a preliminary reply to a transfer command announces, as in
// "150 Opening BINARY mode data connection for f (52428800 bytes).": the
// digits of the last "(N bytes)" of the line (any case, blanks allowed
// before "bytes"). SIZE_UNKNOWN when the line names none or the number does
// not fit.
const unsigned long long SIZE_UNKNOWN = ~0ull;
unsigned long long AnnouncedSize(const char* line);

// Whether a line of a FEAT reply names the UTF8 feature: a blank, "UTF8"
// in any case, then the end or a blank.
bool FeatureLineIsUtf8(const char* line);

// The port of a 229 reply to EPSV ("229 Entering Extended Passive Mode
// (|||6446|)"): after the first "(", three equal delimiters (any printable
// character but a digit), the port in decimal, and the delimiter again.
// EPSV_PORT_ZERO when it names port 0, EPSV_GARBLED for anything else that
// is not a port from 1 to 65535.
enum ExtendedPassiveParse { EPSV_OK, EPSV_GARBLED, EPSV_PORT_ZERO };
ExtendedPassiveParse ParseExtendedPassiveReply(const char* reply, unsigned short* port);

// "EPRT |2|address|port|" for an IPv6 address (its shortest text form) and
// a port in host byte order, into out (at least 64 bytes).
void FormatExtendedPortCommand(char* out, const unsigned char address[16], unsigned short port);
