// The log files: exact bytes of the header and of stamped lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include <unistd.h>

#include "app/log_writer.h"
#include "support/temp_dir.h"

namespace {

// Numbers without leading zeros: "0" or a digit 1-9 followed by digits.
const char Number[] = "(0|[1-9][0-9]*)";

std::string Bytes(const char* text) {
    return std::string(text);
}

TEST(Log_Writer, OpenWritesTheThreeLineHeaderWithCrLf) {
    Temp_Dir dir;
    Main_Log_Writer log("StartupLog.txt");
    log.Set_Directory(dir.Path().c_str());
    EXPECT_TRUE(log.Open());

    std::string text = dir.Read("StartupLog.txt");
    std::vector<std::string> lines = Split_Crlf_Lines(text);
    ASSERT_EQ(lines.size(), 3u) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    EXPECT_EQ(lines[0],
              "[Quillmoor]" + std::string(33, '/') + Bytes("[Файл лога]") + std::string(37, '/'));
    // The header texts are Windows-1251 bytes: "Лог" is CB EE E3.
    EXPECT_EQ(lines[1].substr(0, 3), "\xCB\xEE\xE3");
    std::regex stamp(Bytes("Лог открыт: ") + "\\|DATE=" + Number + "-" + Number +
                     "-[0-9]{4}\\| \\|TIME=" + Number + ":" + Number + ":" + Number + ":" + Number +
                     "\\| \\(GMT\\+0\\)");
    EXPECT_TRUE(std::regex_match(lines[1], stamp)) << lines[1];
    EXPECT_EQ(lines[2], std::string(90, '/'));
    EXPECT_LE(std::string(log.Open_Stamp).size(), 45u);
    EXPECT_EQ(std::string(log.Full_Path), dir.Path() + "\\StartupLog.txt");
}

TEST(Log_Writer, WriteLineAppendsAStampedLine) {
    Temp_Dir dir;
    Main_Log_Writer log("GraphicLog.txt");
    log.Set_Directory(dir.Path().c_str());
    log.Open();
    EXPECT_TRUE(log.Write_Line("Инициализация Direct3D прошла успешно."));
    EXPECT_TRUE(log.Write_Line("second"));

    std::vector<std::string> lines = Split_Crlf_Lines(dir.Read("GraphicLog.txt"));
    ASSERT_EQ(lines.size(), 5u);
    std::regex stamped(std::string(" \\|") + Number + ":" + Number + ":" + Number + ":" + Number +
                       "\\| " + Bytes("Инициализация Direct3D прошла успешно\\."));
    EXPECT_TRUE(std::regex_match(lines[3], stamped)) << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(" \\|[0-9:]+\\| second")));
    EXPECT_LE(std::string(log.Line_Stamp).size(), 16u);
}

TEST(Log_Writer, OpenTruncatesAnEarlierLog) {
    Temp_Dir dir;
    dir.Write("StartupLog.txt", "old content that must go\r\n");
    Main_Log_Writer log("StartupLog.txt");
    log.Set_Directory(dir.Path().c_str());
    log.Open();
    EXPECT_EQ(dir.Read("StartupLog.txt").find("old content"), std::string::npos);
    EXPECT_EQ(Split_Crlf_Lines(dir.Read("StartupLog.txt")).size(), 3u);
}

TEST(Log_Writer, WriteBeforeOpenFailsAndWritesNothing) {
    Temp_Dir dir;
    Main_Log_Writer log("StartupLog.txt");
    log.Set_Directory(dir.Path().c_str());
    EXPECT_FALSE(log.Write_Line("too early"));
    EXPECT_FALSE(dir.Exists("StartupLog.txt"));
}

TEST(Log_Writer, MissingDirectoryOpensTrueButLinesAreLost) {
    Temp_Dir dir;
    Main_Log_Writer log("StartupLog.txt");
    std::string missing = dir.Path() + "/no/such/folder";
    log.Set_Directory(missing.c_str());
    EXPECT_TRUE(log.Open());
    EXPECT_FALSE(log.Write_Line("lost"));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(Log_Writer, UnwritableFileLosesLinesWithoutStopping) {
    Temp_Dir dir;
    // A folder where the file should be: neither create nor append can work.
    std::filesystem::create_directory(dir.Path() + "/StartupLog.txt");
    Main_Log_Writer log("StartupLog.txt");
    log.Set_Directory(dir.Path().c_str());
    EXPECT_TRUE(log.Open());
    EXPECT_FALSE(log.Write_Line("lost"));
}

TEST(Log_Writer, EmptyNameBecomesDefaultAndEmptyDirectoryIsRefused) {
    Main_Log_Writer log("");
    EXPECT_STREQ(log.File_Name, "DefaultLog.txt");

    // A working directory too long for the caller's buffer leaves it empty;
    // the log must not go to the root of the file system instead.
    const std::string name = "QuillmoorLogTest" + std::to_string(getpid()) + ".txt";
    const std::string at_root = "/" + name;
    Main_Log_Writer rooted(name.c_str());
    rooted.Set_Directory("");
    EXPECT_TRUE(rooted.Open());
    EXPECT_FALSE(rooted.Write_Line("nothing"));
    EXPECT_STREQ(rooted.Full_Path, "");
    const bool written_at_root = std::filesystem::exists(at_root);
    std::filesystem::remove(at_root);
    EXPECT_FALSE(written_at_root);
}

TEST(Log_Writer, TooLongPathIsRefusedNotCut) {
    Temp_Dir dir;
    std::string deep = dir.Path() + "/" + std::string(240, 'd');
    std::filesystem::create_directory(deep);
    Main_Log_Writer log("StartupLog.txt");
    log.Set_Directory(deep.c_str());
    EXPECT_TRUE(log.Open());
    EXPECT_FALSE(log.Write_Line("nothing"));
    EXPECT_FALSE(std::filesystem::exists(deep + "/StartupLog.txt"));
    // Nothing was written under a shortened name either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(deep),
                            std::filesystem::directory_iterator()),
              0);
}

}  // namespace
