#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace tq {
namespace fs = std::filesystem;
namespace {

std::mutex root_mutex;
fs::path data_root;  // empty until set or first asked for

std::atomic<FileFaults*> faults{nullptr};

std::mutex observer_mutex;
std::function<void(const FileChange&)> observer;  // guarded by observer_mutex
std::atomic<bool> observing{false};

uint64_t InodeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
}

// Holds the observer's lock from before a change until it is told, so that
// the changes of two threads reach the observer in the order they were made.
// Costs one atomic load while nobody observes.
class ChangeReport {
 public:
  ChangeReport() {
    if (observing.load()) lock_ = std::unique_lock(observer_mutex);
  }
  bool active() const { return lock_.owns_lock() && observer; }
  // `fd` names the file of a change to its bytes.
  void Tell(FileChange::Kind kind, const fs::path& path, int fd = -1, int64_t offset = 0,
            std::string_view bytes = {}, const fs::path& target = {}) const {
    if (!active()) return;
    FileChange change;
    change.kind = kind;
    change.path = path;
    change.target = target;
    change.file = fd >= 0 ? InodeOf(fd) : 0;
    change.offset = offset;
    change.bytes = bytes;
    observer(change);
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

// Charges `size` bytes against the injected write budget and returns how many
// of them fit; `error` is what the write that does not fit fails with.
size_t ChargeWrite(size_t size, int* error) {
  FileFaults* f = faults.load();
  if (f == nullptr || f->write_budget < 0) return size;
  *error = f->write_error;
  const size_t room = static_cast<size_t>(f->write_budget);
  const size_t fits = size < room ? size : room;
  f->write_budget -= static_cast<int64_t>(fits);
  return fits;
}

// The injected sync failure's error number, or 0.
int SyncFault(bool FileFaults::*which) {
  FileFaults* f = faults.load();
  return f != nullptr && f->*which ? f->sync_error : 0;
}

}  // namespace

bool SyncFolder(const fs::path& given) {
  if (int error = SyncFault(&FileFaults::fail_folder_sync); error != 0) {
    errno = error;
    return false;
  }
  const fs::path dir = given.empty() ? fs::path(".") : given;
  ChangeReport report;
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: a filesystem that has no sync for folders; nothing more can be done.
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  ::close(fd);
  errno = error;
  if (ok) report.Tell(FileChange::kSyncFolder, dir);
  return ok;
}

fs::path DefaultDataRoot() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg != '\0') {
    return fs::path(xdg) / "tqlog";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".local" / "share" / "tqlog";
  }
  return fs::path("tqlog-data");
}

fs::path DataRoot() {
  std::lock_guard lock(root_mutex);
  if (data_root.empty()) data_root = DefaultDataRoot();
  return data_root;
}

void SetDataRoot(const fs::path& root) {
  std::lock_guard lock(root_mutex);
  data_root = root;
}

fs::path MapSystemPath(std::string_view system_path) {
  std::string relative(system_path);
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  size_t first = relative.find_first_not_of('/');
  relative = first == std::string::npos ? std::string() : relative.substr(first);
  return DataRoot() / relative;
}

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(other.fd_), error_(std::move(other.error_)) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    error_ = std::move(other.error_);
    other.fd_ = -1;
  }
  return *this;
}

File File::Open(const fs::path& path, OpenMode mode, unsigned access) {
  int flags = O_CLOEXEC;
  if ((access & kReadWrite) == kReadWrite) {
    flags |= O_RDWR;
  } else if ((access & kWrite) != 0) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  const bool exclusive = (access & kExclusive) != 0;
  switch (mode) {
    case OpenMode::kCreateNew: flags |= O_CREAT | O_EXCL; break;
    // Truncating before the lock is ours would empty a file someone holds.
    case OpenMode::kCreateAlways: flags |= O_CREAT | (exclusive ? 0 : O_TRUNC); break;
    case OpenMode::kOpenExisting: break;
    case OpenMode::kOpenAlways: flags |= O_CREAT; break;
  }
  ChangeReport report;
  const bool existed = report.active() && mode != OpenMode::kCreateNew && PathExists(path);
  int fd = ::open(path.c_str(), flags, 0644);
  File file(fd);
  if (fd < 0) {
    file.RecordError("open");
    return file;
  }
  if (exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      file.error_ = "open: in use by another program";
    } else {
      file.RecordError("lock");
    }
    ::close(fd);
    file.fd_ = -1;
  } else if (exclusive && mode == OpenMode::kCreateAlways && ::ftruncate(fd, 0) != 0) {
    file.RecordError("truncate");
    ::close(fd);
    file.fd_ = -1;
  }
  if (file.IsOpen() && report.active()) {
    const bool created = (flags & O_CREAT) != 0 && !existed;
    if (created) {
      report.Tell(FileChange::kCreate, path, fd);
    } else if (mode == OpenMode::kCreateAlways) {
      report.Tell(FileChange::kTruncate, {}, fd, 0);
    }
  }
  return file;
}

