// The machine listing of MLSD (RFC 3659): one entry a line, its facts
// ("type=file;size=5;modify=20261210120000;"), one blank, and the name, which
// is every character after that blank, blanks, ";" and "=" included.
#pragma once
#include <string>

#include "listing/rules.h"

// A time fact (modify): UTC, to the second.
struct FactTime {
    unsigned short year, month, day, hour, minute, second;
};

// The longest MLSD line read whole; a longer one is left out (logged once a
// listing) instead of being cut into pieces that would look like entries.
enum { MLSD_LINE_BYTES = 8192 };

// What the facts of one line say.
enum FactType { FACT_FILE, FACT_DIR, FACT_SKIP };
struct LineFacts {
    FactType type;             // FACT_SKIP: cdir and pdir, or no entry at all
    bool hasSize;
    unsigned long long size;
    bool hasModify;
    FactTime modify;
};

// Splits a line into its facts and its name. False when the line has no
// blank (no name) or the name is empty.
bool SplitMlsdLine(const std::wstring& line, LineFacts* facts, std::wstring* name);
// "YYYYMMDDHHMMSS" with an optional ".sss" (dropped): false when it is not
// that, or names no valid date and time.
bool ParseFactTime(const std::wstring& text, FactTime* time);
// "YYYYMMDDHHMMSS" of a time, as MFMT sends it.
std::string FormatFactTime(const FactTime& time);

// The line rule of an MLSD listing: directories and files to the sink, with
// the size and the time of each file; a line without a name is left out and
// logged once a listing (state.factLineLogged).
void MlsdLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
