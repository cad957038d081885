#include "workbench/frame/frame_test_support.h"

#include "foundation/abort.h"
#include "workbench/frame/app_exceptions.h"

#include <QCloseEvent>
#include <QSignalSpy>

#include <filesystem>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

using frametest::FrameTest;

namespace {

bool Deliver(const std::function<void()>& handler)
{
  return NotifyGuarded([&] {
    handler();
    return true;
  });
}

}  // namespace

TEST_F(FrameTest, ExceptionsReachingTheApplicationAreReportedByKind)
{
  TFrameForm& frame = Start();
  EXPECT_FALSE(Deliver([] { throw std::bad_alloc(); }));
  EXPECT_FALSE(Deliver([] { throw std::out_of_range("index"); }));
  ASSERT_EQ(StopBoxes.size(), 2u);
  EXPECT_EQ(StopBoxes[0], (std::pair<std::string, std::string>{"Error", OutOfMemoryText}));
  EXPECT_EQ(StopBoxes[1], (std::pair<std::string, std::string>{"Error", InternalErrorText}));
  // The reserve is taken again after each report.
  EXPECT_NE(EmergencyReserve, nullptr);

  // Any other failure shows its own message; a stop by the user shows nothing.
  EXPECT_FALSE(Deliver([] { throw std::runtime_error("Unable to open file: x."); }));
  EXPECT_FALSE(Deliver([] { throw EAbort(); }));
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{"Unable to open file: x."});
  EXPECT_EQ(StopBoxes.size(), 2u);

  // Without a reserve nothing at all is shown.
  EmergencyReserve.reset();
  frame.HandleAppException(std::make_exception_ptr(std::bad_alloc()));
  EXPECT_EQ(StopBoxes.size(), 2u);
  EXPECT_EQ(EmergencyReserve, nullptr);

  EXPECT_TRUE(Deliver([] {}));
}

TEST_F(FrameTest, ABusyCommandThatFailsLeavesTheProgramIdle)
{
  TFrameForm& frame = Start();
  frame.ConfirmOnExit = false;
  frame.RegisterCommand(QStringLiteral("FMF_Open"), [] {
    BusyScope busy(BusyLoading);
    throw std::logic_error("broken");
  });
  frame.UpdateMenuState();
  Deliver([&] { Item("FMF_Open")->trigger(); });
  EXPECT_FALSE(IsBusy());
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMF_Open")->isEnabled());
  EXPECT_TRUE(frame.FormCloseQuery());
}

TEST_F(FrameTest, CloseIsRefusedSilentlyWhileBusyAndExitSkipsTheQuestion)
{
  TFrameForm& frame = Start();
  QSignalSpy closed(&frame, &TFrameForm::Closed);
  {
    BusyScope busy(BusySearching);
    frame.FMF_ExitClick();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(closed.count(), 0);
  }
  EXPECT_TRUE(StopBoxes.empty());
  frame.FMF_ExitClick();
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(closed.count(), 1);
}

TEST_F(FrameTest, WorkspaceWithoutSaveOnExitWritesNothing)
{
  TFrameForm& frame = Start();
  int saves = 0;
  frame.SaveWorkspaceHook = [&](const std::string&) {
    ++saves;
    return true;
  };
  frame.WorkspaceName = folder_.file("w.QWS");
  frame.ConfirmOnExit = false;
  EXPECT_TRUE(frame.FormCloseQuery());
  EXPECT_EQ(saves, 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.file("program/QUILPRO.INI")));
}

TEST_F(FrameTest, AQwsArgumentGoesToTheWorkspaceHookOnce)
{
  std::vector<std::string> opened;
  forms_ = StartQuillmar({folder_.file("Study.qws"), folder_.file("b.txt")});
  forms_.Frame->OpenWorkspaceHook = [&](const std::string& name) {
    opened.push_back(name);
    return true;
  };
  QApplication::processEvents();
  forms_.Frame->FormActivate();
  EXPECT_EQ(opened, std::vector<std::string>{folder_.file("Study.qws")});
  EXPECT_FALSE(FirstActivation);
}

