#include "fuzz/fuzz_support.h"

#include "forms/advanced_sort.h"
#include "forms/batch_options.h"
#include "forms/concord_config.h"
#include "forms/frequency_config.h"
#include "forms/hdctx.h"
#include "forms/headings.h"
#include "forms/search_dialog_model.h"
#include "forms/tag_settings.h"
#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "foundation/tag_scan.h"
#include "platform/paths.h"
#include "support/fake_bridge.h"

#include <unicode/uloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {
namespace {

struct TProcessState {
  std::string folder;
  testsupport::FakeBridge* bridge = nullptr;
  testsupport::FakeDialogs* dialogs = nullptr;
};

// Kept for the whole run (and reachable, so no leak is reported).
TProcessState* processState = nullptr;

TProcessState& process()
{
  if (processState)
    return *processState;
  processState = new TProcessState;
  // Memory-backed when the machine has it: inputs never touch a disk folder
  // of the user's.
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/quillfuzz-XXXXXX";
  if (!mkdtemp(pattern.data()))
    fail("cannot create the private folder");
  processState->folder = pattern + "/";
  // Removed at a normal end; a crash leaves it for a look.
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(processState->folder, ec);
  });
  setenv("TMPDIR", pattern.c_str(), 1);
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  setenv("HOME", pattern.c_str(), 1);
  platform::setProgramFolder(pattern);
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("en_US", &status);
  SetStockSystemFont(TFontRec{"DejaVu Sans", 9, 0, clWindowText, 1});
  processState->bridge = new testsupport::FakeBridge;
  processState->dialogs = new testsupport::FakeDialogs;
  return *processState;
}

class TNoServices : public TSearchDialogServices {
public:
  bool ChoosePatternsFile(std::string&) override { return false; }
};

class TNoStopListEditor : public TFreqConfigHost {
public:
  void ShowStopListEditor() override {}
};

struct TAreaOwners {
  TNoServices services;
  TNoStopListEditor host;
  THeadingsModel headings;
  THdCtxForm hdctx{headings};
  TTagCfgModel tags;
  TWordTagsCfgModel wordTags;
  TConcordConfigModel concord;
  TFreqConfigModel frequency{host};
  TSearchTemplateModel search{services};
};
TAreaOwners* areaOwners = nullptr;

}  // namespace

void registerSettingsAreas()
{
  if (areaOwners)
    return;
  process();
  InstallAdvancedSortSettings();
  InstallBatchSearchSettings();
  areaOwners = new TAreaOwners;
}

void resetState()
{
  TProcessState& p = process();
  InitProgramState();
  InitSharedState();
  BuildCharTables();
  WatchedTags.clear();
  GlobalStopList.SetWords({});
  GlobalStopList.SetActive(false);
  URLHistory.clear();
  p.dialogs->Messages.clear();
  p.dialogs->Answers.clear();
  p.dialogs->Inputs.clear();
}

const std::string& privateFolder()
{
  return process().folder;
}

testsupport::FakeDialogs& dialogs()
{
  return *process().dialogs;
}

TMemFile::TMemFile(std::string_view bytes)
{
  fd_ = memfd_create("quillfuzz", MFD_CLOEXEC);
  if (fd_ < 0)
    fail("memfd_create failed");
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n <= 0)
      fail("memfd write failed");
    done += size_t(n);
  }
  path_ = "/proc/self/fd/" + std::to_string(fd_);
}

TMemFile::~TMemFile()
{
  close(fd_);
}

std::string writePrivateFile(const std::string& name, std::string_view bytes)
{
  const std::string path = privateFolder() + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (!out)
    fail("cannot write " + path);
  return path;
}

std::string readWholeFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

uint8_t TInput::byte()
{
  if (rest_.empty())
    return 0;
  const auto b = static_cast<uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return b;
}

uint32_t TInput::u32()
{
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= uint32_t(byte()) << (8 * i);
  return v;
}

int32_t TInput::range(int32_t lo, int32_t hi)
{
  const uint64_t span = uint64_t(int64_t(hi) - lo) + 1;
  const uint32_t v = span <= 256 ? byte() : u32();
  return int32_t(lo + int64_t(v % span));
}

std::string_view TInput::piece()
{
  const size_t at = rest_.find(Separator);
  std::string_view p = rest_.substr(0, at);
  rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + Separator.size());
  return p;
}

void fail(const std::string& message)
{
  std::fprintf(stderr, "fuzz property failed: %s\n", message.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string withLineEnds(std::string_view text, std::string_view lineEnd)
{
  std::string out;
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n')
        ++i;
      out += lineEnd;
    } else if (text[i] == '\n') {
      out += lineEnd;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::vector<std::string> readListFile(std::string_view text,
                                      std::vector<std::string> (*read)(const std::string&))
{
  auto readAs = [read](std::string_view bytes) {
    const TMemFile file(bytes);
    return read(file.path());
  };
  std::vector<std::string> lines;
  try {
    lines = readAs(text);
  } catch (const std::runtime_error&) {
    fail("a regular file was refused");
  }
  for (const std::string_view lineEnd : {"\n", "\r\n", "\r"})
    check(readAs(withLineEnds(text, lineEnd)) == lines, "line ends change the lines");
  return lines;
}

}  // namespace fuzz
