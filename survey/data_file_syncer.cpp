#include "survey/data_file_syncer.h"

#include <utility>

namespace tq {

void DataFileSyncer::Start(DataFile& file, std::function<void()> failed, std::chrono::milliseconds period) {
  Stop();
  thread_ = std::jthread([this, &file, failed = std::move(failed), period](std::stop_token stop) {
    Run(stop, &file, failed, period);
  });
}

void DataFileSyncer::Stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

std::optional<WriteResult> DataFileSyncer::TakeFailure() {
  std::lock_guard lock(mutex_);
  return std::exchange(failure_, std::nullopt);
}

void DataFileSyncer::Run(std::stop_token stop, DataFile* file, std::function<void()> failed,
                         std::chrono::milliseconds period) {
  while (true) {
    {
      std::unique_lock lock(mutex_);
      if (wake_.wait_for(lock, stop, period, [] { return false; }) || stop.stop_requested()) return;
    }
    WriteResult result = file->SyncAppended();
    if (result) continue;
    {
      std::lock_guard lock(mutex_);
      failure_ = std::move(result);
    }
    if (failed) failed();
  }
}

}  // namespace tq
