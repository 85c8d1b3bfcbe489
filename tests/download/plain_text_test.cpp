// The plain-text helpers of core/ and the one match that uses them here: the port name "Auto".
#include "core/plain_text.h"
#include "download/port_search.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PlainText, CaseIsFoldedForAsciiLettersOnly) {
    struct Row {
        std::string a, b;
        bool equal;
    };
    const Row rows[] = {
        {"auto", "AUTO", true},   {"Com1", "cOM1", true},
        {"", "", true},           {"auto", "autos", false}, // a prefix is not the word
        {"auto ", "auto", false},                           // blanks are the caller's to cut
        {"\xC4", "\xE4", false},                            // Latin-1 letters are bytes, not folded
        {"[", "{", false}, // 0x5B and 0x7B differ by the case bit, are no letters
        {"@", "`", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(comsetup::EqualsIgnoringCase(r.a, r.b), r.equal) << r.a << " ~ " << r.b;
        EXPECT_EQ(comsetup::EqualsIgnoringCase(r.b, r.a), r.equal) << r.b << " ~ " << r.a;
    }
    EXPECT_EQ(comsetup::Trim(" \tCOM1 \t"), "COM1");
    EXPECT_EQ(comsetup::Trim(" \r\n", " \r\n"), "");
    EXPECT_EQ(comsetup::Lower("None"), "none");
}

TEST(PortSearch, AutoIsRecognisedInAnyCase) {
    for (const char* name : {"Auto", "auto", "AUTO", "aUtO"}) {
        EXPECT_TRUE(comsetup::IsAutoPort(name)) << name;
    }
    for (const char* name : {"", "Aut", "Auto1", " Auto", "COM1", "/dev/auto"}) {
        EXPECT_FALSE(comsetup::IsAutoPort(name)) << name;
    }
}

} // namespace
