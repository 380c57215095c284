#include "listing/remotelist.h"

#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>

#include "listing/mlsd.h"
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

void ListingCommand(const char* mask, bool mlsd, char out[128], bool* machine)
{
    *machine = mlsd && !mask[0];
    if (*machine)
        lstrcpyA(out, "MLSD");
    else
        ListCommand(mask, out);
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
    if (state.machineListing) {
        MlsdLineRule(line, state, sink);
        return;
    }
    // Looked up per line: the Windows NT rule can switch the type mid-listing.
    RuleForHostType(*state.hostType)(line, state, sink);
}

void ListingReaderStart(ListingReaderRec* reader, RuleState& state, const RuleSink& sink)
{
    reader->state = &state;
    reader->sink = &sink;
    reader->length = 0;
    reader->pendingReturn = false;
    reader->line.clear();
    reader->overlong = false;
}

// The end of an MLSD line: the whole line to the rule, or a line that was
// too long left out.
static void EndMachineLine(ListingReaderRec* reader)
{
    if (reader->overlong) {
        if (!reader->state->longLineLogged) {
            reader->state->longLineLogged = true;
            reader->sink->logEntry(reader->sink->context, MSG_MLSD_LINE_TOO_LONG);
        }
    } else if (!reader->line.empty()) {
        HandlePiece(reader->line.data(), reader->line.size(), *reader->state, *reader->sink);
    }
    reader->line.clear();
    reader->overlong = false;
}

// One byte of the listing, a carriage return before a line feed dropped (the
// runtime's text mode would also end the listing at a Ctrl-Z byte).
static void PutByte(ListingReaderRec* reader, char c)
{
    if (reader->state->machineListing) {
        if (c == '\n')
            EndMachineLine(reader);
        else if (reader->line.size() < MLSD_LINE_BYTES)
            reader->line += c;
        else
            reader->overlong = true;
        return;
    }
    reader->piece[reader->length++] = c;
    if (c == '\n' || reader->length == 511) {
        HandlePiece(reader->piece, static_cast<size_t>(reader->length), *reader->state, *reader->sink);
        reader->length = 0;
    }
}

void ListingReaderFeed(ListingReaderRec* reader, const char* bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        char c = bytes[i];
        if (reader->pendingReturn) {
            reader->pendingReturn = false;
            if (c != '\n')
                PutByte(reader, '\r');
        }
        if (c == '\r')
            reader->pendingReturn = true;
        else
            PutByte(reader, c);
    }
}

void ListingReaderEnd(ListingReaderRec* reader)
{
    if (reader->pendingReturn) {
        reader->pendingReturn = false;
        PutByte(reader, '\r');
    }
    if (reader->state->machineListing && (!reader->line.empty() || reader->overlong))
        EndMachineLine(reader);
    if (reader->length > 0)
        HandlePiece(reader->piece, static_cast<size_t>(reader->length), *reader->state, *reader->sink);
    reader->length = 0;
}

int ParseListingFile(const char* path, RuleState& state, const RuleSink& sink)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        LogLine(MSG_NO_LISTING_FILE);
        return -1;
    }
    std::vector<char> buffer(64 * 1024);
    ListingReaderRec reader;
    ListingReaderStart(&reader, state, sink);
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), file)) > 0)
        ListingReaderFeed(&reader, buffer.data(), static_cast<int>(got));
    ListingReaderEnd(&reader);
    fclose(file);
    return 0;
}
