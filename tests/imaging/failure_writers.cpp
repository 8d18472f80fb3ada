// SPDX-License-Identifier: MIT
// Every file the programs write (the eight types of the save command and the settings file) under
// the writer's one policy, on a scratch tmpfs where writing fails for real: a read-only file
// system, a disk without a free block, a disk without a free file slot, a full device as the
// target; and a read-only file written by an ordinary user, a file whose mode or owner must stay,
// a symbolic link, a name that is not UTF-8. (A missing folder, /dev/full, an immutable folder and
// the file-size limit are covered with the writers' own tests.) A write that fails raises one
// EInOutError naming the user's file, keeps an earlier file byte for byte, leaves no temporary file
// behind and writes into a device rather than replace it; a write that succeeds leaves the whole
// new file and the old file's mode, owner and link.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/Barcode.h"
#include "imaging/SaveFile.h"
#include "platform/Errors.h"
#include "platform/Profile.h"
#include "support/ScratchMount.h"

using namespace varlen;
using namespace varlen::testing;

namespace {

// One kind of file: its extension, bytes every such file holds, and how it is written.
struct Written {
    const char* extension;
    std::string mark;
    std::function<void(const std::string&)> write;
};

std::vector<Written> EveryWrittenFile(TBarcode& barcode) {
    std::vector<Written> files;
    const struct {
        const char* extension;
        std::string mark;
    } types[] = {{".bmp", "BM"},       {".gif", "GIF8"},        {".tif", std::string("II*\0", 4)},
                 {".jpg", "\xFF\xD8\xFF"}, {".emf", " EMF"},          {".png", "\x89PNG"},
                 {".svg", "<svg"},     {".pdf", "%PDF-"}};
    for (const auto& t : types)
        files.push_back({t.extension, t.mark, [&barcode](const std::string& f) { SaveBarcodeToFile(f, 1, SaveSourceOf(barcode)); }});
    files.push_back({".ini", "font=Liberation Sans", [](const std::string& f) { TIniFile(f).WriteString("Varlen", "font", "Liberation Sans"); }});
    return files;
}

enum class Condition { place, readOnlyFile, mode, owner, link, nonUtf8Name };

struct Case {
    const char* why;
    Condition condition;
    Place place;  // for Condition::place
    bool fails;
};

const Case kCases[] = {
    {"read-only file system", Condition::place, Place::readOnly, true},
    {"no free block", Condition::place, Place::noFreeBlock, true},
    {"no free file slot", Condition::place, Place::noFreeFile, true},
    {"a full device as the target", Condition::place, Place::fullDevice, true},
    {"a read-only file, written by its owner, an ordinary user", Condition::readOnlyFile, {}, true},
    {"a file of mode 640 keeps it", Condition::mode, {}, false},
    {"root keeps another user's file theirs, mode 600", Condition::owner, {}, false},
    {"a link: the file it leads to is replaced, the link stays", Condition::link, {}, false},
    {"a name that is not UTF-8 is written as its bytes", Condition::nonUtf8Name, {}, false},
};

}  // namespace

TEST(FailureWriters, EveryFileUnderOnePolicy) {
    const std::string previous = "an earlier file of the same name";
    TBarcode barcode;
    barcode.setBar_CodeType(EAN_13);
    barcode.setBar_Caption("400638133393");
    for (const Case& c : kCases) {
        for (const Written& w : EveryWrittenFile(barcode)) {
            SCOPED_TRACE(std::string(c.why) + ", " + w.extension);
            const bool device = c.condition == Condition::place && c.place == Place::fullDevice;
            ScratchMount mount(128, 16, device);
            VARLEN_REQUIRE_MOUNT(mount);
            const std::string base = c.condition == Condition::nonUtf8Name ? "bar\xFF\xFE" : "barcode";
            const std::string name = base + w.extension;
            const std::string target = mount.file(name);
            // The file the bytes must land in: through a link, the one it leads to.
            const std::string real = c.condition == Condition::link ? mount.file(std::string("real") + w.extension) : target;
            if (device) {
                ASSERT_TRUE(mount.makeFullDevice(name));
            } else {
                ASSERT_TRUE(writeAll(real, previous));
            }
            std::vector<std::string> expectedNames{name};
            switch (c.condition) {
            case Condition::place: ASSERT_TRUE(makeWritingFail(mount, c.place)); break;
            case Condition::readOnlyFile:
                ASSERT_EQ(::chown(mount.path().c_str(), kUser, kUser), 0);
                ASSERT_EQ(::chown(target.c_str(), kUser, kUser), 0);
                ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
                break;
            case Condition::mode: ASSERT_EQ(::chmod(target.c_str(), 0640), 0); break;
            case Condition::owner:
                ASSERT_EQ(::chown(target.c_str(), kUser, kUser), 0);
                ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
                break;
            case Condition::link:
                ASSERT_EQ(::symlink((std::string("real") + w.extension).c_str(), target.c_str()), 0);
                expectedNames = {name, std::string("real") + w.extension};
                break;
            case Condition::nonUtf8Name: break;
            }
            struct stat before {};
            ASSERT_EQ(::stat(real.c_str(), &before), 0);

            std::vector<std::string> errors;
            {
                AsUser user(c.condition == Condition::readOnlyFile);
                ASSERT_TRUE(user.ok());
                try {
                    w.write(target);
                } catch (const EInOutError& e) {
                    errors.push_back(e.what());
                }
            }
            EXPECT_EQ(mount.names(), expectedNames) << "a temporary file was left behind";
            struct stat after {};
            ASSERT_EQ(::stat(real.c_str(), &after), 0);
            if (c.fails) {
                ASSERT_EQ(errors.size(), 1u) << "the write was reported as done";
                EXPECT_NE(errors[0].find(target), std::string::npos) << "the message does not name the file: " << errors[0];
                if (c.condition == Condition::readOnlyFile && w.extension != std::string(".ini"))
                    EXPECT_EQ(errors[0], target + ": Permission denied");
                if (device) {
                    EXPECT_TRUE(S_ISCHR(after.st_mode)) << "the device was replaced by a file";
                } else {
                    EXPECT_EQ(readAll(target), previous);
                }
                continue;
            }
            EXPECT_EQ(errors, std::vector<std::string>{});
            const std::string now = readAll(real);
            EXPECT_NE(now.find(w.mark), std::string::npos) << "not the whole new file";
            EXPECT_EQ(after.st_mode, before.st_mode);
            EXPECT_EQ(after.st_uid, before.st_uid);
            EXPECT_EQ(after.st_gid, before.st_gid);
            struct stat link {};
            ASSERT_EQ(::lstat(target.c_str(), &link), 0);
            EXPECT_EQ(S_ISLNK(link.st_mode), c.condition == Condition::link);
        }
    }
}