void File::RecordError(const char* what) {
  error_ = std::string(what) + ": " + std::strerror(errno);
}

long File::Read(std::span<uint8_t> buffer) {
  if (fd_ < 0) return -1;
  for (;;) {
    ssize_t n = ::read(fd_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    RecordError("read");
    return -1;
  }
}

bool File::Write(std::span<const uint8_t> bytes) {
  if (fd_ < 0) return false;
  int fault = 0;
  const size_t allowed = ChargeWrite(bytes.size(), &fault);
  ChangeReport report;
  const int64_t at = report.active() ? ::lseek(fd_, 0, SEEK_CUR) : 0;
  size_t done = 0;
  bool ok = true;
  while (done < allowed) {
    ssize_t n = ::write(fd_, bytes.data() + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && allowed < bytes.size()) {
    errno = fault;
    ok = false;
  }
  if (!ok) RecordError("write");
  if (done > 0) {
    report.Tell(FileChange::kWrite, {}, fd_, at,
                std::string_view(reinterpret_cast<const char*>(bytes.data()), done));
  }
  return ok;
}

bool File::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool File::Seek(int64_t offset) {
  if (fd_ < 0 || ::lseek(fd_, offset, SEEK_SET) < 0) {
    RecordError("seek");
    return false;
  }
  return true;
}

bool File::SeekToEnd() {
  if (fd_ < 0 || ::lseek(fd_, 0, SEEK_END) < 0) {
    RecordError("seek");
    return false;
  }
  return true;
}

int64_t File::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool File::Truncate(int64_t size) {
  ChangeReport report;
  if (fd_ < 0 || ::ftruncate(fd_, size) != 0) {
    RecordError("truncate");
    return false;
  }
  report.Tell(FileChange::kTruncate, {}, fd_, size);
  return true;
}

bool File::Sync() {
  if (int error = SyncFault(&FileFaults::fail_sync); error != 0) {
    errno = error;
    RecordError("fsync");
    return false;
  }
  ChangeReport report;
  if (fd_ < 0 || ::fsync(fd_) != 0) {
    RecordError("fsync");
    return false;
  }
  report.Tell(FileChange::kSync, {}, fd_);
  return true;
}

File File::Duplicate() {
  File copy;
  if (fd_ < 0) return copy;
  copy.fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (copy.fd_ < 0) RecordError("dup");
  return copy;
}

bool File::Close() {
  if (fd_ < 0) return true;
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) {
    RecordError("close");
    return false;
  }
  return true;
}

bool CreateDirectory(const fs::path& dir) {
  std::error_code ec;
  fs::path made;
  for (const fs::path& part : dir) {
    if (part.empty()) continue;  // after a trailing separator
    made /= part;
    if (fs::is_directory(made, ec)) continue;
    {
      ChangeReport report;
      if (::mkdir(made.c_str(), 0755) != 0) {
        // Made meanwhile by someone else, who commits it.
        if (errno == EEXIST && fs::is_directory(made, ec)) continue;
        return false;
      }
      report.Tell(FileChange::kMakeFolder, made);
    }
    // A new folder is on storage only once the folder holding it is; until
    // then a power cut takes it with all that was saved in it.
    if (!SyncFolder(made.parent_path())) {
      const int error = errno;
      DeleteFile(made);
      errno = error;
      return false;
    }
  }
  return fs::is_directory(dir, ec);
}

bool PathExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool DeleteFile(const fs::path& path) {
  ChangeReport report;
  std::error_code ec;
  if (!fs::remove(path, ec) || ec) return false;
  report.Tell(FileChange::kDelete, path);
  return true;
}

int MakeSymbolicLink(const fs::path& target, const fs::path& link) {
  if (FileFaults* f = faults.load(); f != nullptr && f->symlink_error != 0) return f->symlink_error;
  return ::symlink(target.c_str(), link.c_str()) == 0 ? 0 : errno;
}

bool ReplaceFileAtomically(const fs::path& path, std::string_view bytes) {
  fs::path temp = path;
  temp += ".tmp";
  File file = File::Open(temp, OpenMode::kCreateAlways, kWrite);
  if (!file.IsOpen()) return false;
  if (!file.Write(bytes) || !file.Sync() || !file.Close()) {
    DeleteFile(temp);
    return false;
  }
  FileFaults* f = faults.load();
  if (f != nullptr && f->stop_before_rename) return false;
  std::error_code ec;
  {
    ChangeReport report;
    fs::rename(temp, path, ec);
    if (!ec) report.Tell(FileChange::kRename, temp, -1, 0, {}, path);
  }
  if (ec) {
    DeleteFile(temp);
    return false;
  }
  // The rename is only on storage once the folder is; saying "saved" before
  // that would report a failed sync as success.
  return SyncFolder(path.parent_path());
}

void InjectFileFaults(FileFaults* f) { faults.store(f); }

void ObserveFileChanges(std::function<void(const FileChange&)> f) {
  std::lock_guard lock(observer_mutex);
  observer = std::move(f);
  observing.store(static_cast<bool>(observer));
}

}  // namespace tq
