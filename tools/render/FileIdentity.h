#pragma once
// Whether two paths name the same file, by identity rather than by text: a
// link, a relative path or another spelling of the input still counts.

#include <string>

namespace tarvel {

// True when both paths exist and are one file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tarvel
