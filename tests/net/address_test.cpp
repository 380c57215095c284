// The host text and address rules: which form a typed host is, the IPv6
// text forms both ways, and the command-line fetch argument.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "net/address.h"

namespace {

std::string Hex(const unsigned char* bytes, int n)
{
    std::string s;
    char b[3];
    for (int i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02x", bytes[i]);
        s += b;
    }
    return s;
}

TEST(HostText, FormsOfATypedHost)
{
    struct Case {
        const char* typed;
        HostForm form;
        const char* host;      // without brackets
        const char* address;   // hex bytes of an address form
        unsigned long scope;
    };
    const Case cases[] = {
        {"ftp.example.com", HOSTFORM_NAME, "ftp.example.com", "", 0},
        {"localhost", HOSTFORM_NAME, "localhost", "", 0},
        {"10.1", HOSTFORM_NAME, "10.1", "", 0},                  // the resolver's to read
        {"256.1.1.1", HOSTFORM_NAME, "256.1.1.1", "", 0},
        {"127.0.0.1", HOSTFORM_IPV4, "127.0.0.1", "7f000001", 0},
        {"192.168.001.010", HOSTFORM_IPV4, "192.168.001.010", "c0a8010a", 0},
        {"::1", HOSTFORM_IPV6, "::1", "00000000000000000000000000000001", 0},
        {"[::1]", HOSTFORM_IPV6, "::1", "00000000000000000000000000000001", 0},
        {"2001:db8::5", HOSTFORM_IPV6, "2001:db8::5", "20010db8000000000000000000000005", 0},
        {"[2001:DB8:0:0:1:0:0:1]", HOSTFORM_IPV6, "2001:DB8:0:0:1:0:0:1", "20010db8000000000001000000000001", 0},
        {"::", HOSTFORM_IPV6, "::", "00000000000000000000000000000000", 0},
        {"1::", HOSTFORM_IPV6, "1::", "00010000000000000000000000000000", 0},
        {"::ffff:192.0.2.1", HOSTFORM_IPV6, "::ffff:192.0.2.1", "00000000000000000000ffffc0000201", 0},
        {"1:2:3:4:5:6:7:8", HOSTFORM_IPV6, "1:2:3:4:5:6:7:8", "00010002000300040005000600070008", 0},
        {"1:2:3:4:5:6:7::", HOSTFORM_IPV6, "1:2:3:4:5:6:7::", "00010002000300040005000600070000", 0},
        {"fe80::1%4", HOSTFORM_IPV6, "fe80::1%4", "fe800000000000000000000000000001", 4},
        {"[fe80::1%12]", HOSTFORM_IPV6, "fe80::1%12", "fe800000000000000000000000000001", 12},
        // Malformed: nothing, brackets astray, colons that are no address.
        {"", HOSTFORM_MALFORMED, "", "", 0},
        {"[::1", HOSTFORM_MALFORMED, "", "", 0},
        {"::1]", HOSTFORM_MALFORMED, "", "", 0},
        {"[::1]:21", HOSTFORM_MALFORMED, "", "", 0},
        {"[]", HOSTFORM_MALFORMED, "", "", 0},
        {"[127.0.0.1]", HOSTFORM_MALFORMED, "", "", 0},
        {"[ftp.example.com]", HOSTFORM_MALFORMED, "", "", 0},
        {"[[::1]]", HOSTFORM_MALFORMED, "", "", 0},
        {"host:21", HOSTFORM_MALFORMED, "", "", 0},
        {"127.0.0.1:21", HOSTFORM_MALFORMED, "", "", 0},
        {":::", HOSTFORM_MALFORMED, "", "", 0},
        {"1:::2", HOSTFORM_MALFORMED, "", "", 0},
        {"1::2::3", HOSTFORM_MALFORMED, "", "", 0},
        {":1:2:3:4:5:6:7", HOSTFORM_MALFORMED, "", "", 0},
        {"1:2:3:4:5:6:7:", HOSTFORM_MALFORMED, "", "", 0},
        {"1:2:3:4:5:6:7", HOSTFORM_MALFORMED, "", "", 0},
        {"1:2:3:4:5:6:7:8:9", HOSTFORM_MALFORMED, "", "", 0},
        {"1:2:3:4:5:6:7:8::", HOSTFORM_MALFORMED, "", "", 0},
        {"12345::1", HOSTFORM_MALFORMED, "", "", 0},
        {"g::1", HOSTFORM_MALFORMED, "", "", 0},
        {"::1.2.3", HOSTFORM_MALFORMED, "", "", 0},
        {"::1.2.3.4:5", HOSTFORM_MALFORMED, "", "", 0},
        {"1:2:3:4:5:6:7:1.2.3.4", HOSTFORM_MALFORMED, "", "", 0},
        {"fe80::1%", HOSTFORM_MALFORMED, "", "", 0},
        {"fe80::1%eth0", HOSTFORM_MALFORMED, "", "", 0},
        {"fe80::1%99999999999", HOSTFORM_MALFORMED, "", "", 0},
        {"a\tb", HOSTFORM_MALFORMED, "", "", 0},
    };
    for (const Case& c : cases) {
        HostText out;
        EXPECT_EQ(ParseHostText(c.typed, &out), c.form) << '"' << c.typed << '"';
        EXPECT_EQ(out.form, c.form) << c.typed;
        EXPECT_STREQ(out.host, c.host) << c.typed;
        if (c.form == HOSTFORM_IPV4) {
            EXPECT_EQ(out.address.any.sa_family, AF_INET) << c.typed;
            EXPECT_EQ(Hex(reinterpret_cast<const unsigned char*>(&out.address.v4.sin_addr), 4), c.address) << c.typed;
        } else if (c.form == HOSTFORM_IPV6) {
            EXPECT_TRUE(NetAddressIsV6(out.address)) << c.typed;
            EXPECT_EQ(Hex(out.address.v6.sin6_addr, 16), c.address) << c.typed;
            EXPECT_EQ(out.address.v6.sin6_scope_id, c.scope) << c.typed;
        }
    }
    HostText out;
    EXPECT_EQ(ParseHostText(nullptr, &out), HOSTFORM_MALFORMED);
    // The host fields hold 62 characters; longer text is no host of ours.
    EXPECT_EQ(ParseHostText(std::string(62, 'a').c_str(), &out), HOSTFORM_NAME);
    EXPECT_EQ(ParseHostText(std::string(63, 'a').c_str(), &out), HOSTFORM_MALFORMED);
}

TEST(AddressText, ShortestFormAndBack)
{
    const struct { const char* text; const char* shown; } cases[] = {
        {"::1", "::1"},
        {"::", "::"},
        {"2001:0DB8:0000:0000:0000:0000:0000:0005", "2001:db8::5"},
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},      // one zero group stays
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},         // the first of equal runs
        {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},               // the longest run
        {"1:0:0:0:0:0:0:0", "1::"},
        {"fe80::abcd:ef01", "fe80::abcd:ef01"},
        {"::ffff:c000:0201", "::ffff:192.0.2.1"},              // IPv4-mapped keeps its dots
        {"::ffff:0.0.0.0", "::ffff:0.0.0.0"},
        {"::c000:201", "::c000:201"},                          // not mapped: hex
        {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"},
    };
    for (const auto& c : cases) {
        unsigned char bytes[16];
        ASSERT_TRUE(ParseIpv6Text(c.text, strlen(c.text), bytes)) << c.text;
        char out[ADDRESS_TEXT_SIZE];
        FormatIpv6(bytes, out);
        EXPECT_STREQ(out, c.shown) << c.text;
        unsigned char again[16];
        ASSERT_TRUE(ParseIpv6Text(out, strlen(out), again)) << out;
        EXPECT_EQ(memcmp(bytes, again, 16), 0) << out;
    }
}

