// Random expressions for a fixed short time: compiling and evaluating must end with a value or
// an ExprError, never a crash, another exception or a hang.
// Usage: xbe_expr_fuzz [seconds [seed]] (default 3 s).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/xbe/expr/expression.h"
#include "platform/xbe/expr/keys.h"
#include "tests/platform/xbe/expr/test_record.h"

using namespace xbe::expr;

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
  testing::TestRecord r;
  r.Add("NOME", 'C', 10, 0, "abc").Add("VALOR", 'N', 8, 2, "  -12.50").Add("ATIVO", 'L', 1, 0, "T");
  r.Add("DATA", 'D', 8, 0, "20240229").Add("OBS", 'M', 10, 0, "");
  const std::vector<std::string> tokens = {
      "NOME", "VALOR", "ATIVO", "DATA", "OBS", "t->NOME", "1", "2.5", "-", "+", "*", "/", "%", "**", "^",
      "=", "==", "!=", "<>", "#", "<", "<=", ">", ">=", "$", ".AND.", ".OR.", ".NOT.", "!", "AND", "OR",
      "(", ")", ",", "'x'", "\"ab\"", "[c]", ".T.", ".F.", "UPPER(", "SUBSTR(", "STR(", "VAL(", "DTOS(",
      "CTOD(", "IIF(", "REPLICATE(", "SPACE(", "TRANSFORM(", "PADC(", "ROUND(", "MIN(", "MAX(", "AT(",
      "STRZERO(", "DATE()", "RECNO()", "DELETED()", "EMPTY(", "'@E 9,999.99'", "1e9", "999999999",
      "LEFT(", "RIGHT(", "CHR(", "CONTAINS(", "'", "\"", ".", "->", " "};
  const std::vector<std::string> seeds = {"Upper( NOME ) + DToS( DATA )", "ATIVO .AND. ! Deleted()",
                                          "TRANSFORM(VALOR, '@E 999,999.99')", "IIF(VALOR > 0, 'a', NOME)",
                                          "STR(VALOR, 10, 2) + SUBSTR(NOME, 2, 3)"};
  std::mt19937 rng(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 4242u);
  EvalSettings s;
  s.dateFormat = "DD/MM/yyyy";
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  long runs = 0, compiled = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string text;
    if (rng() % 2) {
      const int n = 1 + static_cast<int>(rng() % 20);
      for (int i = 0; i < n; ++i) text += tokens[rng() % tokens.size()];
    } else {
      text = seeds[rng() % seeds.size()];
      for (int i = 0, n = 1 + static_cast<int>(rng() % 4); i < n; ++i) {
        const std::size_t at = rng() % (text.size() + 1);
        if (rng() % 2) text.insert(at, tokens[rng() % tokens.size()]);
        else if (at < text.size()) text[at] = static_cast<char>(rng());
      }
    }
    ++runs;
    try {
      Expression e = Expression::Compile(text, r);
      ++compiled;
      Value v = e.Evaluate(r, s);
      if (v.type == Type::kCharacter && v.text.size() <= 64)
        EncodeKey(v, KeyLayoutFor(KeyFormat::kNtx, v), text);
    } catch (const ExprError&) {
    } catch (const std::exception& ex) {
      std::fprintf(stderr, "unexpected exception for \"%s\": %s\n", text.c_str(), ex.what());
      return 1;
    }
  }
  std::printf("%ld expressions, %ld compiled\n", runs, compiled);
  return 0;
}
