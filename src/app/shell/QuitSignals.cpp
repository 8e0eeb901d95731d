#include "app/shell/QuitSignals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <csignal>

namespace kelvaro {
namespace {

// A signal handler may only write to a descriptor; this is the one it writes to.
volatile std::sig_atomic_t g_writeEnd = -1;

void onSignal(int number) {
  const int fd = g_writeEnd;
  if (fd < 0) return;
  const char byte = static_cast<char>(number);
  [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipe_.data()) != 0) {
    return;
  }
  g_writeEnd = pipe_[0];
  notifier_ = new QSocketNotifier(pipe_[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char byte = 0;
    while (::read(pipe_[1], &byte, 1) == 1) emit quitRequested(static_cast<unsigned char>(byte));
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

QuitSignals::~QuitSignals() {
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  g_writeEnd = -1;
  if (pipe_[0] >= 0) ::close(pipe_[0]);
  if (pipe_[1] >= 0) ::close(pipe_[1]);
}

void closeForQuit(QWidget& window) {
  // Bounded: a dialog that refuses to close must not keep this loop going.
  for (int i = 0; i < 16; ++i) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) break;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
    if (QApplication::activeModalWidget() == modal) break;
  }
  if (window.isVisible()) window.close();
}

}  // namespace kelvaro
