// Folder watching: a finished save is one change, whatever way the writer
// saved it; writes still in progress are not reported; folders made later
// are watched too. Every check ends with a sentinel file saved last: by the
// time it is reported, any second report of an earlier file would have come.
#include "win32_test_util.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

constexpr DWORD k_quiet = 50;

void Write_Bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class Watch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.Path().empty());
        fs::create_directories(fs::path(dir_.Path()) / "fx");
        watch_ = Platform_Watch_Folder(".");
        ASSERT_NE(watch_, nullptr);
    }
    void TearDown() override { Platform_Close_Watch(watch_); }

    // Every change reported until the sentinel "zz_sentinel" (saved now) is,
    // counted by path.
    std::map<std::string, int> Changes_Until_Sentinel() {
        Write_Bytes(fs::path(dir_.Path()) / "zz_sentinel", "x");
        std::map<std::string, int> seen;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        char path[512];
        while (seen.count("zz_sentinel") == 0 && std::chrono::steady_clock::now() < deadline) {
            if (Platform_Next_Folder_Change(watch_, k_quiet, path, sizeof path))
                ++seen[path];
            else
                usleep(1000);
        }
        EXPECT_EQ(seen["zz_sentinel"], 1);
        seen.erase("zz_sentinel");
        return seen;
    }

    Temp_Folder dir_;
    Scoped_Cwd cwd_{dir_.Path()};
    HANDLE watch_ = nullptr;
};

TEST_F(Watch, EverySavePatternIsOneChange) {
    const fs::path fx = fs::path(dir_.Path()) / "fx";
    // In place, written in two opens (truncate, then append) and closed.
    Write_Bytes(fx / "a.fx", "first half");
    { std::ofstream(fx / "a.fx", std::ios::app) << " second half"; }
    // A temporary file renamed over the target.
    Write_Bytes(fx / "b.fx", "old");
    auto seen = Changes_Until_Sentinel();
    EXPECT_EQ(seen, (std::map<std::string, int>{{"fx/a.fx", 1}, {"fx/b.fx", 1}}));

    Write_Bytes(fx / ".b.fx.swp", "new");
    fs::rename(fx / ".b.fx.swp", fx / "b.fx");
    // The temporary name is gone again: only the target is reported.
    EXPECT_EQ(Changes_Until_Sentinel(), (std::map<std::string, int>{{"fx/b.fx", 1}}));
}

TEST_F(Watch, AFileStillBeingWrittenIsNotReported) {
    const fs::path file = fs::path(dir_.Path()) / "fx" / "slow.fx";
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "half", 4), 4);
    // Open for writing, modified: not complete however long it stays so.
    auto seen = Changes_Until_Sentinel();
    EXPECT_EQ(seen.count("fx/slow.fx"), 0u);
    ASSERT_EQ(write(fd, " and the rest", 13), 13);
    close(fd);
    seen = Changes_Until_Sentinel();
    EXPECT_EQ(seen["fx/slow.fx"], 1);
}

TEST_F(Watch, FoldersMadeLaterAreWatched) {
    fs::create_directories(fs::path(dir_.Path()) / "models" / "new");
    // The watch learns of the folders when it next looks.
    char path[512];
    EXPECT_FALSE(Platform_Next_Folder_Change(watch_, k_quiet, path, sizeof path));
    Write_Bytes(fs::path(dir_.Path()) / "models" / "new" / "box.x", "xof");
    auto seen = Changes_Until_Sentinel();
    EXPECT_EQ(seen["models/new/box.x"], 1);
}

TEST_F(Watch, SavesLostToAQueueOverflowAreFoundByARescan) {
    const fs::path fx = fs::path(dir_.Path()) / "fx";
    Write_Bytes(fx / "shader.fx", "one");
    EXPECT_EQ(Changes_Until_Sentinel()["fx/shader.fx"], 1);

    // Fill the kernel's queue past its end while nothing reads it (two files
    // in turn: repeats of one event would be merged into one).
    long limit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
    if (limit <= 0 || limit > 200000) GTEST_SKIP() << "queue limit " << limit;
    for (long k = 0; k < limit; ++k) {
        const int fd = open((fx / (k % 2 ? "noise_a" : "noise_b")).c_str(),
                            O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        close(fd);
    }
    Write_Bytes(fx / "shader.fx", "two, longer");  // its events are lost
    auto seen = Changes_Until_Sentinel();
    EXPECT_EQ(seen["fx/shader.fx"], 1);
}

TEST(Watch_Folder, MissingFolderAndBadArgumentsFail) {
    EXPECT_EQ(Platform_Watch_Folder("/no/such/folder/here"), nullptr);
    EXPECT_EQ(Platform_Watch_Folder(nullptr), nullptr);
    char path[8];
    EXPECT_FALSE(Platform_Next_Folder_Change(nullptr, 0, path, sizeof path));
    Platform_Close_Watch(nullptr);  // nothing to do, no crash
}

}  // namespace
