// Display forms of directory paths, and the directory named by a PWD reply.
#pragma once
#include <string>

// Remote UNIX and PC paths: when the path has n characters or more, "..."
// and its tail from the first "/" or "\" that leaves at most n characters.
std::wstring ShortenPathWide(const std::wstring& text, size_t n);
// VMS directory names (device, colon, bracketed directory): the device, the
// colon and the bracket, "...", then the tail from a "." that leaves at most
// n characters.
std::wstring ShortenVmsPathWide(const std::wstring& text, size_t n);
// Local paths: the drive and its root ("C:\"), "...", and the tail from the
// first "\" that leaves at most n characters.
std::wstring ShortenLocalPathWide(const std::wstring& text, size_t n);

// The same on multibyte text; the remote forms are at most 255 bytes, the
// local form at most 511.
std::string ShortenPath(const char* text, size_t n, unsigned codePage);
std::string ShortenVmsPath(const char* text, size_t n, unsigned codePage);
std::string ShortenLocalPath(const char* text, size_t n, unsigned codePage);

// The text of a PWD reply line between its first double quote and the next
// one (or the end of the line), at most 180 bytes. False when the line has
// no double quote.
bool PwdDirectory(const char* replyLine, unsigned codePage, std::string* directory);
// What the remote current-directory label shows for a directory on a host
// of the given type (VMS types shortened as VMS paths, IBM-MVS unchanged).
std::string RemoteDirLabel(const char* directory, unsigned long hostType, unsigned codePage);
