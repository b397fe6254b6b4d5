// Whole-file reads and writes; a write replaces the file in one step.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The most that ReadWholeFile reads unless told otherwise: far more than any record or setting file of
// the platform or the services holds.
constexpr std::size_t kReadLimit = 1024 * 1024;

// Writes contents to a hidden temporary file beside path (".<name>.XXXXXX", the name shortened when
// needed), flushes it to disk, renames it over path and flushes the folder, so readers see the old or
// the new contents, never a part, and the new contents survive a crash once this returns. The file gets
// mode 0644. Returns 0 or the errno of the failing step; the temporary file never stays behind. A
// temporary of path that an interrupted write left (a regular file of that exact name pattern that no
// writer holds) is removed first; a link of that name is left alone.
int WriteFileAtomically(const std::string& path, const std::string& contents);

// The same for the file name in the folder held open by the descriptor folder: the temporary is made,
// renamed and removed relative to that folder, so a link put in place of the folder's path meanwhile
// changes nothing; a link in place of the temporary's name is never followed.
int WriteFileAtomicallyAt(int folder, const std::string& name, const std::string& contents);

// Reads the whole file into contents, at most limit bytes. The file is opened without waiting, so a
// FIFO or a device never blocks the caller. Returns 0 or errno: ENOENT when it does not exist, EISDIR for
// a folder, EINVAL for anything else that is not a regular file (a FIFO, a device), EFBIG when it holds
// more than limit bytes. contents is left unchanged on failure.
int ReadWholeFile(const std::string& path, std::string& contents, std::size_t limit = kReadLimit);

// The same for the file name in the folder held open by the descriptor folder; a link of that name is
// not followed (ELOOP).
int ReadWholeFileAt(int folder, const std::string& name, std::string& contents, std::size_t limit = kReadLimit);

}  // namespace platform
