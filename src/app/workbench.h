// workbench.h - the author's tools: checking a source, drawing its map, replaying walkthroughs.
#pragma once

#include "app/startup.h"
#include "compiler/compiler.h"

#include <cstdint>
#include <map>
#include <string>

namespace umb::engine {
struct ScriptCoverage;
}

namespace umb::app {

// Compiles the game's source and reports every finding as FILE:LINE: kind: reason, then
// "N errors, M warnings"; writes nothing. Returns ExitSuccess with no errors, else ExitFailure.
int RunCheck(const Startup& s);

// Whether a source was checked, or could not be (it cannot be opened, read whole or held).
enum class CheckGameResult : int { Checked = 0, Unreadable = -1 };

// Compiles the source at sourcePath with findings recorded in log and checks the world it
// makes; returns Checked, or Unreadable when the source cannot be read.
CheckGameResult CheckGame(const std::string& sourcePath, compiler::CheckLog& log);

// What a check found of each picture file, kept by a caller that checks again and again (the
// language server) so that a picture is decoded again only when its file changed.
struct PictureVerdict {
    int64_t modified = 0;  // the file's change time in nanoseconds, -1 when it is missing
    int64_t size = -1;
    std::string why;  // why it is refused, "" when it is shown
};
using PictureCache = std::map<std::string, PictureVerdict>;

// A source to check that is held in memory: the name its findings give it, its text, the folder
// its pictures are looked for in (the current one when empty), where its included files come
// from (the disk when null) and the database to compile into (one of the check's own when
// null; a given one must have its text heap and is reset here), which the caller then reads,
// and the pictures already decoded (each decoded afresh when null).
struct CheckSource {
    std::string path;
    std::string text;
    std::string folder;
    const compiler::IncludeSource* includes = nullptr;
    db::GameDatabase* db = nullptr;
    PictureCache* pictures = nullptr;
};

// Checks a source held in memory as CheckGame checks a file; returns Checked, or Unreadable
// when there is no memory for its database.
CheckGameResult CheckGameText(const CheckSource& source, compiler::CheckLog& log);

// Writes GAME-map.svg (and GAME-map.png with --png) from the game's source. Returns ExitSuccess
// when written, else ExitFailure with the reason on standard error.
int RunMap(const Startup& s);

// Plays every walkthrough GAME.keys, GAME-*.keys beside the game against its transcript (--bless
// writes the transcripts instead); prints the source's name first and "N passed, M failed" last.
// Returns ExitSuccess when none failed.
int RunWalkthroughs(const Startup& s);

// Prints the picture files the compiled game names (locations, shows, scripts), one a line as
// the game opens them, each once; names one that is missing on standard error. Returns
// ExitSuccess when every one is there, else ExitFailure.
int RunPictureList(const Startup& s);

}  // namespace umb::app
