// Runs pure work (the HLSL translation through glslang and SPIRV-Cross) in a
// forked worker process, so that a crash, an endless loop or a runaway
// allocation inside those libraries fails one effect instead of taking the
// engine down. The worker gets a time limit per request and an address-space
// limit, takes requests and hands back results as bytes over a socket, and
// leaves with _exit(); it must not touch GL, the window system or anything
// that needs another thread of the parent (fork() copies only the calling
// thread). It is forked once and kept, because forking a process that holds
// a GL driver costs tens of milliseconds, and every page the parent writes
// afterwards is copied while the worker lives: the engine starts it before it
// opens a window (Start_Worker_Now), while the process is still small.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qm_fx {

struct Isolation_Limits {
    std::chrono::milliseconds time{10000};
    // Address space the child may add to what the parent already had mapped
    // when it forked (0: no limit). Not applied under AddressSanitizer, whose
    // shadow mappings make RLIMIT_AS meaningless.
    std::uint64_t extra_address_space = std::uint64_t{2} << 30;
};

struct Isolated_Result {
    bool ok = false;      // the child finished and handed back `bytes`
    std::string bytes;    // what the work returned
    std::string failure;  // when !ok: what happened, for an error message
};

// What a worker does with one request: pure work, no GL, no threads of the
// parent. May throw.
using Worker_Handler = std::string (*)(const std::string& request);

// Hands `request` to the compile worker, a child process forked on first use
// (and again after it died or was cut off) that calls `handler` on it and
// sends back the result. A crash or a request over the time limit ends the
// worker and comes back as a failure; the next request starts a new one.
// Without fork() the handler runs in this process instead.
Isolated_Result Run_In_Worker(Worker_Handler handler, const std::string& request,
                              const Isolation_Limits& limits);

// Ends the worker (the next request starts a fresh one).
void Stop_Worker();

// Starts the worker now unless one is running; the child calls `warm_up`
// (when given) before it waits for requests, so that work overlaps whatever
// this process does next. False when no worker could be started.
bool Start_Worker_Now(const Isolation_Limits& limits, void (*warm_up)());

// Whether a worker is running (one that died unseen counts until the next
// request finds out).
bool Worker_Running();

// Counts the workers started so far.
std::uint64_t Worker_Start_Count();

// Counts the requests whose worker crashed, stopped or was cut off at the
// time limit (the failures that end a worker).
std::uint64_t Worker_Failure_Count();

// The limits effect compilation runs under. The time limit is 10 s unless
// QM_FX_COMPILE_TIMEOUT_MS says otherwise; the tests shorten it here.
Isolation_Limits& Compile_Limits();

// Test hook: when set, the worker calls it before each request (to crash or
// hang on purpose). Setting it ends the running worker, so that the next one
// has it. Never set in the engine.
using Compile_Child_Hook = void (*)();
void Set_Compile_Child_Hook(Compile_Child_Hook hook);
Compile_Child_Hook Get_Compile_Child_Hook();

}  // namespace qm_fx
