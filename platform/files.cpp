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

namespace tq {
namespace fs = std::filesystem;
namespace {

std::mutex root_mutex;
fs::path data_root;  // empty until set or first asked for

std::atomic<FileFaults*> faults{nullptr};

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

bool SyncDirectory(const fs::path& dir) {
  if (int error = SyncFault(&FileFaults::fail_folder_sync); error != 0) {
    errno = error;
    return false;
  }
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: a filesystem that has no sync for folders; nothing more can be done.
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return ok;
}

}  // namespace

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
  size_t done = 0;
  while (done < allowed) {
    ssize_t n = ::write(fd_, bytes.data() + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      RecordError("write");
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (allowed < bytes.size()) {
    errno = fault;
    RecordError("write");
    return false;
  }
  return true;
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
  if (fd_ < 0 || ::ftruncate(fd_, size) != 0) {
    RecordError("truncate");
    return false;
  }
  return true;
}

bool File::Sync() {
  if (int error = SyncFault(&FileFaults::fail_sync); error != 0) {
    errno = error;
    RecordError("fsync");
    return false;
  }
  if (fd_ < 0 || ::fsync(fd_) != 0) {
    RecordError("fsync");
    return false;
  }
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
  fs::create_directories(dir, ec);
  return !ec && fs::is_directory(dir, ec);
}

bool PathExists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool DeleteFile(const fs::path& path) {
  std::error_code ec;
  return fs::remove(path, ec) && !ec;
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
  fs::rename(temp, path, ec);
  if (ec) {
    DeleteFile(temp);
    return false;
  }
  // The rename is only on storage once the folder is; saying "saved" before
  // that would report a failed sync as success.
  return SyncDirectory(path.has_parent_path() ? path.parent_path() : fs::path("."));
}

void InjectFileFaults(FileFaults* f) { faults.store(f); }

}  // namespace tq
