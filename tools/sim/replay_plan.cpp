#include "tools/sim/replay_plan.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "settings/settings.h"
#include "survey/record_tick.h"
#include "tools/sim/frame_encoding.h"
#include "tools/sim/instrument_readings.h"

namespace tq::sim {
namespace {

// The instrument's own marker bit of an ASCII status byte, read as the
// trigger reads it (the top bit dropped).
constexpr uint8_t kAsciiMarkerBit = 64;
// The external marker line's bit, which the logger adds to a kind-7 status.
constexpr uint8_t kMk2MarkerLineBit = 16;

bool IsMarked(int32_t kind, uint8_t status) {
  if (kind == kKindTq68Mk2) return status != kMk2StatusVertical && status != kMk2StatusHorizontal;
  if (status >= 128) status = static_cast<uint8_t>(status - 128);
  return status >= kAsciiMarkerBit;
}

// The stored frame with its status marked or unmarked as asked. An unmarked
// kind-7 frame is the instrument's own 6 or 2; a marked one gets the marker
// line's bit.
std::vector<uint8_t> WithMarker(int32_t kind, std::vector<uint8_t> frame, bool marked) {
  if (frame.size() < 2 || IsMarked(kind, frame[1]) == marked) return frame;
  uint8_t& status = frame[1];
  if (kind == kKindTq68Mk2) {
    status = marked ? static_cast<uint8_t>(status + kMk2MarkerLineBit)
                    : (status & 4) != 0 ? kMk2StatusVertical : kMk2StatusHorizontal;
  } else {
    status = static_cast<uint8_t>(marked ? status + kAsciiMarkerBit : status - kAsciiMarkerBit);
  }
  return frame;
}

uint16_t WordAt(std::span<const uint8_t> frame, size_t at) {
  return static_cast<uint16_t>(frame[at] << 8 | frame[at + 1]);
}

bool Digits(std::span<const uint8_t> text, int* value) {
  *value = 0;
  for (uint8_t c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + (c - '0');
  }
  return true;
}

// The bytes the instrument sent for a stored frame (the reading part of its
// record). The start byte is the instrument's own: a marker digit the
// logger put in its place goes out as "T".
std::vector<uint8_t> WireFrame(int32_t kind, int32_t frame_length,
                               std::span<const uint8_t> stored) {
  if (kind == kKindTq68Mk2) {
    const uint8_t start = stored[0] == 't' ? 't' : 'T';
    const Mk2Words words{WordAt(stored, 6),  WordAt(stored, 8),  WordAt(stored, 2),
                         WordAt(stored, 4),  WordAt(stored, 10), WordAt(stored, 12)};
    const auto frame = EncodeBinaryFrame(start, stored[1], words);
    return {frame.begin(), frame.end()};
  }
  if (kind == kKindFrz62) {
    int thickness = 0;
    int inphase = 0;
    if (Digits(stored.subspan(1, 3), &thickness) && stored[4] == 'I' &&
        Digits(stored.subspan(5, 3), &inphase)) {
      return EncodeIceFrame(thickness, inphase);
    }
    // Not an ice frame: the logger would not take it now either.
    std::vector<uint8_t> raw(stored.begin(), stored.begin() + 8);
    raw[0] = 'T';
    return raw;
  }
  return EncodeAsciiFrameText(stored[1],
                              stored.subspan(2, static_cast<size_t>(frame_length) - 2));
}

// Kind 3 frames are 7 characters when the first reading's second field is
// blank; the other kinds have one length.
int32_t FrameLengthOf(int32_t kind, const std::vector<ReplayEvent>& events) {
  if (kind != kKindTq68) return KindInfoFor(kind).frame_length;
  for (const ReplayEvent& e : events) {
    if (e.type != ReplayEvent::Type::kReading) continue;
    const bool blank = std::all_of(e.bytes.begin() + 7, e.bytes.begin() + 12,
                                   [](uint8_t c) { return c == ' '; });
    return blank ? 7 : 12;
  }
  return 12;
}

// How the logger took readings while the file was written.
enum class Taking {
  kGroups,    // Auto: the last frame of every FramesPerReading
  kEachFrame, // Wheel, and the FRZ62 in any mode: every frame
  kTriggered, // Manual: the first marked frame after an unmarked one
};

// A logging run of the file before its sends are laid out.
struct RunDraft {
  int64_t start_ms = 0;
  int64_t end_ms = 0;
  std::vector<const ReplayEvent*> readings;
  std::vector<const ReplayEvent*> sentences;
};

std::vector<RunDraft> CutRuns(const std::vector<ReplayEvent>& events) {
  std::vector<RunDraft> runs;
  bool open = false;
  auto begin = [&](int64_t at) {
    runs.push_back(RunDraft{at, at, {}, {}});
    open = true;
  };
  for (const ReplayEvent& e : events) {
    switch (e.type) {
      case ReplayEvent::Type::kStarted:
        if (open) runs.back().end_ms = e.time_ms;
        begin(e.time_ms);
        break;
      case ReplayEvent::Type::kPaused:
        if (open) runs.back().end_ms = e.time_ms;
        open = false;
        break;
      case ReplayEvent::Type::kReading:
      case ReplayEvent::Type::kSentence:
        // A run whose "$STARTED" the damage took starts with what it stored.
        if (!open) begin(e.time_ms);
        (e.type == ReplayEvent::Type::kReading ? runs.back().readings : runs.back().sentences)
            .push_back(&e);
        runs.back().end_ms = std::max(runs.back().end_ms, e.time_ms);
        break;
    }
  }
  return runs;
}

// The sends of one port, in order and never earlier than the run's start.
class SendList {
 public:
  explicit SendList(ReplayPort port) : port_(port) {}
  void Put(int64_t at_ms, const std::vector<uint8_t>& bytes) {
    last_ms_ = std::max(at_ms, last_ms_);
    sends_.push_back(ReplaySend{port_, last_ms_, bytes});
  }
  std::vector<ReplaySend>& sends() { return sends_; }

