// Directory services for the output files: normalised absolute directory
// names, creation of every missing level, removal of a file or a directory
// with its files.
#pragma once

#include <string>

namespace output {

// The absolute form of the directory `path`: begins and ends with "/", with
// "\" turned into "/", any drive prefix ("C:") dropped, and "." and ".."
// components resolved. A relative name is taken from the current directory.
std::string FullPath(const std::string& path);

// Creates every missing level of a directory path ("\" or "/" separators).
// 0 when the last level was created, -1 when it could not be (also when it
// already existed).
int MakePath(const std::string& path);

// Deletes `path` as a file; failing that, deletes the files of the directory
// `path` (not its subdirectories) and then the directory. 0 on success,
// otherwise the non-zero code of the step that failed.
int RemovePath(const std::string& path);

// Codes of RemovePath.
constexpr int kPathNotFound = 76;     // neither a file nor a readable directory
constexpr int kPathAccessError = 75;  // a file or the directory could not be removed

}  // namespace output
