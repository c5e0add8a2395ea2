// Writing a file so that nothing is ever lost halfway: a reader (or the next run, after a
// crash or a power cut) finds the old contents or the new, never a mix or an empty file.
#pragma once

#include <string>

namespace grappix {

// Writes contents to a temporary file in the same folder, flushes it to the disk and renames
// it over path. The file keeps the permissions of the one it replaces (0644 when new). Returns
// an empty string, or what went wrong ("<path>: <reason>"); on failure path is untouched.
// With replace false, a file that already stands at path is never replaced (EEXIST).
// A new file gets newMode (0600 for a private one).
std::string WriteFileAtomically(const std::string& path, const std::string& contents, bool replace = true,
                                unsigned newMode = 0644);

}  // namespace grappix