 private:
  ReplayPort port_;
  int64_t last_ms_ = 0;
  std::vector<ReplaySend> sends_;
};

struct Layout {
  int32_t kind;
  int32_t frame_length;
  int64_t period_ms;
  Taking taking;
  int32_t group;  // frames per reading (kGroups) or samples averaged (kTriggered)
};

// The instrument's frames of one run, times from the run's start.
void LayOutFrames(const Layout& l, const RunDraft& run, SendList& out) {
  if (run.readings.empty()) return;
  const auto wire = [&](const std::vector<uint8_t>& frame, std::optional<bool> marked = {}) {
    return WireFrame(l.kind, l.frame_length, marked ? WithMarker(l.kind, frame, *marked) : frame);
  };
  const int64_t p = l.period_ms;
  const int64_t end = run.end_ms - run.start_ms;
  const ReplayEvent& last = *run.readings.back();
  const int64_t last_t = last.time_ms - run.start_ms;

  if (l.taking != Taking::kTriggered) {
    for (const ReplayEvent* e : run.readings) {
      const int64_t t = e->time_ms - run.start_ms;
      const std::vector<uint8_t> frame = wire(e->bytes);
      const int64_t copies = l.taking == Taking::kGroups ? l.group : 1;
      for (int64_t j = copies - 1; j >= 0; --j) out.Put(t - j * p, frame);
    }
    if (l.taking == Taking::kGroups) {
      // Until the pause the instrument went on; fewer frames than a group
      // are never taken, and they keep the line alive.
      const std::vector<uint8_t> frame = wire(last.bytes);
      for (int64_t i = 1; i < l.group && last_t + i * p < end; ++i) out.Put(last_t + i * p, frame);
    }
    return;
  }

  // Manual: unmarked frames, which the trigger never takes, keep the line
  // alive between the readings, at most a frame period apart.
  std::vector<uint8_t> fill = wire(run.readings.front()->bytes, false);
  std::optional<int64_t> previous;
  const auto fill_between = [&](int64_t from, int64_t to) {
    const int64_t parts = (to - from + p - 1) / p;
    for (int64_t j = 1; j < parts; ++j) out.Put(from + (to - from) * j / parts, fill);
  };
  for (const ReplayEvent* e : run.readings) {
    const int64_t t = e->time_ms - run.start_ms;
    const int64_t first = t - l.group * p;
    if (!previous && first > 0) {
      out.Put(0, fill);
      previous = 0;
    }
    if (previous) fill_between(*previous, first);
    out.Put(first, wire(e->bytes, false));
    out.Put(first + p, wire(e->bytes, true));
    const std::vector<uint8_t> frame = wire(e->bytes);
    for (int64_t k = 2; k <= l.group; ++k) out.Put(first + k * p, frame);
    fill = wire(e->bytes, false);
    previous = t;
  }
  for (int64_t at = last_t + p; at < end; at += p) out.Put(at, fill);
}

}  // namespace

ReplayPlanner::ReplayPlanner(const StoredHeader& header, std::span<const uint8_t> header2)
    : header_(header) {
  if (header2.size() <= kModeValueAt) return;
  const double value = ParseRecordNumber(RecordText(header2, kModeValueAt));
  if (header.SurveyMode == kSurveyModeManual) {
    samples_per_reading_ = static_cast<int32_t>(std::clamp(value, 1.0, 1000.0));
  } else if (header.SurveyMode != kSurveyModeWheel) {
    // As the logger takes it: 0 or less gives one frame per reading.
    reading_interval_s_ = static_cast<float>(std::min(value, 3600.0));
  }
}

int64_t ReplayPlanner::TimeOf(std::span<const uint8_t> record) {
  const std::optional<uint32_t> tick = ParseTick(record);
  if (!tick) return now_ms_;
  // Step by step across the records, so a wrap of the counter or a GPS
  // line stored a little after later readings stays in its place.
  if (last_tick_) now_ms_ += TickDifference(*tick, *last_tick_);
  last_tick_ = tick;
  return now_ms_;
}

void ReplayPlanner::Feed(std::span<const uint8_t> record) {
  const RecordKind kind = RecordKindOf(record);
  switch (kind) {
    case RecordKind::kRunNote: {
      const int64_t at = TimeOf(record);
      const RunEdge edge = RunEdgeOf(record);
      if (edge == RunEdge::kStarted) {
        events_.push_back(ReplayEvent{ReplayEvent::Type::kStarted, at, {}});
      } else if (edge == RunEdge::kEnded) {
        events_.push_back(ReplayEvent{ReplayEvent::Type::kPaused, at, {}});
      }
      break;
    }
    case RecordKind::kStationReading:
    case RecordKind::kFurtherReading: {
      const int64_t at = TimeOf(record);
      const size_t part = ReadingPartLength(header_.record_length);
      if (record.size() < part) break;
      events_.push_back(ReplayEvent{ReplayEvent::Type::kReading, at,
                                    std::vector<uint8_t>(record.begin(), record.begin() + part)});
      break;
    }
    case RecordKind::kGpsFirst:
    case RecordKind::kGpsContinuation:
    case RecordKind::kGpsBadFirst:
    case RecordKind::kGpsBadContinuation:
      sentences_.Feed(record);
      break;
    case RecordKind::kGpsTick: {
      const int64_t at = TimeOf(record);
      if (const std::optional<StoredSentence> line = sentences_.Feed(record)) {
        events_.push_back(ReplayEvent{ReplayEvent::Type::kSentence, at,
                                      std::vector<uint8_t>(line->text.begin(), line->text.end())});
      }
      break;
    }
    case RecordKind::kTimeMark:
    case RecordKind::kComment:
      TimeOf(record);
      break;
    default:
      break;
  }
}

void ReplayPlanner::Skip(const SkippedRange& range) {
  sentences_.Drop();
  const auto length = static_cast<int64_t>(header_.record_length);
  // The records the damage took, as near as its length tells.
  damaged_records_ += std::max<int64_t>(1, (range.end - range.first + length / 2) / length);
}

ReplayPlan ReplayPlanner::Finish() const {
  ReplayPlan plan;
  plan.kind = header_.kind;
  plan.frame_length = FrameLengthOf(plan.kind, events_);
  plan.frame_period_ms = FramePeriodMs(plan.kind, plan.frame_length);
  plan.survey_mode = header_.SurveyMode;
  plan.damaged_records = damaged_records_;

  Layout layout{plan.kind, plan.frame_length, plan.frame_period_ms, Taking::kGroups, 1};
  if (plan.kind == kKindFrz62 || plan.survey_mode == kSurveyModeWheel) {
    layout.taking = Taking::kEachFrame;
  } else if (plan.survey_mode == kSurveyModeManual) {
    layout.taking = Taking::kTriggered;
    plan.samples_per_reading = samples_per_reading_;
    layout.group = samples_per_reading_;
  } else {
    plan.frames_per_reading =
        ComputeReadingTiming(reading_interval_s_, static_cast<float>(plan.frame_period_ms),
                             MaxReadingsPerSecond(plan.kind))
            .FramesPerInterval;
    layout.group = plan.frames_per_reading;
  }

  const std::vector<RunDraft> drafts = CutRuns(events_);
  int64_t previous_end = 0;
  for (const RunDraft& draft : drafts) {
    SendList frames(ReplayPort::kInstrument);
    LayOutFrames(layout, draft, frames);
    SendList lines(ReplayPort::kGps);
    for (const ReplayEvent* e : draft.sentences) {
      std::vector<uint8_t> bytes = e->bytes;
      bytes.push_back('\r');
      bytes.push_back('\n');
      lines.Put(e->time_ms - draft.start_ms, bytes);
    }

    ReplayRun run;
    run.first_send = plan.sends.size();
    if (!frames.sends().empty()) run.hold_frame = frames.sends().front().bytes;
    std::vector<ReplaySend>& sends = frames.sends();
    sends.insert(sends.end(), std::make_move_iterator(lines.sends().begin()),
                 std::make_move_iterator(lines.sends().end()));
    // Each port is in order already; on a tie the frame goes first.
    std::stable_sort(sends.begin(), sends.end(),
                     [](const ReplaySend& a, const ReplaySend& b) { return a.at_ms < b.at_ms; });
    run.length_ms = std::max(draft.end_ms - draft.start_ms, sends.empty() ? 0 : sends.back().at_ms);
    plan.sends.insert(plan.sends.end(), std::make_move_iterator(sends.begin()),
                      std::make_move_iterator(sends.end()));
    run.end_send = plan.sends.size();
    run.readings = static_cast<int64_t>(draft.readings.size());
    run.gps_sentences = static_cast<int64_t>(draft.sentences.size());
    if (!plan.runs.empty()) run.pause_before_ms = std::max<int64_t>(0, draft.start_ms - previous_end);
    previous_end = draft.start_ms + run.length_ms;
    plan.readings += run.readings;
    plan.gps_sentences += run.gps_sentences;
    plan.runs.push_back(std::move(run));
  }
  // A run without readings holds what the instrument showed around it.
  for (size_t i = plan.runs.size(); i-- > 0;) {
    if (plan.runs[i].hold_frame.empty() && i + 1 < plan.runs.size()) {
      plan.runs[i].hold_frame = plan.runs[i + 1].hold_frame;
    }
  }
  for (size_t i = 1; i < plan.runs.size(); ++i) {
    if (plan.runs[i].hold_frame.empty()) plan.runs[i].hold_frame = plan.runs[i - 1].hold_frame;
  }
  return plan;
}

namespace {

// "52,013": byte offsets as damage reports name them.
std::string GroupedNumber(int64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<size_t>(at), 1, ',');
  }
  return digits;
}

}  // namespace

