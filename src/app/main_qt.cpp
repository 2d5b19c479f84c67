// SPDX-License-Identifier: MIT
// vextra on Linux: the main window on Qt 6. It takes no arguments and keeps no settings; the
// manifest template "style.dll" is read from the working directory at start-up.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <xcb/xcb.h>

#include "platform/files.h"
#include "ui/qt/form_view_qt.h"
#include "ui/qt/signal_notifier.h"
#include "version.h"

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool x_display_answers() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// A compositor listens on the socket WAYLAND_DISPLAY names, absolute or in XDG_RUNTIME_DIR.
bool wayland_display_answers(const std::string& display) {
    const std::string path = display.front() == '/' ? display : variable("XDG_RUNTIME_DIR") + "/" + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    path.copy(address.sun_path, path.size());
    const int socket_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_fd < 0) return false;
    const bool answers = connect(socket_fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    close(socket_fd);
    return answers;
}

// The platforms Qt tries in turn: those QT_QPA_PLATFORM lists, else Wayland in a Wayland session
// and then X11.
std::vector<std::string> platforms_to_try() {
    std::vector<std::string> platforms;
    const std::string asked = variable("QT_QPA_PLATFORM");
    if (asked.empty()) {
        if (!variable("WAYLAND_DISPLAY").empty() || variable("XDG_SESSION_TYPE") == "wayland") platforms.push_back("wayland");
        platforms.push_back("xcb");
        return platforms;
    }
    for (std::size_t start = 0; start <= asked.size();) {
        const std::size_t end = std::min(asked.find(';', start), asked.size());
        const std::string entry = asked.substr(start, end - start);
        platforms.push_back(entry.substr(0, entry.find(':')));  // without the platform's options
        start = end + 1;
    }
    return platforms;
}

// Why none of the platforms Qt would try can show the window; empty when one can, or when one of
// them needs no display (offscreen, vnc) and is Qt's to judge.
std::string why_no_display() {
    std::string reasons;
    for (const std::string& platform : platforms_to_try()) {
        std::string reason;
        if (platform == "xcb") {
            const std::string display = variable("DISPLAY");
            if (display.empty()) reason = "DISPLAY is not set";
            else if (!x_display_answers()) reason = "no X server answers at DISPLAY=" + display;
        } else if (platform.rfind("wayland", 0) == 0) {
            const std::string set = variable("WAYLAND_DISPLAY");
            const std::string display = set.empty() ? "wayland-0" : set;  // the client library's default
            if (!wayland_display_answers(display))
                reason = "no Wayland compositor answers at " + (set.empty() ? display : "WAYLAND_DISPLAY=" + display);
        }
        if (reason.empty()) return {};
        if (reasons.find(reason) == std::string::npos) reasons += (reasons.empty() ? "" : ", and ") + reason;
    }
    return reasons;
}

// A command that opens the window in a virtual X server from where the program was started: the
// program by the name it was started by.
std::string virtual_display_command(const std::string& program) {
    std::string quoted = program;
    if (program.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./+-") !=
        std::string::npos) {
        quoted = "'";
        for (char c : program) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        quoted += "'";
    }
    bool tries_x = false;
    for (const std::string& platform : platforms_to_try()) tries_x = tries_x || platform == "xcb";
    return std::string(tries_x ? "" : "QT_QPA_PLATFORM=xcb ") + "xvfb-run -a " + quoted;
}

// Qt ends the program with several lines of its own when no platform it tried starts; this says
// it in one. Other messages of the start wait until the start has succeeded.
std::vector<std::pair<QtMsgType, QString>> start_messages;
void on_start_message(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        start_messages.emplace_back(type, message);
        return;
    }
    const std::string asked = variable("QT_QPA_PLATFORM");
    std::fprintf(stderr, "vextra: cannot show the window: %s%s\n", qPrintable(message.section('\n', 0, 0)),
                 asked.empty() ? "" : (" (QT_QPA_PLATFORM=" + asked + ")").c_str());
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (const std::string reason = why_no_display(); !reason.empty()) {
        std::fprintf(stderr, "vextra: no display to show the window on: %s; start it as: %s\n", reason.c_str(),
                     virtual_display_command(argc > 0 && argv[0][0] ? argv[0] : "vextra").c_str());
        return 1;
    }
    vextra::platform::keep_running_past_file_size_limit();
    // The desktop entry's id names the window (X11's WM_CLASS, Wayland's app_id), so that docks
    // and task switchers find the entry and its icon.
    QCoreApplication::setApplicationName(QStringLiteral(VEXTRA_APP_ID));
    QGuiApplication::setDesktopFileName(QStringLiteral(VEXTRA_APP_ID));
    const QtMessageHandler usual = qInstallMessageHandler(on_start_message);
    QApplication application(argc, argv);
    qInstallMessageHandler(usual);
    for (const auto& [type, message] : start_messages) usual(type, QMessageLogContext(), message);
    vextra::ui::qt::QtFormView window;
    window.form().load();
    // Ended from outside (kill, the session's end) as its exit control ends it.
    const vextra::ui::qt::SignalNotifier end_requests([&window] { window.form().end_requested(); });
    window.show();
    return application.exec();
}
