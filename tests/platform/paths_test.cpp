#include "platform/paths.h"

#include "platform/file_ops.h"

#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

using testsupport::ScopedEnv;

std::string makeScratchDir()
{
  char templ[] = "/tmp/quillpathsXXXXXX";
  return ::mkdtemp(templ);
}

}  // namespace

TEST(PathsTest, FoldersEndWithSlashAndFollowTheEnvironment)
{
  const std::string scratch = makeScratchDir();
  {
    ScopedEnv tmp("TMPDIR", scratch);
    EXPECT_EQ(platform::tempFolder(), scratch + "/");
  }
  {
    // Every missing folder is made through the file primitives.
    ScopedEnv config("XDG_CONFIG_HOME", scratch + "/cfg/deep");
    int folders = 0;
    platform::setFileFaultPlan([&](platform::FileOp op, int) {
      folders += op == platform::FileOp::Mkdir;
      return platform::FaultNone;
    });
    const std::string dir = platform::windowsFolder();
    platform::setFileFaultPlan({});
    EXPECT_EQ(folders, 3);
    EXPECT_EQ(dir, scratch + "/cfg/deep/quillmar/");
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  std::filesystem::remove_all(scratch);
}

TEST(PathsTest, ProgramFolderIsTheExecutablesUnlessSet)
{
  const std::string dir = platform::programFolder();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(dir + "core_tests"));
  platform::setProgramFolder("/some/where");
  EXPECT_EQ(platform::programFolder(), "/some/where/");
  platform::setProgramFolder("");
  EXPECT_EQ(platform::programFolder(), dir);
}
