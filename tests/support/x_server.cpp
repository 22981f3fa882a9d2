#include "support/x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

bool titleOf(Display* dpy, Window w, std::string& title)
{
    char* name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        title = name;
        XFree(name);
        return true;
    }
    return false;
}

Window searchTree(Display* dpy, Window w, const std::string& title)
{
    std::string name;
    if (titleOf(dpy, w, name) && name.rfind(title, 0) == 0) return w;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            found = searchTree(dpy, children[i], title);
        }
        if (children) XFree(children);
    }
    return found;
}

WindowFacts describe(Display* dpy, Window w)
{
    WindowFacts facts;
    XWindowAttributes attributes;
    if (!w || !XGetWindowAttributes(dpy, w, &attributes)) return facts;
    facts.window = w;
    facts.width = attributes.width;
    facts.height = attributes.height;
    facts.mapped = attributes.map_state == IsViewable;
    XSizeHints hints;
    long supplied = 0;
    if (XGetWMNormalHints(dpy, w, &hints, &supplied)) {
        facts.requestedWidth = hints.width;
        facts.requestedHeight = hints.height;
    }
    return facts;
}

int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

} // namespace

WindowFacts describeWindow(const std::string& display, XWindowId window)
{
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return {};
    auto previous = XSetErrorHandler(ignoreErrors);
    WindowFacts facts = describe(dpy, window);
    XSync(dpy, False);
    XSetErrorHandler(previous);
    XCloseDisplay(dpy);
    return facts;
}

WindowFacts findWindow(const std::string& display, const std::string& title, double seconds)
{
    WindowFacts facts;
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return facts;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        WindowFacts found = describe(dpy, searchTree(dpy, DefaultRootWindow(dpy), title));
        if (found.mapped) {
            facts = found;
            break;
        }
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > seconds) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    XCloseDisplay(dpy);
    return facts;
}

void requestWindowClose(const std::string& display, XWindowId window)
{
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, window, False, NoEventMask, &event);
    XFlush(dpy);
    XCloseDisplay(dpy);
}

void setWindowMapped(const std::string& display, XWindowId window, bool mapped)
{
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return;
    if (mapped) XMapWindow(dpy, window);
    else XUnmapWindow(dpy, window);
    XFlush(dpy);
    XCloseDisplay(dpy);
}

std::vector<long> screenPixels(const std::string& display, int x, int y, int width, int height)
{
    std::vector<long> colours;
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return colours;
    if (XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap)) {
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                colours.push_back(static_cast<long>(XGetPixel(image, column, row) & 0xffffff));
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(dpy);
    return colours;
}

long screenPixel(const std::string& display, int x, int y)
{
    const std::vector<long> colours = screenPixels(display, x, y, 1, 1);
    return colours.empty() ? -1 : colours[0];
}

void ensureDisplay()
{
    const char* current = std::getenv("DISPLAY");
    if (current && *current) return;
    static XServer server(1280, 720);
    setenv("DISPLAY", server.display().c_str(), 1);
}
