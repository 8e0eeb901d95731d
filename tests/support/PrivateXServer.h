#pragma once

// An X server of the test's own, and a focused window on it that records the keys it gets: for
// the tests of the XTest key path.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <memory>
#include <optional>

#include <poll.h>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kelvaro::testing {

// An Xvfb of this test alone, on a display number nobody else holds.
class PrivateXServer {
 public:
  PrivateXServer() {
    const int first = 100 + static_cast<int>(QCoreApplication::applicationPid() % 400);
    for (int i = 0; i < 50 && number_ < 0; ++i) {
      const int n = 100 + (first - 100 + i) % 800;
      if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
          QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
        continue;
      }
      if (tryStart(n)) number_ = n;
    }
  }
  ~PrivateXServer() {
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(3000);
      }
    }
  }
  bool running() const { return number_ >= 0; }
  QString display() const { return QStringLiteral(":%1").arg(number_); }

 private:
  bool tryStart(int n) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral(":%1").arg(n), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
         QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("640x480x24")});
    if (!process_.waitForStarted(5000)) return false;
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
      if (process_.state() == QProcess::NotRunning) return false;  // the number was taken after all
      if (QFileInfo::exists(socket)) return true;
      process_.waitForFinished(20);
    }
    process_.kill();
    process_.waitForFinished(3000);
    return false;
  }

  QProcess process_;
  int number_ = -1;
};

class XTestWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty()) {
      GTEST_SKIP() << "no Xvfb binary";
    }
    server_ = std::make_unique<PrivateXServer>();
    ASSERT_TRUE(server_->running()) << "Xvfb did not start";
    const QByteArray name = server_->display().toLocal8Bit();
    for (int i = 0; i < 50 && !dpy_; ++i) {
      dpy_ = XOpenDisplay(name.constData());
      if (!dpy_) QThread::msleep(20);
    }
    ASSERT_NE(dpy_, nullptr) << name.constData();
    // A held key must not autorepeat, so each press gives exactly one KeyPress.
    XAutoRepeatOff(dpy_);
    window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 200, 200, 0, 0, 0);
    XSelectInput(dpy_, window_, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(dpy_, window_);
    auto mapped = nextEvent(MapNotify);
    ASSERT_TRUE(mapped.has_value()) << "the window was not mapped";
    XSetInputFocus(dpy_, window_, RevertToParent, CurrentTime);
    XSync(dpy_, False);
  }
  void TearDown() override {
    if (dpy_) XCloseDisplay(dpy_);
    server_.reset();
  }

  // The next event of the given type (others are skipped), within a few seconds.
  std::optional<XEvent> nextEvent(int type) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
      while (XPending(dpy_) > 0) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        if (ev.type == type) return ev;
      }
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      ::poll(&p, 1, 50);
    }
    return std::nullopt;
  }

  // Key events that arrive within a short quiet period; used to show none is pending.
  int pendingKeyEvents(int quietMs) {
    XSync(dpy_, False);
    QThread::msleep(quietMs);
    int n = 0;
    while (XPending(dpy_) > 0) {
      XEvent ev;
      XNextEvent(dpy_, &ev);
      if (ev.type == KeyPress || ev.type == KeyRelease) ++n;
    }
    return n;
  }

  void expectKeyEvent(int type, KeySym keysym) {
    auto ev = nextEvent(type);
    ASSERT_TRUE(ev.has_value()) << (type == KeyPress ? "no KeyPress" : "no KeyRelease");
    EXPECT_EQ(ev->xkey.window, window_);
    EXPECT_EQ(XLookupKeysym(&ev->xkey, 0), keysym);
  }

  std::unique_ptr<PrivateXServer> server_;
  Display* dpy_ = nullptr;
  Window window_ = 0;
};

}  // namespace kelvaro::testing
