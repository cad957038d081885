#include "foundation/run_files.h"

#include "foundation/program_state.h"
#include "platform/paths.h"
#include "support/dead_pid.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using testsupport::ScopedEnv;
using testsupport::ScratchFolder;

TEST(RunFiles, AStartRemovesTheLeftoversOfRunsThatAreGoneAndNothingElse)
{
  ScratchFolder temp, config;
  ScopedEnv tmpdir("TMPDIR", temp.path());
  ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
  InitSharedState();
  const std::string dead = std::to_string(testsupport::DeadPid()), live = std::to_string(::getppid());
  const std::string settings = platform::windowsFolder();
  for (const std::string& run : {dead, live, std::string("x1")}) {
    std::filesystem::create_directory(temp.file(RunFolderPrefix + run));
    temp.write(RunFolderPrefix + run + "/LNT1A.tmp", "copy");
    temp.write(RunFolderPrefix + run + "/LNT1AH.tmp", "header");
    std::ofstream(settings + ".QUILPRO.INI." + run + ".4.tmp") << "half";
  }
  const std::string otherDead = std::to_string(testsupport::DeadPid());
  std::filesystem::create_directory(temp.file(RunFolderPrefix + otherDead));
  temp.write(RunFolderPrefix + otherDead + "/IST3.tmp", "body");
  temp.write(RunFolderPrefix + otherDead + "/notes.txt", "mine");
  temp.write("LNT2.tmp", "not in a run folder");

  StartRunFiles();
  const std::string own = temp.file(RunFolderPrefix + std::to_string(::getpid()) + "/");
  EXPECT_EQ(TempFolder, own);
  EXPECT_TRUE(std::filesystem::is_directory(own));
  EXPECT_FALSE(std::filesystem::exists(temp.file(RunFolderPrefix + dead)));
  EXPECT_TRUE(std::filesystem::exists(temp.file(RunFolderPrefix + live + "/LNT1A.tmp")));
  EXPECT_TRUE(std::filesystem::exists(temp.file(RunFolderPrefix + std::string("x1") + "/LNT1A.tmp")));
  EXPECT_EQ(std::filesystem::directory_iterator(temp.file(RunFolderPrefix + otherDead))->path().filename(), "notes.txt");
  EXPECT_TRUE(std::filesystem::exists(temp.file("LNT2.tmp")));
  EXPECT_FALSE(std::filesystem::exists(settings + ".QUILPRO.INI." + dead + ".4.tmp"));
  EXPECT_TRUE(std::filesystem::exists(settings + ".QUILPRO.INI." + live + ".4.tmp"));
  EXPECT_TRUE(std::filesystem::exists(settings + ".QUILPRO.INI.x1.4.tmp"));

  temp.write(RunFolderPrefix + std::to_string(::getpid()) + "/WTT5.tmp", "mine");
  EndRunFiles();
  EXPECT_FALSE(std::filesystem::exists(own));
  EXPECT_EQ(TempFolder, temp.path());
  InitSharedState();
}
