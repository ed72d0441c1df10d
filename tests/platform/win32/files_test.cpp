// Open_File and path resolution: Windows separators, case-insensitive names,
// Windows-1251 names, text-mode line ends; the working directory.
#include "win32_test_util.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string Read_Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write_Bytes(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string Read_All(FILE* f) {
    std::string text;
    char buf[7];  // small, so CR LF pairs straddle the reads
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.Path().empty()); }
    Temp_Folder dir_;
    Scoped_Cwd cwd_{dir_.Path()};
};

TEST_F(Files, ComponentsAreFoundWhateverTheirCaseAndSeparator) {
    Write_Bytes(dir_.Path() / "Levels" / "Map_New.TXT", "level");
    Write_Bytes(dir_.Path() / "fx" / "shadow" / "Phong.fx", "fx");
    for (const char* name : {"levels\\map_new.txt", "LEVELS/MAP_NEW.TXT", "Levels\\Map_New.TXT",
                             ".\\levels//map_new.txt", "levels\\..\\LEVELS\\map_new.txt"}) {
        FILE* f = Open_File(name, "r");
        ASSERT_NE(f, nullptr) << name;
        EXPECT_EQ(Read_All(f), "level") << name;
        fclose(f);
    }
    char resolved[256];
    ASSERT_TRUE(Platform_Resolve_Path("FX\\SHADOW\\phong.FX", resolved, sizeof resolved));
    EXPECT_STREQ(resolved, "fx/shadow/Phong.fx");

    // An absolute path: the log writer joins the working directory with a backslash.
    const std::string absolute = dir_.Path().string() + "\\LEVELS\\map_new.txt";
    FILE* f = Open_File(absolute.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ASSERT_TRUE(Platform_Resolve_Path(absolute.c_str(), resolved, sizeof resolved));
    EXPECT_EQ(std::string(resolved), (dir_.Path() / "Levels" / "Map_New.TXT").string());

    EXPECT_FALSE(Platform_Resolve_Path("levels\\map_new.txt", resolved, 10)) << "does not fit";
    EXPECT_FALSE(Platform_Resolve_Path(nullptr, resolved, sizeof resolved));
}

TEST_F(Files, MissingFilesDirectoriesAndBadModesGiveNull) {
    Write_Bytes(dir_.Path() / "data" / "a.txt", "a");
    EXPECT_EQ(Open_File("nothing.txt", "r"), nullptr);
    EXPECT_EQ(Open_File("data\\nothing\\a.txt", "r"), nullptr);
    EXPECT_EQ(Open_File("nowhere\\new.txt", "w"), nullptr) << "folders are not created";
    EXPECT_EQ(Open_File("DATA", "r"), nullptr) << "a folder is not a file";
    EXPECT_EQ(Open_File("data", "rb"), nullptr);
    EXPECT_EQ(Open_File("data\\a.txt", "q"), nullptr);
    EXPECT_EQ(Open_File("data\\a.txt", "rtb"), nullptr);
    EXPECT_EQ(Open_File("data\\a.txt", ""), nullptr);
    EXPECT_EQ(Open_File("data\\a.txt", nullptr), nullptr);
    EXPECT_EQ(Open_File(nullptr, "r"), nullptr);
    EXPECT_EQ(Open_File("", "r"), nullptr);
}

TEST_F(Files, NewFilesJoinExistingFoldersAndKeepTheirOwnName) {
    fs::create_directories(dir_.Path() / "Logs");
    FILE* f = Open_File("LOGS\\StartupLog.txt", "w+t");
    ASSERT_NE(f, nullptr);
    fputs("x", f);
    fclose(f);
    EXPECT_TRUE(fs::exists(dir_.Path() / "Logs" / "StartupLog.txt"));
    EXPECT_FALSE(fs::exists(dir_.Path() / "LOGS"));
    // Opening it again by another spelling finds the same file.
    f = Open_File("logs\\startuplog.TXT", "a+");
    ASSERT_NE(f, nullptr);
    fputs("y", f);
    fclose(f);
    EXPECT_EQ(Read_Bytes(dir_.Path() / "Logs" / "StartupLog.txt"), "xy");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path() / "Logs"), fs::directory_iterator()),
              1);
}

