// The message queue, dispatch and the closing sequence of a window.
#include "win32_test_util.h"

namespace {

class Message_Queue : public Headless_Test {
protected:
    void SetUp() override {
        Headless_Test::SetUp();
        Log_Of_Proc().clear();
        ASSERT_NE(RegisterClassExA(&wc_), 0);
        hwnd_ = CreateWindowExA(0, "QueueTest", "queue", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(hwnd_, nullptr);
        Log_Of_Proc().clear();
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        UnregisterClassA("QueueTest", GetModuleHandleA(nullptr));
        Headless_Test::TearDown();
    }

    WNDCLASSEXA wc_ = Class_Record("QueueTest", Recording_Proc);
    HWND hwnd_ = nullptr;
};

TEST_F(Message_Queue, PostedMessagesComeOutInOrderAndOnlyOnceEach) {
    for (UINT i = 0; i < 50; ++i) {
        ASSERT_TRUE(PostMessageA(hwnd_, WM_USER + i, i, -static_cast<LPARAM>(i)));
    }
    MSG msg{};
    // Looking does not take the message away.
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    for (UINT i = 0; i < 50; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << i;
        EXPECT_EQ(msg.hwnd, hwnd_);
        EXPECT_EQ(msg.message, WM_USER + i);
        EXPECT_EQ(msg.wParam, i);
        EXPECT_EQ(msg.lParam, -static_cast<LPARAM>(i));
    }
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Message_Queue, QuitComesOnlyAfterEveryPendingPostedMessage) {
    PostMessageA(hwnd_, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageA(hwnd_, WM_USER + 1, 0, 0);
    // A second request only replaces the exit code, as on Windows.
    PostQuitMessage(7);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 7u);
    // Retrieved once; the flag is cleared.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Message_Queue, FiltersByWindowAndRange) {
    PostMessageA(nullptr, WM_USER + 5, 0, 0);  // a message without a window
    PostMessageA(hwnd_, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(hwnd_, WM_USER + 6, 0, 0);
    PostQuitMessage(0);

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYUP, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    ASSERT_TRUE(PeekMessageA(&msg, hwnd_, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 6));
    // Only the windowless message is left: a window filter sees nothing,
    // and never the quit request.
    EXPECT_FALSE(PeekMessageA(&msg, hwnd_, 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

TEST_F(Message_Queue, DispatchReachesTheProcedureOfTheWindowsOwnClass) {
    static std::vector<UINT> other_calls;
    other_calls.clear();
    auto other_proc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        other_calls.push_back(m);
        return m == WM_USER + 1 ? 1234 : DefWindowProcA(h, m, w, l);
    };
    WNDCLASSEXA other = Class_Record("QueueOther", other_proc);
    ASSERT_NE(RegisterClassExA(&other), 0);
    HWND second = CreateWindowExA(0, "queueother", "other", 0, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(second, nullptr) << "class names are not case-sensitive";
    ASSERT_NE(second, hwnd_);
    ASSERT_EQ(other_calls.size(), 1u);
    EXPECT_EQ(other_calls[0], static_cast<UINT>(WM_CREATE));
    other_calls.clear();

    PostMessageA(second, WM_USER + 1, 0, 0);
    PostMessageA(hwnd_, WM_USER + 2, 9, 10);
    PostMessageA(nullptr, WM_USER + 3, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(TranslateMessage(&msg) == FALSE);
    EXPECT_EQ(DispatchMessageA(&msg), 1234);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 0);  // no window: nobody to call

    EXPECT_EQ(other_calls, std::vector<UINT>{WM_USER + 1});
    ASSERT_EQ(Log_Of_Proc().size(), 1u);
    EXPECT_EQ(Log_Of_Proc()[0].hwnd, hwnd_);
    EXPECT_EQ(Log_Of_Proc()[0].message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(Log_Of_Proc()[0].wparam, 9u);
    EXPECT_EQ(Log_Of_Proc()[0].lparam, 10);

    // Sent messages skip the queue.
    EXPECT_EQ(SendMessageA(second, WM_USER + 1, 0, 0), 1234);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_TRUE(DestroyWindow(second));
    EXPECT_TRUE(UnregisterClassA("QueueOther", nullptr));
}

TEST_F(Message_Queue, KeyMessagesAreTranslated) {
    MSG msg{};
    msg.hwnd = hwnd_;
    msg.message = WM_KEYDOWN;
    EXPECT_TRUE(TranslateMessage(&msg));
    msg.message = WM_KEYUP;
    EXPECT_TRUE(TranslateMessage(&msg));
    msg.message = WM_MOUSEMOVE;
    EXPECT_FALSE(TranslateMessage(&msg));
}

TEST_F(Message_Queue, RepeatedQuitRequestsAfterManyPostsStillEndTheLoopOnce) {
    // Held Escape: every repeat posts a key message, each handled by asking
    // to quit again.
    for (int i = 0; i < 5; ++i) {
        PostMessageA(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0x40000001);
    }
    int keys = 0;
    int quits = 0;
    MSG msg{};
    while (msg.message != WM_QUIT) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_KEYDOWN) {
            ++keys;
            PostQuitMessage(0);
        }
        if (msg.message == WM_QUIT) ++quits;
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(keys, 5);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// The engine's closing sequence: WM_CLOSE asks to quit and lets the default
// processing destroy the window, whose WM_DESTROY runs at once, inside it.
struct Close_Trace {
    std::vector<std::string> steps;
    HWND hwnd = nullptr;
};
Close_Trace g_close;

LRESULT CALLBACK Closing_Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CLOSE: {
        g_close.steps.push_back("close");
        PostQuitMessage(0);
        const LRESULT r = DefWindowProcA(hwnd, message, wparam, lparam);
        g_close.steps.push_back(IsWindow(hwnd) ? "close returned, window alive"
                                               : "close returned, window gone");
        return r;
    }
    case WM_DESTROY:
        g_close.steps.push_back("destroy");
        // The window and its class are still there while it is destroyed.
        g_close.steps.push_back(IsWindow(hwnd) ? "alive in destroy" : "gone in destroy");
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

TEST_F(Message_Queue, CloseDestroysTheWindowSynchronouslyAndFreesTheClass) {
    g_close = Close_Trace{};
    WNDCLASSEXA wc = Class_Record("Quillmoor", Closing_Proc);
    ASSERT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(RegisterClassExA(&wc), 0) << "a class name is registered once";
    HWND hwnd = CreateWindowExA(0, "Quillmoor", "title", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                1024, 768, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("Quillmoor", GetModuleHandleA(nullptr)))
        << "a window of the class exists";

    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    PostMessageA(hwnd, WM_USER, 0, 0);  // arrives after the window is gone
    MSG msg{};
    int passes = 0;
    while (msg.message != WM_QUIT && passes < 10) {
        ++passes;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(g_close.steps, (std::vector<std::string>{"close", "destroy", "alive in destroy",
                                                       "close returned, window gone"}));
    EXPECT_FALSE(IsWindow(hwnd));
    RECT rc{};
    EXPECT_FALSE(GetClientRect(hwnd, &rc));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(g_close.steps.size(), 4u) << "WM_DESTROY comes once per window";

    EXPECT_TRUE(UnregisterClassA("Quillmoor", GetModuleHandleA(nullptr)));
    EXPECT_FALSE(UnregisterClassA("Quillmoor", GetModuleHandleA(nullptr)));
    EXPECT_EQ(CreateWindowExA(0, "Quillmoor", "title", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr)
        << "no window of an unregistered class";
}

TEST_F(Message_Queue, RefusedCreationAndBadClassRecords) {
    auto refusing = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcA(h, m, w, l);
    };
    WNDCLASSEXA wc = Class_Record("Refusing", refusing);
    ASSERT_NE(RegisterClassExA(&wc), 0);
    EXPECT_EQ(
        CreateWindowExA(0, "Refusing", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_TRUE(UnregisterClassA("Refusing", nullptr)) << "the refused window left nothing behind";

    WNDCLASSEXA bad = Class_Record("Bad", nullptr);
    EXPECT_EQ(RegisterClassExA(&bad), 0);
    bad = Class_Record(nullptr, Recording_Proc);
    EXPECT_EQ(RegisterClassExA(&bad), 0);
    bad = Class_Record("Bad", Recording_Proc);
    bad.cbSize = 0;
    EXPECT_EQ(RegisterClassExA(&bad), 0);
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    EXPECT_FALSE(UnregisterClassA(nullptr, nullptr));
    EXPECT_EQ(CreateWindowExA(0, nullptr, "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_FALSE(PeekMessageA(nullptr, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
}

}  // namespace
