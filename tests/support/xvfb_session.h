// A private X server (Xvfb, by absolute path) for tests and benchmarks that run
// the real launcher window, with the X queries they check it by.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace qh {

class XvfbSession {
 public:
  // Starts Xvfb on the first free display from :71 with one 1920 × 1080 screen.
  XvfbSession() {
    for (int n = 71; n < 140; ++n) {
      char socket[64], lock[64], display[16];
      std::snprintf(socket, sizeof socket, "/tmp/.X11-unix/X%d", n);
      std::snprintf(lock, sizeof lock, "/tmp/.X%d-lock", n);
      std::snprintf(display, sizeof display, ":%d", n);
      struct stat st;
      if (::stat(socket, &st) == 0 || ::stat(lock, &st) == 0) continue;
      display_ = display;
      pid_ = ::fork();
      if (pid_ == 0) {
        ::execl("/usr/bin/Xvfb", "Xvfb", display_.c_str(), "-screen", "0", "1920x1080x24",
                "-nolisten", "tcp", static_cast<char*>(nullptr));
        ::_exit(127);
      }
      if (waitFor([&] { return (x_ = XOpenDisplay(display_.c_str())) != nullptr; }, 10000)) return;
      stop();
    }
    display_.clear();
  }
  ~XvfbSession() { stop(); }

  bool ok() const { return x_ != nullptr; }
  const std::string& display() const { return display_; }
  Display* x() const { return x_; }

  // The viewable top-level window titled `title`, or 0.
  Window findWindow(const std::string& title) const {
    Window root = DefaultRootWindow(x_), parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    XSync(x_, False);
    if (!XQueryTree(x_, root, &root, &parent, &children, &count)) return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      XWindowAttributes a;
      if (XFetchName(x_, children[i], &name) && name && title == name &&
          XGetWindowAttributes(x_, children[i], &a) && a.map_state == IsViewable)
        found = children[i];
      if (name) XFree(name);
    }
    if (children) XFree(children);
    return found;
  }

  struct Frame {
    int x, y, width, height;
  };
  Frame frame(Window w) const {
    XWindowAttributes a;
    XGetWindowAttributes(x_, w, &a);
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(x_, w, DefaultRootWindow(x_), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
  }

  // Asks the window to close, as a window manager's close button does.
  void close(Window w) const {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(x_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_, w, False, NoEventMask, &e);
    XFlush(x_);
  }

  // Polls `done` until it holds or `timeoutMs` passed. These waits are on
  // other processes (the X server, the launcher); nothing here measures time.
  static bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > timeoutMs) return false;
      QThread::msleep(20);
    }
    return true;
  }

 private:
  void stop() {
    if (x_) XCloseDisplay(x_);
    x_ = nullptr;
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  std::string display_;
  pid_t pid_ = -1;
  Display* x_ = nullptr;
};

}  // namespace qh
