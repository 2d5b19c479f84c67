// SPDX-License-Identifier: MIT
// Windows: a console control handler, which the system runs on a thread of its own, records the
// request and returns TRUE, so the main thread goes on to the end of the program in hand. After a
// close, logoff or shutdown event the system ends the process as soon as the handler returns, so
// there the handler does not return: the main thread ends the process once it has stopped and
// flushed what it printed, and the system ends it after about five seconds in any case.
// While an answer is awaited, the handler cancels the main thread's read of standard input, again
// until the wait has ended, since a read that has not yet begun cannot be cancelled.
#include "platform/interruptions.h"

#include <windows.h>

namespace vextra::platform {
namespace {

constexpr int kControlCExit = static_cast<int>(STATUS_CONTROL_C_EXIT);
constexpr DWORD kCancelIntervalMs = 10;
constexpr int kCancelTries = 300;        // three seconds: less than the system waits after a close
constexpr DWORD kEndWaitMs = 10000;      // longer than the system waits after a close

volatile LONG g_requested = 0;
HANDLE g_main_thread = nullptr;     // the thread that reads the answers
SRWLOCK g_input_lock = SRWLOCK_INIT;
bool g_input_awaited = false;       // under g_input_lock: cancelling then reaches only the answer's read

// Cancels the read of an answer; false once no answer is awaited.
bool cancel_input_wait() {
    AcquireSRWLockExclusive(&g_input_lock);
    const bool awaited = g_input_awaited;
    if (awaited) CancelSynchronousIo(g_main_thread);
    ReleaseSRWLockExclusive(&g_input_lock);
    return awaited;
}

void set_input_awaited(bool awaited) {
    AcquireSRWLockExclusive(&g_input_lock);
    g_input_awaited = awaited;
    ReleaseSRWLockExclusive(&g_input_lock);
}

BOOL WINAPI on_control(DWORD event) {
    InterlockedExchange(&g_requested, 1);
    for (int i = 0; i < kCancelTries && cancel_input_wait(); ++i) Sleep(kCancelIntervalMs);
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(kEndWaitMs);
    return TRUE;
}

}  // namespace

InterruptionHold::InterruptionHold() {
    InterlockedExchange(&g_requested, 0);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &g_main_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(on_control, TRUE);
}

InterruptionHold::~InterruptionHold() {
    SetConsoleCtrlHandler(on_control, FALSE);
    // No answer is awaited now, so a handler still running no longer uses the thread's handle.
    CloseHandle(g_main_thread);
    g_main_thread = nullptr;
}

std::optional<int> InterruptionHold::requested_exit_status() {
    if (InterlockedCompareExchange(&g_requested, 0, 0) == 0) return std::nullopt;
    return kControlCExit;
}

bool InterruptionHold::read_input(const std::function<void()>& read) {
    // Awaited before the look: a request from here on keeps cancelling until the read has ended.
    set_input_awaited(true);
    if (!requested_exit_status()) read();
    set_input_awaited(false);
    return !requested_exit_status();
}

}  // namespace vextra::platform
