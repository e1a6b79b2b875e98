#include "platform/shell.h"

#include <QLocalServer>
#include <QCoreApplication>
#include <QLocalSocket>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

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
  {
    QLocalSocket probe;
    probe.connectToServer(server_name);
    if (probe.waitForConnected(500)) {
      probe.write("raise\n");
      probe.waitForBytesWritten(500);
      probe.disconnectFromServer();
      return false;
    }
  }
  // Nobody answered: a name left by a crashed instance is stale.
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