TEST_F(Files, TextModeWritesCrLfAndReadsItBack) {
    FILE* f = Open_File("log.txt", "w+t");
    ASSERT_NE(f, nullptr);
    fputs("[Quillmoor]line\n", f);
    fprintf(f, "%s\n\n", "second");
    fputs("cr\ralone\n", f);
    fclose(f);
    EXPECT_EQ(Read_Bytes(dir_.Path() / "log.txt"),
              "[Quillmoor]line\r\nsecond\r\n\r\ncr\ralone\r\n");

    f = Open_File("log.txt", "a+");  // no 't' and no 'b': text
    ASSERT_NE(f, nullptr);
    fputs("appended\n", f);
    fclose(f);
    EXPECT_EQ(Read_Bytes(dir_.Path() / "log.txt"),
              "[Quillmoor]line\r\nsecond\r\n\r\ncr\ralone\r\nappended\r\n");

    f = Open_File("LOG.TXT", "rt");
    ASSERT_NE(f, nullptr);
    char line[64];
    ASSERT_NE(fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "[Quillmoor]line\n");
    EXPECT_EQ(Read_All(f), "second\n\ncr\ralone\nappended\n");
    fclose(f);
}

TEST_F(Files, TextReadsHandlePairsAcrossBufferEdgesAndStrayCarriageReturns) {
    // Long enough to cross the stream's buffer, with pairs at every offset.
    std::string raw;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string word(static_cast<size_t>(i % 13), static_cast<char>('a' + i % 26));
        raw += word + "\r\n";
        expected += word + "\n";
        if (i % 97 == 0) {
            raw += "\r";
            expected += "\r";
        }
    }
    raw += "end\r";  // a final lone CR stays
    expected += "end\r";
    Write_Bytes(dir_.Path() / "big.txt", raw);
    FILE* f = Open_File("big.txt", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), expected);
    fclose(f);
}

TEST_F(Files, TextReadsEndingOnACarriageReturnDecideItByTheNextByte) {
    // A four-byte stream buffer makes each read of the descriptor stop at
    // the CRs placed on its edges.
    Write_Bytes(dir_.Path() / "cr.txt", "abc\r\ncd\rx\r\r\nend\r");
    FILE* f = Open_File("CR.TXT", "r");
    ASSERT_NE(f, nullptr);
    char buffer[4];
    ASSERT_EQ(setvbuf(f, buffer, _IOFBF, sizeof buffer), 0);
    EXPECT_EQ(Read_All(f), "abc\ncd\rx\r\nend\r");
    fclose(f);
}

