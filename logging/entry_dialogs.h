// The logging window's dialogs: "Create Data File" (the save dialog and its
// "WARNING" loop), "New Line", "New Station" and "Enter Comment".
// User-interface thread only. Each writes its records to DataFileHandle;
// a write that fails is returned in `write_error` for the window to show.
#pragma once

#include <string>
#include <string_view>

#include "platform/messages.h"

namespace tq {

struct DialogOutcome {
  bool accepted = false;
  std::string write_error;  // the first failed write, empty when all went out
  std::string create_error;  // why a chosen file could not be created
};

// Proposes a free name, asks for the file in the save dialog, refuses names
// that exist (the "WARNING" box, then a fresh proposal) and creates the file
// with its opening records. Accepted when a file is open afterwards; then
// Logging.DataFilePath and DataFileBaseName name it. Nothing is created once
// the run has ended meanwhile.
DialogOutcome RunCreateFileDialog(WindowHandle owner);

// "New Line": on OK applies the entry (and saves the settings); the caller
// writes the line start. Accepted on OK.
DialogOutcome RunNewLineDialog(WindowHandle owner);

// "New Station" from `template_name`: on OK sets the station and, with a
// file open, writes the station record and a time mark.
DialogOutcome RunNewStationDialog(WindowHandle owner, std::string_view template_name);

// "Enter Comment": on OK writes the text as a "C" note (first 11 characters).
DialogOutcome RunCommentDialog(WindowHandle owner);

}  // namespace tq
