// fileio.h - whole-file reads into memory, and durable whole-file writes.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace umb::base {

// What the file readers return: the compiled game file (ReadGameFile, ParseGameImage), the
// source (CompileSourceFile), a saved game (ApplySavedGame) and a picture (LoadPicture).
enum class ReadResult : int {
    Ok = 0,
    // The file cannot be opened or held: it is missing or a folder, or there is no memory for
    // it. A picture also when pictures are off or it is larger than any picture.
    CannotOpen = -1,
    // Not a file of the kind being read: no or an unknown magic or signature. A source also when
    // it cannot be read whole (a read error, or larger than any source).
    NotFormat = -2,
    // A file of the right kind whose content is short, inconsistent or out of range.
    BadContent = -3,
};

// Reads an open file from its current position to its end into out. Returns Ok; NotFormat when
// a read fails, out then holding the bytes read before the failure; BadContent when the file
// holds more than limit bytes.
ReadResult ReadWholeFile(FILE* file, std::string& out, size_t limit);

// Returns the temporary file WriteFileAtomically writes beside path: one fixed name per target,
// so a run killed while writing leaves at most this one file, which the next write replaces.
std::string TempPathFor(const std::string& path);

// What a durable write returns.
enum class WriteResult : int { Ok = 0, Failed = -1 };

// Returns Ok once size bytes are durably the whole new content of path, all or nothing: the bytes
// go to the temporary file in path's folder, are flushed to the disk, the temporary file is
// renamed over path and the folder is flushed, so that after a crash path holds either its
// earlier content or the new one. Returns Failed when anything fails; an earlier file at path then
// stays as it was and the temporary file is removed. The one failure that comes too late for
// that is the folder's own flush: the new content is in place, but a crash may still undo it.
// In the browser, whose files are in the page's memory, the bytes are written in place; a failed
// write leaves no file at path.
WriteResult WriteFileAtomically(const std::string& path, const void* data, size_t size);

}  // namespace umb::base
