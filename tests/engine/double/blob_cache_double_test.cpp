// Loading a blob cache when the engine answers a failure: which answers leave an empty cache and
// which are raised.
#include <gtest/gtest.h>

#include "engine/xbeblob.h"
#include "engine/xbedata.h"
#include "fake_xbe.h"

namespace fake {
extern std::uint32_t memoLength;
}

namespace {

struct LoadCase {
  const char* function;
  XBERESULT answer;
  bool raised;
};

TEST(BlobCacheLoad, TolerablesLeaveItEmptyOthersAreRaised) {
  for (const LoadCase& c : {LoadCase{"XbeGetMemoLength", 5068, false}, LoadCase{"XbeGetField", 5068, false},
                            LoadCase{"XbeGetField", 5022, false}, LoadCase{"XbeGotoRecord", 5022, false},
                            LoadCase{"XbeGetField", 6006, true}}) {
    SCOPED_TRACE(std::string(c.function) + " " + std::to_string(c.answer));
    fake::Reset();
    fake::E().fields = {{5, 10, 0, "OBS"}};
    fake::memoLength = 300;
    fake::E().failures[c.function] = c.answer;
    TXbeBlobCache cache;
    bool raised = false;
    try {
      cache.Load(100, 1, false, 7);
    } catch (const EXBEDatabaseError& e) {
      raised = true;
      EXPECT_EQ(e.EngineCode, static_cast<std::int32_t>(c.answer));
      EXPECT_EQ(e.DataSetName, "");
    }
    EXPECT_EQ(raised, c.raised);
    // Nothing half-read passes for the record's memo, and the next load asks the engine again.
    EXPECT_EQ(cache.Size(), 0);
    EXPECT_EQ(cache.Record(), 0u);
    EXPECT_FALSE(cache.IsModified());
  }
  fake::memoLength = 0;
}

}  // namespace
