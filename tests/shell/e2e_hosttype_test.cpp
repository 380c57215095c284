// The host type through the real tarn.exe: the type chosen in the host
// dialog or stored in the profile is the one the listing is read with, Auto
// Detect detects on every logon, and every way of connecting starts from the
// profile's type. The servers are scripted and serve real LIST lines.
#include <gtest/gtest.h>

#include <windows.h>
#include <ctype.h>
#include <algorithm>
#include <string>
#include <vector>

#include "ftp/hosttypeids.h"
#include "listing/hosttypes.h"
#include "resources/resource.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/registry_guard.h"
#include "tests/support/rulerun.h"
#include "tests/support/scriptserver.h"
#include "tests/support/servers.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

// Listing lines of a file of tests/data/listings: the ASCII ones (the code
// pages of 8-bit names are the listing tests' business), as they were sent.
std::vector<std::string> AsciiLines(const char* file)
{
    std::vector<std::string> lines;
    for (const std::string& line : ListingDataLines(file)) {
        if (line.compare(0, 2, "#=") == 0 || line.size() > 400)
            continue;
        if (std::all_of(line.begin(), line.end(), [](char c) { return c >= 0 && c != '\r'; }))
            lines.push_back(line);
    }
    return lines;
}

// What the two remote lists hold once the lines are listed under the type:
// ".." and the names the line rule gives, each list sorted.
struct Lists {
    std::vector<std::string> dirs, files;
    bool operator==(const Lists& o) const { return dirs == o.dirs && files == o.files; }
};

Lists RuleLists(unsigned long hostType, const std::vector<std::string>& lines)
{
    RuleRun run = RunLines(hostType, lines);
    Lists l{run.dirs, run.files};
    l.dirs.push_back("..");
    std::sort(l.dirs.begin(), l.dirs.end());
    std::sort(l.files.begin(), l.files.end());
    return l;
}

Lists Shown(const TarnApp& app)
{
    Lists l{app.Items(IDC_REMOTE_DIRS), app.Items(IDC_REMOTE_FILES)};
    std::sort(l.dirs.begin(), l.dirs.end());
    std::sort(l.files.begin(), l.files.end());
    return l;
}

std::string HostTypeLine(DWORD type)
{
    return CatalogueText(78, static_cast<unsigned>(type - HOST_AUTO), HostTypeName(type));
}

// A logon and the first listing: PWD, HELP (answered with `help`), SYST when
// `syst` is given, PORT and LIST, whose data are the lines.
std::vector<ScriptStep> LogonAndListing(const std::string& help, const std::string& syst,
                                        const std::vector<std::string>& lines)
{
    std::string data;
    for (const std::string& line : lines)
        data += line + "\r\n";
    std::vector<ScriptStep> steps{Say("220 Scripted server ready\r\n"), Hear(), Say("331 Password please\r\n"),
                                  Hear(), Say("230 Logged on\r\n"), Hear(), Say("257 \"/\" is current\r\n"),
                                  Hear(), Say(help)};
    if (!syst.empty())
        steps.insert(steps.end(), {Hear(), Say(syst)});
    steps.insert(steps.end(), {Hear(), Say("200 PORT ok\r\n"), Hear(), Say("150 Listing\r\n"), DataConnect(),
                               DataSay(data), DataClose(), Say("226 Done\r\n")});
    return steps;
}

const char kHelp[] = "214 No help here\r\n";

// The end of a script: QUIT is answered, then whatever comes is recorded.
void AddQuit(std::vector<ScriptStep>* steps)
{
    steps->insert(steps->end(), {Hear(), Say("221 Bye\r\n"), Silent()});
}

// The commands a logon with its first listing sends: SYST only when detected.
std::vector<std::string> LogonWire(bool syst)
{
    std::vector<std::string> wire{"USER tarnftp", "PASS secret", "PWD", "HELP"};
    if (syst)
        wire.push_back("SYST");
    wire.push_back("PORT");
    wire.push_back("LIST");
    return wire;
}

