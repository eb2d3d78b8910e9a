#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "platform/xbe/expr/dates.h"
#include "platform/xbe/expr/expression.h"
#include "tests/platform/xbe/expr/test_record.h"

namespace xbe::expr {
namespace {

using testing::TestRecord;

TestRecord Sample() {
  TestRecord r;
  r.Add("NOME", 'C', 10, 0, "Jos\xE9 ab")
      .Add("UF", 'C', 2, 0, "SP")
      .Add("CIDADE", 'C', 8, 0, "SANTOS")
      .Add("CODIGO", 'N', 6, 0, "    42")
      .Add("VALOR", 'N', 8, 2, "-1602.91")
      .Add("ATIVO", 'L', 1, 0, "T")
      .Add("DATA", 'D', 8, 0, "20240229")
      .Add("VAZIA", 'D', 8, 0, "        ")
      .Add("OBS", 'M', 10, 0, "         1");
  return r;
}

// The value as one comparable text: C"...", N<shortest>, D<yyyymmdd>, L<T|F>.
std::string Show(const Value& v) {
  switch (v.type) {
    case Type::kCharacter: return "C\"" + v.text + "\"";
    case Type::kNumeric: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", v.number);
      return std::string("N") + buf;
    }
    case Type::kDate: return "D" + DtosFromJulian(v.julian);
    case Type::kLogical: return v.logical ? "LT" : "LF";
    default: return "?";
  }
}

std::string Eval(const std::string& text, bool exact = false) {
  TestRecord r = Sample();
  EvalSettings s;
  s.exact = exact;
  s.dateFormat = "DD/MM/yyyy";
  s.today = JulianFromYmd(2025, 1, 2);
  return Show(Expression::Compile(text, r).Evaluate(r, s));
}

struct Case {
  const char* expr;
  const char* expected;
};

TEST(ExpressionTest, EvaluatesFunctionsAndOperators) {
  const Case cases[] = {
      // fields, literals, alias prefixes
      {"NOME", "C\"Jos\xE9 ab   \""},
      {"t->UF", "C\"SP\""},
      {"FIELD->uf", "C\"SP\""},
      {"CODIGO", "N42"},
      {"VALOR", "N-1602.91"},
      {"ATIVO", "LT"},
      {"OBS", "C\"memo of OBS\""},
      {".T.", "LT"},
      {".f.", "LF"},
      {".TRUE.", "LT"},
      {"'a' + [b] + \"c\"", "C\"abc\""},
      {".5 + 1", "N1.5"},
      // precedence and associativity
      {"1 + 2 * 3", "N7"},
      {"(1 + 2) * 3", "N9"},
      {"2 ** 3 ^ 2", "N64"},
      {"-2 ** 2", "N4"},
      {"10 - 4 - 3", "N3"},
      {"7 % 3", "N1"},
      {"7 / 2", "N3.5"},
      {"1 < 2 .AND. 2 < 1 .OR. .T.", "LT"},
      {".NOT. .T. .OR. .T.", "LT"},
      {"! ATIVO", "LF"},
      {"(UF = 'SP') AND (CODIGO = 42)", "LT"},
      {"NOT ATIVO OR CODIGO > 1", "LT"},
      // character operators
      {"UF + CIDADE", "C\"SPSANTOS  \""},
      {"CIDADE - UF", "C\"SANTOSSP  \""},
      {"'NT' $ CIDADE", "LT"},
      {"'XX' $ CIDADE", "LF"},
      // dates
      {"DATA + 1", "D20240301"},
      {"DATA - 60", "D20231231"},
      {"DATA - STOD('20240101')", "N59"},
      {"DTOS(DATA)", "C\"20240229\""},
      {"DTOS(VAZIA)", "C\"        \""},
      {"DTOC(DATA)", "C\"29/02/2024\""},
      {"DTOC(VAZIA)", "C\"  /  /    \""},
      {"CTOD('05/11/1999')", "D19991105"},
      {"CTOD('5/11/99')", "D19991105"},
      {"CTOD('31/02/2000')", "D        "},
      {"STOD('')", "D        "},
      {"YEAR(DATA)", "N2024"},
      {"MONTH(DATA)", "N2"},
      {"DAY(DATA)", "N29"},
      {"YEAR(VAZIA)", "N0"},
      {"DATE()", "D20250102"},
      {"EMPTY(VAZIA)", "LT"},
      {"EMPTY(DATA)", "LF"},
      // string functions
      {"Upper( NOME )", "C\"JOS\xE9 AB   \""},  // ASCII letters only, as the index keys were made
      {"LOWER('AbC\xC7')", "C\"abc\xC7\""},
      {"TRIM(NOME) + '|'", "C\"Jos\xE9 ab|\""},
      {"RTRIM('a  ')", "C\"a\""},
      {"LTRIM('  a ')", "C\"a \""},
      {"ALLTRIM('  a b ')", "C\"a b\""},
      {"SUBSTR('abcdef', 2, 3)", "C\"bcd\""},
      {"SUBSTR('abcdef', 4)", "C\"def\""},
      {"SUBSTR('abcdef', -2)", "C\"ef\""},
      {"SUBSTR('abcdef', 9, 2)", "C\"\""},
      {"SUBS('abcdef', 1, 2)", "C\"ab\""},
      {"LEFT('abc', 2)", "C\"ab\""},
      {"LEFT('abc', 9)", "C\"abc\""},
      {"RIGHT('abc', 2)", "C\"bc\""},
      {"SPACE(3) + '|'", "C\"   |\""},
      {"REPLICATE('ab', 3)", "C\"ababab\""},
      {"LEN(NOME)", "N10"},
      {"LEN('')", "N0"},
      {"AT('b', 'abcb')", "N2"},
      {"AT('z', 'abc')", "N0"},
      {"PADL('ab', 4)", "C\"  ab\""},
      {"PADR('ab', 4, '*')", "C\"ab**\""},
      {"PADC('ab', 5)", "C\" ab  \""},
      {"PADL(42, 5, '0')", "C\"00042\""},
      {"PADR('abcdef', 3)", "C\"abc\""},
      {"CHR(34)", "C\"\"\""},
      {"CONTAINS('Linha de Teste', 'test*')", "LT"},
      {"CONTAINS('Linha', 'xyz')", "LF"},
      // numbers
      {"STR(CODIGO)", "C\"    42\""},
      {"Str( CODIGO, 6 )", "C\"    42\""},
      {"STR(VALOR)", "C\"-1602.91\""},
      {"STR(3.14159, 6, 2)", "C\"  3.14\""},
      {"STR(2.675, 5, 2)", "C\" 2.68\""},
      {"STR(-2.5, 3)", "C\" -3\""},
      {"STR(123456, 3)", "C\"***\""},
      {"STRZERO(42, 5)", "C\"00042\""},
      {"STRZERO(-42, 5)", "C\"-0042\""},
      {"VAL('  12.50xyz')", "N12.5"},
      {"VAL('abc')", "N0"},
      {"ABS(VALOR)", "N1602.91"},
      {"INT(-3.7)", "N-3"},
      {"ROUND(2.345, 2)", "N2.35"},
      {"ROUND(-2.5, 0)", "N-3"},
      {"ROUND(1234, -2)", "N1200"},
      {"MIN(3, 2)", "N2"},
      {"MAX(DATA, VAZIA)", "D20240229"},
      {"MIN('b', 'a')", "C\"a\""},
      {"IIF(ATIVO, 'sim', 'nao')", "C\"sim\""},
      {"IIF(.F., 1/0, 2)", "N2"},  // the branch not taken is not evaluated
      {"DELETED()", "LF"},
      {"RECNO()", "N7"},
      {"EMPTY(0)", "LT"},
      {"EMPTY('  ')", "LT"},
      {"EMPTY(.F.)", "LT"},
      // TRANSFORM with numeric, date and character pictures
      {"TRANSFORM(1234.5, '9,999.99')", "C\"1,234.50\""},
      {"TRANSFORM(1234.5, '@E 9,999.99')", "C\"1.234,50\""},
      {"TRANSFORM(-12.5, '9999.9')", "C\" -12.5\""},
      {"TRANSFORM(0, '@Z 999')", "C\"   \""},
      {"TRANSFORM(12, '@B 9999')", "C\"12  \""},
      {"TRANSFORM(-5, '@( 999')", "C\" (5)\""},
      {"TRANSFORM(12345, '999')", "C\"***\""},
      {"TRANSFORM(0.5, '99.99')", "C\" 0.50\""},
      {"TRANSFORM(DATA, '@D')", "C\"29/02/2024\""},
      {"TRANSFORM(DATA, '@E')", "C\"29/02/24\""},
      {"TRANSFORM('abc', '@!')", "C\"ABC\""},
      {"TRANSFORM('12345678', '@R 99.999-999')", "C\"12.345-678\""},
      {"TRANSFORM(.T., 'Y')", "C\"Y\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    EXPECT_EQ(Eval(c.expr), c.expected);
  }
}

TEST(ExpressionTest, StringComparisonFollowsTheExactSetting) {
  const struct {
    const char* expr;
    const char* off;
    const char* on;
  } cases[] = {
      {"'ABC' = 'AB'", "LT", "LF"},
      {"'AB' = 'ABC'", "LF", "LF"},
      {"'ABC' = ''", "LT", "LF"},
      {"CIDADE = 'SANTOS'", "LT", "LT"},  // trailing blanks do not count
      {"CIDADE = 'SAN'", "LT", "LF"},
      {"CIDADE == 'SANTOS'", "LF", "LF"},  // == is byte for byte
      {"CIDADE == 'SANTOS  '", "LT", "LT"},
      {"'ABC' != 'AB'", "LF", "LT"},
      {"'ABC' <> 'ABD'", "LT", "LT"},
      {"'ABC' # 'ABC'", "LF", "LF"},
      {"'ABC' > 'AB'", "LF", "LT"},
      {"'ABC' >= 'AB'", "LT", "LT"},
      {"'AB' < 'ABC'", "LT", "LT"},
      {"'\xE1' > 'z'", "LT", "LT"},  // bytes compare unsigned
      {"(UPPER(NOME)=UPPER(\"JOS\xC9\"))", "LF", "LF"},
      {"(UPPER(NOME)=UPPER(\"JOS\xE9\"))", "LT", "LF"},
      {"(ATIVO=.TRUE.)", "LT", "LT"},
      {"(DATA=ctod(\"29/02/2024\"))", "LT", "LT"},
      {"(empty(VAZIA)) AND (CODIGO=42)", "LT", "LT"},
      {"(NOME=\"a\"+ Chr(34) + \"b\")", "LF", "LF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    EXPECT_EQ(Eval(c.expr, false), c.off);
    EXPECT_EQ(Eval(c.expr, true), c.on);
  }
}

TEST(ExpressionTest, ReportsClearErrors) {
  TestRecord r = Sample();
  const struct {
    const char* expr;
    ErrorKind kind;
    const char* fragment;
  } cases[] = {
      {"", ErrorKind::kSyntax, "empty expression"},
      {"1 +", ErrorKind::kSyntax, "Syntax error"},
      {"(1 + 2", ErrorKind::kSyntax, "')' expected"},
      {"1 2", ErrorKind::kSyntax, "unexpected number 2"},
      {"'abc", ErrorKind::kSyntax, "unterminated"},
      {"UF .XOR. UF", ErrorKind::kSyntax, ".XOR."},
      {"A @ B", ErrorKind::kSyntax, "unexpected character"},
      {"NOSUCH", ErrorKind::kUnknownField, "Unknown field NOSUCH"},
      {"OTHER->UF", ErrorKind::kUnknownField, "Unknown alias OTHER"},
      {"FOO(1)", ErrorKind::kUnknownFunction, "Unknown function FOO"},
      {"UF + 1", ErrorKind::kTypeMismatch, "character + numeric"},
      {"UPPER(CODIGO)", ErrorKind::kTypeMismatch, "argument 1 of UPPER"},
      {"ATIVO .AND. 1", ErrorKind::kTypeMismatch, ".AND."},
      {"DATA * 2", ErrorKind::kTypeMismatch, "date * numeric"},
      {"UF = 1", ErrorKind::kTypeMismatch, "character = numeric"},
      {"SUBSTR('a')", ErrorKind::kArgument, "number of arguments"},
      {"DATE(1)", ErrorKind::kArgument, "number of arguments"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    try {
      Expression::Compile(c.expr, r);
      ADD_FAILURE() << "no error";
    } catch (const ExprError& e) {
      EXPECT_EQ(e.kind(), c.kind) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(std::string("in expression \"") + c.expr + "\""), std::string::npos);
    }
  }
}

TEST(ExpressionTest, RuntimeErrorsAndMixedTypes) {
  TestRecord r = Sample();
  EvalSettings s;
  auto fails = [&](const char* text, ErrorKind kind) {
    SCOPED_TRACE(text);
    Expression e = Expression::Compile(text, r);
    try {
      e.Evaluate(r, s);
      ADD_FAILURE() << "no error";
    } catch (const ExprError& err) {
      EXPECT_EQ(err.kind(), kind) << err.what();
    }
  };
  fails("1 / 0", ErrorKind::kRuntime);
  fails("CODIGO % 0", ErrorKind::kRuntime);
  fails("IIF(ATIVO, 'a', 1) + 1", ErrorKind::kTypeMismatch);  // only known when evaluated
  fails("REPLICATE('abc', 100000)", ErrorKind::kLimit);
  fails("SPACE(1000000)", ErrorKind::kLimit);
  Expression notLogical = Expression::Compile("UF", r);
  EXPECT_THROW(notLogical.EvaluateLogical(r, s), ExprError);
  EXPECT_TRUE(Expression::Compile("ATIVO .AND. !DELETED()", r).EvaluateLogical(r, s));
  r.deleted = true;
  EXPECT_FALSE(Expression::Compile("ATIVO .AND. !DELETED()", r).EvaluateLogical(r, s));
}

TEST(ExpressionTest, NestingIsLimited) {
  TestRecord r = Sample();
  std::string deep(5000, '(');
  deep += "1";
  deep += std::string(5000, ')');
  EXPECT_THROW(Expression::Compile(deep, r), ExprError);
  std::string chain = "1";
  for (int i = 0; i < 100000; ++i) chain += "+1";
  EXPECT_THROW(Expression::Compile(chain, r), ExprError);  // longer than any expression
  std::string ok(150, '(');
  ok += "1" + std::string(150, ')');
  EXPECT_NO_THROW(Expression::Compile(ok, r));
}

TEST(ExpressionTest, ListsTheFieldsOfAKey) {
  TestRecord r = Sample();
  const struct {
    const char* expr;
    std::vector<std::string> fields;
  } cases[] = {
      {"UF + CIDADE", {"UF", "CIDADE"}},
      {"Upper( nome )", {"NOME"}},
      {"DToS( DATA ) + Str( CODIGO, 6 )", {"DATA", "CODIGO"}},
      {"IIF(ATIVO, UF, UF) + t->CIDADE", {"ATIVO", "UF", "CIDADE"}},
      {"DTOS(DATE())", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    EXPECT_EQ(Expression::Compile(c.expr, r).FieldNames(), c.fields);
  }
}

TEST(ExpressionTest, StaticResultType) {
  TestRecord r = Sample();
  EXPECT_EQ(Expression::Compile("UF + CIDADE", r).ResultType(), Type::kCharacter);
  EXPECT_EQ(Expression::Compile("VALOR", r).ResultType(), Type::kNumeric);
  EXPECT_EQ(Expression::Compile("DATA + 1", r).ResultType(), Type::kDate);
  EXPECT_EQ(Expression::Compile("ATIVO .AND. .T.", r).ResultType(), Type::kLogical);
  EXPECT_EQ(Expression::Compile("IIF(ATIVO, 1, 'a')", r).ResultType(), Type::kAny);
}

}  // namespace
}  // namespace xbe::expr
