// SPDX-License-Identifier: MIT
#include "ui/qt/signal_notifier.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace vextra::ui::qt {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];

int g_pipe[2] = {-1, -1};  // read end, write end; both non-blocking
struct sigaction g_earlier[kSignalCount];
bool g_caught[kSignalCount] = {};

void on_signal(int number) {
    const int saved_errno = errno;
    const char byte = static_cast<char>(number);
    // A full pipe already holds a request waiting to be taken.
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
    errno = saved_errno;
}

}  // namespace

SignalNotifier::SignalNotifier(std::function<void()> requested) : requested_(std::move(requested)) {
    if (pipe(g_pipe) != 0) return;  // the signals then keep their usual course
    for (const int end : g_pipe) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { take_requests(); });

    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // nothing else the program waits on is cut short
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &g_earlier[i]);
        g_caught[i] = g_earlier[i].sa_handler != SIG_IGN;
        if (g_caught[i]) sigaction(kSignals[i], &action, nullptr);
    }
}

SignalNotifier::~SignalNotifier() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < kSignalCount; ++i)
        if (g_caught[i]) sigaction(kSignals[i], &g_earlier[i], nullptr);
    notifier_.reset();
    for (int& end : g_pipe) {
        close(end);
        end = -1;
    }
}

void SignalNotifier::take_requests() {
    char bytes[64];
    while (read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    requested_();
}

}  // namespace vextra::ui::qt