// The heard commands with the PORT arguments cut off, up to the first LIST.
std::vector<std::string> WireOf(const std::vector<std::string>& heard, size_t from = 0)
{
    std::vector<std::string> wire;
    for (size_t i = from; i < heard.size(); ++i) {
        wire.push_back(heard[i].compare(0, 5, "PORT ") == 0 ? "PORT" : heard[i]);
        if (heard[i] == "LIST")
            break;
    }
    return wire;
}

bool Logged(const TarnApp& app, const std::string& line)
{
    std::vector<std::string> lines = app.History();
    return std::find(lines.begin(), lines.end(), TarnApp::Line(line)) != lines.end();
}

void Disconnect(TarnApp& app)
{
    app.Click(IDC_DISCONNECT);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Enabled(IDC_CONNECT) && app.Title() == "TARN"; }));
    app.Settle(300);
}

struct FamilyCase {
    const char* file;
    DWORD hostType;
};

// Every listing family, chosen in the dialog or stored in the profile, over
// one run of the program: the lists hold what the family's rule makes of the
// real lines, and none of the types chosen before leaks into the next logon.
TEST(EndToEndHostType, AChosenTypeReadsTheListingWithItsRule)
{
    RegistryGuard registry;
    WriteTestOptions();
    // PC-TCP, IBM-PC and Software Innovations have no real lines of their own;
    // they read those of their nearest neighbours.
    const FamilyCase cases[] = {
        {"unix.txt", HOST_UNIX},    {"nt.txt", HOST_WINNT},       {"dos.txt", HOST_CHAMELEON},
        {"dos.txt", HOST_PCTCP},    {"nt.txt", HOST_IBMPC},       {"vm.txt", HOST_IBMVM},
        {"ka9q.txt", HOST_KA9Q},    {"vms.txt", HOST_MULTINET},   {"winqvt.txt", HOST_WINQVT},
        {"os2.txt", HOST_OS2},      {"mvs.txt", HOST_MVS},        {"unix.txt", HOST_SOFTINNOV},
    };
    TarnApp app;
    ASSERT_TRUE(app.Start("hosttype-families"));
    bool inDialog = true;
    for (const FamilyCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " as " + HostTypeName(c.hostType) +
                     (inDialog ? ", chosen in the dialog" : ", stored in the profile"));
        std::vector<std::string> lines = AsciiLines(c.file);
        ASSERT_GT(lines.size(), 20u);
        Lists expected = RuleLists(c.hostType, lines);
        // The fixture shows the fault: read as UNIX, the lists would differ.
        if (c.hostType != HOST_UNIX) {
            ASSERT_FALSE(expected == RuleLists(HOST_UNIX, lines));
        }
        std::vector<ScriptStep> steps = LogonAndListing(kHelp, "", lines);
        AddQuit(&steps);
        ScriptServer server(steps);
        ASSERT_TRUE(server.Listening());
        const std::string folder = std::string("e2e-type-") + std::to_string(c.hostType);
        WriteHostProfile(folder, server.Port(), false);
        if (!inDialog)
            RegSetText(folder, "TYPE", std::to_string(c.hostType));
        app.Click(IDC_CONNECT);
        ASSERT_TRUE(app.ConnectWith(folder, "secret", inDialog ? c.hostType : 0));
        EXPECT_TRUE(TarnApp::WaitFor([&] { return Shown(app) == expected; }, 20000))
            << "dirs: " << Joined(Shown(app).dirs) << "\nfiles: " << Joined(Shown(app).files);
        app.Settle(300);
        EXPECT_TRUE(Logged(app, HostTypeLine(c.hostType))) << Joined(app.History());
        EXPECT_EQ(WireOf(server.Heard()), LogonWire(false));
        Disconnect(app);
        inDialog = !inDialog;
    }
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// A detected VMS type is the current one until the next logon: the dialog
// shows it and Save stores it; Auto Detect then detects UNIX on vsftpd.
TEST(EndToEndHostType, AutoDetectDetectsOnEveryLogon)
{
    RegistryGuard registry;
    WriteTestOptions();
    const std::vector<std::string> vms = AsciiLines("vms.txt");
    std::vector<ScriptStep> steps = LogonAndListing("214 Help follows\r\n", "215 VMS MultiNet V5.5\r\n", vms);
    AddQuit(&steps);
    ScriptServer server(steps);
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-multinet", server.Port(), false);
    WriteHostProfile("e2e-vsftpd", ServerPort(kRealServers[0]), false);
    const std::string root = ServerRoot(kRealServers[0], false);
    WriteBytes(root + "\\e2e-hosttype.txt", "seen as UNIX");

    TarnApp app;
    ASSERT_TRUE(app.Start("hosttype-detect"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-multinet", "secret"));
    const Lists expected = RuleLists(HOST_MULTINET, vms);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Shown(app) == expected; }, 20000)) << Joined(Shown(app).files);
    app.Settle(300);
    EXPECT_TRUE(Logged(app, HostTypeLine(HOST_MULTINET))) << Joined(app.History());
    EXPECT_EQ(WireOf(server.Heard()), LogonWire(true));
    Disconnect(app);

    // The dialog opens on the folder with the detected type; Save stores it.
    app.Click(IDC_CONNECT);
    HWND dialog = app.WaitDialog(IDC_HOST_FOLDER);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_HOST_TYPE, CB_GETCURSEL, 0, 0), HOST_MULTINET - HOST_AUTO);
    Snapshot("host-dialog-detected");
    PostMessageA(GetDlgItem(dialog, IDC_HOST_SAVE), BM_CLICK, 0, 0);
    EXPECT_TRUE(TarnApp::WaitFor([] { return RegText("e2e-multinet", "TYPE") == "6011"; }, 5000))
        << RegText("e2e-multinet", "TYPE");

    // Another folder with Auto Detect: SYST is asked again, and vsftpd's
    // listing is read as UNIX.
    long serverLog = ServerLogSize();
    ASSERT_TRUE(app.ConnectWith("e2e-vsftpd", kServerPassword));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_REMOTE_FILES), "e2e-hosttype.txt"); }, 20000))
        << Joined(app.Items(IDC_REMOTE_FILES));
    app.Settle(300);
    std::vector<std::string> history = app.History();
    EXPECT_TRUE(Contains(history, TarnApp::Line(HostTypeLine(HOST_UNIX)))) << Joined(history);
    std::vector<std::string> commands = ServerCommandsSince(serverLog);
    EXPECT_TRUE(std::any_of(commands.begin(), commands.end(),
                            [](const std::string& l) { return l == "SYST"; }))
        << Joined(commands);
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
    DeleteFileA((root + "\\e2e-hosttype.txt").c_str());
}

