#include "Logging/ClientText.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

using Logging::EscapeClientText;

TEST(ClientText, ControlBytesAreWrittenOutAndNothingElseChanges) {
    EXPECT_EQ(EscapeClientText(""), "");
    EXPECT_EQ(EscapeClientText("IBM /opt/tesk/x.cfg ~:=+%"), "IBM /opt/tesk/x.cfg ~:=+%");
    EXPECT_EQ(EscapeClientText("a\nCLIENT-CHOSEN LINE key=value"), "a\\nCLIENT-CHOSEN LINE key=value");
    EXPECT_EQ(EscapeClientText("\r\t\x1b[31m"), "\\x0d\\x09\\x1b[31m");
    EXPECT_EQ(EscapeClientText(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(EscapeClientText("\x1f\x20\x7e\x7f"), "\\x1f ~\\x7f");
    // UTF-8 stays readable.
    EXPECT_EQ(EscapeClientText("Z\xc3\xbcrich\xff"), "Z\xc3\xbcrich\xff");
}

TEST(ClientText, BackslashIsDoubledSoEveryEscapeIsUnambiguous) {
    EXPECT_EQ(EscapeClientText("C:\\Program Files\\x.exe"), "C:\\\\Program Files\\\\x.exe");
    // The two characters '\' 'n' read differently from a line break.
    EXPECT_NE(EscapeClientText("a\\nb"), EscapeClientText("a\nb"));
    EXPECT_EQ(EscapeClientText("a\\nb"), "a\\\\nb");
}

TEST(ClientText, EveryByteBelowSpaceOrDeleteIsEscaped) {
    for (int byte = 0; byte < 0x100; ++byte) {
        const std::string escaped = EscapeClientText(std::string(1, static_cast<char>(byte)));
        const bool control = byte < 0x20 || byte == 0x7f;
        for (const char c : escaped) {
            const auto out = static_cast<unsigned char>(c);
            EXPECT_FALSE(out < 0x20 || out == 0x7f) << "byte " << byte;
        }
        if (control && byte != '\n') {
            char expected[5];
            std::snprintf(expected, sizeof expected, "\\x%02x", byte);
            EXPECT_EQ(escaped, expected) << "byte " << byte;
        } else if (!control && byte != '\\') {
            EXPECT_EQ(escaped, std::string(1, static_cast<char>(byte))) << "byte " << byte;
        }
    }
}
