// The settings and workspace reader: the input as an INI image, read by
// every registered settings area; writing what was read, reading that and
// writing again gives the same bytes. Then the workspace sections ("File" and
// "File flags" by position, ids, Keep keys, batch lists), with every corpus
// name replaced by one of four small files of the private folder (so nothing
// outside it is opened); every path built from a flag's id lies inside the
// workspace folder, and writing the sections, reading and writing them again
// gives the same bytes.
#include "foundation/config_file.h"
#include "foundation/corpus_list.h"
#include "foundation/hit_location.h"
#include "foundation/indexed_stream.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "foundation/workspace.h"
#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class TRecorderFrame : public TWorkspaceFrame, public TCorpusFrame {
public:
  TCorpusFrame& Corpus() override { return *this; }
  std::string& WorkspaceName() override { return name; }
  void SetCaption(const std::string&) override {}
  TBatchPatternLists BatchPatterns() override { return {&patterns, &grep, &tags}; }
  bool ChooseWorkspaceToSave(std::string&) override { return false; }
  bool ChooseWorkspaceToOpen(std::string&) override { return false; }
  std::string name;
  std::vector<std::string> patterns, grep, tags;
};

std::string writeImage(const char* name)
{
  platform::IniFile ini = platform::IniFile::empty(fuzz::privateFolder() + name);
  WriteConfigInfo(ini);
  ini.flush();
  return fuzz::readWholeFile(ini.path());
}

std::string writeWorkspace(TRecorderFrame& frame, const char* name)
{
  platform::IniFile ini = platform::IniFile::empty(fuzz::privateFolder() + name);
  std::vector<std::string> flags;
  for (int32_t i = 0; i < CorpusList.Count(); ++i)
    flags.push_back(CorpusList[i].Flags);
  WriteWorkspaceSections(frame, ini, flags);
  ini.flush();
  return fuzz::readWholeFile(ini.path());
}

void setUp()
{
  fuzz::resetState();
  static bool once = false;
  if (!once) {
    once = true;
    fuzz::registerSettingsAreas();
    for (int i = 0; i < 4; ++i)
      fuzz::writePrivateFile("c" + std::to_string(i) + ".txt", "The cat sat.\r\nOn the <b>mat</b>.\r\n");
    // Kept indexes a workspace's flags may name: one and three columns whose
    // rows run past the small corpus files, and one with a damaged header.
    const std::string ws = fuzz::privateFolder() + "ws/";
    ::mkdir(ws.c_str(), 0700);
    for (int columns : {1, 3}) {
      const std::string name = ws + "K" + std::to_string(columns) + ".tmp";
      auto index = TIndexedStream::Create(ws + "build.tmp", columns);
      for (int32_t r = 0; r < 50; ++r) {
        const int32_t row[3] = {r * 7, r * 7 - 100, r * 11};
        index->AddRow(row);
      }
      index->SaveIndex(name);
    }
    fuzz::writePrivateFile("ws/BAD.tmp", std::string(16, '\1'));
    fuzz::writePrivateFile("ws/BAD.hdr", "IDXS");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  setUp();
  const fuzz::TMemFile file(std::string_view(reinterpret_cast<const char*>(data), size));
  platform::IniFile ini(file.path());
  ReadConfigInfo(ini);

  // write, read, write: a fixpoint.
  const std::string first = writeImage("first.ini");
  fuzz::resetState();
  ReadConfigInfo(platform::IniFile(fuzz::privateFolder() + "first.ini"));
  const std::string second = writeImage("second.ini");
  if (first != second) {
    size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at])
      ++at;
    const size_t from = first.rfind('\n', at) == std::string::npos ? 0 : first.rfind('\n', at) + 1;
    fuzz::fail("settings written after reading differ from those read:\n" + first.substr(from, at - from + 60) +
               "\n---\n" + second.substr(from, at - from + 60));
  }

  // The workspace sections, corpus names pointing into the private folder.
  fuzz::resetState();
  ResetWorkspaceState();
  WorkspaceFolder = fuzz::privateFolder() + "ws/";
  int n = 0;
  for (const std::string& key : ini.readSection(CorpusFilesSection)) {
    if (key.size() < 5 || key.compare(0, 4, "File") != 0 || key.find(' ') != std::string::npos ||
        key == "FileCount")
      continue;
    if (!ini.readString(CorpusFilesSection, key, "").empty())
      ini.writeString(CorpusFilesSection, key, fuzz::privateFolder() + "c" + std::to_string(n++ % 4) + ".txt");
  }
  TRecorderFrame frame;
  ReadWorkspaceSections(frame, ini);
  const std::filesystem::path folder = std::filesystem::path(WorkspaceFolder).lexically_normal();
  for (const std::string& flags : FileFlags)
    for (char letter : {'L', 'P', 'T', 'U', 'W'}) {
      const std::string id = GetFlagValue(letter, flags);
      if (id.empty())
        continue;
      const auto path = std::filesystem::path(WorkspaceFolder + id + ".tmp").lexically_normal();
      fuzz::check(path.parent_path() / "" == folder, "id leaves the workspace folder: " + id);
    }
  // The workspace sections written from what was read, read and written
  // again: a fixpoint.
  const std::string firstWorkspace = writeWorkspace(frame, "first.qws");
  UnloadCorpus(frame);
  ResetWorkspaceState();
  frame.patterns.clear(), frame.grep.clear(), frame.tags.clear();
  ReadWorkspaceSections(frame, platform::IniFile(fuzz::privateFolder() + "first.qws"));
  const std::string secondWorkspace = writeWorkspace(frame, "second.qws");
  if (firstWorkspace != secondWorkspace)
    fuzz::fail("workspace written after reading differs from the one read:\n" + firstWorkspace + "\n---\n" +
               secondWorkspace);

  // The kept indexes in use: locations and tracked-tag values anywhere.
  for (int32_t i = 0; i < CorpusList.Count(); ++i)
    for (int32_t position : {0, 5, 33, 34, 1000, INT32_MAX}) {
      FormatHitLocation(i, position);
      for (int32_t k = 0; k < int32_t(WatchedTags.size()) && k < 4; ++k)
        GetTrackedTagValue(i, position, k);
    }
  UnloadCorpus(frame);
  ResetWorkspaceState();
  return 0;
}
