// Power cuts at every moment of a logging session. The session runs in this
// process with its file changes recorded (ObserveFileChanges); each crash
// state is rebuilt in a scratch folder from what storage may hold then:
// - a file's bytes up to its last sync, a name (a new file or folder, a
//   rename, a deletion) once the folder holding it was synced;
// - of the changes after those, any prefix, its last write possibly torn at
//   a 512-byte boundary of the file; or on each file and folder a prefix of
//   its own, as storage may commit them in any order.
// Once a commit returned, the data file must exist and hold every reading it
// committed; the settings file must be the one last saved or the one being
// saved, whole; and the readers (record cursor, the viewer's scan and line
// cache, the settings load) must take whatever is there.
// Each crash point is checked with only the committed changes, with all that
// were made, with a random prefix, with the write under way torn and with a
// random prefix on each file and folder; TQ_POWER_CUT_ALL=1 (scripts/power-cut)
// checks every prefix, every torn write and 50 of the latter per point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files.h"
#include "settings/settings.h"
#include "survey/data_file_creation.h"
#include "survey/record_reader.h"
#include "survey/survey_position.h"
#include "tests/instrument/frame_bytes.h"
#include "tests/support/temp_dir.h"
#include "viewer/line_index_cache.h"

namespace tq {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;

constexpr BuildConfig kMk2{kKindTq68Mk2, 1, 0};
constexpr int kReadingsPerRun = 100;  // two runs, a new line between them
constexpr int kCommitEvery = 10;
constexpr int64_t kSector = 512;

long EnvNumber(const char* name, long fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

// Reading `n` carries its number in word A and a tick of its own.
testing::Bytes Frame(int n) {
  return testing::BinaryFrame('T', 6, {static_cast<uint16_t>(n), 600, 700, 800, 900, 1000});
}
uint32_t TickOf(int n) { return 5000 + 47 * static_cast<uint32_t>(n); }

// The long reading record: the 14 frame bytes, a space, the tick "%10ld", LF.
std::string ReadingRecord(int n) {
  const testing::Bytes frame = Frame(n);
  char tick[16];
  std::snprintf(tick, sizeof tick, "%10u", TickOf(n));
  return std::string(frame.begin(), frame.end()) + " " + tick + "\n";
}

struct Save {
  size_t begun = 0;     // changes made when it was called
  size_t returned = 0;  // and when it returned true
  std::string bytes;
};

struct Session {
  fs::path root, data_file, settings_file;
  std::vector<FileChange> changes;
  // Changes made when a commit returned, and the readings it covered.
  std::vector<std::pair<size_t, int>> commits;
  std::vector<Save> saves;
};

// A first start, Set GPS Port, Create File, a logging run committed every
// few readings as the syncer does, Pause, New Line (which saves), another
// run, the end of the run.
Session RecordSession(const fs::path& root) {
  Session session;
  session.root = root;
  SetDataRoot(root);
  session.settings_file = MapSystemPath(SettingsFileSystemPath(kMk2));
  ObserveFileChanges([&session](const FileChange& change) { session.changes.push_back(change); });
  SettingsStore s;
  UpdateReadingTiming(s, kMk2);
  ApplyKindDefaults(s, kMk2);
  auto save = [&](const std::function<bool()>& saving) {
    const size_t begun = session.changes.size();
    EXPECT_TRUE(saving());
    session.saves.push_back({begun, session.changes.size(), FormatSettingsFile(s, kMk2)});
  };
  save([&] { return LoadSettings(s, kMk2); });
  s.GpsPort = 3;
  save([&] { return SaveSettings(s, kMk2); });

  const DataFolders folders = DataFoldersFor(kMk2);
  const std::string name = ProposeFileName(kMk2, GetLocalTime());
  session.data_file = MapSystemPath(folders.proposal_folder + "\\" + name + folders.extension);
  DataFile file;
  CreateResult created = CreateDataFile(file, session.data_file, {s, kMk2, true, {}});
  EXPECT_EQ(created.outcome, CreateOutcome::kCreated) << created.error;
  int written = 0;
  auto commit = [&](const WriteResult& result) {
    EXPECT_TRUE(result.ok) << result.error;
    session.commits.emplace_back(session.changes.size(), written);
  };
  auto run = [&] {
    EXPECT_TRUE(WriteNote(file, kNoteStarted, 'X'));
    for (int i = 1; i <= kReadingsPerRun; ++i, ++written) {
      EXPECT_TRUE(WriteBinaryReadingRecord(file, Frame(written), TickOf(written)));
      if (i % kCommitEvery == 0) commit(file.SyncAppended());
    }
    EXPECT_TRUE(WriteNote(file, kNotePaused, 'X'));
    commit(file.Flush());
  };
  run();
  StationGroup group;
  save([&] { return AcceptNewLine({s, group}, kMk2, {"2", "1", 0, 0, "0", "1"}); });
  EXPECT_TRUE(WriteLineStart(file, s, kKindTq68Mk2, {}));
  EXPECT_TRUE(WriteTimeMark(file));
  run();
  commit(file.Close());
  ObserveFileChanges(nullptr);
  return session;
}

// What storage holds of a file or folder.
struct Node {
  bool folder = false;
  std::string bytes;
  std::map<std::string, size_t> names;
};

// A change with the nodes it acts on, found on the tree as it was then.
struct Step {
  const FileChange* change = nullptr;
  size_t node = 0;       // the file or folder written, synced, made or named
  size_t folder = 0;     // the folder whose names change
  size_t to_folder = 0;  // a rename's new folder
};

class Replay {
 public:
  explicit Replay(const Session& session) {
    std::vector<Node> live(1);
    std::map<uint64_t, size_t> files;
    auto folder = [&](const fs::path& path) {
      size_t node = 0;
      for (const fs::path& part : path.lexically_relative(session.root)) {
        if (part != ".") node = live.at(node).names.at(part.string());
      }
      return node;
    };
    for (const FileChange& c : session.changes) {
      Step step{&c};
      const std::string name = c.path.filename().string();
      switch (c.kind) {
        case FileChange::kCreate:
        case FileChange::kMakeFolder:
          step.folder = folder(c.path.parent_path());
          step.node = live.size();
          live.push_back({});
          live[step.folder].names[name] = step.node;
          if (c.kind == FileChange::kCreate) files[c.file] = step.node;
          break;
        case FileChange::kWrite:
        case FileChange::kTruncate:
        case FileChange::kSync: step.node = files.at(c.file); break;
        case FileChange::kSyncFolder: step.node = folder(c.path); break;
        case FileChange::kRename:
        case FileChange::kDelete:
          step.folder = folder(c.path.parent_path());
          step.node = live[step.folder].names.at(name);
          live[step.folder].names.erase(name);
          if (c.kind == FileChange::kDelete) break;
          step.to_folder = folder(c.target.parent_path());
          live[step.to_folder].names[c.target.filename().string()] = step.node;
          break;
      }
      steps_.push_back(step);
    }
    nodes_ = live.size();
  }

  size_t size() const { return steps_.size(); }
  size_t nodes() const { return nodes_; }

  // Bytes of the write `index` that a cut may leave: up to each sector
  // boundary it crosses. None for other changes.
  std::vector<size_t> TornLengths(size_t index) const {
    std::vector<size_t> lengths;
    if (index >= steps_.size() || steps_[index].change->kind != FileChange::kWrite) return lengths;
    const FileChange& c = *steps_[index].change;
    const int64_t end = c.offset + static_cast<int64_t>(c.bytes.size());
    for (int64_t b = (c.offset / kSector + 1) * kSector; b < end; b += kSector) {
      lengths.push_back(static_cast<size_t>(b - c.offset));
    }
    return lengths;
  }

  // Storage after a cut once `made` changes were made: on each node the
  // changes its last sync committed and those before kept[node]; and `torn`
  // bytes of the write `torn_at` when it is not there whole.
  std::vector<Node> State(size_t made, const std::vector<size_t>& kept, size_t torn_at = 0,
                          size_t torn = 0) const {
    std::vector<size_t> synced(nodes_, 0);  // a sync commits what came before it on its node
    for (size_t i = 0; i < made; ++i) {
      const FileChange::Kind kind = steps_[i].change->kind;
      if (kind == FileChange::kSync || kind == FileChange::kSyncFolder) synced[steps_[i].node] = i;
    }
    auto reached = [&](size_t i, size_t node) { return i < std::max(kept[node], synced[node]); };
    std::vector<Node> tree(nodes_);
    tree[0].folder = true;
    for (size_t i = 0; i < made; ++i) {
      const Step& s = steps_[i];
      const FileChange& c = *s.change;
      Node& node = tree[s.node];
      std::map<std::string, size_t>& names = tree[s.folder].names;
      switch (c.kind) {
        case FileChange::kMakeFolder: node.folder = true; [[fallthrough]];
        case FileChange::kCreate:
          if (reached(i, s.folder)) names[c.path.filename().string()] = s.node;
          break;
        case FileChange::kWrite:
          if (reached(i, s.node)) Put(node.bytes, c.offset, c.bytes);
          break;
        case FileChange::kTruncate:
          if (reached(i, s.node)) node.bytes.resize(static_cast<size_t>(c.offset));
          break;
        case FileChange::kRename:
        case FileChange::kDelete:
          if (reached(i, s.folder)) names.erase(c.path.filename().string());
          if (c.kind == FileChange::kRename && reached(i, s.to_folder)) {
            tree[s.to_folder].names[c.target.filename().string()] = s.node;
          }
          break;
        case FileChange::kSync:
        case FileChange::kSyncFolder: break;
      }
    }
    if (torn > 0 && !(torn_at < made && reached(torn_at, steps_[torn_at].node))) {
      const FileChange& c = *steps_[torn_at].change;
      Put(tree[steps_[torn_at].node].bytes, c.offset, c.bytes.substr(0, torn));
    }
    return tree;
  }

 private:
  static void Put(std::string& bytes, int64_t offset, const std::string& part) {
    const size_t at = static_cast<size_t>(offset);
    if (bytes.size() < at + part.size()) bytes.resize(at + part.size());
    bytes.replace(at, part.size(), part);
  }

  std::vector<Step> steps_;
  size_t nodes_ = 0;
};

// A text that tells the tree under `node` from any other; with `dir`, its
// folders and files are written there too.
std::string Materialise(const std::vector<Node>& tree, size_t node, const fs::path* dir) {
  std::string text;
  for (const auto& [name, child] : tree[node].names) {
    const fs::path path = dir != nullptr ? *dir / name : fs::path();
    if (tree[child].folder) {
      if (dir != nullptr) fs::create_directory(path);
      text += name + "/{" + Materialise(tree, child, dir != nullptr ? &path : nullptr) + "}";
    } else {
      if (dir != nullptr) testing::WriteFileBytes(path, tree[child].bytes);
      text += name + ":" + std::to_string(tree[child].bytes.size()) + ":" + tree[child].bytes;
    }
  }
  return text;
}

// What the session had been told was saved once `made` changes were made.
struct Promised {
  int committed = -1;  // readings the last commit that returned covered
  int saved = -1;      // the last save that returned
  int saving = -1;     // a save under way
  std::string Key() const {
    return std::to_string(committed) + "," + std::to_string(saved) + "," + std::to_string(saving);
  }
};

Promised PromisedAt(const Session& session, size_t made) {
  Promised promised;
  for (const auto& [at, readings] : session.commits) {
    if (at <= made) promised.committed = readings;
  }
  for (int i = 0; i < static_cast<int>(session.saves.size()); ++i) {
    const Save& save = session.saves[static_cast<size_t>(i)];
    if (save.returned <= made) promised.saved = i;
    if (save.begun < made && made < save.returned) promised.saving = i;
  }
  return promised;
}

// Readings 0, 1, 2, ... whole and in order from the start of the file; the
// count of them.
int LeadingReadings(const fs::path& path) {
  auto cursor = RecordCursor::Open(path, kLongRecordLength);
  int n = 0;
  while (cursor) {
    auto record = cursor->Next();
    if (!record) break;
    const int64_t index = cursor->record_offset() / static_cast<int64_t>(kLongRecordLength);
    if (!IsReading(RecordKindAt(index, *record))) continue;
    if (std::string(record->begin(), record->end()) != ReadingRecord(n)) break;
    ++n;
  }
  return n;
}

// What is wrong with the state in `dir` after a cut; empty when nothing is.
std::string Problems(const Session& session, const fs::path& dir, const Promised& promised) {
  std::string problems;
  const fs::path data = dir / session.data_file.lexically_relative(session.root);
  if (PathExists(data)) {
    const int readings = LeadingReadings(data);
    if (readings < promised.committed) {
      problems += std::to_string(readings) + " of " + std::to_string(promised.committed) +
                  " committed readings; ";
    }
    if (promised.committed >= 0 && !ReadHeader(data)) problems += "no header after a commit; ";
  } else if (promised.committed >= 0) {
    problems += "no data file after a commit; ";
  }

  const fs::path ini = dir / session.settings_file.lexically_relative(session.root);
  if (PathExists(ini)) {
    const std::string bytes = ReadFileBytes(ini);
    auto is = [&](int save) {
      return save >= 0 && bytes == session.saves[static_cast<size_t>(save)].bytes;
    };
    if (!is(promised.saved) && !is(promised.saving)) {
      problems += "settings file neither the saved one nor the one being saved; ";
    }
  } else if (promised.saved >= 0) {
    problems += "no settings file after a save; ";
  }

  // The readers take whatever is there.
  SettingsStore loaded;
  UpdateReadingTiming(loaded, kMk2);
  ApplyKindDefaults(loaded, kMk2);
  LoadSettings(loaded, kMk2);
  if (auto scan = ScanDataFile(data, kMk2)) {
    for (size_t line = 1; line <= scan->line_offsets.size(); ++line) {
      BuildLineIndexCache(data, *scan, static_cast<int32_t>(line), LineCachePathsFor(kMk2));
    }
  }
  return problems;
}

TEST(PowerCutTest, EveryCrashStateKeepsWhatWasCommittedAndReadsBack) {
  testing::TempDir recorded;
  testing::ScopedDataRoot scratch;
  const Session session = RecordSession(recorded.path());
  SetDataRoot(scratch.path());
  ASSERT_FALSE(::testing::Test::HasFailure()) << "the session itself failed";
  const Replay replay(session);

  const bool every_prefix = EnvNumber("TQ_POWER_CUT_ALL", 0) != 0;
  std::mt19937 random(static_cast<unsigned>(EnvNumber("TQ_POWER_CUT_SEED", 20261207)));
  long states = 0, failures = 0;
  std::unordered_set<size_t> seen;
  auto check = [&](size_t made, const std::vector<Node>& tree, const std::string& which) {
    ++states;
    const Promised promised = PromisedAt(session, made);
    // The same state under the same promises needs no second look.
    const std::string key = promised.Key() + "@" + Materialise(tree, 0, nullptr);
    if (!seen.insert(std::hash<std::string>{}(key)).second) return;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.path())) {
      fs::remove_all(entry.path());
    }
    Materialise(tree, 0, &scratch.path());
    const std::string problems = Problems(session, scratch.path(), promised);
    if (problems.empty()) return;
    if (++failures <= 5) {
      ADD_FAILURE() << "cut after " << made << " changes, " << which << ": " << problems;
    }
  };
  for (size_t made = 0; made <= replay.size(); ++made) {
    std::uniform_int_distribution<size_t> any(0, made);
    std::vector<size_t> prefixes = {0, any(random), made};
    if (every_prefix) {
      prefixes.clear();
      for (size_t kept = 0; kept <= made; ++kept) prefixes.push_back(kept);
    }
    for (size_t kept : prefixes) {
      const std::vector<size_t> everywhere(replay.nodes(), kept);
      const std::string which = "the first " + std::to_string(kept) + " kept";
      check(made, replay.State(made, everywhere), which);
      if (!every_prefix && kept != made) continue;
      for (size_t torn : replay.TornLengths(kept)) {
        check(made, replay.State(made, everywhere, kept, torn),
              which + " and " + std::to_string(torn) + " bytes of the next");
      }
    }
    // Files and folders may reach storage each at a pace of its own.
    for (int n = every_prefix ? 50 : 1; n > 0; --n) {
      std::vector<size_t> kept(replay.nodes());
      for (size_t& k : kept) k = any(random);
      check(made, replay.State(made, kept), "a prefix of its own on each file and folder");
    }
  }
  const std::string counts = std::to_string(replay.size() + 1) + " crash points, " +
                             std::to_string(states) + " states (" + std::to_string(seen.size()) +
                             " distinct), " + std::to_string(failures) + " failures";
  std::printf("power cut: %s\n", counts.c_str());
  ::testing::Test::RecordProperty("power_cut", counts);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tq
