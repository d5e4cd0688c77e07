// Figures only: how soon a program's window shows, and how soon its caption
// reads as expected, told by the X server's own events rather than by
// polling, which would load the machine while it starts the program.
//
//   window_shown CLASS CAPTION PROGRAM [ARGUMENTS...]
//
// Starts the program and prints two times in ms from the start: when the
// first top-level window of the X class CLASS was mapped (Wine names the
// class after the program), and when a mapped window of that class first
// had a name matching CAPTION (an extended regular expression, as grep -E);
// 99999 for what did not come within 20 s. The program is left running.
// Wine's windows must be unmanaged (the test prefix's Managed=N): a window
// manager's frame would take the map events from the root window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <regex.h>
#include <stdio.h>
#include <strings.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

namespace {

const double kLimitMs = 20000;
const double kNever = 99999;

double nowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// A window may be gone by the time it is asked about.
int ignoreError(Display*, XErrorEvent*) { return 0; }

struct Watch {
    Display* display;
    const char* windowClass;
    regex_t caption;
    Atom netName, utf8;
    double began, shown, named;

    bool ofClass(Window window) {
        XClassHint hint = {};
        if (!XGetClassHint(display, window, &hint))
            return false;
        bool same = hint.res_name && strcasecmp(hint.res_name, windowClass) == 0;
        XFree(hint.res_name);
        XFree(hint.res_class);
        return same;
    }

    // The name as Wine sets it: UTF-8 in _NET_WM_NAME.
    bool nameMatches(Window window) {
        Atom type;
        int format;
        unsigned long count, left;
        unsigned char* name = 0;
        if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &left, &name) !=
                Success ||
            !name)
            return false;
        bool matches = regexec(&caption, (const char*)name, 0, 0, 0) == 0;
        XFree(name);
        return matches;
    }

    bool isMapped(Window window) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped;
    }

    void look(const XEvent& event) {
        double at = nowMs() - began;
        if (event.type == CreateNotify) {
            // Its name changes are wanted from now on.
            XSelectInput(display, event.xcreatewindow.window, PropertyChangeMask);
            return;
        }
        Window window = event.type == MapNotify ? event.xmap.window : event.xproperty.window;
        if (event.type == PropertyNotify && event.xproperty.atom != netName)
            return;
        if (!ofClass(window) || (event.type == PropertyNotify && !isMapped(window)))
            return;
        if (event.type == MapNotify && shown == kNever)
            shown = at;
        if (named == kNever && nameMatches(window))
            named = at;
    }

    void run(char** command) {
        began = nowMs();
        pid_t child = fork();
        if (child < 0) {
            perror("window_shown: fork");
            return;
        }
        if (child == 0) {
            int nothing = open("/dev/null", O_RDWR);
            dup2(nothing, 1);
            dup2(nothing, 2);
            close(nothing);
            execvp(command[0], command);
            _exit(127);
        }
        int connection = ConnectionNumber(display);
        while (named == kNever && nowMs() - began < kLimitMs) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                look(event);
            }
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(connection, &readable);
            timeval wait = {0, 20000};
            select(connection + 1, &readable, 0, 0, &wait);
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    Watch watch = {};
    if (argc < 4 || regcomp(&watch.caption, argv[2], REG_EXTENDED | REG_NOSUB) != 0) {
        fprintf(stderr, "usage: window_shown CLASS CAPTION PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    watch.display = XOpenDisplay(0);
    if (!watch.display) {
        fprintf(stderr, "window_shown: no display\n");
        return 2;
    }
    XSetErrorHandler(ignoreError);
    watch.windowClass = argv[1];
    watch.netName = XInternAtom(watch.display, "_NET_WM_NAME", False);
    watch.utf8 = XInternAtom(watch.display, "UTF8_STRING", False);
    watch.shown = watch.named = kNever;
    XSelectInput(watch.display, DefaultRootWindow(watch.display), SubstructureNotifyMask);
    XSync(watch.display, False);
    watch.run(argv + 3);
    printf("%.0f %.0f\n", watch.shown, watch.named);
    return 0;
}
