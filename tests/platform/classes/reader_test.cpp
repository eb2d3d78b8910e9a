#include <gtest/gtest.h>

#include "platform/classes/errors.h"
#include "platform/classes/filer.h"
#include "platform/classes/registry.h"
#include "platform/rtl/ansi.h"
#include "testclasses.h"

using namespace classes;
using namespace classes_test;
using namespace rtl::literals;

namespace {

const char* const kForm = R"(object Form1: TTestForm
  Caption = 'Atualiza'#231#227'o '#39'1'#39
  OnCreate = FormCreate
  Left = 8
  object Widget1: TTestWidget
    Caption = 'first'
    Count = -128
    Ratio = 2.5E-1
    Kind = LTCOMPATIBLE
    Styles = [stBold, stUnderline]
    Enabled = False
    Tag = 7
    Options.LockType = ltCompatible
    Options.RightsCheck = False
    Lines.Strings = (
      'SELECT *'
      'FROM ML2')
    Items = <
      item
        Name = 'CODIGO'
        Size = 6
      end
      item
        Name = 'NOME'
      end>
    Buddy = Widget2
    OnChange = WidgetChange
    object Inner: TTestWidget
      Caption = 'inner'
    end
  end
  object Widget2: TTestWidget
    Caption = 'a long text ' +
      'in two parts'
    Ratio = 3
    Lines = ('x')
    Buddy = Form1.Widget1
  end
end
)";

class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { Log().clear(); }
};

TEST_F(ReaderTest, ReadsEveryKindOfPropertyIntoTheExistingRoot) {
  TTestForm form;
  ReadRootComponent(form, kForm);
  EXPECT_EQ(form.Name(), "Form1");
  EXPECT_EQ(form.Caption(), std::string("Atualização '1'"_ansi));
  EXPECT_EQ(form.DesignLeft(), 8);
  ASSERT_NE(form.Widget1, nullptr);
  ASSERT_NE(form.Widget2, nullptr);
  ASSERT_EQ(form.ComponentCount(), 3);  // Widget1, Inner, Widget2: all owned by the root
  TTestWidget& w = *form.Widget1;
  EXPECT_EQ(w.Owner(), &form);
  EXPECT_EQ(w.Caption(), "first");
  EXPECT_EQ(w.Count(), -128);
  EXPECT_DOUBLE_EQ(w.Ratio(), 0.25);
  EXPECT_EQ(w.Kind(), ltCompatible);
  EXPECT_EQ(w.Styles(), (TStyles{stBold, stUnderline}));
  EXPECT_FALSE(w.Enabled());
  EXPECT_EQ(w.Tag(), 7);
  EXPECT_EQ(w.Options()->LockType(), ltCompatible);
  EXPECT_FALSE(w.Options()->RightsCheck());
  EXPECT_EQ(w.Options()->CacheSize(), 10);
  EXPECT_EQ(w.Lines()->Text(), "SELECT *\r\nFROM ML2\r\n");
  EXPECT_EQ(w.linesChanges_, 1);  // the whole list arrives as one change
  ASSERT_EQ(w.Items()->Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(w.Items()->Item(0))->Name(), "CODIGO");
  EXPECT_EQ(static_cast<TTestItem*>(w.Items()->Item(0))->Size(), 6);
  EXPECT_EQ(static_cast<TTestItem*>(w.Items()->Item(1))->Name(), "NOME");
  EXPECT_EQ(w.Buddy(), form.Widget2);  // a reference to a component read later
  EXPECT_EQ(form.Widget2->Buddy(), form.Widget1);
  EXPECT_EQ(form.Widget2->Caption(), "a long text in two parts");
  EXPECT_DOUBLE_EQ(form.Widget2->Ratio(), 3.0);
  EXPECT_EQ(form.Widget2->Lines()->Text(), "x\r\n");
  TTestWidget* inner = static_cast<TTestWidget*>(form.FindComponent("Inner"));
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->parent_, &w);
  EXPECT_EQ(w.parent_, &form);

  w.Change();  // bound by method name
  EXPECT_EQ(form.changes_, (std::vector<std::string>{"Widget1"}));
  form.OnCreate().Fire(&form);
  EXPECT_EQ(Log().back(), "FormCreate");
}

TEST_F(ReaderTest, SettersRunInTheReadingStateAndLoadedHooksRunAfterwardsInReadingOrder) {
  TTestForm form;
  ReadRootComponent(form, kForm);
  const std::vector<std::string> expected = {
      "Widget1.Caption=first", "Widget1.Enabled=False", "Inner.Caption=inner",
      "Widget2.Caption=a long text in two parts",
      "Form1.Loaded", "Widget1.Loaded", "Inner.Loaded", "Widget2.Loaded"};
  EXPECT_EQ(Log(), expected);
  EXPECT_TRUE(form.Widget1->readingWhenCaptionSet_);
  EXPECT_FALSE(form.Widget1->readingWhenLoaded_);
  EXPECT_FALSE(form.Widget1->loadingWhenLoaded_);
  EXPECT_TRUE(form.ComponentState().Empty());
  EXPECT_TRUE(form.Widget2->ComponentState().Empty());
}

