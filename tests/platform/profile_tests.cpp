// SPDX-License-Identifier: MIT
// The settings profile: single-key reads and writes on real files in a scratch folder.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/Profile.h"
#include "support/ScratchFolder.h"

namespace fs = std::filesystem;
using namespace varlen;
using test::readFile;
using test::ScratchFolder;
using test::writeFile;

namespace {


// A string literal with its inner NUL bytes, without the terminating one.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

const std::string kMissing = "\x01missing";  // "no file" marker in the tables

}  // namespace

TEST(Profile, ReadsOneKey) {
    const std::string longValue(5000, 'x');
    std::string accented;
    for (int i = 0; i < 1100; ++i) accented += "\xC3\xA9";  // 1100 times U+00E9 in UTF-8
    std::string accentedCut;
    for (int i = 0; i < 1023; ++i) accentedCut += "\xC3\xA9";

    struct Case {
        const char* why;
        std::string content;
        std::string section, key, def, expected;
    };
    const std::vector<Case> cases = {
        {"no file gives the default", kMissing, "varlen", "bctype", "2", "2"},
        {"no section gives the default", "[Other]\nbctype=5\n", "varlen", "bctype", "2", "2"},
        {"no key gives the default", "[Varlen]\nfont=Arial\n", "varlen", "bctype", "2", "2"},
        {"section matched without letter case", "[VARLEN]\nbctype=5\n", "varlen", "bctype", "2", "5"},
        {"key matched without letter case", "[Varlen]\nBCType=7\n", "varlen", "bctype", "2", "7"},
        {"blanks around names and value", "  [ Varlen ]  \n\t bctype =  9 \t\n", "varlen", "bctype", "", "9"},
        {"an empty value is not the default", "[Varlen]\nhumanread=\n", "varlen", "humanread", "True", ""},
        {"keys above every section belong to none", "bctype=4\n[Varlen]\nfont=x\n", "varlen", "bctype", "2", "2"},
        {"the first of two equal sections counts", "[Varlen]\na=1\n[varlen]\na=2\n", "varlen", "a", "", "1"},
        {"a key of another section is not seen", "[Addon]\nEan13=12\n[Varlen]\n", "varlen", "Ean13", "-", "-"},
        {"Windows line endings", "[Varlen]\r\nbctype=3\r\n", "varlen", "bctype", "", "3"},
        {"no final line break", "[Varlen]\nbctype=3", "varlen", "bctype", "", "3"},
        {"everything after the first = is the value", "[Varlen]\n4=A=B\n", "varlen", "4", "", "A=B"},
        {"at most 1023 characters", "[Varlen]\nk=" + longValue + "\n", "varlen", "k", "", longValue.substr(0, 1023)},
        {"the cut counts characters, not bytes", "[Varlen]\nk=" + accented + "\n", "varlen", "k", "", accentedCut},
        // Older versions wrote Latin-1; such a value is no valid UTF-8 and is read as Latin-1.
        {"a Latin-1 value", "[Varlen]\n4=M\xFCller \xE9t\xE9\n", "varlen", "4", "", "M\xC3\xBCller \xC3\xA9t\xC3\xA9"},
        {"valid UTF-8 is taken as it is", "[Varlen]\n4=\xC3\xBC\n", "varlen", "4", "", "\xC3\xBC"},
        {"binary junk around a good key", bytes("\xFF\xFE\0\0junk\n[Varlen\n[Varlen]\n\0=\x80\nk=v\n"),
         "varlen", "k", "", "v"},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string name = folder.file("varlen.ini");
        if (c.content != kMissing) writeFile(name, c.content);
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, c.def, name), c.expected) << c.why;
    }
}

