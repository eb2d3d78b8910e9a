// The settings component read from a stored description, as the updater's window holds it.
#include <gtest/gtest.h>

#include "engine/xbeset.h"
#include "enginetest.h"
#include "platform/classes/classbuilder.h"
#include "platform/xbe/xbe.h"
#include "platform/classes/filer.h"
#include "platform/db/datetime.h"
#include "testsupport.h"

using enginetest::MessageOf;

namespace {

class TSettingsForm : public classes::TComponent {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TSettingsForm(classes::TComponent* owner) : classes::TComponent(owner) {}
  TXbeSettings* XbeSettings1 = nullptr;
  TXbeTable* EmUso = nullptr;
};

const char* kForm = R"(object SettingsForm: TSettingsForm
  object EmUso: TXbeTable
    DatabaseName = '.'
    StoreActive = True
    XbeTableOptions.XbeLockType = Compatible
    XbeTableOptions.XbeCharType = OEM
    XbeTableOptions.XbeAutoKeyFieldCount = True
    XbeTableOptions.XbeRightsCheck = False
    TableType = ttXbeNTX
  end
  object XbeSettings1: TXbeSettings
    DateFormat = 'DD/MM/yyyy'
    NumDecimals = 2
    SetHostDate = True
    ShowDeleted = False
    XbeServerTypes = [stXBE_LOCAL]
    NumCachedTables = 0
    NumCachedCursors = 25
  end
end
)";

class HostDateGuard {
 public:
  HostDateGuard() : format_(db::HostShortDateFormat), separator_(db::HostDateSeparator) {}
  ~HostDateGuard() {
    db::HostShortDateFormat = format_;
    db::HostDateSeparator = separator_;
  }

 private:
  std::string format_;
  char separator_;
};

// A settings component sets the engine's process-wide server types (remote and XIS by default);
// the tests after these in the same process connect locally again.
class LocalServerGuard {
 public:
  ~LocalServerGuard() { XbeSetServerType(1); }
};

}  // namespace

const classes::TClassInfo& TSettingsForm::StaticClassInfo() {
  static const auto info = classes::TClassInfo::Make<TSettingsForm, classes::TComponent>("TSettingsForm", [](auto& c) {
    c.Field("XbeSettings1", &TSettingsForm::XbeSettings1);
    c.Field("EmUso", &TSettingsForm::EmUso);
  });
  return info;
}

TEST(SettingsForm, StoredDescriptionSetsTheEngine) {
  LocalServerGuard localServer;
  HostDateGuard guard;
  db::HostShortDateFormat = "dd.MM.yyyy";
  db::HostDateSeparator = '.';
  TSettingsForm form(nullptr);
  classes::ReadRootComponent(form, kForm);
  ASSERT_NE(form.XbeSettings1, nullptr);
  ASSERT_NE(form.EmUso, nullptr);
  TXbeSettings& s = *form.XbeSettings1;
  EXPECT_EQ(s.DateFormat(), "DD/MM/yyyy");
  EXPECT_EQ(db::HostShortDateFormat, "DD/MM/yyyy");
  EXPECT_EQ(db::HostDateSeparator, '/');
  EXPECT_EQ(s.NumDecimals(), 2);
  EXPECT_FALSE(s.ShowDeleted());
  EXPECT_EQ(s.XbeServerTypes(), TXbeServerTypes{stXBE_LOCAL});
  EXPECT_EQ(s.NumCachedCursors(), 25);
  std::uint16_t decimals = 0, deleted = 1;
  ASSERT_EQ(XbeGetDecimals(&decimals), 0u);
  ASSERT_EQ(XbeGetDeleted(&deleted), 0u);
  EXPECT_EQ(decimals, 2);
  EXPECT_EQ(deleted, 0);

  // The table was read closed, with the options of the description.
  EXPECT_FALSE(form.EmUso->Active());
  EXPECT_EQ(form.EmUso->TableType(), ttXbeNTX);
  EXPECT_EQ(form.EmUso->XbeTableOptions().XbeCharType(), OEM);
  EXPECT_EQ(form.EmUso->XbeTableOptions().XbeLockType(), Compatible);
  EXPECT_FALSE(form.EmUso->XbeTableOptions().XbeRightsCheck());
  EXPECT_TRUE(form.EmUso->XbeTableOptions().XbeAutoKeyFieldCount());

  // A second settings component is refused while the first lives.
  EXPECT_EQ(MessageOf([&] { TXbeSettings second(nullptr); }),
            "Only one XbeSettings component is allowed per application");
  EXPECT_EQ(xbeset::SettingsInstanceCount(), 1u);
  EXPECT_EQ(s.NumDecimals(), 2);
}

TEST(SettingsForm, StoredSetHostDateFalseGivesTheHostItsFormatBack) {
  LocalServerGuard localServer;
  HostDateGuard guard;
  db::HostShortDateFormat = "dd.MM.yyyy";
  TSettingsForm form(nullptr);
  std::string text = kForm;
  text.replace(text.find("SetHostDate = True"), 18, "SetHostDate = False");
  classes::ReadRootComponent(form, text);
  EXPECT_EQ(db::HostShortDateFormat, "dd.MM.yyyy");
  EXPECT_EQ(form.XbeSettings1->DateFormat(), "DD/MM/yyyy");
}

TEST(Settings, SettersAndTheirRefusals) {
  LocalServerGuard localServer;
  HostDateGuard guard;
  TXbeSettings s(nullptr);
  s.SetXbeServerTypes({stXBE_LOCAL});
  EXPECT_EQ(MessageOf([&] { s.SetXbeServerTypes({}); }), "At least one server type must be selected.");
  EXPECT_EQ(s.XbeServerTypes(), TXbeServerTypes{stXBE_LOCAL});
  EXPECT_EQ(MessageOf([&] { s.SetNumCachedTables(-1); }), "NumCachedTables value must be greater than zero.");
  EXPECT_EQ(MessageOf([&] { s.SetNumCachedCursors(-1); }), "NumCachedCursors value must be greater than zero.");
  EXPECT_EQ(s.NumCachedTables(), 0);
  s.SetDateFormat("");
  EXPECT_EQ(s.DateFormat(), "MM/dd/ccyy");
  EXPECT_EQ(db::HostShortDateFormat, "MM/dd/yyyy");
  EXPECT_EQ(db::HostDateSeparator, '/');
  db::HostDateSeparator = '-';
  s.SetDateFormat("yyyyMMdd");
  EXPECT_EQ(db::HostDateSeparator, '-');
  s.SetDateFormat("DD/MM/yyyy");
  s.SetSetHostDate(false);
  EXPECT_EQ(db::HostShortDateFormat, "DD/MM/yyyy");  // only a stored False restores it
  s.SetDateFormat("MM-DD-ccyy");
  EXPECT_EQ(db::HostShortDateFormat, "DD/MM/yyyy");
  EXPECT_EQ(s.DateFormat(), "MM-DD-ccyy");
}

TEST(Settings, OneAtATime) {
  LocalServerGuard localServer;
  {
    TXbeSettings first(nullptr);
    EXPECT_EQ(xbeset::SettingsInstanceCount(), 1u);
  }
  EXPECT_EQ(xbeset::SettingsInstanceCount(), 0u);
  TXbeSettings again(nullptr);
  EXPECT_EQ(xbeset::SettingsInstanceCount(), 1u);
}
