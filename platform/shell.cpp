#include "platform/shell.h"

#include <QLocalServer>
#include <QCoreApplication>
#include <QLocalSocket>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

#include "platform/files.h"
#include "platform/window_internal.h"

namespace tq {
namespace {

bool g_task_bar_shown = true;
bool g_sip_button_shown = true;

// Programs working on different data roots share no files and no ports
// (COMn maps under the root), so each root has its own single instance.
uint64_t DataRootKey() {
  std::error_code ec;
  std::filesystem::path root = std::filesystem::absolute(DataRoot(), ec).lexically_normal();
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : root.string()) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

QString InstanceServerName(std::string_view name) {
  return QString("tqlog-%1-%2-%3")
      .arg(window_detail::ToQt(name).toUpper())
      .arg(getuid())
      .arg(DataRootKey(), 16, 16, QChar('0'));
}

// How long a second instance keeps trying to reach the first, which may hold
// the lock but not yet listen.
constexpr std::chrono::milliseconds kRaiseTimeout{3000};

enum class InstanceLock { kOurs, kTaken, kUnavailable };

// The decision itself: an exclusive lock on <root>/run/<NAME>.lock, held
// until the process ends. Atomic where probing the socket is not (two
// programs started together would each find no server and both listen).
// The holder keeps its server name in the file for the others to find.
InstanceLock LockInstance(std::string_view name, const QString& server_name, QString* holder) {
  const std::filesystem::path folder = DataRoot() / "run";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path path =
      folder / (window_detail::ToQt(name).toUpper().toStdString() + ".lock");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return InstanceLock::kUnavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool taken = errno == EWOULDBLOCK;
    char text[256];
    const ssize_t n = ::pread(fd, text, sizeof text, 0);
    if (n > 0) *holder = QString::fromUtf8(text, static_cast<qsizetype>(n));
    ::close(fd);
    return taken ? InstanceLock::kTaken : InstanceLock::kUnavailable;
  }
  const QByteArray bytes = server_name.toUtf8();
  // Should this fail, the lock still decides; a second instance then only
  // looks for us under the name it would use itself.
  [[maybe_unused]] const bool noted =
      ::ftruncate(fd, 0) == 0 &&
      ::pwrite(fd, bytes.constData(), static_cast<size_t>(bytes.size()), 0) == bytes.size();
  return InstanceLock::kOurs;  // the descriptor stays open: it is the lock
}

// Asks the instance listening on `server_name` to come forward; false when
// none answered within `timeout`.
bool AskToRaise(const QString& server_name, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  do {
    QLocalSocket probe;
    probe.connectToServer(server_name);
    if (probe.waitForConnected(500)) {
      probe.write("raise\n");
      probe.waitForBytesWritten(500);
      probe.disconnectFromServer();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

// The running instance's answer to a second one: its window of that class
// comes to the front.
void RaiseWindowOfClass(const std::string& name) {
  WindowHandle window = FindWindow(name, "");
  if (window == nullptr) return;
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
}

}  // namespace

bool RequestFullScreen(WindowHandle window, uint32_t flags) {
  if (!IsWindow(window)) return false;
  if (flags & SHFS_HIDETASKBAR) g_task_bar_shown = false;
  if (flags & SHFS_SHOWTASKBAR) g_task_bar_shown = true;
  if (flags & SHFS_HIDESIPBUTTON) g_sip_button_shown = false;
  if (flags & SHFS_SHOWSIPBUTTON) g_sip_button_shown = true;
  return true;
}

void ShowTaskBar(bool show) { g_task_bar_shown = show; }
bool IsTaskBarShown() { return g_task_bar_shown; }
void ShowSipButton(bool show) { g_sip_button_shown = show; }
bool IsSipButtonShown() { return g_sip_button_shown; }

int CommandBarHeight(WindowHandle window) {
  (void)window;
  return 0;
}

bool ClaimSingleInstance(std::string_view name) {
  if (!IsWindowingStarted()) return true;
  QString server_name = InstanceServerName(name);
  QString holder;
  switch (LockInstance(name, server_name, &holder)) {
    case InstanceLock::kTaken:
      AskToRaise(holder.isEmpty() ? server_name : holder, kRaiseTimeout);
      return false;
    case InstanceLock::kUnavailable:
      // A root this user cannot write: the socket alone decides, as best it can.
      if (AskToRaise(server_name, std::chrono::milliseconds(0))) return false;
      break;
    case InstanceLock::kOurs: break;
  }
  // No other instance runs on this root: a name left by a crashed one is stale.
  QLocalServer::removeServer(server_name);
  auto* server = new QLocalServer(QCoreApplication::instance());
  if (!server->listen(server_name)) {
    delete server;
    return true;  // cannot guard, but must not keep the program from running
  }
  std::string class_name(name);
  QObject::connect(server, &QLocalServer::newConnection, [server, class_name] {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      RaiseWindowOfClass(class_name);
    }
  });
  return true;
}

}  // namespace tq