TEST(Profile, WritesOneKeyAndLeavesTheRest) {
    const std::string longLine(100000, 'L');
    const std::string junk = bytes("\x00\xFF\xFE garbage [ without end\n\x7F=\x01\n");
    struct Case {
        const char* why;
        std::string before;
        std::string section, key, value;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"the first write creates the file", kMissing, "Varlen", "bctype", "2", "[Varlen]\nbctype=2\n"},
        {"replace in place", "[Varlen]\na=1\nb=2\n", "Varlen", "a", "3", "[Varlen]\na=3\nb=2\n"},
        {"a new key ends its section, blank line kept before the next", "[Varlen]\na=1\n\n[Addon]\nx=1\n",
         "Varlen", "b", "2", "[Varlen]\na=1\nb=2\n\n[Addon]\nx=1\n"},
        {"a new section goes at the end", "[Varlen]\na=1\n", "Addon", "Ean13", "12",
         "[Varlen]\na=1\n[Addon]\nEan13=12\n"},
        {"the header keeps its first spelling", "[VARLEN]\nbctype=1\n", "Varlen", "font", "Arial",
         "[VARLEN]\nbctype=1\nfont=Arial\n"},
        {"the key keeps its spelling", "[varlen]\nBCTYPE=1\n", "Varlen", "bctype", "4", "[varlen]\nBCTYPE=4\n"},
        {"a missing final line break is mended before adding", "[Varlen]\na=1", "Varlen", "b", "2",
         "[Varlen]\na=1\nb=2\n"},
        {"a missing final line break before a new section", "x", "Varlen", "b", "2", "x\n[Varlen]\nb=2\n"},
        {"replace in a last line without a break", "[Varlen]\na=1", "Varlen", "a", "5", "[Varlen]\na=5"},
        {"Windows line endings are kept and followed", "[Varlen]\r\na=1\r\n", "Varlen", "b", "2",
         "[Varlen]\r\na=1\r\nb=2\r\n"},
        {"lines above every section stay", "; note\nstray\n[Varlen]\n", "Varlen", "a", "1",
         "; note\nstray\n[Varlen]\na=1\n"},
        {"line breaks inside a value become spaces", "[Varlen]\n", "Varlen", "4", "A\nB\r\nC\rD",
         "[Varlen]\n4=A B C D\n"},
        {"an empty value is written as such", "[Varlen]\n2=abc\n", "Varlen", "2", "", "[Varlen]\n2=\n"},
        {"binary junk is kept byte for byte", junk, "Varlen", "a", "1", junk + "[Varlen]\na=1\n"},
        {"a very long line is kept whole", "[Varlen]\nlong=" + longLine + "\n", "Varlen", "a", "1",
         "[Varlen]\nlong=" + longLine + "\na=1\n"},
        {"UTF-8 values are stored as they are", "", "Varlen", "font", "DejaVu Sans \xC3\xA9",
         "[Varlen]\nfont=DejaVu Sans \xC3\xA9\n"},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        const std::string name = folder.file("varlen.ini");
        if (c.before != kMissing) writeFile(name, c.before);
        ASSERT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, name)) << c.why;
        EXPECT_EQ(readFile(name), c.after) << c.why;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"varlen.ini"}) << c.why << ": nothing else left beside it";
    }
}

TEST(Profile, WhatIsWrittenReadsBack) {
    ScratchFolder folder;
    const std::string name = folder.file("varlen.ini");
    const std::vector<std::pair<std::string, std::string>> keys = {
        {"bctype", "14"}, {"14", "0306406152"}, {"font", "Liberation Sans"}, {"-1", ""}, {"zoom", "SC9"}};
    for (const auto& [k, v] : keys) ASSERT_TRUE(WritePrivateProfileString("Varlen", k, v, name));
    ASSERT_TRUE(WritePrivateProfileString("Addon", "bookland", "12345", name));
    for (const auto& [k, v] : keys) EXPECT_EQ(GetPrivateProfileString("varlen", k, "?", name), v) << k;
    EXPECT_EQ(GetPrivateProfileString("addon", "BOOKLAND", "?", name), "12345");
    EXPECT_EQ(readFile(name),
              "[Varlen]\nbctype=14\n14=0306406152\nfont=Liberation Sans\n-1=\nzoom=SC9\n[Addon]\nbookland=12345\n");
}

TEST(Profile, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    // A full disk in the middle of the write: the file-size limit makes write() fail once the new
    // content passes it, as ENOSPC would.
    ScratchFolder folder;
    const std::string name = folder.file("varlen.ini");
    const std::string old = "[Varlen]\nbctype=4\n4=" + std::string(20000, '9') + "\n";
    writeFile(name, old);

    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = WritePrivateProfileString("Varlen", "font", "Arial", name);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(name), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"varlen.ini"});
}