TEST_F(ReaderTest, StringCodesAndCodePage1252Bytes) {
  struct Case {
    std::string text;
    std::string value;
  };
  const Case cases[] = {
      {"''", ""},
      {"'it''s'", "it's"},
      {"#13#10", "\r\n"},
      {"'a'#$41'b'", "aAb"},
      {"#8364", "\x80"},  // a code point beyond 255 becomes its 1252 byte
      {"'" + std::string("Não"_ansi) + "'", std::string("Não"_ansi)},
  };
  for (const Case& c : cases) {
    TTestForm form;
    ReadRootComponent(form, "object F: TTestForm\n Caption = " + c.text + "\nend");
    EXPECT_EQ(form.Caption(), c.value) << c.text;
  }
}

TEST_F(ReaderTest, ExtraStoredPropertiesOfAQuery) {
  TTestForm form;
  ReadRootComponent(form, R"(object F: TTestForm
  object Query1: TTestQuery
    Data = {
      0001FF
      7F}
    ParamData = <
      item
        Name = 'CODIGO'
      end>
    WaitCursor = crHourGlass
    Left = 16
    Top = 24
  end
  object Other: TTestQuery
    WaitCursor = -11
  end
end)");
  ASSERT_NE(form.Query1, nullptr);
  EXPECT_EQ(form.Query1->data_, (std::vector<std::uint8_t>{0x00, 0x01, 0xFF, 0x7F}));
  ASSERT_EQ(form.Query1->params_.Count(), 1);
  EXPECT_EQ(static_cast<TTestItem*>(form.Query1->params_.Item(0))->Name(), "CODIGO");
  EXPECT_TRUE(form.Query1->sawWaitCursor_);
  EXPECT_EQ(form.Query1->DesignLeft(), 16);
  EXPECT_EQ(form.Query1->DesignTop(), 24);
  EXPECT_TRUE(static_cast<TTestQuery*>(form.FindComponent("Other"))->sawWaitCursor_);
}

struct ErrorCase {
  const char* what;
  std::string body;        // inside "object F: TTestForm ... end"
  const char* message;     // expected part of the message (code page 1252 through _ansi below)
  enum Kind { Read, ClassNotFound, Parser } kind;
};

class ReaderErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ReaderErrors, RaiseAClearErrorAndLeaveNoHalfReadComponent) {
  const ErrorCase& c = GetParam();
  RegisterTestClasses();
  TTestForm form;
  const std::string text = "object F: TTestForm\n" + c.body + "\nend\n";
  try {
    ReadRootComponent(form, text);
    FAIL() << "no error for " << c.what;
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find(c.message), std::string::npos) << c.what << ": " << e.Message();
    if (c.kind == ErrorCase::ClassNotFound) {
      EXPECT_NE(dynamic_cast<const EClassNotFound*>(&e), nullptr) << c.what;
    }
    if (c.kind == ErrorCase::Parser) {
      EXPECT_NE(dynamic_cast<const EParserError*>(&e), nullptr) << c.what;
    }
  }
  EXPECT_FALSE(form.InState(csReading));
  EXPECT_FALSE(form.InState(csLoading));
  for (int i = 0; i < form.ComponentCount(); ++i) EXPECT_TRUE(form.Components(i)->ComponentState().Empty());
}

const std::string kNoSuch = std::string(" não existe"_ansi);
const std::string kInvalid = std::string("Valor de propriedade inválido"_ansi);

