// The host-type table and the detection rules on reply lines.
#include <gtest/gtest.h>

#include "listing/hosttypes.h"

namespace {

TEST(HostTypes, TableNames)
{
    EXPECT_STREQ(HostTypeName(6000), "Auto Detect");
    EXPECT_STREQ(HostTypeName(6010), "UNIX (Default)");
    EXPECT_STREQ(HostTypeName(6019), "FTP Software PC/TCP 3.X  OnNet 1.X");
    EXPECT_STREQ(HostTypeName(6020), "Varnholt VMS FTP");
    EXPECT_STREQ(HostTypeName(5999), "");
    EXPECT_STREQ(HostTypeName(6021), "");
}

TEST(HostTypes, HelpTextIdentifiesThePackage)
{
    struct Case { const wchar_t* line; DWORD type; };
    for (Case c : {Case{L"214-NCSA Telnet FTP server commands:", HOST_NCSA},
                   Case{L"214-CUTCP ftp server", HOST_NCSA},
                   Case{L"214-PC FTP server: commands recognized", HOST_WINQVT},
                   Case{L"214- WinQVT/Net FTP server", HOST_WINQVT},
                   Case{L"211-FTP Software PC/TCP FTP Server for Windows, version 3", HOST_PCTCP3},
                   Case{L"214-OnNet PC/TCP 3.10 server", HOST_PCTCP3},
                   Case{L"214-The following commands are recognized (* =>'s unimplemented).", HOST_UNIX},
                   Case{L"214 pc ftp server", HOST_UNIX}})
        EXPECT_EQ(HostTypeFromHelp(c.line), c.type) << c.line;
}

TEST(HostTypes, SystReplyFirstMatchWins)
{
    struct Case { const wchar_t* line; DWORD type; };
    for (Case c : {Case{L"215 Windows_NT version 4.0", HOST_WINNT},
                   Case{L"215 Windows_NT emulating UNIX", HOST_WINNT},
                   Case{L"215 WINDOWS NT Type: L8", HOST_SOFTINNOV},
                   Case{L"215 UNIX Type: L8", HOST_UNIX},
                   Case{L"215 MultiNet VMS", HOST_MULTINET},
                   Case{L"215 VMS system", HOST_UCX},
                   Case{L"215 OS/2 PC Type: L8", HOST_OS2},
                   Case{L"215 MVS is the operating system of this server. OS/MVS", HOST_MVS},
                   Case{L"215 NETWARE Type: L8", HOST_UNIX}})
        EXPECT_EQ(HostTypeFromSyst(c.line), c.type) << c.line;
}

TEST(HostTypes, HelpLinesSetCommandFlagsBySubstring)
{
    CommandSupport s{};
    ScanHelpLine(L"   USER    PASS    ACCT    XMKD    CWD", &s);
    EXPECT_TRUE(s.canMakeDir);
    EXPECT_FALSE(s.canRemoveDir || s.canRename || s.canDelete);
    ScanHelpLine(L"   RMD     RNFR    DELE", &s);
    EXPECT_TRUE(s.canRemoveDir && s.canRename && s.canDelete);
}

}  // namespace
