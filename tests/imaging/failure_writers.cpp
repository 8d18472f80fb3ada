// Every file type where writing really fails: a read-only file system, a disk without a free
// block, a disk without a free file slot, and a full device as the target. (A missing folder,
// /dev/full, an immutable folder and the file-size limit are covered with the writers' own
// tests.) Each write must raise one EInOutError that names the file, keep an earlier file of that
// name byte for byte, leave no temporary file behind, and write into a device rather than replace
// it.
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImagingSupport.h"
#include "imaging/GIFImage.h"
#include "imaging/Tiff.h"
#include "imaging/jpeg.h"
#include "platform/BmpFile.h"
#include "platform/Errors.h"
#include "platform/Metafile.h"
#include "support/ScratchMount.h"

using namespace varlen;
using namespace varlen::test;
using namespace varlen::testing;


TEST(FailureWriters, EveryFileTypeFailsWholeWhereWritingFails) {
    const std::string previous = "an earlier file of the same name";
    for (const FailureCase& c : kEveryFailure) {
        for (const FileWriter& w : EveryFileWriter()) {
            SCOPED_TRACE(std::string(c.name) + ", " + w.extension);
            ScratchMount mount(64, 16, c.place == Place::fullDevice);
            VARLEN_REQUIRE_MOUNT(mount);
            const std::string target = mount.file(std::string("barcode") + w.extension);
            if (c.place == Place::fullDevice) {
                ASSERT_TRUE(mount.makeFullDevice(std::string("barcode") + w.extension));
            } else {
                FILE* f = std::fopen(target.c_str(), "wb");
                ASSERT_TRUE(f);
                std::fputs(previous.c_str(), f);
                std::fclose(f);
            }
            ASSERT_TRUE(makeWritingFail(mount, c.place));

            int errors = 0;
            try {
                w.write(target);
            } catch (const EInOutError& e) {
                ++errors;
                EXPECT_NE(std::string(e.what()).find(target), std::string::npos)
                    << "the message does not name the file: " << e.what();
            }
            EXPECT_EQ(errors, 1) << "the write was reported as done";
            EXPECT_EQ(mount.names(), std::vector<std::string>{std::string("barcode") + w.extension})
                << "a temporary file was left behind";
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
