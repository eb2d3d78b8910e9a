// The result check against the engine's own last error: the text comes whole up to the
// 600 characters the check keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/xbedata.h"

namespace {

TEST(ResultCheck, KeepsUpTo600CharactersOfTheEngineText) {
  for (const std::size_t length : {599u, 600u, 601u, 900u}) {
    SCOPED_TRACE(length);
    const std::string text(length, 'x');
    XbeSetLastError(5000, text.c_str());
    try {
      CheckXbeResult(nullptr, 5000);
      FAIL() << "no error raised";
    } catch (const EXBEDatabaseError& e) {
      EXPECT_EQ(e.EngineCode, 5000);
      EXPECT_EQ(e.Message().size(), std::min<std::size_t>(length, 600));
      EXPECT_TRUE(e.Message() == text.substr(0, 600));
    }
  }
}

}  // namespace
