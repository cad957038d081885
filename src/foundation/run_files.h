// The program's own files and their cleanup. Every file the program makes for
// itself carries one of its prefixes (IST downloads, LNT/PGT/WTT indexes, FST
// string tables, FRQ frequency lists) followed by hexadecimal digits, an
// optional "H" for an index header and ".tmp"; the workspace frequency list
// is "FREQ.tmp". Nothing without such a name is ever removed here.
//
// Each run keeps its temporary copies in a folder of its own inside the
// system's temp folder, named after its process id; a later start removes
// the folders of runs that no longer exist.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* RunFolderPrefix = "quillmar-";

// True for a file name (without folder) the program makes for itself.
bool IsProgramFileName(std::string_view name);

// Removes from folder every file with a program name that keep does not
// name (compared without regard to case; keep holds full paths or names).
void RemoveProgramFiles(const std::string& folder, const std::vector<std::string>& keep);

// Start: removes the run folders of runs that are gone and the settings
// file's temporary siblings that dead runs left; then makes this run's
// folder and points TempFolder at it (TempFolder stays the system's temp
// folder when it cannot be made).
void StartRunFiles();
// End: removes this run's program files and its folder when it is empty.
void EndRunFiles();
