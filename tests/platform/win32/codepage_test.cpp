// Windows-1251 <-> UTF-8, checked against glibc's iconv tables.
#include "win32_test_util.h"

#include <iconv.h>

#include <cstring>

namespace {

// glibc's own conversion of one 1251 byte, or "" where it has none.
std::string Iconv_To_Utf8(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* in_p = in;
    char* out_p = out;
    size_t in_left = 1;
    size_t out_left = sizeof out;
    const size_t r = iconv(cd, &in_p, &in_left, &out_p, &out_left);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) ? std::string() : std::string(out, sizeof out - out_left);
}

std::string To_Utf8(const std::string& cp1251) {
    char out[1024];
    Platform_Cp1251_To_Utf8(cp1251.c_str(), out, sizeof out);
    return out;
}

std::string To_Cp1251(const std::string& utf8) {
    char out[1024];
    Platform_Utf8_To_Cp1251(utf8.c_str(), out, sizeof out);
    return out;
}

TEST(Code_Page, EveryByteConvertsAsIconvDoesAndBack) {
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string expected = Iconv_To_Utf8(static_cast<unsigned char>(b));
        if (expected.empty()) {
            EXPECT_EQ(To_Utf8(one), "?") << "byte " << b << " has no character";
            continue;
        }
        EXPECT_EQ(To_Utf8(one), expected) << "byte " << b;
        EXPECT_EQ(To_Cp1251(expected), one) << "byte " << b;
    }
}

TEST(Code_Page, CyrillicAlphabetAndNumeroSignRoundTrip) {
    const std::string upper = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ";
    const std::string lower = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя";
    const std::string text = upper + " " + lower + " № 5, «март 2008»";
    const std::string cp1251 = To_Cp1251(text);
    // One byte per character in 1251.
    EXPECT_EQ(cp1251.size(), 33u + 1 + 33 + 17);
    EXPECT_EQ(static_cast<unsigned char>(cp1251[0]), 0xC0);       // А
    EXPECT_EQ(static_cast<unsigned char>(cp1251[6]), 0xA8);       // Ё
    EXPECT_EQ(static_cast<unsigned char>(cp1251[34 + 6]), 0xB8);  // ё
    EXPECT_EQ(static_cast<unsigned char>(cp1251[68]), 0xB9);      // №
    EXPECT_EQ(To_Utf8(cp1251), text);
}

TEST(Code_Page, UnknownAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(To_Cp1251("x\xE4\xB8\xAD"
                        "y"),
              "x?y");                               // a CJK character
    EXPECT_EQ(To_Cp1251("\xF0\x9F\x98\x80"), "?");  // an emoji
    EXPECT_EQ(To_Cp1251("a\xFF"
                        "b\xC3"),
              "a?b?");                      // bytes that are not UTF-8
    EXPECT_EQ(To_Cp1251("\xC0\xAF"), "?");  // overlong '/'
    EXPECT_EQ(To_Cp1251("\xD0"), "?");      // cut-off sequence
}

TEST(Code_Page, OutputIsCutToTheBufferAtCharacterBoundaries) {
    char out[6];
    std::memset(out, 'z', sizeof out);
    Platform_Cp1251_To_Utf8("\xE0\xE1\xE2\xE3", out, sizeof out);  // абвг: 8 bytes of UTF-8
    EXPECT_STREQ(out, "\xD0\xB0\xD0\xB1") << "no half character at the end";
    Platform_Utf8_To_Cp1251("abcdefgh", out, sizeof out);
    EXPECT_STREQ(out, "abcde");
    Platform_Utf8_To_Cp1251(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "");
    Platform_Cp1251_To_Utf8("abc", out, 0);  // nothing written, no crash
    Platform_Cp1251_To_Utf8("abc", nullptr, 10);
}

}  // namespace
