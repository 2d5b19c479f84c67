// SPDX-License-Identifier: MIT
#pragma once
// SIGTERM, SIGINT and SIGHUP as requests to end the window, taken on the event loop: a signal
// handler may do next to nothing, so it only writes to a pipe, which a QSocketNotifier watches.

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace vextra::ui::qt {

class SignalNotifier final : public QObject {
public:
    // From now on each of the three signals calls `requested` on the event loop, except one that
    // was ignored when the program started (nohup), which stays ignored. One at a time.
    explicit SignalNotifier(std::function<void()> requested);
    // Gives the signals back their earlier handling.
    ~SignalNotifier() override;
    SignalNotifier(const SignalNotifier&) = delete;
    SignalNotifier& operator=(const SignalNotifier&) = delete;

private:
    void take_requests();

    std::function<void()> requested_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vextra::ui::qt
