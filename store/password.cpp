#include "store/password.h"

#include <string.h>

static char g_passwordForm[PASSWORD_FORM_SIZE];

bool IsAnonymousUser(const char* user)
{
    return user && strcmp(user, "anonymous") == 0;
}

static const char* CopyUnchanged(const char* text)
{
    size_t n = text ? strlen(text) : 0;
    if (n > PASSWORD_FORM_SIZE - 1)
        n = PASSWORD_FORM_SIZE - 1;
    if (n)
        memcpy(g_passwordForm, text, n);
    g_passwordForm[n] = 0;
    return g_passwordForm;
}

const char* EncodePassword(const char* user, const char* password)
{
    if (!password)
        password = "";
    if (IsAnonymousUser(user))
        return CopyUnchanged(password);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // Two digits per byte: 79 bytes fill the buffer; the dialogs never hand
    // over more than 78.
    size_t out = 0;
    for (size_t i = 0; password[i] && out + 2 < PASSWORD_FORM_SIZE; ++i) {
        unsigned v = (static_cast<unsigned char>(password[i]) + i) & 0xFF;
        g_passwordForm[out++] = kDigits[v >> 4];
        g_passwordForm[out++] = kDigits[v & 15];
    }
    g_passwordForm[out] = 0;
    return g_passwordForm;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 55;
    return -1;
}

const char* DecodePassword(const char* user, const char* stored)
{
    if (!stored)
        stored = "";
    if (IsAnonymousUser(user))
        return CopyUnchanged(stored);
    size_t n = strlen(stored);
    if (n % 2 != 0 || n > 2 * (PASSWORD_FORM_SIZE - 1))
        return CopyUnchanged(stored);
    char decoded[PASSWORD_FORM_SIZE];
    for (size_t k = 0; k < n / 2; ++k) {
        int hi = HexDigit(stored[2 * k]), lo = HexDigit(stored[2 * k + 1]);
        unsigned char b = static_cast<unsigned char>(16 * hi + lo - k);
        if (hi < 0 || lo < 0 || b == 0)
            return CopyUnchanged(stored);
        decoded[k] = static_cast<char>(b);
    }
    decoded[n / 2] = 0;
    return CopyUnchanged(decoded);
}
