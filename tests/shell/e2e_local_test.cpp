// The local pane's commands of the real tarn.exe, used through its windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

#include "listing/paths.h"
#include "log/log.h"
#include "resources/resource.h"
#include "tests/support/registry_guard.h"
#include "tests/support/tarnapp.h"
#include "tests/support/testlog.h"

namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string all;
    for (const std::string& l : lines)
        all += l + "\n";
    return all;
}

bool Contains(const std::vector<std::string>& items, const std::string& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

// "Reason: ..." as the program logs it for a system error code.
std::string ReasonLine(DWORD code)
{
    char text[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.'))
        text[--n] = 0;
    return "Reason: " + std::string(text) + ".";
}

std::string LocalLabel(const std::string& path)
{
    return ShortenLocalPath(path.c_str(), 25, GetACP());
}

// The two lines after the line `first`, or "" when there are none.
std::string LineAfter(const std::vector<std::string>& lines, const std::string& first)
{
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i] == TarnApp::Line(first))
            return lines[i + 1];
    return "";
}

TEST(EndToEndLocal, LocalCommandsThroughTheWindow)
{
    RegistryGuard registry;
    // The viewer writes its command line where the test can read it.
    WriteTestOptions("cmd /c >viewed.txt echo");
    TarnApp app;
    app.dir = TempDirectory("local");
    const std::string& dir = app.dir;
    for (const char* d : {"alpha", "beta", "full"})
        CreateDirectoryA((dir + "\\" + d).c_str(), nullptr);
    WriteBytes(dir + "\\full\\keep.txt", "kept");
    for (const char* f : {"README", "a.txt", "one.dat", "two.dat", "three.dat"})
        WriteBytes(dir + "\\" + f, f);
    ASSERT_TRUE(app.Start("local"));

    std::vector<std::string> dirs = app.Items(IDC_LOCAL_DIRS);
    for (const char* d : {"..", "alpha", "beta", "full", "[-c-]", "[-z-]"})
        EXPECT_TRUE(Contains(dirs, d)) << d << "\n" << Joined(dirs);
    EXPECT_EQ(app.Text(IDC_LOCAL_DIR_TEXT), LocalLabel(dir));

    // GoTo with two directories selected: entry 12, nothing changes.
    app.Mark();
    app.Select(IDC_LOCAL_DIRS, {"alpha", "beta"});
    app.Click(IDC_LOCAL_GOTO);
    EXPECT_TRUE(app.WaitLogged(CatalogueText(12)));
    EXPECT_EQ(app.Text(IDC_LOCAL_DIR_TEXT), LocalLabel(dir));

    // A double-click walks into a directory, ".." back out.
    app.Select(IDC_LOCAL_DIRS, {"alpha"});
    app.Notify(IDC_LOCAL_DIRS, LBN_DBLCLK);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_LOCAL_DIR_TEXT) == LocalLabel(dir + "\\alpha"); }))
        << app.Text(IDC_LOCAL_DIR_TEXT);
    app.Select(IDC_LOCAL_DIRS, {".."});
    app.Notify(IDC_LOCAL_DIRS, LBN_DBLCLK);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_LOCAL_DIR_TEXT) == LocalLabel(dir); }));

    // A drive entry makes that drive current; a typed drive and path come back.
    app.Select(IDC_LOCAL_DIRS, {"[-z-]"});
    app.Click(IDC_LOCAL_GOTO);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_LOCAL_DIR_TEXT).rfind("Z:\\", 0) == 0; }))
        << app.Text(IDC_LOCAL_DIR_TEXT);
    app.SelectNone(IDC_LOCAL_DIRS);
    app.Click(IDC_LOCAL_GOTO);
    std::string title;
    EXPECT_EQ(app.Answer(dir, &title), CatalogueText(13));
    EXPECT_EQ(title, CatalogueText(144));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return app.Text(IDC_LOCAL_DIR_TEXT) == LocalLabel(dir); }))
        << app.Text(IDC_LOCAL_DIR_TEXT);

    // Create a directory with a blank in its name.
    app.Click(IDC_LOCAL_CREATE);
    EXPECT_EQ(app.Answer("new dir", &title), CatalogueText(13));
    EXPECT_EQ(title, CatalogueText(145));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return Contains(app.Items(IDC_LOCAL_DIRS), "new dir"); }));
    EXPECT_TRUE(DirExists(dir + "\\new dir"));

    // Removing a directory that is not empty: 128, then the system's reason.
    app.Mark();
    app.Select(IDC_LOCAL_DIRS, {"full"});
    app.Click(IDC_LOCAL_REMOVE);
    EXPECT_EQ(app.AnswerBox(IDYES, &title), CatalogueText(95, "full"));
    EXPECT_EQ(title, CatalogueText(97));
    std::string removeFailed = "Unable to remove directory <full>.";
    ASSERT_TRUE(app.WaitLogged(removeFailed));
    app.Settle(300);
    std::vector<std::string> lines = app.NewLines();
    EXPECT_EQ(LineAfter(lines, removeFailed), TarnApp::Line(ReasonLine(ERROR_DIR_NOT_EMPTY))) << Joined(lines);
    EXPECT_TRUE(FileExists(dir + "\\full\\keep.txt"));

    // View of a name without ".": the viewer gets the name and a ".".
    app.SelectNone(IDC_LOCAL_DIRS);
    app.Select(IDC_LOCAL_FILES, {"README"});
    app.Click(IDC_LOCAL_VIEW);
    EXPECT_TRUE(TarnApp::WaitFor([&] { return ReadBytes(dir + "\\viewed.txt") == "README.\r\n"; }))
        << ReadBytes(dir + "\\viewed.txt");
    // With two files selected View does nothing.
    DeleteFileA((dir + "\\viewed.txt").c_str());
    app.Select(IDC_LOCAL_FILES, {"README", "a.txt"});
    app.Click(IDC_LOCAL_VIEW);
    app.Settle(500);
    EXPECT_FALSE(app.WaitDialog(IDC_INPUT_TEXT, 300));
    EXPECT_FALSE(FileExists(dir + "\\viewed.txt"));

    // Rename with an empty new name: the rename is tried and refused (152).
    std::string scratch = dir + "\\scratch.txt";
    WriteBytes(scratch, "x");
    MoveFileA(scratch.c_str(), "");
    DWORD emptyNameError = GetLastError();
    DeleteFileA(scratch.c_str());
    app.Mark();
    app.Select(IDC_LOCAL_FILES, {"a.txt"});
    app.Click(IDC_LOCAL_RENAME);
    EXPECT_EQ(app.Answer("", &title), CatalogueText(15, "a.txt"));
    EXPECT_EQ(title, CatalogueText(141));
    std::string renameFailed = "Unable to rename <a.txt> to <>.";
    ASSERT_TRUE(app.WaitLogged(renameFailed));
    app.Settle(300);
    lines = app.NewLines();
    EXPECT_EQ(LineAfter(lines, renameFailed), TarnApp::Line(ReasonLine(emptyNameError))) << Joined(lines);
    EXPECT_EQ(ReadBytes(dir + "\\a.txt"), "a.txt");

    // Delete three files, refusing the second: the first and third go.
    app.Select(IDC_LOCAL_FILES, {"one.dat", "two.dat", "three.dat"});
    app.Click(IDC_LOCAL_DELETE);
    std::vector<std::string> asked;
    asked.push_back(app.AnswerBox(IDYES));
    asked.push_back(app.AnswerBox(IDNO));
    asked.push_back(app.AnswerBox(IDYES));
    EXPECT_EQ(asked, (std::vector<std::string>{CatalogueText(95, "one.dat"), CatalogueText(95, "three.dat"),
                                               CatalogueText(95, "two.dat")}));
    EXPECT_TRUE(TarnApp::WaitFor([&] { return !Contains(app.Items(IDC_LOCAL_FILES), "two.dat"); }));
    EXPECT_FALSE(FileExists(dir + "\\one.dat"));
    EXPECT_TRUE(FileExists(dir + "\\three.dat"));
    EXPECT_FALSE(FileExists(dir + "\\two.dat"));
    EXPECT_FALSE(Contains(app.Items(IDC_LOCAL_FILES), "one.dat"));

    // Enter in the local mask lists by the mask.
    app.Type(IDC_LOCAL_MASK, "*.dat");
    app.PressEnter(IDC_LOCAL_MASK);
    EXPECT_TRUE(TarnApp::WaitFor([&] {
        return app.Items(IDC_LOCAL_FILES) == std::vector<std::string>{"three.dat"};
    })) << Joined(app.Items(IDC_LOCAL_FILES));

    app.Click(IDC_EXIT);
    EXPECT_EQ(app.WaitExit(), 0);
}

}  // namespace
