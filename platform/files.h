// Files under the data root, with the system's open modes.
//
// The system names paths like "Storage\FLDINI\TQ68MK2.INI"; they map under the
// data root directory as <root>/Storage/FLDINI/TQ68MK2.INI.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tq {

// The per-user default root: $XDG_DATA_HOME/tqlog, else ~/.local/share/tqlog.
std::filesystem::path DefaultDataRoot();

// The root every system path maps under; DefaultDataRoot() until set.
std::filesystem::path DataRoot();
void SetDataRoot(const std::filesystem::path& root);

// Maps a system path ("\Storage\DATA68MK2\A.N68" or "Storage\FLDINI") under
// the data root. Backslashes become separators; a leading one is dropped.
std::filesystem::path MapSystemPath(std::string_view system_path);

enum class OpenMode {
  kCreateNew,     // fails when the file exists
  kCreateAlways,  // creates or truncates
  kOpenExisting,  // fails when the file is missing
  kOpenAlways,    // opens, creating when missing
};

// kExclusive holds the file for this opener alone while it is open (an
// advisory lock): a second exclusive opener, in this process or another,
// fails with "in use"; plain readers still read. With kCreateAlways the file
// is emptied only once the lock is held.
enum FileAccess : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3, kExclusive = 4 };

// An open file. Move-only; closes itself. Every failure leaves errno-based
// text in LastError().
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens `path`; IsOpen() is false on failure.
  static File Open(const std::filesystem::path& path, OpenMode mode, unsigned access);

  bool IsOpen() const { return fd_ >= 0; }
  // Reads up to buffer.size() bytes; returns the count, 0 at end, -1 on error.
  long Read(std::span<uint8_t> buffer);
  // Writes all of `bytes` in one call; false (and nothing claimed) on failure.
  bool Write(std::span<const uint8_t> bytes);
  bool Write(std::string_view text);
  // Moves to `offset` from the start; false on failure.
  bool Seek(int64_t offset);
  bool SeekToEnd();
  // Size in bytes, -1 on failure.
  int64_t Size() const;
  // Cuts the file to `size` bytes; false on failure.
  bool Truncate(int64_t size);
  // Commits written data to storage; false when the system reports a failure.
  bool Sync();
  // A second descriptor of the same open file (its position and lock are
  // shared); closed on its own. On failure its IsOpen() is false and this
  // file's LastError() says why.
  File Duplicate();
  // Closes; false when the close reported a failure.
  bool Close();
  const std::string& LastError() const { return error_; }

 private:
  explicit File(int fd) : fd_(fd) {}
  void RecordError(const char* what);
  int fd_ = -1;
  std::string error_;
};

// Creates `dir` and its parents; an existing folder is not an error. Each
// folder it makes is committed to storage (its parent synced) before the
// next: false when that fails, and the folder is removed again, so that a
// later call makes and commits it anew instead of trusting it.
bool CreateDirectory(const std::filesystem::path& dir);

// Commits the names in folder `dir` (files made, renamed or deleted in it;
// an empty path is the current folder): only then does a new file's name
// outlive a power cut. False, with errno set, on failure.
bool SyncFolder(const std::filesystem::path& dir);

// True when anything (a file, a folder, even a dangling link) has this name,
// whether or not this user may open it.
bool PathExists(const std::filesystem::path& path);

// Deletes a file; false when it could not be deleted.
bool DeleteFile(const std::filesystem::path& path);

// Makes `link` a symbolic link to `target`; 0, or the error number (EPERM or
// ENOSYS where the file system holds no links, as FAT and exFAT).
int MakeSymbolicLink(const std::filesystem::path& target, const std::filesystem::path& link);

// Replaces `path` with `bytes` so that a crash at any moment leaves either the
// old file or the new one whole: writes a temporary file beside it, syncs it,
// renames it over `path` and syncs the folder. False on any failure: the old
// file is untouched, except when only the folder's sync failed, when the new
// file is in place but a power cut may still bring the old one back.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Test hook that makes file operations fail as a full disk or a crash would.
struct FileFaults {
  // Writes through File stop once this many bytes were written in total: the
  // write that crosses the limit puts down what fits, as a filling disk
  // does, and fails with `write_error`.
  int64_t write_budget = -1;
  int write_error = ENOSPC;
  // ReplaceFileAtomically stops after writing its temporary file, as if the
  // machine had lost power before the rename.
  bool stop_before_rename = false;
  // File::Sync, or the folder sync after ReplaceFileAtomically's rename,
  // fails with `sync_error` as a storage error would.
  bool fail_sync = false;
  bool fail_folder_sync = false;
  int sync_error = EIO;
  // MakeSymbolicLink fails with this error number when it is not 0, as on a
  // memory card's file system.
  int symlink_error = 0;
};
// Installs `faults` (nullptr removes them). Not for use outside tests.
void InjectFileFaults(FileFaults* faults);

// Test hook told of every change made through this header to files and
// folders, in the order made, so that a test can rebuild what storage may
// hold after a power cut at any moment. Reads, and opens that create nothing,
// change nothing; a failed sync commits nothing and is not told.
struct FileChange {
  enum Kind {
    kCreate,      // `path` made as a new empty file
    kWrite,       // `bytes` written into the file at `offset`
    kTruncate,    // the file cut (or grown) to `offset` bytes
    kSync,        // the file's bytes committed
    kMakeFolder,  // `path` made as a new empty folder
    kSyncFolder,  // the names in folder `path` committed
    kRename,      // `path` renamed to `target`, replacing what had that name
    kDelete,      // the name `path` removed
  };
  Kind kind = kCreate;
  std::filesystem::path path;
  std::filesystem::path target;
  uint64_t file = 0;  // kCreate, kWrite, kTruncate, kSync: the file's inode
  int64_t offset = 0;
  std::string bytes;
};
// Tells `observer` each change from now on (an empty one stops). A change and
// its telling happen under one lock, so the changes of two threads arrive in
// the order they were made; the observer must change no file itself. Not for
// use outside tests.
void ObserveFileChanges(std::function<void(const FileChange&)> observer);

}  // namespace tq
