// SPDX-License-Identifier: MIT
// A settings file that ends in a bare carriage return (a CRLF file cut after its CR): the last
// line's value is the same before and after a write adds lines behind it. Found by the profile's
// fuzz target, where the write turned the CR into half of a CRLF and the value lost its last byte.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "support/ScratchFolder.h"

using namespace varlen;

namespace {

struct Case {
    const char* why;
    std::string before;
    std::string section, key, value;  // the write
    std::string after;                // the whole file afterwards
};

}  // namespace

TEST(ProfileLineEnds, AFinalCarriageReturnEndsTheLastLine) {
    const Case cases[] = {
        // a new section after the cut line: the file's own CRLF convention continues
        {"new section", "[Varlen]\r\nfont=Arial\r", "Addon", "Ean13", "12",
         "[Varlen]\r\nfont=Arial\r\n[Addon]\r\nEan13=12\r\n"},
        // a new key in the cut line's section goes right behind it
        {"new key behind it", "[Varlen]\nfont=Arial\r", "Varlen", "bctype", "2",
         "[Varlen]\nfont=Arial\nbctype=2\n"},
        // a file of one cut line: no convention to follow, so the plain line feed
        {"only line", "[Varlen]\r", "Varlen", "bctype", "2", "[Varlen]\nbctype=2\n"},
        // several CRs at the end: the last ends the line, the others belong to the value
        {"several carriage returns", "[Varlen]\nfont=Arial\r\r\r", "Addon", "Ean13", "12",
         "[Varlen]\nfont=Arial\r\r\r\n[Addon]\nEan13=12\n"},
        // the cut line's own key replaced in place keeps its ending
        {"replaced in place", "[Varlen]\r\nfont=Arial\r", "Varlen", "font", "Courier",
         "[Varlen]\r\nfont=Courier\r"},
    };
    const test::ScratchFolder folder;
    const std::string file = folder.file("varlen.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(c.before.data(), 1, c.before.size(), f);
        std::fclose(f);
        const std::string font = GetPrivateProfileString("varlen", "font", "?", file);
        ASSERT_TRUE(WritePrivateProfileString(c.section, c.key, c.value, file));
        EXPECT_EQ(test::readFile(file), c.after);
        if (c.key != "font") {
            EXPECT_EQ(GetPrivateProfileString("varlen", "font", "?", file), font);
            if (font != "?") {
                EXPECT_EQ(font.substr(0, 5), "Arial");
            }
        }
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "?", file), c.value);
    }
}
