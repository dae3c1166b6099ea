// walkthrough.h - the diff a failed walkthrough shows between its expected and new transcript, and
// the coverage of script lines the walkthroughs and the explorer count.
#pragma once

#include "compiler/compiler.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace umb::app {

// Appends to report the number of the command where the transcripts first part (the lines
// beginning with prompt, counted from the top) and a unified diff of them: the shortest, with
// three kept lines around each change and at most 30 lines shown; labels name the two sides.
// Each line of the report is indented by four blanks.
void DiffTranscripts(const std::string& want, const std::string& got, const std::string& wantName,
                     const std::string& gotName, const std::string& prompt, std::string& report);

// The count of each source line of a section: the times its action lines ran, or, for a line
// without one, the times it was reached; by file name (as the compiler was given it) and line.
using LineCounts = std::map<std::pair<std::string, int>, uint32_t>;

// Adds to counts the lines of one script table: where gives each script line's place in the
// files, reached and ran its counts (ScriptCoverage). A source line holding an action line
// counts its runs, any other its reaches.
void CountSection(const std::vector<db::ScriptLine>& table,
                  const std::vector<compiler::SourcePlace>& where,
                  const std::vector<std::string>& files, const std::vector<uint32_t>& reached,
                  const std::vector<uint32_t>& ran, LineCounts& counts);

// Prints "TITLE: N of M lines run (P %)" and each line never run as FILE:LINE: note: never run:
// TEXT, FILE named under folder; sources keeps the files' lines read for it.
void ReportSection(const char* title, const LineCounts& counts, const std::filesystem::path& folder,
                   std::map<std::string, std::vector<std::string>>& sources);

}  // namespace umb::app
