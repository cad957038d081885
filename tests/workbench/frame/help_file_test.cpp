#include "workbench/frame/menu_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

TEST(HelpFileTest, NamesEveryCommandAndItsLinksResolve)
{
  std::ifstream in(QUILL_HELP_HTML);
  ASSERT_TRUE(in) << QUILL_HELP_HTML;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string html = buffer.str();
  // Line breaks inside a paragraph read as blanks.
  std::string text = std::regex_replace(html, std::regex("\\s+"), " ");

  for (const TMenuEntry& entry : FrameMenuTable()) {
    if (entry.Kind != TMenuEntryKind::Item)
      continue;
    std::string caption = std::regex_replace(std::string(entry.Caption), std::regex("&|\\s*\\.\\.\\.$"), "");
    EXPECT_NE(text.find(caption), std::string::npos) << caption;
  }

  std::set<std::string> ids;
  const std::regex id("id=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), id); it != std::sregex_iterator(); ++it)
    ids.insert((*it)[1]);
  const std::regex href("href=\"([^\"]*)\"");
  int links = 0;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), href); it != std::sregex_iterator(); ++it, ++links) {
    const std::string target = (*it)[1];
    ASSERT_EQ(target.rfind('#', 0), 0u) << "not an anchor of the guide: " << target;
    EXPECT_TRUE(ids.count(target.substr(1))) << target;
  }
  EXPECT_GT(links, 10);
  EXPECT_EQ(html.find("<script"), std::string::npos);
}
