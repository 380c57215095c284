// Reversible form under which passwords are stored in the registry. Pure text
// functions: no registry, no windows.
#pragma once

// Both return text in one shared 160-byte buffer that the next call of either
// overwrites; copy the result at once.
//
// For the user "anonymous" (exact case) the password is its own stored form.
// For anyone else byte i of the password becomes the two upper-case hex digits
// of (byte + i) taken as 8 bits, so every byte 0x01-0xFF survives the round
// trip. A stored form this encoder cannot have written (odd length, a
// character other than 0-9 and A-F, or a pair that decodes to a zero byte) is
// taken as the password in clear rather than turned into garbage.
const char* EncodePassword(const char* user, const char* password);
const char* DecodePassword(const char* user, const char* stored);

enum {
    PASSWORD_FORM_SIZE = 160,
    PASSWORD_FORM_MAX = 78,  // a stored form read back; a longer one reads as empty
};

// The user whose password is stored unchanged: "anonymous", exact case.
bool IsAnonymousUser(const char* user);
