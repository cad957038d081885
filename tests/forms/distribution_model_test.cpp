#include "forms/distribution_model.h"

#include "search/concord_items.h"

#include <gtest/gtest.h>

namespace {

// Items of 20 one-byte lines each (line i ends at byte i).
class LinesCorpus : public TDistribCorpus {
public:
  explicit LinesCorpus(int32_t count) : count_(count) {}
  int32_t Count() const override { return count_; }
  int64_t Size(int32_t) const override { return 20; }
  int64_t LineCount(int32_t) const override { return 20; }
  int64_t LineEnd(int32_t, int64_t row) const override { return row; }
  std::string Name(int32_t item) const override { return "t" + std::to_string(item) + ".txt"; }

private:
  int32_t count_;
};

TEST(DistributionModelTest, NoHitsGiveEmptyBarsAndPlainMarks)
{
  const LinesCorpus corpus(1);
  TDistributionModel model(corpus);
  model.Open();
  EXPECT_EQ(model.Scope, TDistributionModel::ScopeCorpus);
  TConcordItems none;
  model.Recompute(none);
  const std::vector<TDistribBar> bars = model.Bars();
  ASSERT_EQ(bars.size(), 20u);
  EXPECT_EQ(bars[0].Label, "0 - 5");
  EXPECT_EQ(bars[19].Label, "95 - 100");
  EXPECT_EQ(model.MarkText(3), "0 (0%)");
  model.Percents = false;
  EXPECT_EQ(model.Bars()[0].Label, "1 - 1");
  EXPECT_EQ(model.AxisTitle(), "Lines");
}

}  // namespace
