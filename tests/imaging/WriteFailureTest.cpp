// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ImagingSupport.h"
#include "imaging/GIFImage.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/Errors.h"
#include "platform/Metafile.h"

namespace varlen {
namespace {

using namespace varlen::test;
namespace fs = std::filesystem;

// The image writers of this layer: every file type of the save command but the Windows bitmap,
// whose writer the platform's own tests cover.
std::vector<FileWriter> Writers() {
    std::vector<FileWriter> writers = EveryFileWriter();
    std::erase_if(writers, [](const FileWriter& w) { return std::string(w.extension) == ".bmp"; });
    return writers;
}

// Runs the write and returns the one error message it raised ("" if it raised none).
std::string ErrorOf(const FileWriter& w, const std::string& file) {
    try {
        w.write(file);
    } catch (const EInOutError& e) {
        return e.what();
    }
    return "";
}

TEST(WriteFailure, MissingFolder) {
    ScratchFolder dir;
    for (const auto& w : Writers()) {
        const std::string file = dir.file("no such folder/barcode") + w.extension;
        EXPECT_EQ(ErrorOf(w, file), file + ": No such file or directory");
    }
    EXPECT_TRUE(dir.names().empty());
}

TEST(WriteFailure, ReadOnlyFolder) {
    ScratchFolder dir;
    const fs::path ro = fs::path(dir.path()) / "ro";
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    bool immutable = false;
    if (::access(ro.c_str(), W_OK) == 0) {
        // Root passes over permissions; an immutable folder refuses even root.
        immutable = runShell("chattr +i " + shellQuote(ro.string())).exitCode == 0;
        if (!immutable) GTEST_SKIP() << "running as root, which bypasses folder permissions, and chattr +i is unavailable";
    }
    for (const auto& w : Writers()) {
        const std::string file = (ro / "barcode").string() + w.extension;
        const std::string expected = immutable ? ": Operation not permitted" : ": Permission denied";
        EXPECT_EQ(ErrorOf(w, file), file + expected);
    }
    if (immutable) runShell("chattr -i " + shellQuote(ro.string()));
    EXPECT_TRUE(fs::is_empty(ro));
}

TEST(WriteFailure, FullDisk) {
    for (const auto& w : Writers()) {
        EXPECT_EQ(ErrorOf(w, "/dev/full"), "/dev/full: No space left on device") << w.extension;
        struct stat st {};
        ASSERT_EQ(::stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device must stay a device";
    }
}

// Limits the size of files this process may write, as a nearly full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int);
};

TEST(WriteFailure, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    ScratchFolder dir;
    for (const auto& w : Writers()) {
        const std::string file = dir.file("keep") + w.extension;
        { std::ofstream(file) << "old"; }
        std::string error;
        {
            FileSizeLimit limit(1000);
            error = ErrorOf(w, file);
        }
        EXPECT_EQ(error, file + ": File too large");
        EXPECT_EQ(ReadFile(file), (std::vector<std::uint8_t>{'o', 'l', 'd'})) << w.extension;
    }
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"keep.emf", "keep.gif", "keep.jpg", "keep.tif"}));
}

TEST(WriteFailure, ReplacingKeepsPermissionsAndLeavesOnlyTheFile) {
    ScratchFolder dir;
    for (const auto& w : Writers()) {
        const std::string file = dir.file("bar") + w.extension;
        { std::ofstream(file) << "previous content that is longer than nothing"; }
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        w.write(file);
        EXPECT_GT(fs::file_size(file), 100u);
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    EXPECT_EQ(dir.names().size(), 4u);
}

}  // namespace
}  // namespace varlen
