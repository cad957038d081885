// The word-list file shared by the stop list and the sentence delimiters'
// exceptions: one word per line.
#pragma once

#include "foundation/settings.h"

#include <string>
#include <vector>

// One word per line; CR LF, LF and CR are read, CR LF written, and a line
// break after the last line adds no empty word. Both throw
// std::runtime_error on failure (also for a folder or anything else that is
// not a regular file); a failed write keeps the old file.
std::vector<std::string> ReadWordListFile(const std::string& fileName);
void WriteWordListFile(const std::string& fileName, const std::vector<std::string>& words);

// The folder of a path with its closing slash; empty without one.
std::string FolderOfPath(const std::string& path);
// A path without its folder.
std::string NameOfPath(const std::string& path);
