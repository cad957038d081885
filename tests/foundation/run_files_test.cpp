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

TEST(RunFiles, AStartRemovesOnlyTheNamesTheProgramMakes)
{
  ScratchFolder temp, config, elsewhere;
  ScopedEnv tmpdir("TMPDIR", temp.path());
  ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
  InitSharedState();
  const std::string dead = std::to_string(testsupport::DeadPid()), live = std::to_string(::getppid());
  const std::string run = temp.file(RunFolderPrefix + dead + "/");
  const std::string settings = platform::windowsFolder();
  std::filesystem::create_directory(run);
  struct Row {
    std::string folder, name;
    bool removed;
  };
  const Row rows[] = {
      // In a gone run's folder: the program's names, a half-written sibling
      // of one by a writer that is gone, and names the program never makes.
      {run, "LNT1.tmp", true},
      {run, "PGT1AH.tmp", true},
      {run, "WTTFFFF.tmp", true},
      {run, "FST2.tmp", true},
      {run, "FRQ9.tmp", true},
      {run, "IST2F.tmp", true},
      {run, "FREQ.tmp", true},
      {run, ".FRQ9.tmp." + dead + ".3.tmp", true},
      {run, "ABC1.tmp", false},
      {run, "xLNT1.tmp", false},
      {run, "LNT1.TMP", false},
      {run, "LNT1.tmp.bak", false},
      {run, "FREQ1.tmp", false},
      {run, "freq.tmp", false},
      {run, "LNT.tmp", false},
      {run, "LNTH.tmp", false},
      {run, "LNT1HH.tmp", false},
      {run, "LNT1a.tmp", false},
      {run, "LNT12345.tmp", false},
      {run, ".notes.txt." + dead + ".1.tmp", false},
      {run, ".LNT1.tmp." + live + ".1.tmp", false},
      {run, ".LNT1.tmp." + dead + ".x.tmp", false},
      {run, ".LNT1.tmp." + dead + "..tmp", false},
      {run, ".LNT1.tmp.." + dead + ".tmp", false},
      // Beside the settings file: a sibling a gone writer left, and names
      // like it that no write makes.
      {settings, ".QUILPRO.INI." + dead + ".4.tmp", true},
      {settings, ".QUILPRO.INI." + dead + ".4.TMP", false},
      {settings, ".QUILPRO.INI." + dead + "..tmp", false},
      {settings, ".QUILPRO.INI." + dead + ".4x.tmp", false},
      {settings, ".quilpro.ini." + dead + ".4.tmp", false},
      {settings, "QUILPRO.INI." + dead + ".4.tmp", false},
      {settings, ".QUILPRO.INI.bak." + dead + ".4.tmp", false},
  };
  for (const Row& row : rows)
    std::ofstream(row.folder + row.name) << "left";
  // A link and a folder named as the program's files are none of them.
  const std::string mine = elsewhere.write("LNT6.tmp", "mine");
  std::filesystem::create_symlink(mine, run + "LNT4.tmp");
  std::filesystem::create_directory(run + "LNT5.tmp");
  // A gone run's folder that is a link leads to files that are not its own.
  const std::string linked = temp.file(RunFolderPrefix + std::to_string(testsupport::DeadPid()));
  std::filesystem::create_directory_symlink(elsewhere.path(), linked);

  StartRunFiles();
  for (const Row& row : rows)
    EXPECT_NE(std::filesystem::exists(row.folder + row.name), row.removed) << row.name;
  EXPECT_TRUE(std::filesystem::is_symlink(run + "LNT4.tmp"));
  EXPECT_TRUE(std::filesystem::is_directory(run + "LNT5.tmp"));
  EXPECT_EQ(testsupport::readFile(mine), "mine");
  EXPECT_TRUE(std::filesystem::is_symlink(linked));
  EndRunFiles();
  InitSharedState();
}

TEST(RunFiles, AStartTakesOverALeftoverFolderOfItsOwnProcessId)
{
  // A run that had this process id before left its folder: its program files
  // go, the folder becomes this run's, and what is not the program's stays.
  ScratchFolder temp, config;
  ScopedEnv tmpdir("TMPDIR", temp.path());
  ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
  InitSharedState();
  const std::string own = temp.file(RunFolderPrefix + std::to_string(::getpid()) + "/");
  std::filesystem::create_directory(own);
  temp.write(RunFolderPrefix + std::to_string(::getpid()) + "/LNT1A.tmp", "copy");
  temp.write(RunFolderPrefix + std::to_string(::getpid()) + "/IST3.tmp", "body");
  temp.write(RunFolderPrefix + std::to_string(::getpid()) + "/notes.txt", "mine");

  StartRunFiles();
  EXPECT_EQ(TempFolder, own);
  EXPECT_FALSE(std::filesystem::exists(own + "LNT1A.tmp"));
  EXPECT_FALSE(std::filesystem::exists(own + "IST3.tmp"));
  EXPECT_EQ(testsupport::readFile(own + "notes.txt"), "mine");
  EndRunFiles();
  EXPECT_EQ(testsupport::readFile(own + "notes.txt"), "mine");
  EXPECT_EQ(TempFolder, temp.path());
  InitSharedState();
}