TEST(Profile, UnwritablePlacesReportFailure) {
    ScratchFolder folder;
    // A folder that does not exist, and a "file" that is a folder (it cannot be read, so it must
    // not be replaced by a file holding the one new key).
    fs::create_directory(folder.file("taken.ini"));
    for (const std::string& name : {folder.file("no/such/folder/varlen.ini"), folder.file("taken.ini")}) {
        EXPECT_FALSE(WritePrivateProfileString("Varlen", "a", "1", name)) << name;
        TIniFile ini(name);
        try {
            ini.WriteString("Varlen", "a", "1");
            ADD_FAILURE() << "no error for " << name;
        } catch (const EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + name);
        }
    }
    EXPECT_TRUE(fs::is_directory(folder.file("taken.ini")));
    EXPECT_EQ(folder.names(), std::vector<std::string>{"taken.ini"});
}

TEST(Profile, ReplacingKeepsPermissionsAndFollowsLinks) {
    ScratchFolder folder;
    const std::string real = folder.file("real.ini");
    writeFile(real, "[Varlen]\n");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink("real.ini", folder.file("varlen.ini"));
    ASSERT_TRUE(WritePrivateProfileString("Varlen", "a", "1", folder.file("varlen.ini")));
    EXPECT_TRUE(fs::is_symlink(folder.file("varlen.ini")));
    EXPECT_EQ(readFile(real), "[Varlen]\na=1\n");
    struct stat st {};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Two programs storing keys at the same time, each a read-modify-write of the whole file: with the
// lock, the second always reads what the first wrote, so no key is lost.
TEST(Profile, TwoProcessesWritingAtOnceKeepEveryKey) {
    ScratchFolder folder;
    const std::string name = folder.file("varlen.ini");
    constexpr int kKeys = 300;
    std::vector<pid_t> children;
    for (int process = 0; process < 2; ++process) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int i = 0; i < kKeys; ++i)
                ok = WritePrivateProfileString(process ? "Addon" : "Varlen", "k" + std::to_string(i), std::to_string(process), name) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    int kept = 0;
    for (int i = 0; i < kKeys; ++i) {
        kept += GetPrivateProfileString("Varlen", "k" + std::to_string(i), "", name) == "0";
        kept += GetPrivateProfileString("Addon", "k" + std::to_string(i), "", name) == "1";
    }
    EXPECT_EQ(kept, 2 * kKeys);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"varlen.ini"});
}

TEST(Profile, FileNamesResolveWithoutLetterCase) {
    struct Case {
        const char* why;
        std::vector<std::string> present;
        std::string asked, whenMissing, expected;
    };
    const std::vector<Case> cases = {
        {"an upper-case file serves the lower-case name", {"VARLEN.INI"}, "varlen.ini", "", "VARLEN.INI"},
        {"a mixed-case file serves the writers' name", {"Varlen.ini"}, "varlen.INI", "varlen.ini", "Varlen.ini"},
        {"the exact spelling wins", {"VARLEN.INI", "varlen.ini"}, "varlen.ini", "", "varlen.ini"},
        {"of other spellings the first in byte order", {"varlen.Ini", "VARLEN.INI"}, "varlen.ini", "", "VARLEN.INI"},
        {"nothing there: the name for a new file", {}, "varlen.INI", "varlen.ini", "varlen.ini"},
        {"nothing there and no other name: as asked", {"other.ini"}, "varlen.ini", "", "varlen.ini"},
        {"a temporary beside it does not count", {".varlen.ini.AbC123"}, "varlen.ini", "", "varlen.ini"},
    };
    for (const auto& c : cases) {
        ScratchFolder folder;
        for (const auto& n : c.present) writeFile(folder.file(n), "");
        const std::string whenMissing = c.whenMissing.empty() ? "" : folder.file(c.whenMissing);
        EXPECT_EQ(ResolveFileNameIgnoringCase(folder.file(c.asked), whenMissing), folder.file(c.expected)) << c.why;
    }
}
