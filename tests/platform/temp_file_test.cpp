#include "platform/paths.h"
#include "platform/temp_file.h"

#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using platform::makeTempFile;
using testsupport::ScopedEnv;
using testsupport::ScratchFolder;

TEST(TempFile, NamesArePrefixHexAndTmpInTheTempFolder)
{
  ScratchFolder dir;
  ScopedEnv tmp("TMPDIR", dir.path());
  const std::string folder = platform::tempFolder();
  EXPECT_EQ(folder, dir.path());
  const std::regex shape("(LNT|PGT|WT|)[0-9A-F]{1,4}\\.tmp");
  std::set<std::string> seen;
  for (const char* prefix : {"LNT", "PGT", "WT", "", "FSTX"}) {
    for (int i = 0; i < 50; ++i) {
      const std::string path = makeTempFile(folder, prefix);
      ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
      const std::string name = path.substr(folder.size());
      if (std::string(prefix) == "FSTX")
        EXPECT_EQ(name.rfind("FST", 0), 0u) << name;  // at most three prefix characters
      else
        EXPECT_TRUE(std::regex_match(name, shape)) << name;
      EXPECT_NE(name.substr(std::min<size_t>(3, std::string(prefix).size()), 2), "0.") << name;
      EXPECT_TRUE(seen.insert(path).second) << "name given twice: " << path;
      struct stat st {};
      ASSERT_EQ(::stat(path.c_str(), &st), 0);
      EXPECT_EQ(st.st_size, 0);
    }
  }
}

TEST(TempFile, SkipsNamesThatExist)
{
  ScratchFolder dir;
  const std::string first = makeTempFile(dir.path(), "IST");
  // Occupy the next few names the maker would try; it must step over them.
  const std::string hex = first.substr(dir.path().size() + 3, first.size() - dir.path().size() - 7);
  const unsigned n = std::stoul(hex, nullptr, 16);
  for (unsigned k = 1; k <= 3; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "IST%X.tmp", (n + k) & 0xFFFF);
    dir.write(name, "taken");
  }
  const std::string next = makeTempFile(dir.path(), "IST");
  EXPECT_EQ(testsupport::readFile(next), "");
  EXPECT_EQ(dir.names().size(), 5u);
}

TEST(TempFile, FolderWithoutSlashAndMissingFolder)
{
  ScratchFolder dir;
  std::string bare = dir.path();
  bare.pop_back();
  const std::string path = makeTempFile(bare, "X");
  EXPECT_EQ(path.rfind(dir.path() + "X", 0), 0u);
  try {
    makeTempFile(dir.path() + "missing/", "X");
    FAIL() << "no error for a missing folder";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(dir.path() + "missing/"), std::string::npos) << e.what();
  }
}
