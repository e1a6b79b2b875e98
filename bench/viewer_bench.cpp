// The file viewer opening a generated TQ68-MK2 file of 250,000 and 1,000,000
// readings on the offscreen display, from the "&File" command to its first
// line drawn with the cursor readout: the scan, the line index of line 1
// (one record pair per reading here), the first window and the paint. Each
// run reports its peak resident memory (reset before the run), which must
// not grow with the file.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/generated_files.h"
#include "bench/window_bench.h"
#include "platform/files.h"
#include "platform/modal_responder.h"
#include "platform/window.h"
#include "settings/build_config.h"
#include "settings/settings.h"
#include "viewer/view_files_wnd.h"

namespace tq {
namespace {

// Answers every open-file dialog with the same file.
class OpenWith : public ModalResponder {
 public:
  explicit OpenWith(std::string path) : path_(std::move(path)) {}
  std::optional<ModalAnswer> Answer(const ModalRequest& request) override {
    if (request.kind != ModalKind::kOpenFile) return std::nullopt;
    return ModalAnswer{0, path_, std::nullopt};
  }

 private:
  std::string path_;
};

void BM_ViewerOpensFirstLine(benchmark::State& state) {
  const auto path = bench::GeneratedFile(state.range(0));
  SetDataRoot(bench::BenchFolder());
  Build() = BuildConfig{kKindTq68Mk2, 1, 0};
  bench::UsePortraitScreen();
  static const bool registered = RegisterViewFilesWindowClass();
  WindowHandle parent = bench::CreateBenchParent();
  if (!registered || parent == nullptr) {
    state.SkipWithError("cannot register the windows");
    return;
  }
  WindowHandle viewer = CreateWindow("ViewFilesWnd", "View Files", WS_CHILD | WS_VISIBLE, 0, 0, 240,
                                     320, parent, 8);
  OpenWith responder(path.string());
  ScopedModalResponder scoped(&responder);
  ProcessPendingMessages();
  bench::ResetPeakMemory();
  for (auto _ : state) {
    SendMessage(viewer, WM_CHAR, 'f');
    ProcessPendingMessages();
  }
  const ViewerStatus status = ViewerStatusNow();
  if (status.loaded != 1 || status.readout.station.empty()) state.SkipWithError("no line shown");
  state.counters["peak_rss_kb"] = bench::PeakMemoryKb();
  state.counters["stations"] = static_cast<double>(status.record_total);
  DestroyWindow(parent);
}
BENCHMARK(BM_ViewerOpensFirstLine)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tq

int main(int argc, char** argv) { return tq::bench::RunWindowBenchmarks(argc, argv); }
