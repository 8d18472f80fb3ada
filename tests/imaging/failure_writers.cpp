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
using namespace varlen::testing;

namespace {

struct Writer {
    const char* extension;
    std::function<void(const std::string&)> write;
};

// The five file types of the save command, each with a picture of a few kilobytes.
std::vector<Writer> Writers() {
    const TDib bars = test::BarPattern("1101001110110011", 4, 40, 2);
    TDib eight = test::MakeDib(bars.width, bars.height, 8);
    for (int y = 0; y < bars.height; ++y)
        for (int x = 0; x < bars.width; ++x) eight.row(y)[x] = bars.row(y)[3 * x] ? 215 : 0;
    return {
        {".bmp", [bars](const std::string& f) { WriteBmpFile(f, bars); }},
        {".tif", [eight](const std::string& f) { WriteTiff(f, eight); }},
        {".gif", [bars](const std::string& f) { TGIFImage g; g.Assign(bars); g.SaveToFile(f); }},
        {".jpg", [bars](const std::string& f) { TJPEGImage j; j.Assign(bars); j.SaveToFile(f); }},
        {".emf", [bars](const std::string& f) {
             TMetafile m;
             m.SetHeight(bars.height);
             m.SetWidth(bars.width);
             TMetafileCanvas c(m);
             c.Draw(0, 0, bars);
             c.Close();
             m.SaveToFile(f);
         }},
    };
}


struct Case {
    const char* name;
    Place place;
};

const Case kCases[] = {
    {"read-only file system", Place::readOnly},      // EROFS on create and rename
    {"no free block", Place::noFreeBlock},           // ENOSPC on the first data written
    {"no free file slot", Place::noFreeFile},        // ENOSPC when the temporary file is made
    {"a full device as the target", Place::fullDevice},  // written in place, must not be replaced
};


}  // namespace

TEST(FailureWriters, EveryFileTypeFailsWholeWhereWritingFails) {
    const std::string previous = "an earlier file of the same name";
    for (const Case& c : kCases) {
        for (const Writer& w : Writers()) {
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
