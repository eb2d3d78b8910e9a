// Expressions evaluate on a table's records through the engine's record view.
#include <gtest/gtest.h>

#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr_binding.h"
#include "platform/xbe/table.h"
#include "testsupport.h"

namespace {

TEST(ExprBinding, ConditionsReadTheCurrentRecord) {
  REQUIRE_FIXTURES();
  testsupport::TempDir tmp;
  testsupport::CopyFixture("ntx", tmp.path() / "d");
  xbe::OpenRequest request;
  request.name = (tmp.path() / "d" / "people").string();
  auto table = xbe::Table::Open(request);
  xbe::RecordBinding binding(table->Fields(), "people");
  const auto condition = xbe::expr::Expression::Compile("CODIGO = 248 .AND. ATIVO = .F. .AND. ! Deleted()", binding);
  const auto memo = xbe::expr::Expression::Compile("'Linha 1' $ people->OBS", binding);
  xbe::expr::EvalSettings settings;
  ASSERT_TRUE(table->GotoRecord(1));
  binding.Bind(table->CurrentView());
  EXPECT_TRUE(condition.EvaluateLogical(binding, settings));
  EXPECT_TRUE(memo.EvaluateLogical(binding, settings));
  ASSERT_TRUE(table->GotoRecord(2));
  binding.Bind(table->CurrentView());
  EXPECT_FALSE(condition.EvaluateLogical(binding, settings));
  EXPECT_FALSE(memo.EvaluateLogical(binding, settings));
}

}  // namespace
