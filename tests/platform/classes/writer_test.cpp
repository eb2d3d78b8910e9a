#include <gtest/gtest.h>

#include "platform/classes/filer.h"
#include "testclasses.h"

using namespace classes;
using namespace classes_test;

namespace {

const char* const kSource = R"(object Form1: TTestForm
  Caption = 'Atualiza'#231#227'o '#39'1'#39
  OnCreate = FormCreate
  Left = 8
  object Widget1: TTestWidget
    Caption = 'first'
    Count = -128
    Ratio = 0.25
    Kind = ltCompatible
    Styles = [stBold, stUnderline]
    Enabled = False
    Options.LockType = ltCompatible
    Options.CacheSize = 10
    Lines.Strings = ('SELECT *' 'FROM ML2')
    Items = <item Name = 'CODIGO' Size = 6 end item Name = 'NOME' end>
    Buddy = Widget2
    OnChange = WidgetChange
  end
  object Widget2: TTestWidget
    Tag = 3
    Lines = ('x')
    Buddy = Form1.Widget1
  end
  object Query1: TTestQuery
    Data = {0001FF7F}
    ParamData = <item Name = 'P' end>
    WaitCursor = crHourGlass
    Left = 16
    Top = 24
  end
end
)";

// Defaults (Enabled True, CacheSize 10, RightsCheck True, Tag 0, empty Styles) and WaitCursor
// are left out; ordinals without a default (Count, Kind, Size) are always written.
const char* const kWritten = R"(object Form1: TTestForm
  Caption = 'Atualiza'#231#227'o ''1'''
  OnCreate = FormCreate
  Left = 8
  object Widget1: TTestWidget
    Caption = 'first'
    Count = -128
    Ratio = 0.25
    Kind = ltCompatible
    Styles = [stBold, stUnderline]
    Enabled = False
    Options.LockType = ltCompatible
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
        Size = 0
      end>
    Buddy = Widget2
    OnChange = WidgetChange
  end
  object Widget2: TTestWidget
    Count = 0
    Kind = ltProprietary
    Tag = 3
    Lines.Strings = (
      'x')
    Items = <>
    Buddy = Widget1
  end
  object Query1: TTestQuery
    Left = 16
    Top = 24
    Data = {
      0001FF7F}
    ParamData = <
      item
        Name = 'P'
        Size = 0
      end>
  end
end
)";

TEST(Writer, WritesStoredPropertiesThatDifferFromTheirDefaults) {
  TTestForm form;
  ReadRootComponent(form, kSource);
  EXPECT_EQ(WriteRootComponent(form), kWritten);
}

TEST(Writer, WhatIsWrittenReadsBackToTheSameDescription) {
  TTestForm form;
  ReadRootComponent(form, kSource);
  TTestForm again;
  ReadRootComponent(again, WriteRootComponent(form));
  EXPECT_EQ(WriteRootComponent(again), kWritten);
  EXPECT_EQ(again.Widget1->Buddy(), again.Widget2);
  EXPECT_EQ(again.Query1->data_, form.Query1->data_);
}

TEST(Writer, StoredPredicateAndHandlersThatAreNoPublishedMethod) {
  TTestForm form;
  form.SetName("F");
  auto* w = new TTestWidget(&form);
  w->SetName("W");
  w->SetEnabled(false);
  w->storeEnabled_ = false;
  w->SetOnChange(TNotifyEvent::FromFunction([](TObject*) {}));
  auto* unnamed = new TTestWidget(&form);
  w->SetBuddy(unnamed);
  const std::string text = WriteRootComponent(form);
  EXPECT_EQ(text.find("Enabled"), std::string::npos) << text;
  EXPECT_EQ(text.find("OnChange"), std::string::npos) << text;
  EXPECT_EQ(text.find("Buddy"), std::string::npos) << text;
  EXPECT_NE(text.find("object TTestWidget\n"), std::string::npos) << text;
}

}  // namespace
