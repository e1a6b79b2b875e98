// A fresh directory that removes itself, and a data root pointed at it.
#pragma once

#include <filesystem>
#include <string>

namespace tq::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Reads a whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

// Writes `bytes` to `path`, creating folders; fails the test on error.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// Points the data root at a fresh temporary folder for one test.
class ScopedDataRoot {
 public:
  ScopedDataRoot();
  ~ScopedDataRoot();
  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::filesystem::path previous_;
};

}  // namespace tq::testing
