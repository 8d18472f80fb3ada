// SPDX-License-Identifier: MIT
// WriteFileAtomic on real files: new files (written unnamed, then linked), replaced files, links,
// failures. Each case checks the bytes, the permissions and that nothing else is left in the folder.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "support/ScratchFolder.h"
#include "support/ScratchMount.h"

namespace fs = std::filesystem;
using namespace varlen;
using test::readFile;
using test::writeFile;

namespace {


mode_t modeOf(const std::string& name) {
    struct stat st {};
    ::stat(name.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(WriteFileAtomic, NewAndReplacedFiles) {
    const mode_t mask = ::umask(0027);  // a mask of our own, so that the expected modes are known
    struct Case {
        const char* why;
        std::vector<std::string> before;  // "name=content"; "name->target" makes a link; mode 0600 on "keep"
        std::string target;               // the name written
        std::string expectFile;           // where the bytes must land
        mode_t expectMode;
        std::vector<std::string> after;   // the folder afterwards
    };
    const std::vector<Case> cases = {
        {"a new file gets 0666 less the umask and no temporary is left", {}, "new.bin", "new.bin", 0640, {"new.bin"}},
        {"a replaced file keeps its own mode", {"keep=old"}, "keep", "keep", 0600, {"keep"}},
        {"a link is followed and stays a link", {"real=old", "link->real"}, "link", "real", 0640, {"link", "real"}},
        {"a link to a file not yet there makes the file where it points",
         {"dangling->made"}, "dangling", "made", 0640, {"dangling", "made"}},
    };
    // Every case once whole, once streamed in pieces and committed.
    for (const bool streamed : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(streamed ? "TFileStream" : "WriteFileAtomic");
        test::ScratchFolder folder;
        for (const std::string& b : c.before) {
            const auto arrow = b.find("->");
            if (arrow != std::string::npos) {
                fs::create_symlink(b.substr(arrow + 2), folder.file(b.substr(0, arrow)));
            } else {
                const auto eq = b.find('=');
                writeFile(folder.file(b.substr(0, eq)), b.substr(eq + 1));
            }
        }
        if (fs::exists(folder.file("keep"))) ::chmod(folder.file("keep").c_str(), 0600);
        if (fs::exists(folder.file("real"))) ::chmod(folder.file("real").c_str(), 0640);
        const std::string first = "first part ", second(100000, 'x');  // larger than one page, in two pieces
        if (streamed) {
            TFileStream stream(folder.file(c.target));
            stream.Write(first.data(), first.size());
            stream.Write(second.data(), second.size());
            EXPECT_EQ(folder.names().size(), c.before.size()) << "nothing named before the commit";
            stream.Commit();
        } else {
            WriteFileAtomic(folder.file(c.target), {ByteSpan{first.data(), first.size()}, ByteSpan{second.data(), second.size()}});
        }
        EXPECT_EQ(readFile(folder.file(c.expectFile)), first + second) << c.why;
        EXPECT_EQ(modeOf(folder.file(c.expectFile)), c.expectMode) << c.why;
        EXPECT_EQ(folder.names(), c.after) << c.why;
    }
    ::umask(mask);
}

TEST(WriteFileAtomic, FailuresLeaveNothingAndNameTheFile) {
    test::ScratchFolder folder;
    // A full disk in the middle of a new file and of a replacement: the file-size limit makes the
    // write fail as ENOSPC would.
    writeFile(folder.file("old"), "old content");
    const std::string big(20000, 'y');
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::vector<std::string> errors;
    for (const bool streamed : {false, true}) {
        for (const std::string& name : {folder.file("new"), folder.file("old")}) {
            try {
                if (streamed) {
                    TFileStream stream(name);
                    for (int piece = 0; piece < 4; ++piece) stream.Write(big.data(), big.size() / 4);
                    stream.Commit();
                } else {
                    WriteFileAtomic(name, big.data(), big.size());
                }
                errors.push_back("no error");
            } catch (const EInOutError& e) {
                errors.push_back(e.what());
            }
        }
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    const std::string tooLarge = ": File too large";
    EXPECT_EQ(errors, (std::vector<std::string>{folder.file("new") + tooLarge, folder.file("old") + tooLarge,
                                                folder.file("new") + tooLarge, folder.file("old") + tooLarge}));
    // A stream given up before its commit (a failure of whatever makes the document) leaves
    // nothing either.
    {
        TFileStream abandoned(folder.file("old"));
        abandoned.Write("new", 3);
    }
    EXPECT_EQ(readFile(folder.file("old")), "old content");
    EXPECT_EQ(folder.names(), std::vector<std::string>{"old"});

    // A folder that does not exist, a folder in the target's place, and the permissions: a read-only
    // file in a folder its user may write (replacing it through the folder would defeat its mode),
    // and a read-only folder. Root passes over permissions, so as root those are written by an
    // ordinary user who owns the folders and the file.
    fs::create_directory(folder.file("dir"));
    fs::create_directory(folder.file("own"));
    fs::create_directory(folder.file("locked"));
    writeFile(folder.file("own/read-only"), "kept");
    const bool root = ::geteuid() == 0;
    if (root) {
        for (const char* name : {"", "own", "own/read-only", "locked"})
            ASSERT_EQ(::chown(folder.file(name).c_str(), varlen::testing::kUser, varlen::testing::kUser), 0) << name;
    }
    ::chmod(folder.file("own/read-only").c_str(), 0444);
    ::chmod(folder.file("locked").c_str(), 0555);
    const struct {
        std::string name, message;
        bool asUser;
    } bad[] = {
        {folder.file("missing/x"), folder.file("missing/x") + ": No such file or directory", false},
        {folder.file("dir"), folder.file("dir") + ": Is a directory", false},
        {folder.file("own/read-only"), folder.file("own/read-only") + ": Permission denied", true},
        {folder.file("locked/x"), folder.file("locked/x") + ": Permission denied", true},
    };
    for (const auto& b : bad) {
        const varlen::testing::AsUser user(root && b.asUser);
        ASSERT_TRUE(user.ok());
        for (const bool streamed : {false, true}) {
            try {
                if (streamed) TFileStream{b.name}.Commit();  // refused when the stream starts
                else WriteFileAtomic(b.name, "z", 1);
                ADD_FAILURE() << "no error for " << b.name;
            } catch (const EInOutError& e) {
                EXPECT_EQ(std::string(e.what()), b.message);
            }
        }
    }
    EXPECT_EQ(readFile(folder.file("own/read-only")), "kept");
    EXPECT_EQ(modeOf(folder.file("own/read-only")), 0444u);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.file("own")), fs::directory_iterator()), 1) << "a temporary left";
    ::chmod(folder.file("locked").c_str(), 0755);
    EXPECT_TRUE(fs::is_empty(folder.file("locked")));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"dir", "locked", "old", "own"}));
    EXPECT_TRUE(fs::is_empty(folder.file("dir")));
}

}  // namespace
