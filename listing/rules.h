// The line rules of remote listings: one per family of servers, each deciding
// for one line of LIST output whether it names a directory, a file, both (a
// symbolic link) or nothing, and which part of the line is the name.
//
// Pure functions over wide text: a rule gets the line (without its line feed)
// as a working copy it may cut and change, the listing's state, and a sink
// that receives the names.
#pragma once
#include <string>

struct FactTime;  // listing/mlsd.h

struct RuleSink {
    void* context;
    void (*addDir)(void* context, const std::wstring& name);
    void (*addFile)(void* context, const std::wstring& name);
    // Logs catalogue entry `id` (the Windows NT rule's note that it switches).
    void (*logEntry)(void* context, unsigned id);
    // The size a line gave for the file just added (a UNIX listing's size
    // column, MLSD's size fact); may be 0.
    void (*fileSize)(void* context, const std::wstring& name, unsigned long long size);
    // The modification time (UTC) a line gave for the file just added; may be 0.
    void (*fileTime)(void* context, const std::wstring& name, const FactTime& time);
};

struct RuleState {
    unsigned long* hostType;  // the current host type; the Windows NT rule changes it
    bool linkMark;            // UNIX rule: the line was a symbolic link
    unsigned codePage;        // of the listing's bytes (the PC-TCP rule cuts bytes)
    bool machineListing;      // an MLSD listing: its rule for every line, whatever the host type
    bool factLineLogged;      // MLSD: a line without a name has been logged
    bool longLineLogged;      // MLSD: a line too long to read has been logged
};

// A wide line is at most this many characters (a 511-byte piece of the file).
enum { RULE_LINE_CHARS = 1023 };

using LineRule = void (*)(std::wstring& line, RuleState& state, const RuleSink& sink);

void UnixLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void WinNtLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void DosLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void PcTcpLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void IbmPcLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void VmLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void Ka9qLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void VmsLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void WinQvtLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void Os2LineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void MvsLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);
void SoftInnovLineRule(std::wstring& line, RuleState& state, const RuleSink& sink);

// The rule of a host type; every value without a rule of its own (6000, 6007,
// 6009, 6010, 6015, anything outside 6001-6020) gets the UNIX rule.
LineRule RuleForHostType(unsigned long hostType);

// The last blank-separated field of the line. Leaves `line` trimmed of
// trailing line ends and blanks (never below 2 characters) and cut before a
// "->" and the blanks before it; the result is the tail of that text.
std::wstring GetLastField(std::wstring& line);
// The size field of a UNIX line, the fifth ("-rw-r--r-- 1 owner group SIZE
// month day time name"): false when it is not decimal digits or too large.
bool GetUnixSize(const std::wstring& line, unsigned long long* size);
// The UNIX name field. When the eighth field is a time or a year (as ls
// writes it), everything after the one blank that follows it (and after the
// padding of a year written on the left of its column) up to the line end,
// blanks at either end included; a link's "->", and one blank before it, cut
// the line. Otherwise everything after the eighth field of the
// trimmed and cut line (see GetLastField), blanks inside included; empty
// with fewer fields.
std::wstring GetUnixName(std::wstring& line);
