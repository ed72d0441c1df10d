// Small kernel, timer and GDI calls: module handle, clocks, MulDiv, strings,
// the screen DC and its resolution.
#include "win32_internal.h"
#include "platform/win32_testing.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

// Stand-ins for handles the engine only passes around.
HINSTANCE const k_module = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x00400000));
HDC const k_screen_dc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x0001D0C0));

constexpr int k_screen_dpi = 96;

bool g_time_frozen = false;
DWORD g_frozen_time = 0;

}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
    // Only the program itself is a loaded module here.
    return lpModuleName == nullptr ? k_module : nullptr;
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime == nullptr) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm utc{};
    const std::time_t seconds = now.tv_sec;
    gmtime_r(&seconds, &utc);
    lpSystemTime->wYear = static_cast<WORD>(utc.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(utc.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(utc.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(utc.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(utc.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(utc.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(nNumber) * nNumerator;
    std::int64_t quotient = product / nDenominator;
    const std::int64_t remainder = product % nDenominator;
    // Halves round away from zero.
    const std::int64_t twice = remainder < 0 ? -2 * remainder : 2 * remainder;
    const std::int64_t divisor =
        nDenominator < 0 ? -static_cast<std::int64_t>(nDenominator) : nDenominator;
    if (twice >= divisor) {
        quotient += ((product < 0) != (nDenominator < 0)) ? -1 : 1;
    }
    if (quotient > std::numeric_limits<int>::max() || quotient < std::numeric_limits<int>::min()) {
        return -1;
    }
    return static_cast<int>(quotient);
}

int WINAPI lstrlenA(LPCSTR lpString) {
    return lpString == nullptr ? 0 : static_cast<int>(std::strlen(lpString));
}

DWORD WINAPI timeGetTime(void) {
    if (g_time_frozen) {
        return g_frozen_time;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<DWORD>(ms);  // wraps every 2^32 ms, as on Windows
}

void Platform_Set_Time(DWORD milliseconds) {
    g_time_frozen = true;
    g_frozen_time = milliseconds;
}

void Platform_Release_Time(void) {
    g_time_frozen = false;
}

HDC WINAPI GetDC(HWND hWnd) {
    if (hWnd != nullptr && !IsWindow(hWnd)) {
        return nullptr;
    }
    return k_screen_dc;
}

int WINAPI ReleaseDC(HWND /*hWnd*/, HDC hDC) {
    return hDC == k_screen_dc ? 1 : 0;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
    if (hdc != k_screen_dc) {
        return 0;
    }
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return k_screen_dpi;
    default: return 0;
    }
}

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (lprc == nullptr) {
        return FALSE;
    }
    lprc->left = xLeft;
    lprc->top = yTop;
    lprc->right = xRight;
    lprc->bottom = yBottom;
    return TRUE;
}
