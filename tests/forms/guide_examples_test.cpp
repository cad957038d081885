// Every search example of the user guide runs: the search dialog accepts it
// and the search finds it in a small corpus made from the example's text.
//
// An example is marked in the guide as
//   <code class="example" data-mode="text|regex|tag" data-text="corpus text" ...>pattern</code>
// with optional flags: data-case="sensitive" (Ignore case off), data-skip="1"
// (skipping and equal characters on), data-sentence="1" (sentence mode), data-equal="s=z" (the equal
// characters), data-meta="name=TAG,TAG" (a meta tag), data-heading="four
// markers separated by blanks" with data-hpattern (a heading restriction),
// data-left and data-right (a context restriction). Tag examples use tags
// embedded in the words after "_". An example marked class="example no-hit"
// shows what a pattern does not find: it is accepted and finds nothing.
#include "forms/search_dialog_model.h"

#include "foundation/chartables.h"
#include "foundation/utils.h"
#include "search/search_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TGuideExample {
  std::string Pattern;
  bool NoHit = false;
  std::map<std::string, std::string> Data;  // the data-* attributes
};

std::string Unescape(const std::string& html)
{
  std::string out;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html[i] != '&') {
      out += html[i];
      continue;
    }
    const size_t end = html.find(';', i);
    const std::string entity = html.substr(i + 1, end - i - 1);
    static const std::map<std::string, char> named = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}};
    if (named.count(entity))
      out += named.at(entity);
    else if (!entity.empty() && entity[0] == '#')
      out += char(std::stoi(entity.substr(1)));
    else
      ADD_FAILURE() << "unknown entity &" << entity << ";";
    i = end;
  }
  return out;
}

std::vector<TGuideExample> GuideExamples()
{
  std::ifstream in(QUILL_HELP_HTML);
  EXPECT_TRUE(in) << QUILL_HELP_HTML;
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string html = buffer.str();

  std::vector<TGuideExample> out;
  const std::regex code(R"re(<code class="example( no-hit)?"([^>]*)>([^<]*)</code>)re");
  const std::regex attribute(R"re(data-([a-z]+)="([^"]*)")re");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), code); it != std::sregex_iterator(); ++it) {
    TGuideExample example{Unescape((*it)[3]), (*it)[1].matched, {}};
    const std::string attributes = (*it)[2];
    for (auto a = std::sregex_iterator(attributes.begin(), attributes.end(), attribute); a != std::sregex_iterator();
         ++a)
      example.Data[(*a)[1]] = Unescape((*a)[2]);
    out.push_back(example);
  }
  return out;
}

// The headings/contexts form as the example fills it.
class ExampleRestrictions : public THdCtxRestrictions {
public:
  bool HeadingChecked() const override { return !Markers.empty(); }
  bool ContextChecked() const override { return Context; }
  std::string HeadingName() const override { return "example"; }
  TPatternBox& HeadingPattern() override { return Heading; }
  TPatternBox& LeftPattern() override { return Left; }
  TPatternBox& RightPattern() override { return Right; }
  bool GetHeading(const std::string&, std::string& headStart, std::string& headStop, std::string& textStart,
                  std::string& textStop) override
  {
    if (Markers.size() != 4)
      return false;
    headStart = Markers[0], headStop = Markers[1], textStart = Markers[2], textStop = Markers[3];
    return true;
  }
  bool IsActiveForm() const override { return true; }
  void SetActiveControl(const std::string&) override {}
  void ShowModal() override {}

  std::vector<std::string> Markers;
  bool Context = false;
  TPatternBox Heading, Left, Right;
};

class NoSubDialogs : public TSearchDialogServices {
public:
  bool ChoosePatternsFile(std::string&) override { return false; }
  THdCtxRestrictions* Restrictions() override { return &Form; }
  ExampleRestrictions Form;
};

// The dialog as the user fills it: the syntax, the switches, the pattern, OK.
class FilledDialog : public TSearchDialogView {
public:
  int ShowModal() override
  {
    Fill(*Model);
    return Model->OKBtnClick().Close ? mrOk : mrCancel;
  }
  TSearchTemplateModel* Model = nullptr;
  std::function<void(TSearchTemplateModel&)> Fill;
};

class GuideExamplesTest : public testsupport::SearchFixture {
protected:
  // Applies the example's settings, loads its text and runs it through the
  // advanced search dialog; false when the dialog refused it.
  bool Prepare(const TGuideExample& example, TSearchRec& request)
  {
    const auto& d = example.Data;
    const std::string mode = d.count("mode") ? d.at("mode") : "";
    ConcordSettings.WordTag = mode == "tag" ? 1 : 0;
    if (d.count("meta")) {
      const std::string meta = d.at("meta");
      const size_t equals = meta.find('=');
      TMetaTag tag{meta.substr(0, equals), {}};
      std::stringstream members(meta.substr(equals + 1));
      for (std::string member; std::getline(members, member, ',');)
        tag.Tags.push_back(member);
      ConcordSettings.MetaTags = {tag};
    }
    if (d.count("equal")) {
      ConcordSettings.EqualChars = d.at("equal");
      EXPECT_TRUE(ParseEqualChars());
    }
    BuildCharTables();
    Load({{"example.txt", d.count("text") ? d.at("text") + "\r\n" : ""}});

    NoSubDialogs services;
    if (d.count("heading")) {
      std::stringstream markers(d.at("heading"));
      for (std::string marker; markers >> marker;)
        services.Form.Markers.push_back(marker);
      services.Form.Heading.Text = d.count("hpattern") ? d.at("hpattern") : "";
    }
    services.Form.Context = d.count("left") > 0;
    services.Form.Left.Text = d.count("left") ? d.at("left") : "";
    services.Form.Right.Text = d.count("right") ? d.at("right") : "";
    FilledDialog view;
    TSearchTemplateModel model(services, &view);
    view.Model = &model;
    view.Fill = [&](TSearchTemplateModel& m) {
      m.SyntaxRadioClick(mode == "regex" ? TSearchMode::Regex : mode == "tag" ? TSearchMode::Tag : TSearchMode::Text);
      m.IgnoreCaseCheckBoxClick(!d.count("case"));
      m.PaddingCheckClick(d.count("skip") > 0);
      m.SentCheckClick(d.count("sentence") > 0);
      m.SearchString.Text = example.Pattern;
      m.HdCtxCheckClick(d.count("heading") || d.count("left"));
    };
    return ExecuteSearchDialog(request, true);
  }
};

TEST_F(GuideExamplesTest, EveryExampleIsAcceptedAndFindsWhatTheGuideSays)
{
  const std::vector<TGuideExample> examples = GuideExamples();
  ASSERT_GE(examples.size(), 30u);
  for (const TGuideExample& example : examples) {
    SCOPED_TRACE(example.Data.count("mode") ? example.Data.at("mode") + ": " + example.Pattern : example.Pattern);
    ASSERT_TRUE(example.Data.count("mode") && example.Data.count("text")) << "an example needs data-mode and data-text";
    TSearchRec request;
    const bool accepted = Prepare(example, request);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(errors(), std::vector<std::string>{});
    if (accepted && example.NoHit)
      EXPECT_EQ(Run(request).size(), 0u) << "finds what the guide says it does not";
    else if (accepted)
      EXPECT_GE(Run(request).size(), 1u);
    UnloadCorpus(frame);
    dialogs.Messages.clear();
    corpusgen::useDefaultSearchSettings();
  }
}

}  // namespace