ReplayLoad LoadReplay(const std::filesystem::path& path, std::optional<int32_t> expected_kind) {
  ReplayLoad load;
  const std::string name = path.string() + ": ";
  std::string error;
  const std::optional<StoredHeader> header = ReadHeader(path, &error);
  if (!header) {
    load.error = name + error;
    return load;
  }
  if (header->kind < 0) {
    load.error = name + "not a data file of a known instrument (identifier \"" +
                 header->identifier + "\")";
    return load;
  }
  const std::string model = KindInfoFor(header->kind).model;
  if (header->record_length != RecordLengthFor(header->kind)) {
    load.error = name + "not a data file: " + model + " records are " +
                 std::to_string(RecordLengthFor(header->kind)) + " bytes, these are " +
                 std::to_string(header->record_length);
    return load;
  }
  if (expected_kind && *expected_kind != header->kind) {
    load.error = name + "a " + model + " file (kind " + std::to_string(header->kind) +
                 "), not kind " + std::to_string(*expected_kind) + " (" +
                 KindInfoFor(*expected_kind).model + ") as --kind says";
    return load;
  }
  std::optional<RecordCursor> cursor = RecordCursor::Open(path, header->record_length, &error);
  if (!cursor) {
    load.error = name + error;
    load.read_failed = true;
    return load;
  }

  const auto length = static_cast<int64_t>(header->record_length);
  cursor->Seek(1);
  std::optional<std::span<const uint8_t>> record = cursor->Next();
  const bool header2_whole = record && !cursor->skipped() && cursor->record_offset() == length;
  std::vector<uint8_t> header2;
  if (header2_whole) header2.assign(record->begin(), record->end());
  ReplayPlanner planner(*header, header2);
  if (header2_whole) record = cursor->Next();
  // Damage is named as every reader of data files names it.
  const auto take_skipped = [&] {
    if (!cursor->skipped()) return;
    const SkippedRange& range = *cursor->skipped();
    planner.Skip(range);
    load.warnings.push_back(name + "bytes " + GroupedNumber(range.first) + "-" +
                            GroupedNumber(range.end - 1) + " skipped: not records");
  };
  for (; record; record = cursor->Next()) {
    take_skipped();
    planner.Feed(*record);
  }
  if (cursor->failed()) {
    load.error = name + "cannot read: " + cursor->error();
    load.read_failed = true;
    return load;
  }
  take_skipped();
  if (cursor->has_torn_tail()) {
    load.warnings.push_back(name + "warning: the last record is cut short (" +
                            std::to_string(cursor->size() - cursor->offset()) + " of " +
                            std::to_string(length) + " bytes); the replay ends before it");
  }
  load.plan = planner.Finish();
  return load;
}

}  // namespace tq::sim