// What the engine asks for as a file may be a FIFO or a device: neither may
// block the open or feed a reader forever. Both fail as a missing file does.
TEST_F(Files, FifosAndDevicesFailLikeMissingFilesWithoutBlocking) {
    ASSERT_EQ(mkfifo((dir_.Path() / "pipe.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir_.Path() / "zero.x");
    fs::create_symlink("/dev/null", dir_.Path() / "null.log");
    for (const char* name : {"pipe.txt", "PIPE.TXT", "zero.x", "Zero.X", "null.log"}) {
        for (const char* mode : {"r", "rb", "rt", "r+", "w", "wb", "a", "a+", "a+t"}) {
            errno = 0;
            FILE* f = Open_File(name, mode);
            EXPECT_EQ(f, nullptr) << name << " " << mode;
            EXPECT_EQ(errno, ENOENT) << name << " " << mode;
            if (f) fclose(f);
        }
    }
    // Nothing was written through them: the FIFO is still a FIFO.
    struct stat st {};
    ASSERT_EQ(lstat((dir_.Path() / "pipe.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A link to a regular file is still a file.
    Write_Bytes(dir_.Path() / "real.txt", "real");
    fs::create_symlink(dir_.Path() / "real.txt", dir_.Path() / "link.txt");
    FILE* f = Open_File("LINK.TXT", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), "real");
    fclose(f);
}

TEST_F(Files, TextReadsEndAtTheSizeTheFileHadWhenOpened) {
    Write_Bytes(dir_.Path() / "growing.txt", "one\r\ntwo\r\n");
    FILE* f = Open_File("growing.txt", "r");
    ASSERT_NE(f, nullptr);
    // Something appends while the file is read: the reader does not follow.
    {
        std::ofstream more(dir_.Path() / "growing.txt", std::ios::binary | std::ios::app);
        more << "three\r\n";
    }
    EXPECT_EQ(Read_All(f), "one\ntwo\n");
    fclose(f);
    // Read and write streams see what they wrote themselves.
    f = Open_File("growing.txt", "a+");
    ASSERT_NE(f, nullptr);
    fputs("four\n", f);
    ASSERT_EQ(fseek(f, 0, SEEK_SET), 0);
    EXPECT_EQ(Read_All(f), "one\ntwo\nthree\nfour\n");
    fclose(f);
}

TEST_F(Files, TextReadsStopAtCtrlZAsWindowsDoes) {
    Write_Bytes(dir_.Path() / "z.txt", "[a]=1\r\n\x1a[b]=2\r\n");
    FILE* f = Open_File("z.txt", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), "[a]=1\n");
    EXPECT_EQ(fgetc(f), EOF) << "the end stays the end";
    // A seek clears it: the text reads again up to the mark.
    rewind(f);
    EXPECT_EQ(Read_All(f), "[a]=1\n");
    fclose(f);

    // Right after a CR, held back while the next byte decides the pair.
    Write_Bytes(dir_.Path() / "cr_z.txt", "ab\r\x1a\r\n");
    f = Open_File("cr_z.txt", "r");
    ASSERT_NE(f, nullptr);
    char buffer[3];
    ASSERT_EQ(setvbuf(f, buffer, _IOFBF, sizeof buffer), 0);
    EXPECT_EQ(Read_All(f), "ab\r");
    fclose(f);

    // Binary mode reads Ctrl-Z as any other byte.
    f = Open_File("z.txt", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), "[a]=1\r\n\x1a[b]=2\r\n");
    fclose(f);
}

TEST_F(Files, BinaryModeLeavesBytesAlone) {
    const std::string bytes("a\r\nb\nc\rd\0e\x1a", 11);
    FILE* f = Open_File("data.bin", "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    EXPECT_EQ(Read_Bytes(dir_.Path() / "data.bin"), bytes);
    f = Open_File("DATA.BIN", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), bytes);
    fclose(f);
    f = Open_File("data.bin", "r+b");
    ASSERT_NE(f, nullptr);
    fputs("\n", f);
    fclose(f);
    EXPECT_EQ(Read_Bytes(dir_.Path() / "data.bin"), std::string("\n\r\nb\nc\rd\0e\x1a", 11));
}

TEST_F(Files, WindowsCyrillicNamesMatchTheirUtf8FilesRegardlessOfCase) {
    // "Модели/Ящик.x" on disk (UTF-8 names).
    Write_Bytes(dir_.Path() / "\xD0\x9C\xD0\xBE\xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB8" /
                    "\xD0\xAF\xD1\x89\xD0\xB8\xD0\xBA.x",
                "box");
    // "модели\ЯЩИК.X" in Windows-1251.
    FILE* f = Open_File("\xEC\xEE\xE4\xE5\xEB\xE8\\\xDF\xD9\xC8\xCA.X", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), "box");
    fclose(f);
    // "ё" folds to "Ё" too.
    Write_Bytes(dir_.Path() / "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0.txt", "tree");  // Ёлка.txt
    f = Open_File("\xB8\xCB\xCA\xC0.TXT", "r");                                 // ёЛКА.TXT
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(Read_All(f), "tree");
    fclose(f);
    // A new file with a Cyrillic name is created under its UTF-8 name.
    f = Open_File("\xCB\xEE\xE3.txt", "w");  // Лог.txt
    ASSERT_NE(f, nullptr);
    fclose(f);
    EXPECT_TRUE(fs::exists(dir_.Path() / "\xD0\x9B\xD0\xBE\xD0\xB3.txt"));
}

TEST_F(Files, CurrentDirectoryFollowsWindowsRulesAndCodePage) {
    const fs::path cyrillic = dir_.Path() / "\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0";  // "Игра"
    fs::create_directories(cyrillic);
    Scoped_Cwd inside(cyrillic);
    const std::string expected = dir_.Path().string() + "/\xC8\xE3\xF0\xE0";
    char buffer[1024];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    // Too small: the size needed, terminator included, and nothing written.
    char small[4] = {'z', 'z', 'z', 'z'};
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), expected.size() + 1);
    EXPECT_EQ(small[0], 'z');
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), expected.size() + 1);
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(expected.size()), buffer),
              expected.size() + 1);
    EXPECT_EQ(GetCurrentDirectoryA(static_cast<DWORD>(expected.size() + 1), buffer),
              expected.size());
}

}  // namespace
