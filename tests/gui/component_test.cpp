// The component model: ownership and the loading state.
#include "gui/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Notes its destruction and its Loaded call in a shared journal.
class Recorded : public TComponent {
 public:
  Recorded(TComponent* owner, std::string name, std::vector<std::string>& journal)
      : TComponent(owner), journal_(journal) {
    Name = std::move(name);
  }
  ~Recorded() override { journal_.push_back("free " + Name); }

 protected:
  void Loaded() override { journal_.push_back("loaded " + Name + (Loading() ? " early" : "")); }

 private:
  std::vector<std::string>& journal_;
};

TEST(Component, AnOwnerFreesWhatItOwnsNewestFirst) {
  std::vector<std::string> journal;
  {
    Recorded form(nullptr, "form", journal);
    new Recorded(&form, "first", journal);
    auto* second = new Recorded(&form, "second", journal);
    new Recorded(second, "inner", journal);
    EXPECT_EQ(form.Components().size(), 2u);
    EXPECT_EQ(second->Owner(), &form);
  }
  EXPECT_EQ(journal,
            (std::vector<std::string>{"free form", "free second", "free inner", "free first"}));
}

TEST(Component, AComponentFreedFirstLeavesItsOwner) {
  std::vector<std::string> journal;
  Recorded form(nullptr, "form", journal);
  auto* part = new Recorded(&form, "part", journal);
  delete part;
  EXPECT_TRUE(form.Components().empty());
  EXPECT_EQ(journal, (std::vector<std::string>{"free part"}));
}

TEST(Component, LoadingCoversTheOwnedAndLoadedRunsAfterItEnds) {
  std::vector<std::string> journal;
  Recorded form(nullptr, "form", journal);
  auto* part = new Recorded(&form, "part", journal);
  form.BeginLoading();
  EXPECT_TRUE(form.Loading());
  EXPECT_TRUE(part->Loading());
  EXPECT_TRUE(journal.empty());
  form.EndLoading();
  EXPECT_FALSE(part->Loading());
  EXPECT_EQ(journal, (std::vector<std::string>{"loaded part", "loaded form"}));
}

}  // namespace
