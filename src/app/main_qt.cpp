// SPDX-License-Identifier: MIT
// vextra on Linux: the main window on Qt 6. It takes no arguments and keeps no settings; the
// manifest template "style.dll" is read from the working directory at start-up.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

#include "platform/files.h"
#include "ui/qt/form_view_qt.h"
#include "ui/qt/signal_notifier.h"

namespace {

bool has(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

// Qt aborts when it cannot reach a display; say what to do instead.
bool display_reachable() {
    if (has("QT_QPA_PLATFORM") || has("WAYLAND_DISPLAY")) return true;
    if (!has("DISPLAY")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return reachable;
}

}  // namespace

int main(int argc, char** argv) {
    if (!display_reachable()) {
        std::fprintf(stderr, "vextra: no display to open the window on: set DISPLAY (or WAYLAND_DISPLAY), "
                             "or start it as: xvfb-run vextra\n");
        return 1;
    }
    vextra::platform::keep_running_past_file_size_limit();
    QApplication application(argc, argv);
    vextra::ui::qt::QtFormView window;
    window.form().load();
    // Ended from outside (kill, the session's end) as its exit control ends it.
    const vextra::ui::qt::SignalNotifier end_requests([&window] { window.form().end_requested(); });
    window.show();
    return application.exec();
}
