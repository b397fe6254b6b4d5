// Whole-file reads and writes; a write replaces the file in one step.
#pragma once

#include <string>

namespace platform {

// Writes contents to a hidden temporary file beside path (".<name>.XXXXXX", the name shortened when
// needed), flushes it to disk, renames it over path and flushes the folder, so readers see the old or
// the new contents, never a part, and the new contents survive a crash once this returns. The file gets
// mode 0644. Returns 0 or the errno of the failing step; the temporary file never stays behind.
int WriteFileAtomically(const std::string& path, const std::string& contents);

// Reads the whole file into contents. Returns 0 or errno (ENOENT when it does not exist).
int ReadWholeFile(const std::string& path, std::string& contents);

}  // namespace platform