TEST_F(FrameTest, AssociationFilesAreWrittenOnceAndNotRewritten)
{
  Start();
  const std::string data = folder_.path() + "data/";
  const std::string mime = data + WorkspaceMimeFile;
  const std::string desktop = data + WorkspaceDesktopFile;
  ASSERT_TRUE(std::filesystem::exists(mime));
  ASSERT_TRUE(std::filesystem::exists(desktop));
  EXPECT_NE(testsupport::readFile(mime).find("<glob pattern=\"*.qws\"/>"), std::string::npos);
  EXPECT_NE(testsupport::readFile(mime).find("<comment>Quillmar Pro Workspace</comment>"), std::string::npos);
  EXPECT_NE(testsupport::readFile(desktop).find("Exec=\"" + QCoreApplication::applicationFilePath().toStdString() +
                                                "\" %f\n"),
            std::string::npos);
  EXPECT_NE(testsupport::readFile(desktop).find("\nIcon=quillmar-pro\n"), std::string::npos);
  EXPECT_NE(testsupport::readFile(desktop).find("\nCategories=Education;"), std::string::npos);
  EXPECT_EQ(testsupport::readFile(data + WorkspaceIconFile), WorkspaceIconText());
  EXPECT_EQ(ToolRuns, (std::vector<std::string>{"update-mime-database " + data + "mime",
                                                "update-desktop-database " + data + "applications",
                                                "gtk-update-icon-cache -f"}));

  struct stat before {};
  ASSERT_EQ(::stat(mime.c_str(), &before), 0);
  forms_.Frame.reset();
  ToolRuns.clear();
  Start();
  struct stat after {};
  ASSERT_EQ(::stat(mime.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_TRUE(ToolRuns.empty());
}

TEST(FileAssociationTest, AWorkingEntryOfAnotherBuildIsKeptAStaleOneReplaced)
{
  testsupport::ScratchFolder folder;
  const std::string entry = folder.file(WorkspaceDesktopFile);
  const auto none = [](const std::string&, const std::vector<std::string>&) {};
  struct Case {
    const char* what;
    std::string program;  // what the present entry starts
    bool replaced;
  };
  std::filesystem::create_directories(folder.file("applications"));
  std::filesystem::create_directories(folder.file("other build"));
  const std::string other = folder.write("other build/quillmar", "#!/bin/sh\n");
  ::chmod(other.c_str(), 0755);
  for (const Case& c : {Case{"other build", other, false}, Case{"on the PATH", "sh", false},
                        Case{"deleted build", folder.file("gone/quillmar"), true}}) {
    std::filesystem::remove(entry);
    folder.write(WorkspaceDesktopFile, WorkspaceDesktopText(c.program));
    EXPECT_EQ(ExecProgramOf(testsupport::readFile(entry)), c.program) << c.what;
    WriteWorkspaceAssociation(folder.path(), "/this/build/quillmar", none);
    EXPECT_EQ(ExecProgramOf(testsupport::readFile(entry)), c.replaced ? "/this/build/quillmar" : c.program)
        << c.what;
  }
}

TEST(FileAssociationTest, ExecQuotesTheProgramPath)
{
  const std::string path = "/opt/my apps/quill$\"x\"%";
  EXPECT_NE(WorkspaceDesktopText(path).find("Exec=\"/opt/my apps/quill\\\\$\\\\\"x\\\\\"%%\" %f\n"),
            std::string::npos);
  EXPECT_EQ(ExecProgramOf(WorkspaceDesktopText(path)), path);
}

TEST(FileAssociationTest, FailuresAreSilent)
{
  testsupport::ScratchFolder folder;
  // A file where the folder should be.
  folder.write("mime", "x");
  int runs = 0;
  const int written = WriteWorkspaceAssociation(folder.path(), "/bin/q", [&](const std::string&,
                                                                             const std::vector<std::string>&) {
    ++runs;
  });
  EXPECT_EQ(written, 2);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(WriteWorkspaceAssociation("", "/bin/q"), 0);
}
