// FTPS with real servers that require TLS on the control and every data
// connection: the logon through ConnectSession, then listings, receives and
// sends in active and passive mode, byte for byte.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "ftp/command.h"
#include "ftp/ftps.h"
#include "ftp/logon.h"
#include "ftp/session.h"
#include "net/socket.h"
#include "ftp/transfer.h"
#include "store/options.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"
#include "tests/support/transferfiles.h"

namespace {

struct FtpsCase {
    RealServer server;
    bool passive;
};

std::string CaseName(const ::testing::TestParamInfo<FtpsCase>& info)
{
    std::string name = info.param.server.name;
    name = name.substr(0, name.find('-'));
    return name + (info.param.passive ? "Passive" : "Active");
}

class Ftps : public ::testing::TestWithParam<FtpsCase> {
protected:
    void SetUp() override
    {
        EnsureWinsock();
        ResetSession();
        scratch_.Enter("tarn-ftps-real");
        root_ = ServerRoot(GetParam().server, false);
        lstrcpynA(ListingTempFile, (scratch_.Path() + "\\DIR.tmp").c_str(), sizeof ListingTempFile);
        HostProfile.timeout = 20;
        HostProfile.retries = 0;
        HostProfile.useGateway = 0;
        HostProfile.folder[0] = 0;
        HostProfile.hostType = 6000;
        HostProfile.ftpPort = static_cast<DWORD>(ServerPort(GetParam().server));
        HostProfile.passive = GetParam().passive ? 1 : 0;
        HostProfile.tls = 1;
        lstrcpynA(HostProfile.trustedCertificate, ServerFingerprint(GetParam().server).c_str(),
                  sizeof HostProfile.trustedCertificate);
        ProgramOptions.bell = 0;
        ProgramOptions.receiveUnique = 0;
        CaptureLog();
    }
    void TearDown() override
    {
        if (FtpSession.controlSocket != INVALID_SOCKET)
            SendCommand(FtpSession.controlSocket, "QUIT");
        FtpSession.controlSocket = ReleaseSocket(FtpSession.controlSocket);
        FtpSession.loggedOn = 0;
        for (const std::string& f : remoteFiles_)
            DeleteFileA((root_ + "\\" + f).c_str());
        scratch_.Leave();
        ListingTempFile[0] = 0;
        HostProfile.tls = 0;
        HostProfile.passive = 0;
        HostProfile.trustedCertificate[0] = 0;
        ResetSession();
    }
    std::string Remote(const std::string& name)
    {
        remoteFiles_.push_back(name);
        return root_ + "\\" + name;
    }

    ScratchDir scratch_;
    std::string root_;
    std::vector<std::string> remoteFiles_;
    CallDeadline deadline_{240000};
};

TEST_P(Ftps, ListReceiveAndSendByteForByte)
{
    SOCKET s = ConnectSession("127.0.0.1", kServerUser, kServerPassword);
    ASSERT_NE(s, INVALID_SOCKET) << Joined(CapturedLog());
    EXPECT_TRUE(LogHas("AUTH TLS"));
    EXPECT_TRUE(LogHas("PBSZ 0"));
    EXPECT_TRUE(LogHas("PROT P"));
    EXPECT_TRUE(LogHasPrefix("TLS: TLS 1.2")) << Joined(CapturedLog());
    EXPECT_TRUE(LogHas(CatalogueText(214)));  // the stored fingerprint matched

    ASSERT_TRUE(WriteBytes(Remote("listed-one.txt"), "x"));
    EXPECT_EQ(RetrieveListing(s, "LIST"), 2) << Joined(CapturedLog());
    EXPECT_NE(ReadBytes(ListingTempFile).find("listed-one.txt"), std::string::npos);

    const size_t sizes[] = {0, 1, 16383, 16384, 16385, 65536, 65537, 3u << 20};
    for (size_t size : sizes) {
        char name[32];
        sprintf(name, "tls-%u.bin", static_cast<unsigned>(size));
        SCOPED_TRACE(name);
        const std::string content = Pattern(size, static_cast<unsigned>(size) + 3);
        ASSERT_TRUE(WriteBytes(Remote(std::string("r") + name), content));
        EXPECT_EQ(RetrieveFile(s, (std::string("RETR r") + name).c_str(), name, name, 'I'), 2)
            << Joined(CapturedLog());
        EXPECT_TRUE(SameBytes(ReadBytes(name), content));
        const std::string stored = Remote(std::string("s") + name);
        EXPECT_EQ(StoreFile(s, (std::string("STOR s") + name).c_str(), name, 'I'), 2) << Joined(CapturedLog());
        EXPECT_TRUE(SameBytes(ReadBytes(stored), content));
        DeleteFileA(name);
    }
    EXPECT_EQ(FtpPwd(s), 2);
    EXPECT_EQ(FtpSession.commandCount, 0);
}

INSTANTIATE_TEST_SUITE_P(TlsServers, Ftps,
                         ::testing::Values(FtpsCase{kTlsServers[0], false}, FtpsCase{kTlsServers[0], true},
                                           FtpsCase{kTlsServers[1], false}, FtpsCase{kTlsServers[1], true}),
                         CaseName);

}  // namespace
