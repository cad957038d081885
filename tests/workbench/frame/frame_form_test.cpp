#include "workbench/frame/frame_test_support.h"

#include "foundation/chartables.h"
#include "workbench/frame/menu_table.h"

#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QEventLoop>
#include <QTimer>

using frametest::FrameTest;
using frametest::MenuBarNames;

namespace {

// Runs a real event loop, which waits for events, for a while.
void RunEventLoop(int ms)
{
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

TEST_F(FrameTest, StartsWithoutArgumentsShowingTheFrameAndItsStatusBar)
{
  TFrameForm& frame = Start();
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Quillmar Pro"));
  EXPECT_TRUE(frame.isVisible());
  EXPECT_FALSE(FirstActivation);
  EXPECT_EQ(FrameForm, &frame);

  for (const char* name : {"HintBar", "HintWindow", "URLStatusPanel", "CorpusInfoWindow", "FrameMenu", "IdleTimer"})
    EXPECT_NE(frame.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_FALSE(frame.URLStatusPanel->isVisible());
  // The start-up corpus load has given the panel its text and width.
  EXPECT_EQ(frame.CorpusInfoWindow->text(), QStringLiteral("0 bytes, 0 files"));
  EXPECT_EQ(frame.IdleTimer->interval(), 1000);
  EXPECT_TRUE(frame.IdleTimer->isActive());

  EXPECT_EQ(frame.HintWindow->text(), QStringLiteral(" No files loaded"));
  EXPECT_TRUE(frame.ConfirmOnExit);
  EXPECT_TRUE(frame.WorkspaceName.empty());
  EXPECT_NE(EmergencyReserve, nullptr);
}

TEST_F(FrameTest, EveryMenuEntryCarriesItsCaptionShortcutAndHint)
{
  TFrameForm& frame = Start();
  for (const TMenuEntry& entry : FrameMenuTable()) {
    const QString name = QString::fromLatin1(entry.Name);
    QAction* action = frame.Item(name);
    ASSERT_NE(action, nullptr) << entry.Name;
    EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(entry.Shortcut))) << entry.Name;
    EXPECT_EQ(action->statusTip(), QString::fromLatin1(entry.Hint)) << entry.Name;
    if (entry.Parent[0]) {
      QMenu* parent = frame.Menu(QString::fromLatin1(entry.Parent));
      ASSERT_NE(parent, nullptr);
      EXPECT_TRUE(parent->actions().contains(action)) << entry.Name << " in " << entry.Parent;
    }
  }
  EXPECT_TRUE(frame.Item(QStringLiteral("FMC_SaveOnExit"))->isCheckable());
  EXPECT_TRUE(frame.Item(QStringLiteral("ScanFrequencyonLoadItem"))->isCheckable());
}

TEST_F(FrameTest, WithoutCorpusOnlyFileAndInfoShowAndOnlyRegisteredCommandsAreEnabled)
{
  TFrameForm& frame = Start();
  EXPECT_EQ(MenuBarNames(frame.menuBar()), "FM_File FM_Info");
  EXPECT_FALSE(Item("FMQ_Frequency")->isEnabled());
  EXPECT_FALSE(Item("FMQ_AdvColloc")->isEnabled());
  EXPECT_TRUE(Item("FMF_Exit")->isEnabled());

  bool opened = false;
  frame.RegisterCommand(QStringLiteral("FMF_Open"), [&] { opened = true; });
  frame.RegisterCommand(QStringLiteral("FMF_View"), [] {});
  frame.RegisterCommand(QStringLiteral("FMF_SaveWorkspace"), [] {});
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMF_Open")->isEnabled());
  EXPECT_FALSE(Item("FMF_View")->isEnabled());           // no corpus
  EXPECT_FALSE(Item("FMF_SaveWorkspace")->isEnabled());  // no workspace
  Item("FMF_Open")->trigger();
  EXPECT_TRUE(opened);

  {
    BusyScope busy(BusyLoading);
    frame.UpdateMenuState();
    EXPECT_FALSE(Item("FMF_Open")->isEnabled());
    EXPECT_FALSE(Item("FMF_Exit")->isEnabled());
  }
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMF_Open")->isEnabled());
  EXPECT_THROW(frame.RegisterCommand(QStringLiteral("NoSuchItem"), [] {}), std::logic_error);
}

TEST_F(FrameTest, SaveOnExitTickAndSaveWorkspaceFollowTheOpenWorkspace)
{
  TFrameForm& frame = Start();
  frame.RegisterCommand(QStringLiteral("FMC_SaveOnExit"), [] {});
  frame.RegisterCommand(QStringLiteral("FMF_SaveWorkspace"), [] {});
  Item("FMC_SaveOnExit")->setChecked(true);
  frame.UpdateMenuState();
  EXPECT_FALSE(Item("FMC_SaveOnExit")->isEnabled());
  EXPECT_FALSE(Item("FMC_SaveOnExit")->isChecked());

  frame.WorkspaceName = folder_.file("work.QWS");
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMC_SaveOnExit")->isEnabled());
  EXPECT_TRUE(Item("FMF_SaveWorkspace")->isEnabled());
  {
    BusyScope busy(BusySaving);
    frame.UpdateMenuState();
    EXPECT_FALSE(Item("FMF_SaveWorkspace")->isEnabled());
    EXPECT_TRUE(Item("FMC_SaveOnExit")->isEnabled());
  }
}

TEST_F(FrameTest, StatusTextsAndHintsShowInTheHintPanel)
{
  TFrameForm& frame = Start();
  frame.StatusTextMessage("Collecting tag information...");
  EXPECT_EQ(frame.HintWindow->text(), QStringLiteral(" Collecting tag information..."));

  const std::string longText(254, 'a');
  frame.StatusTextMessage(longText + "bcdef");
  EXPECT_EQ(frame.HintText(), QString::fromStdString(longText + "b"));

  frame.StatusTextMessage("");
  EXPECT_EQ(frame.HintText(), QStringLiteral("No files loaded"));

  // The hint of a hovered menu item, then the mouse leaves it.
  QStatusTipEvent hover(QStringLiteral("Quit Quillmar Pro"));
  QApplication::sendEvent(frame.menuBar(), &hover);
  EXPECT_EQ(frame.HintWindow->text(), QStringLiteral(" Quit Quillmar Pro"));
  QStatusTipEvent leave(QString{});
  QApplication::sendEvent(frame.menuBar(), &leave);
  EXPECT_EQ(frame.HintWindow->text(), QStringLiteral(" No files loaded"));

  frame.SetCorpusInfo("1.50 kbytes, 2 files");
  EXPECT_EQ(frame.CorpusInfoWindow->text(), QStringLiteral("1.50 kbytes, 2 files"));
  EXPECT_EQ(frame.CorpusInfoWindow->width(),
            frame.CorpusInfoWindow->fontMetrics().horizontalAdvance(QStringLiteral("1.50 kbytes, 2 files")) + 8);
}

TEST_F(FrameTest, StatusTextIsCutWithoutSplittingADoubleByteCharacter)
{
  TFrameForm& frame = Start();
  SetTextLanguage(0x411);  // Japanese, code page 932
  // 254 single bytes, then one double-byte character that would end at 256.
  const std::string text = std::string(254, 'a') + "\x82\xa0" + "zz";
  frame.StatusTextMessage(text);
  EXPECT_EQ(frame.HintText(), QString(254, QLatin1Char('a')));
}

TEST_F(FrameTest, EscapeIsRecordedOnlyForKeysOfTheFrame)
{
  TFrameForm& frame = Start();
  QWidget other;
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_FALSE(EscapePressed);
  QTest::keyClick(frame.ClientArea, Qt::Key_Escape);
  EXPECT_TRUE(EscapePressed);
}

TEST_F(FrameTest, FilterStringsBecomeQtNameFilters)
{
  TFrameForm& frame = Start();
  EXPECT_EQ(QtNameFilters(frame.OpenDialog.Filter),
            (std::vector<std::string>{"Quillmar Pro Workspace (*.QWS *.qws)", "All Files (*)"}));
  EXPECT_EQ(QtNameFilters("Text files (*.txt)|*.txt;*.TXT|All files (*.*)|*.*"),
            (std::vector<std::string>{"Text files (*.txt *.TXT *.txt)", "All files (*)"}));
}

TEST_F(FrameTest, SaveDialogsGiveANameWithoutExtensionTheirExtension)
{
  const std::string existing = folder_.write("README", "kept");
  const char* text = "Text files (*.TXT)|*.TXT|All files (*.*)|*.*";
  const struct {
    TFileDialog::TMode mode;
    const char *defaultExt, *filter;
    int filterIndex;
    std::string chosen, expected;
  } cases[] = {
      {TFileDialog::SaveMode, "", text, 1, "/d/colloc-the", "/d/colloc-the.TXT"},
      {TFileDialog::SaveMode, "", text, 2, "/d/colloc-the", "/d/colloc-the"},
      {TFileDialog::SaveMode, "pdf", "PDF files (*.pdf)|*.pdf", 1, "/d.x/report", "/d.x/report.pdf"},
      {TFileDialog::SaveMode, "txt", "", 1, "/d/list.words", "/d/list.words"},
      {TFileDialog::SaveMode, "txt", "", 1, existing, existing},
      {TFileDialog::OpenMode, "QWS", "", 1, "/d/work", "/d/work"},
  };
  struct Chooser : TFileDialogProvider {
    bool ExecuteFileDialog(TFileDialog& dialog) override
    {
      dialog.FileName = Name;
      dialog.Files = {Name};
      return true;
    }
    bool ExecutePrinterSetup() override { return false; }
    std::string Name;
  } chooser;
  TFileDialogProvider* old = SetFileDialogProvider(&chooser);
  for (const auto& c : cases) {
    TFileDialog dialog("SaveDialog", c.mode);
    dialog.DefaultExt = c.defaultExt;
    dialog.Filter = c.filter;
    dialog.FilterIndex = c.filterIndex;
    chooser.Name = c.chosen;
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, c.expected);
    EXPECT_EQ(dialog.Files, std::vector<std::string>{c.expected});
  }
  SetFileDialogProvider(old);
}

