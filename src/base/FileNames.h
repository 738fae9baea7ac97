#pragma once
// Small questions about file names and files that the readers and windows ask.

#include <string>

namespace fim {

// The extension of `path` with its dot, in upper case (".CSM"); empty when there is none.
std::string UpperExtension(const std::string& path);
// True for an existing regular file (false for an empty path).
bool FileExists(const std::string& path);

}  // namespace fim
