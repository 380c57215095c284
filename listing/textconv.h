// Multibyte text of the user's code page and its wide-character form.
// Every test and search on a name or a line is made on the wide form, so that
// the second byte of a double-byte character (0x5C in "表" under code page
// 932) is never taken for a delimiter; names go back to multibyte for display.
#pragma once
#include <stddef.h>
#include <string>

// The code page of listings, paths and names: 0 (CP_ACP) in the program.
extern unsigned TextCodePage;

// Converts `bytes` bytes of text (stopping early at a NUL).
std::wstring MultiToWide(const char* text, size_t bytes, unsigned codePage);
std::wstring MultiToWide(const char* text, unsigned codePage);
// Converts to multibyte text of at most maxBytes bytes, cut after the last
// whole character that fits.
std::string WideToMulti(const std::wstring& text, size_t maxBytes, unsigned codePage);