// A chosen Windows NT type survives a reconnect: the NT rule's switch to
// UNIX on a UNIX-style listing lasts only until the next logon, whose NT
// listing is read with the NT rule again.
TEST(EndToEndHostType, AChosenTypeSurvivesAReconnect)
{
    RegistryGuard registry;
    WriteTestOptions();
    std::vector<std::string> unixStyle, dosStyle;
    for (const std::string& line : AsciiLines("nt.txt"))
        (isdigit(static_cast<unsigned char>(line.empty() ? 'x' : line[0])) ? dosStyle : unixStyle).push_back(line);
    ASSERT_GT(unixStyle.size(), 10u);
    ASSERT_GT(dosStyle.size(), 10u);
    std::vector<ScriptStep> steps = LogonAndListing(kHelp, "", unixStyle);
    steps.insert(steps.end(), {Hear(), Say("221 Bye\r\n"), NextClient()});
    for (const ScriptStep& step : LogonAndListing(kHelp, "", dosStyle))
        steps.push_back(step);
    AddQuit(&steps);
    ScriptServer server(steps);
    ASSERT_TRUE(server.Listening());
    WriteHostProfile("e2e-nt", server.Port(), false);
    RegSetText("e2e-nt", "TYPE", "6014");

    TarnApp app;
    ASSERT_TRUE(app.Start("hosttype-reconnect"));
    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-nt", "secret"));
    const Lists first = RuleLists(HOST_WINNT, unixStyle);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Shown(app) == first; }, 20000)) << Joined(Shown(app).files);
    app.Settle(300);
    EXPECT_TRUE(Logged(app, CatalogueText(24))) << Joined(app.History());
    Disconnect(app);

    app.Click(IDC_CONNECT);
    ASSERT_TRUE(app.ConnectWith("e2e-nt", "secret"));
    const Lists second = RuleLists(HOST_WINNT, dosStyle);
    ASSERT_FALSE(second == RuleLists(HOST_UNIX, dosStyle));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Shown(app) == second; }, 20000)) << Joined(Shown(app).files);
    app.Settle(300);
    EXPECT_TRUE(Logged(app, HostTypeLine(HOST_WINNT))) << Joined(app.History());
    std::vector<std::string> heard = server.Heard();
    size_t reconnect = std::find(heard.begin(), heard.end(), "QUIT") - heard.begin() + 1;
    EXPECT_EQ(WireOf(heard), LogonWire(false));
    EXPECT_EQ(WireOf(heard, reconnect), LogonWire(false));
    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