INSTANTIATE_TEST_SUITE_P(
    Cases, ReaderErrors,
    ::testing::Values(
        ErrorCase{"unknown class", "object Widget1: TNoSuchClass\nend", "Classe TNoSuchClass", ErrorCase::ClassNotFound},
        ErrorCase{"abstract class", "object Widget1: TTestAbstract\nend", "TTestAbstract", ErrorCase::Read},
        ErrorCase{"unknown property", "object Widget1: TTestWidget\nFoo = 1\nend",
                  "Erro lendo Widget1.Foo: A propriedade Foo", ErrorCase::Read},
        ErrorCase{"unknown sub-property", "object Widget1: TTestWidget\nOptions.Foo = 1\nend",
                  "Erro lendo Widget1.Options.Foo", ErrorCase::Read},
        ErrorCase{"path through a plain property", "object Widget1: TTestWidget\nCaption.X = 1\nend",
                  "A propriedade Caption", ErrorCase::Read},
        ErrorCase{"unknown root property", "Bar = 'x'", "Erro lendo F.Bar", ErrorCase::Read},
        ErrorCase{"unknown enum name", "object Widget1: TTestWidget\nKind = ltOther\nend", kInvalid.c_str(), ErrorCase::Read},
        ErrorCase{"unknown set element", "object Widget1: TTestWidget\nStyles = [stBold, stNone]\nend", kInvalid.c_str(),
                  ErrorCase::Read},
        ErrorCase{"integer out of its type's range", "object Widget1: TTestWidget\nCount = 128\nend", "128", ErrorCase::Read},
        ErrorCase{"string for an integer", "object Widget1: TTestWidget\nCount = '1'\nend", kInvalid.c_str(), ErrorCase::Read},
        ErrorCase{"identifier for a string", "object Widget1: TTestWidget\nCaption = abc\nend", kInvalid.c_str(), ErrorCase::Read},
        ErrorCase{"float for an integer", "object Widget1: TTestWidget\nCount = 1.5\nend", kInvalid.c_str(), ErrorCase::Read},
        ErrorCase{"read-only property", "object Widget1: TTestWidget\nReadOnlyFlag = True\nend", "somente leitura",
                  ErrorCase::Read},
        ErrorCase{"unknown method", "object Widget1: TTestWidget\nOnChange = NoSuchHandler\nend", kNoSuch.c_str(),
                  ErrorCase::Read},
        ErrorCase{"method of another signature", "object Widget1: TTestWidget\nOnChange = Count\nend", "assinatura",
                  ErrorCase::Read},
        ErrorCase{"unknown component", "object Widget1: TTestWidget\nBuddy = Nobody\nend",
                  "Erro lendo Widget1.Buddy: O componente Nobody", ErrorCase::Read},
        ErrorCase{"component of another class", "object Widget1: TTestWidget\nBuddy = Q\nend\nobject Q: TTestQuery\nend",
                  "TTestQuery", ErrorCase::Read},
        ErrorCase{"list for a sub-object", "object Widget1: TTestWidget\nOptions = ('a')\nend", kInvalid.c_str(),
                  ErrorCase::Read},
        ErrorCase{"missing end", "object Widget1: TTestWidget\n", "linha 5", ErrorCase::Parser},
        ErrorCase{"missing equals sign", "object Widget1: TTestWidget\nCaption 'x'\nend", "'=' esperado", ErrorCase::Parser},
        ErrorCase{"unterminated string", "object Widget1: TTestWidget\nCaption = 'x\nend", "linha 3", ErrorCase::Parser},
        ErrorCase{"odd hexadecimal digits", "object Q: TTestQuery\nData = {ABC}\nend", "linha 3", ErrorCase::Parser},
        ErrorCase{"bad number", "object Widget1: TTestWidget\nCount = 12ab\nend", "linha 3", ErrorCase::Parser},
        ErrorCase{"item outside a collection value", "object Widget1: TTestWidget\nItems = < Name = 'x' >\nend",
                  "'item' esperado", ErrorCase::Parser},
        // Nesting deep enough to exhaust the stack is refused while parsing.
        ErrorCase{"lists nested 20000 deep",
                  "object Widget1: TTestWidget\nLines.Strings = " + std::string(20000, '(') + std::string(20000, ')') +
                      "\nend",
                  "aninhamento com mais de 256", ErrorCase::Parser},
        ErrorCase{"objects nested 20000 deep",
                  [] {
                    std::string body;
                    for (int i = 0; i < 20000; ++i) body += "object W" + std::to_string(i) + ": TTestWidget\n";
                    for (int i = 0; i < 20000; ++i) body += "end\n";
                    return body;
                  }(),
                  "aninhamento com mais de 256", ErrorCase::Parser}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST_F(ReaderTest, TextAfterTheRootAndAnotherRootClassAreRefused) {
  TTestForm form;
  EXPECT_THROW(ReadRootComponent(form, "object F: TTestForm\nend\nobject G: TTestForm\nend"), EParserError);
  try {
    ReadRootComponent(form, "object F: TTestWidget\nend");
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find("TTestWidget"), std::string::npos);
  }
}

TEST_F(ReaderTest, ExceptionsOfSettersAndNamesPassThroughUnchanged) {
  TTestForm form;
  try {
    ReadRootComponent(form, "object F: TTestForm\nobject Widget1: TTestWidget\nCaption = 'boom'\nend\nend");
    FAIL();
  } catch (const EReadError&) {
    FAIL() << "wrapped";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), "boom refused");
  }
  EXPECT_THROW(ReadRootComponent(form, "object F: TTestForm\nobject A: TTestWidget\nend\nobject a: TTestWidget\nend\nend"),
               EComponentError);
}

TEST_F(ReaderTest, AComponentWhoseReadingFailsIsDestroyedAgain) {
  TTestForm form;
  EXPECT_THROW(ReadRootComponent(form, "object F: TTestForm\nobject Widget1: TTestWidget\nFoo = 1\nend\nend"),
               EReadError);
  EXPECT_EQ(form.Widget1, nullptr);
  EXPECT_EQ(form.ComponentCount(), 0);
}

}  // namespace
