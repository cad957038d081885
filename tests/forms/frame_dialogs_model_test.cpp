#include "forms/frame_dialogs_model.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "support/fake_bridge.h"

#include <gtest/gtest.h>

using Items = std::vector<std::string>;

namespace {

class FrameDialogsModelTest : public ::testing::Test {
protected:
  void SetUp() override { InitProgramState(); URLHistory = {"http://old/", "ftp://older/"}; }
  void TearDown() override { URLHistory.clear(); }
  testsupport::FakeDialogs dialogs;
};

bool StartsWithScheme(std::string_view url)
{
  return url.rfind("http://", 0) == 0 || url.rfind("ftp://", 0) == 0;
}

}  // namespace

TEST_F(FrameDialogsModelTest, OpenURLOkRule)
{
  struct Case {
    std::string typed;
    bool ends;
    std::string message;
    Items history;  // after the dialog is gone
  };
  const Case cases[] = {
      {"  http://new/a b  ", true, "", {"http://new/a b", "http://old/", "ftp://older/"}},
      {" ftp://older/ ", true, "", {"ftp://older/", "http://old/"}},  // swaps with the first
      {"   ", false, "\"URL\" field can not be empty.", {"http://old/", "ftp://older/"}},
      {" www.x ", false, "\"www.x\" is incomplete or bad URL.", {"http://old/", "ftp://older/"}},
  };
  for (const Case& c : cases) {
    URLHistory = {"http://old/", "ftp://older/"};
    dialogs.Messages.clear();
    {
      TOpenURLModel model(StartsWithScheme);
      EXPECT_EQ(model.Text, "http://old/");
      model.Text = c.typed;
      EXPECT_EQ(model.Ok(), c.ends) << c.typed;
      EXPECT_EQ(model.Result(), c.ends ? TrimBlanks(c.typed) : "");
      EXPECT_EQ(dialogs.Texts(), c.message.empty() ? Items{} : Items{c.message});
    }
    EXPECT_EQ(URLHistory, c.history) << c.typed;
  }
}

TEST_F(FrameDialogsModelTest, WorkspaceOptionBoxes)
{
  using O = TWkSpaceOptions;
  const O stored{false, false, true, true};
  EXPECT_EQ(TWkSpaceOptionsModel::InitialBoxes(true, true, stored), (O{true, true, false, true}));
  EXPECT_EQ(TWkSpaceOptionsModel::InitialBoxes(true, false, stored), (O{true, true, false, false}));
  EXPECT_EQ(TWkSpaceOptionsModel::InitialBoxes(false, true, stored), stored);
  EXPECT_EQ(TWkSpaceOptionsModel::InitialBoxes(false, false, stored), (O{false, false, true, false}));

  KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = true;  // no frequency list here
  TWkSpaceOptionsModel model(false);
  EXPECT_FALSE(model.Boxes.Freq);
  model.Boxes.URLs = false;
  model.Ok();
  EXPECT_EQ((O{KeepLinePages, KeepWatchedTags, KeepURLs, KeepFreq}), (O{true, true, false, false}));
}

TEST_F(FrameDialogsModelTest, LanguageSelectionAndOk)
{
  SetTextLanguage(0x409);
  BuildCharTables();
  TLangConfigModel model;
  ASSERT_FALSE(model.Names().empty());
  for (size_t i = 1; i < model.Names().size(); ++i)
    EXPECT_LE(LocaleCompare(model.Names()[i - 1], model.Names()[i], true), 0);
  ASSERT_GE(model.Selected, 0);
  EXPECT_EQ(model.Names()[model.Selected], LanguageNameById(0x409));

  // The same language: the font is applied, nothing else changes.
  model.Font.Name = "Serif Test";
  EXPECT_FALSE(model.Ok());
  EXPECT_EQ(SystemFont.Name, "Serif Test");
  EXPECT_EQ(LanguageId, 0x409);

  // Another language with another code page: the tables follow.
  const auto russian = std::find(model.Names().begin(), model.Names().end(), LanguageNameById(0x419));
  ASSERT_NE(russian, model.Names().end());
  const uint8_t before = CharTypeTable[0xD7];
  model.Selected = static_cast<int32_t>(russian - model.Names().begin());
  model.Font.Size = 14;
  EXPECT_TRUE(model.Ok());
  EXPECT_EQ(SystemFont.Size, 14);
  EXPECT_EQ(LanguageId, 0x419);
  EXPECT_EQ(AnsiCodePage, 1251);
  EXPECT_NE(CharTypeTable[0xD7], before);  // a Cyrillic letter, not a sign

  // A current language without an entry selects the first.
  LanguageId = 0x7FFF;
  EXPECT_EQ(TLangConfigModel().Selected, 0);
}
