// The settings file: keys, values, the first-character rule and the defaults.
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/settings.h"
#include "support/temp_dir.h"

namespace {

struct Result {
    int width;
    int height;
    int anti_aliasing;
};

// Loads "ini.txt" with the given bytes (or no file) and applies it to the
// program's starting values.
Result Apply(const char* ini, bool file = true) {
    Temp_Dir dir;
    if (file) dir.Write("ini.txt", ini);
    Main_Ini_Rezolution[0] = Main_Ini_CHspeed[0] = Main_Ini_AAliasing[0] = '\0';
    EXPECT_EQ(Load_Settings(), 0);
    int width = 640, height = 480;
    BYTE aa = 7;
    EXPECT_EQ(Apply_Settings(&width, &height, &aa), 0);
    return {width, height, aa};
}

void Expect(const Result& r, int width, int height, int aa) {
    EXPECT_EQ(r.width, width);
    EXPECT_EQ(r.height, height);
    EXPECT_EQ(r.anti_aliasing, aa);
}

TEST(Settings, MissingFileGivesLargestWindowWithAntiAliasing) {
    Expect(Apply("", false), 1024, 768, 1);
    EXPECT_STREQ(Main_Ini_Rezolution, "");
}

TEST(Settings, EachSizeAndTheSwitch) {
    Expect(Apply("[rezolution]=800x600\n"), 800, 600, 1);
    Expect(Apply("[rezolution]=640x480\n[AAliasing]=false\n"), 640, 480, 0);
    Expect(Apply("[rezolution]=1024x768\r\n[AAliasing]=TRUE\r\n"), 1024, 768, 1);
    Expect(Apply("[AAliasing]=\n"), 1024, 768, 1);           // an empty value is on
    Expect(Apply("[rezolution]=1280x1024\n"), 640, 480, 1);  // unknown size keeps 640x480
}

TEST(Settings, FirstCharacterIsNeverCompared) {
    EXPECT_TRUE(Settings_Equal("True", "true"));
    EXPECT_TRUE(Settings_Equal("x024x768", "1024x768"));
    EXPECT_TRUE(Settings_Equal("", "800x600"));
    EXPECT_FALSE(Settings_Equal("true1", "true"));
    EXPECT_FALSE(Settings_Equal("tru", "true"));
    Expect(Apply("[rezolution]=x00x600\n[AAliasing]=True\n"), 800, 600, 1);
}

TEST(Settings, KeysMatchAsLeadingParts) {
    Expect(Apply("[rez]=800x600\n"), 800, 600, 1);
    Expect(Apply("[]=800x600\n"), 800, 600, 1);  // empty key sets the rezolution text
    Apply("[CH]=fast\n");
    EXPECT_STREQ(Main_Ini_CHspeed, "fast");
    Expect(Apply("[rezolutionX]=800x600\n"), 1024, 768, 1);  // longer key matches nothing
    Expect(Apply("[Rezolution]=800x600\n"), 1024, 768, 1);   // case matters
}

TEST(Settings, BlanksAndTabsAnywhereAreRemoved) {
    Expect(Apply("  [ rezo lution ] = 8 0\t0x6 00  \n"), 800, 600, 1);
    Expect(Apply("[AAliasing]=f a l s e\n"), 1024, 768, 0);
}

TEST(Settings, MissingSeparatorLosesTheFirstValueCharacter) {
    Expect(Apply("[rezolution]800x600\n"), 640, 480, 1);
    EXPECT_STREQ(Main_Ini_Rezolution, "00x600");
}

TEST(Settings, LastLineWinsAndLastLineNeedsNoNewline) {
    Expect(Apply("[rezolution]=640x480\n[rezolution]=800x600"), 800, 600, 1);
    Expect(Apply("[AAliasing]=true\n[AAliasing]=no"), 1024, 768, 0);
}

TEST(Settings, CommentsAndBrokenLinesAreIgnored) {
    Expect(Apply("rezolution=800x600\n; [rezolution]=640x480\n\n[unknown]=1\n"), 1024, 768, 1);
    // No closing bracket: the key is the rest of the line and the value empty.
    Expect(Apply("[rezolution=800x600\n"), 1024, 768, 1);
    EXPECT_STREQ(Main_Ini_Rezolution, "");
}

TEST(Settings, OverlongLinesAndValuesAreCutNotSplit) {
    std::string long_value(200, 'z');
    Apply(("[CHspeed]=" + long_value + "\n[rezolution]=800x600\n").c_str());
    EXPECT_EQ(std::string(Main_Ini_CHspeed).size(), static_cast<size_t>(Settings_Field_Width));
    EXPECT_STREQ(Main_Ini_Rezolution, "800x600");
    // The tail of a long line is not read as a line of its own.
    std::string tail_line = "[CHspeed]=" + std::string(120, 'a') + "[rezolution]=640x480\n";
    Expect(Apply(tail_line.c_str()), 1024, 768, 1);
}

}  // namespace
