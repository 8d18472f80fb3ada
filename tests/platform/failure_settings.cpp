// SPDX-License-Identifier: MIT
// The settings file where writing really fails: a read-only file system, a disk without a free
// block, a disk without a free file slot. (A missing folder, a folder in the file's place and the
// file-size limit are covered with the profile's own tests.) Each write must fail with the one
// message "Unable to write to <path>", keep the previous file byte for byte, and leave no
// temporary file behind.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/Profile.h"
#include "support/ScratchMount.h"

using namespace varlen;
using namespace varlen::testing;

namespace {


struct Case {
    const char* name;
    Place place;
    bool previousFile;  // a settings file exists before the write
};

// Every place with and without an earlier file: with one, the rename must never happen; without
// one, no file may appear.
const Case kCases[] = {
    {"read-only, earlier file", Place::readOnly, true},
    {"read-only, first write", Place::readOnly, false},
    {"no free block, earlier file", Place::noFreeBlock, true},
    {"no free block, first write", Place::noFreeBlock, false},
    {"no free file slot, earlier file", Place::noFreeFile, true},
    {"no free file slot, first write", Place::noFreeFile, false},
};


}  // namespace

TEST(FailureSettings, WriteFailsWholeAndKeepsThePreviousFile) {
    // The earlier file is big enough that its rewritten copy needs several blocks.
    const std::string previous = "[Varlen]\nbctype=4\nfont=Arial\n4=" + std::string(9000, '7') + "\n";
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ScratchMount mount(64, 16);
        VARLEN_REQUIRE_MOUNT(mount);
        const std::string file = mount.file("varlen.ini");
        if (c.previousFile) {
            ASSERT_TRUE(WritePrivateProfileString("Varlen", "bctype", "4", file) &&
                        WritePrivateProfileString("Varlen", "font", "Arial", file) &&
                        WritePrivateProfileString("Varlen", "4", std::string(9000, '7'), file));
            ASSERT_EQ(readAll(file), previous);
        }
        ASSERT_TRUE(makeWritingFail(mount, c.place));

        int errors = 0;
        TIniFile ini(file);
        try {
            ini.WriteString("Varlen", "font", "Liberation Sans");
        } catch (const EInOutError& e) {
            ++errors;
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
        }
        EXPECT_EQ(errors, 1) << "the write was reported as done";
        EXPECT_FALSE(WritePrivateProfileString("Addon", "Ean13", "12", file));

        const std::vector<std::string> expected =
            c.previousFile ? std::vector<std::string>{"varlen.ini"} : std::vector<std::string>{};
        EXPECT_EQ(mount.names(), expected) << "a temporary file was left behind, or a file appeared";
        if (c.previousFile) {
            EXPECT_EQ(readAll(file), previous);
            EXPECT_EQ(ini.ReadString("varlen", "font", "?"), "Arial");
        }
    }
}
