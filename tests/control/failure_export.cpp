// SPDX-License-Identifier: MIT
// The magnified export where writing really fails: a read-only file system, a disk without a free
// block, a disk without a free file slot, and a full device as the target. (A missing folder and a
// folder in the file's place are covered with the export's own tests.) Each export must raise one
// EInOutError that names the file, keep an earlier file of that name byte for byte, leave no
// temporary file behind, and never replace a device by a file.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/Barcode.h"
#include "platform/Errors.h"
#include "support/ScratchMount.h"

using namespace varlen;
using namespace varlen::testing;


TEST(FailureExport, MagnifyByFailsWholeWhereWritingFails) {
    const std::string previous = "an earlier file of the same name";
    for (const FailureCase& c : kEveryFailure) {
        for (int factor : {1, 10}) {
            SCOPED_TRACE(std::string(c.name) + ", factor " + std::to_string(factor));
            ScratchMount mount(64, 16, c.place == Place::fullDevice);
            VARLEN_REQUIRE_MOUNT(mount);
            const std::string target = mount.file("barcode.bmp");
            if (c.place == Place::fullDevice) {
                ASSERT_TRUE(mount.makeFullDevice("barcode.bmp"));
            } else {
                FILE* f = std::fopen(target.c_str(), "wb");
                ASSERT_TRUE(f);
                std::fputs(previous.c_str(), f);
                std::fclose(f);
            }
            ASSERT_TRUE(makeWritingFail(mount, c.place));

            TBarcode barcode;
            barcode.setBar_CodeType(EAN_13);
            barcode.setBar_Caption("400638133393");
            int errors = 0;
            try {
                barcode.MagnifyBy(2, target, false, factor);
            } catch (const EInOutError& e) {
                ++errors;
                EXPECT_NE(std::string(e.what()).find(target), std::string::npos)
                    << "the message does not name the file: " << e.what();
            }
            EXPECT_EQ(errors, 1) << "the export was reported as done";
            EXPECT_EQ(mount.names(), std::vector<std::string>{"barcode.bmp"}) << "a temporary file was left behind";
            struct stat st {};
            ASSERT_EQ(::stat(target.c_str(), &st), 0);
            if (c.place == Place::fullDevice) {
                EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device was replaced by a file";
            } else {
                EXPECT_EQ(readAll(target), previous);
            }
        }
    }
}
