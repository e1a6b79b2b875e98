#include "logging/entry_dialogs.h"

#include <optional>
#include <span>

#include "shell/shell_state.h"
#include "logging/run_state.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/window.h"
#include "settings/settings.h"
#include "survey/data_file_creation.h"
#include "survey/data_records.h"
#include "survey/survey_position.h"

namespace tq {
namespace {

// "New Line" controls.
constexpr int kCurrentLine = 651;
constexpr int kLastStation = 653;
constexpr int kNewLine = 674;
constexpr int kLineIncrement = 675;
constexpr int kSequence = 676;
constexpr int kDirection = 677;
constexpr int kStartStation = 678;
constexpr int kStationIncrement = 679;

// "New Station" controls.
constexpr int kStationStart = 863;
constexpr int kStationLast = 864;
constexpr int kStationNew = 865;

// "Enter Comment" control.
constexpr int kCommentText = 851;

constexpr const char* kSequenceTexts[] = {"Alternate", "One Way"};
constexpr const char* kDirectionTexts[] = {"West", "South", "North", "East"};

void Keep(DialogOutcome& outcome, const WriteResult& result) {
  if (!result && outcome.write_error.empty()) outcome.write_error = result.error;
}

// An entry dialog: `fill` sets its fields when it opens, `take` reads them
// on OK (of the title bar) and returns false to keep the dialog open; Cancel
// takes nothing, and everything else is left to the default.
template <typename Fill, typename Take>
void RunEntryDialog(WindowHandle owner, std::string_view template_name, Fill fill, Take take) {
  OpenDialogTemplate(template_name, owner,
                     [&](WindowHandle dialog, uint32_t message, uintptr_t wparam, intptr_t) -> intptr_t {
                       if (message == WM_INITDIALOG) {
                         fill(dialog);
                         return 1;
                       }
                       if (message != WM_COMMAND) return 0;
                       switch (LOWORD(wparam)) {
                         case IDOK:
                           if (take(dialog)) EndDialog(dialog, IDOK);
                           return 1;
                         case IDCANCEL:
                           EndDialog(dialog, IDCANCEL);
                           return 1;
                         default:
                           return 0;
                       }
                     });
}

int ControlOf(NewLineField field) {
  switch (field) {
    case NewLineField::kLine: return kNewLine;
    case NewLineField::kLineIncrement: return kLineIncrement;
    case NewLineField::kStartStation: return kStartStation;
    case NewLineField::kStationIncrement: return kStationIncrement;
  }
  return kStartStation;
}

void FillCombo(WindowHandle combo, std::span<const char* const> texts, int32_t selected) {
  ResetComboContent(combo);
  for (const char* text : texts) AddComboString(combo, text);
  SetComboSelection(combo, selected);
}

}  // namespace

DialogOutcome RunCreateFileDialog(WindowHandle owner) {
  const BuildConfig& build = Build();
  const DataFolders folders = DataFoldersFor(build);
  DialogOutcome outcome;
  for (;;) {
    FileDialogOptions options;
    options.title = kCreateDataFileTitle;
    options.filter_text = folders.filter_text;
    options.filter_pattern = folders.filter_pattern;
    options.default_extension = folders.default_extension;
    options.initial_folder = MapSystemPath(folders.dialog_folder).string();
    options.initial_name = ProposeFileName(build, GetLocalTime());
    std::optional<std::string> chosen = GetSaveFileName(owner, options);
    // The watchdog may have ended the run while the dialog was open.
    if (!chosen || Shell.LoggingActive != 1) return outcome;
    // Header 2 and the panel hold the name in 8-bit characters; like a name
    // that exists, one they cannot hold leads to a fresh proposal.
    if (std::optional<std::string> refused = CheckDataFileName(*chosen)) {
      MessageBox(owner, *refused, kWarningCaption, MB_OK | MB_ICONEXCLAMATION);
      continue;
    }
    // Created new, never over an existing file: a name taken meanwhile is
    // refused like one that was taken all along.
    DataFileSetup setup{Settings, build, Shell.Portrait == 1, Logging.PreviousMk2Offsets};
    CreateResult created = CreateDataFile(DataFileHandle, *chosen, setup);
    if (created.outcome == CreateOutcome::kExists) {
      // The operator's typed name is not kept: the box leads to a fresh proposal.
      MessageBox(owner, kFileExistsText, kFileExistsCaption, MB_OK | MB_ICONEXCLAMATION);
      if (Shell.LoggingActive != 1) return outcome;
      continue;
    }
    if (created.outcome == CreateOutcome::kFailed) {
      outcome.create_error = created.error;
      return outcome;
    }
    Logging.DataFilePath = *chosen;
    Logging.DataFileBaseName = created.base_name;
    outcome.accepted = true;
    outcome.write_error = created.error;
    return outcome;
  }
}

DialogOutcome RunNewLineDialog(WindowHandle owner) {
  DialogOutcome outcome;
  auto fill = [](WindowHandle dialog) {
    NewLineProposal proposal = ProposeNewLine(Settings);
    SetDlgItemText(dialog, kCurrentLine, proposal.current_line);
    SetDlgItemText(dialog, kLastStation, proposal.last_station);
    SetDlgItemText(dialog, kNewLine, proposal.new_line);
    SetDlgItemText(dialog, kLineIncrement, proposal.line_increment);
    FillCombo(GetDlgItem(dialog, kSequence), kSequenceTexts, proposal.sequence);
    FillCombo(GetDlgItem(dialog, kDirection), kDirectionTexts, proposal.direction);
    SetDlgItemText(dialog, kStartStation, proposal.start_station);
    SetDlgItemText(dialog, kStationIncrement, proposal.station_increment);
  };
  auto take = [&outcome](WindowHandle dialog) {
    NewLineEntry entry;
    entry.line = GetDlgItemText(dialog, kNewLine);
    entry.line_increment = GetDlgItemText(dialog, kLineIncrement);
    entry.sequence = GetComboSelection(GetDlgItem(dialog, kSequence));
    entry.direction = GetComboSelection(GetDlgItem(dialog, kDirection));
    entry.start_station = GetDlgItemText(dialog, kStartStation);
    entry.station_increment = GetDlgItemText(dialog, kStationIncrement);
    // A list without a choice keeps what was stored.
    if (entry.sequence < 0) entry.sequence = Settings.Sequence;
    if (entry.direction < 0) entry.direction = Settings.Direction;
    if (auto refused = CheckNewLine(entry)) {
      RefuseDialogField(dialog, ControlOf(refused->field), refused->text);
      return false;
    }
    if (!AcceptNewLine(SurveyPosition{Settings, Logging.group}, Build(), entry)) {
      outcome.write_error = "the settings file could not be written";
    }
    outcome.accepted = true;
    return true;
  };
  RunEntryDialog(owner, "GETNEWLINE", fill, take);
  return outcome;
}

DialogOutcome RunNewStationDialog(WindowHandle owner, std::string_view template_name) {
  DialogOutcome outcome;
  auto fill = [](WindowHandle dialog) {
    SetDlgItemText(dialog, kStationStart, FormatFixed(Settings.StartStation, 3));
    SetDlgItemText(dialog, kStationLast, FormatFixed(Settings.CurrentStation, 3));
    SetDlgItemText(dialog, kStationNew, "");
  };
  auto take = [&outcome](WindowHandle dialog) {
    const std::string station = GetDlgItemText(dialog, kStationNew);
    if (auto refused = CheckNewStation(station)) {
      RefuseDialogField(dialog, kStationNew, *refused);
      return false;
    }
    AcceptNewStation(SurveyPosition{Settings, Logging.group}, station);
    outcome.accepted = true;
    Keep(outcome, WriteStationRecord(DataFileHandle, Settings.CurrentStation));
    Keep(outcome, WriteTimeMark(DataFileHandle));
    return true;
  };
  RunEntryDialog(owner, template_name, fill, take);
  return outcome;
}

DialogOutcome RunCommentDialog(WindowHandle owner) {
  DialogOutcome outcome;
  RunEntryDialog(
      owner, "GETCOMMENT", [](WindowHandle dialog) { SetDlgItemText(dialog, kCommentText, ""); },
      [&outcome](WindowHandle dialog) {
        const std::string comment = GetDlgItemText(dialog, kCommentText);
        if (std::optional<std::string> refused = CheckComment(comment)) {
          RefuseDialogField(dialog, kCommentText, *refused);
          return false;
        }
        outcome.accepted = true;
        Keep(outcome, WriteNote(DataFileHandle, comment, 'C'));
        return true;
      });
  return outcome;
}

}  // namespace tq
