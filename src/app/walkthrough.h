// walkthrough.h - the diff a failed walkthrough shows between its expected and new transcript.
#pragma once

#include <string>

namespace umb::app {

// Appends to report the number of the command where the transcripts first part (the lines
// beginning with prompt, counted from the top) and a unified diff of them: the shortest, with
// three kept lines around each change and at most 30 lines shown; labels name the two sides.
// Each line of the report is indented by four blanks.
void DiffTranscripts(const std::string& want, const std::string& got, const std::string& wantName,
                     const std::string& gotName, const std::string& prompt, std::string& report);

}  // namespace umb::app
