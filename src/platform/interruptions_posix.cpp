// SPDX-License-Identifier: MIT
// Linux: SIGINT, SIGTERM and SIGHUP stay blocked while a run works, so none is delivered in the
// middle of a program; a look between programs takes whichever are pending with sigtimedwait.
// Only around the read of an answer are they unblocked, with a handler installed without
// SA_RESTART, so that a read under way fails with EINTR. A signal that comes just before the read
// begins would leave it waiting, so the handler also puts an ended pipe in place of standard input:
// that read finds the end of the input at once.
#include "platform/interruptions.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace vextra::platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

volatile std::sig_atomic_t g_received = 0;  // the first signal taken, 0 while none
int g_ended_input = -1;                    // the read end of a pipe whose write end is closed

sigset_t g_held;           // the signals a hold catches: those not ignored at the start
sigset_t g_earlier_mask;
struct sigaction g_earlier_actions[kSignalCount];

// Runs only while an answer is awaited: everywhere else the signals are blocked.
void on_signal(int number) {
    const int saved_errno = errno;
    if (!g_received) g_received = number;
    dup2(g_ended_input, STDIN_FILENO);
    errno = saved_errno;
}

int ended_pipe() {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    close(ends[1]);
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    return ends[0];
}

}  // namespace

InterruptionHold::InterruptionHold() {
    g_received = 0;
    g_ended_input = ended_pipe();
    sigemptyset(&g_held);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &g_earlier_actions[i]);
        if (g_earlier_actions[i].sa_handler != SIG_IGN) sigaddset(&g_held, kSignals[i]);
    }
    sigprocmask(SIG_BLOCK, &g_held, &g_earlier_mask);

    struct sigaction action {};
    action.sa_handler = on_signal;
    sigfillset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the read of an answer fails with EINTR
    for (const int number : kSignals)
        if (sigismember(&g_held, number)) sigaction(number, &action, nullptr);
}

InterruptionHold::~InterruptionHold() {
    for (std::size_t i = 0; i < kSignalCount; ++i)
        if (sigismember(&g_held, kSignals[i])) sigaction(kSignals[i], &g_earlier_actions[i], nullptr);
    sigprocmask(SIG_SETMASK, &g_earlier_mask, nullptr);
    if (g_ended_input >= 0) close(g_ended_input);
    g_ended_input = -1;
}

std::optional<int> InterruptionHold::requested_exit_status() {
    // Every pending one is taken, so that none ends the process after the hold; the first counts.
    const timespec no_wait{0, 0};
    for (int number; (number = sigtimedwait(&g_held, nullptr, &no_wait)) > 0;)
        if (!g_received) g_received = number;
    if (!g_received) return std::nullopt;
    return 128 + g_received;
}

bool InterruptionHold::read_input(const std::function<void()>& read) {
    // A signal already pending is delivered here, as the mask opens.
    sigprocmask(SIG_UNBLOCK, &g_held, nullptr);
    if (!g_received) read();
    sigprocmask(SIG_BLOCK, &g_held, nullptr);
    return !g_received;
}

}  // namespace vextra::platform
