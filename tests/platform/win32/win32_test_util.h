// Helpers shared by the Win32 layer's tests.
#pragma once

#include "platform/win32.h"
#include "platform/win32_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Every test starts from a fresh platform in the mode it asks for, with an
// empty queue, and leaves nothing behind for the next one.
class Headless_Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Platform_Init(true)); }
    void TearDown() override {
        Platform_Set_Message_Box_Hook(nullptr);
        Platform_Release_Time();
        Platform_Shutdown();
    }
};

// A window procedure that records what it receives, for any test.
struct Received {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

inline std::vector<Received>& Log_Of_Proc() {
    static std::vector<Received> log;
    return log;
}

inline LRESULT CALLBACK Recording_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Log_Of_Proc().push_back({hwnd, message, wparam, lparam});
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

inline WNDCLASSEXA Class_Record(const char* name, WNDPROC proc) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(WNDCLASSEXA);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    return wc;
}

// A folder under the system's temporary folder, removed with its contents.
class Temp_Folder {
public:
    Temp_Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm_win32_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Temp_Folder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Changes the working directory for the lifetime of the object.
class Scoped_Cwd {
public:
    explicit Scoped_Cwd(const std::filesystem::path& dir) : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~Scoped_Cwd() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }

private:
    std::filesystem::path old_;
};

// Pumps messages until `want` accepts one (removing and returning every
// message seen on the way), or until about two seconds have passed.
inline bool Wait_For_Message(const std::function<bool(const MSG&)>& want,
                             std::vector<MSG>* seen = nullptr, int timeout_ms = 2000) {
    const DWORD start = timeGetTime();
    while (static_cast<int>(timeGetTime() - start) < timeout_ms) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (seen != nullptr) seen->push_back(msg);
            if (want(msg)) return true;
        }
        struct timespec pause {
            0, 5000000
        };
        nanosleep(&pause, nullptr);
    }
    return false;
}
