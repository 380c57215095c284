#include "listing/remotelist.h"

#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "listing/names.h"
#include "listing/textconv.h"
#include "log/log.h"
#include "resources/catalogue.h"

void ListCommand(const char* mask, char out[128])
{
    lstrcpyA(out, "LIST");
    if (mask[0]) {
        lstrcatA(out, " ");
        lstrcpynA(out + 5, mask, 120);
    }
}

static void HandlePiece(const char* piece, size_t length, RuleState& state, const RuleSink& sink)
{
    // A UTF-8 listing is decoded keeping every byte: the names that the rules
    // give come back as the server's exact bytes.
    std::wstring line = state.codePage == CP_UTF8 ? Utf8ToWideKept(std::string(piece, strnlen(piece, length)))
                                                   : MultiToWide(piece, length, state.codePage);
    size_t feed = line.find(L'\n');
    if (feed != std::wstring::npos)
        line.resize(feed);
    // Looked up per line: the Windows NT rule can switch the type mid-listing.
    RuleForHostType(*state.hostType)(line, state, sink);
}

int ParseListingFile(const char* path, RuleState& state, const RuleSink& sink)
{
    // Read as bytes, with the carriage return before a line feed dropped here:
    // the runtime's text mode would also end the listing at a Ctrl-Z byte.
    FILE* file = fopen(path, "rb");
    if (!file) {
        LogLine(MSG_NO_LISTING_FILE);
        return -1;
    }
    std::vector<char> buffer(64 * 1024);
    char piece[512];
    size_t length = 0;
    bool pendingReturn = false;
    auto put = [&](char c) {
        piece[length++] = c;
        if (c == '\n' || length == 511) {
            HandlePiece(piece, length, state, sink);
            length = 0;
        }
    };
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        for (size_t i = 0; i < got; ++i) {
            char c = buffer[i];
            if (pendingReturn) {
                pendingReturn = false;
                if (c != '\n')
                    put('\r');
            }
            if (c == '\r')
                pendingReturn = true;
            else
                put(c);
        }
    }
    if (pendingReturn)
        put('\r');
    if (length > 0)
        HandlePiece(piece, length, state, sink);
    fclose(file);
    return 0;
}