TEST(AddressText, SocketAddressesOfBothFamilies)
{
    HostText v6, v4;
    ASSERT_EQ(ParseHostText("fe80::2%3", &v6), HOSTFORM_IPV6);
    ASSERT_EQ(ParseHostText("192.0.2.7", &v4), HOSTFORM_IPV4);
    SetNetAddressPort(&v6.address, 49152);
    SetNetAddressPort(&v4.address, 21);
    char text[ADDRESS_TEXT_SIZE];
    EXPECT_STREQ(FormatNetAddress(v6.address, text), "fe80::2%3");
    EXPECT_STREQ(FormatNetAddress(v4.address, text), "192.0.2.7");
    EXPECT_EQ(NetAddressLength(v6.address), 28);
    EXPECT_EQ(NetAddressLength(v4.address), 16);
    EXPECT_EQ(NetAddressPort(v6.address), 49152u);
    EXPECT_EQ(NetAddressPort(v4.address), 21u);
    // Laid out as Windows' SOCKADDR_IN6: family, port (network order), flow, address, scope.
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&v6.address);
    EXPECT_EQ(raw[0] | raw[1] << 8, 23);
    EXPECT_EQ(raw[2] << 8 | raw[3], 49152);
    EXPECT_EQ(raw[8], 0xfe);
    EXPECT_EQ(raw[24], 3);

    HostText other;
    ParseHostText("[fe80::2%3]", &other);
    EXPECT_TRUE(SameNetHost(v6.address, other.address));  // ports aside
    ParseHostText("fe80::2%4", &other);
    EXPECT_FALSE(SameNetHost(v6.address, other.address));
    ParseHostText("::ffff:192.0.2.7", &other);
    EXPECT_FALSE(SameNetHost(v4.address, other.address));  // another family
}

TEST(FetchArgument, HostAndPath)
{
    const struct { const wchar_t* argument; bool split; const wchar_t* host; const wchar_t* path; } cases[] = {
        {L"ftp.example.com:/pub/file.txt", true, L"ftp.example.com", L"/pub/file.txt"},
        {L"127.0.0.1:file", true, L"127.0.0.1", L"file"},
        {L"[::1]:/pub/f", true, L"[::1]", L"/pub/f"},
        {L"[2001:db8::5]:/a:b", true, L"[2001:db8::5]", L"/a:b"},   // colons in the path stay
        {L"[::1]:", true, L"[::1]", L""},
        {L"host:", true, L"host", L""},
        {L"::1:/pub/f", true, L"", L":1:/pub/f"},    // a plain IPv6 address cannot be told from the path
        {L"[::1]/pub/f", false, L"", L""},
        {L"[::1", false, L"", L""},
        {L"[::1]", false, L"", L""},
        {L"no-colon", false, L"", L""},
        {L"", false, L"", L""},
    };
    for (const auto& c : cases) {
        std::wstring host, path;
        EXPECT_EQ(SplitFetchArgument(c.argument, &host, &path), c.split);
        if (c.split) {
            EXPECT_EQ(host, c.host);
            EXPECT_EQ(path, c.path);
        }
    }
}

}  // namespace
