// SPDX-License-Identifier: MIT
/* Starts a program and measures it from outside, as a person sees it start: the time from its
 * start to the map of its first top-level window, told by the X server itself (a MapNotify on the
 * root window), and the program's peak resident memory at that moment. The program is then ended.
 *
 *   map_time PROGRAM [ARGUMENT...]     prints "MILLISECONDS PEAK_KIB"; exit 1 on a timeout
 */
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

/* VmHWM, the peak resident set so far, in KiB; 0 when the process is gone. */
static long peak_kib(pid_t pid) {
    char path[64], line[256];
    long kib = 0;
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* status = fopen(path, "r");
    if (!status) return 0;
    while (fgets(line, sizeof line, status))
        if (strncmp(line, "VmHWM:", 6) == 0) kib = strtol(line + 6, NULL, 10);
    fclose(status);
    return kib;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: map_time PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "map_time: cannot open the display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);

    const double start = seconds();
    const pid_t pid = fork();
    if (pid == 0) {
        /* Nothing the program leaves running (Wine's services) holds this program's output open. */
        const int nothing = open("/dev/null", O_RDWR);
        dup2(nothing, 0);
        dup2(nothing, 1);
        dup2(nothing, 2);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int mapped = 0;
    while (!mapped && seconds() - start < 60) {
        while (!mapped && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            mapped = event.type == MapNotify && event.xmap.event == root;
        }
        if (!mapped) {
            struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
            poll(&connection, 1, 100);
        }
    }
    const double elapsed = seconds() - start;
    const long kib = peak_kib(pid);
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
    XCloseDisplay(display);
    if (!mapped) {
        fprintf(stderr, "map_time: %s mapped no window within a minute\n", argv[1]);
        return 1;
    }
    printf("%.3f %ld\n", elapsed * 1000, kib);
    return 0;
}