// The debug window's Connect and the automatic Connect at start-up take
// the profile's type as the Connect button does.
TEST(EndToEndHostType, EveryConnectPathHonoursAChosenType)
{
    const std::vector<std::string> mvs = AsciiLines("mvs.txt");
    const Lists expected = RuleLists(HOST_MVS, mvs);
    struct Case {
        const char* name;
        const char* arguments;
        DWORD autoStart;
    } cases[] = {{"connect-button", "", 0}, {"debug-window", "-d", 0}, {"autostart", "", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistryGuard registry;
        WriteTestOptions("notepad", 0, c.autoStart);
        bool debug = std::string(c.arguments) == "-d";
        // The debug window's Connect lists nothing; Enter in the remote mask does.
        std::vector<ScriptStep> steps = LogonAndListing(kHelp, "", mvs);
        AddQuit(&steps);
        ScriptServer server(steps);
        ASSERT_TRUE(server.Listening());
        WriteHostProfile("e2e-mvs", server.Port(), false);
        RegSetText("e2e-mvs", "TYPE", "6018");
        TarnApp app;
        ASSERT_TRUE(app.Start(std::string("hosttype-") + c.name, c.arguments));
        if (debug)
            app.DebugCommand(IDM_DBG_CONNECT);
        else if (!c.autoStart)
            app.Click(IDC_CONNECT);
        ASSERT_TRUE(app.ConnectWith("e2e-mvs", "secret"));
        if (debug) {
            ASSERT_TRUE(TarnApp::WaitFor([&] { return app.Title() == "TARN 127.0.0.1"; }));
            app.Settle(300);
            EXPECT_TRUE(app.Items(IDC_REMOTE_FILES).empty());
            app.PressEnter(IDC_REMOTE_MASK);
        }
        EXPECT_TRUE(TarnApp::WaitFor([&] { return Shown(app) == expected; }, 20000)) << Joined(Shown(app).files);
        app.Settle(300);
        EXPECT_TRUE(Logged(app, HostTypeLine(HOST_MVS))) << Joined(app.History());
        EXPECT_EQ(WireOf(server.Heard()), LogonWire(false));
        app.Click(IDC_EXIT);
        EXPECT_EQ(app.WaitExit(), 0);
    }
}

}  // namespace