TEST_F(FrameTest, FileDialogsGoThroughTheInstalledProvider)
{
  struct Chooser : TFileDialogProvider {
    bool ExecuteFileDialog(TFileDialog& dialog) override
    {
      Titles.push_back(dialog.Title);
      dialog.Files = {"/tmp/a.txt", "/tmp/b.txt"};
      dialog.FileName = dialog.Files.front();
      return true;
    }
    bool ExecutePrinterSetup() override { return false; }
    std::vector<std::string> Titles;
  } chooser;
  TFileDialogProvider* old = SetFileDialogProvider(&chooser);
  TFrameForm& frame = Start();
  frame.OpenDialog.Title = "Select File(s) to Open";
  EXPECT_TRUE(frame.OpenDialog.Execute());
  EXPECT_EQ(frame.OpenDialog.Files.size(), 2u);
  EXPECT_EQ(chooser.Titles, std::vector<std::string>{"Select File(s) to Open"});
  SetFileDialogProvider(old);
}

TEST_F(FrameTest, IdleUpdatesChangeNothingOnceTheMenusAreCurrent)
{
  TFrameForm& frame = Start();
  frame.RegisterCommand(QStringLiteral("FMF_Open"), [] {});
  BusyLoading = true;
  frame.UpdateMenuState();
  EXPECT_FALSE(Item("FMF_Open")->isEnabled());
  BusyLoading = false;
  // The event loop waits, the menus catch up.
  RunEventLoop(30);
  EXPECT_TRUE(Item("FMF_Open")->isEnabled());

  int changes = 0;
  std::vector<QMetaObject::Connection> connections;
  for (QAction* action : frame.findChildren<QAction*>())
    connections.push_back(QObject::connect(action, &QAction::changed, [&] { ++changes; }));
  RunEventLoop(50);
  EXPECT_EQ(changes, 0);
  for (const auto& c : connections)
    QObject::disconnect(c);
}
