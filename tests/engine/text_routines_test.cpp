// Text routines, the alias file, the engine field list and the index-file list: no engine
// answers needed beyond construction.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/classes/typeinfo.h"

#include "enginetest.h"
#include "platform/classes/errors.h"
#include "testsupport.h"

using enginetest::MessageOf;

TEST(TextRoutines, GetDelimitedPart) {
  EXPECT_EQ(GetDelimitedPart(2, "A;B;C"), "B");
  EXPECT_EQ(GetDelimitedPart(3, "A;B"), "");
  EXPECT_EQ(GetDelimitedPart(0, "A"), "");
  EXPECT_EQ(GetDelimitedPart(1, ""), "");
  EXPECT_EQ(GetDelimitedPart(3, "A;B;C"), "C");
}

TEST(TextRoutines, FindDelimitedPartFindsWholePartsOnly) {
  EXPECT_EQ(FindDelimitedPart("CITY", "NAME;CITY"), 2);
  EXPECT_EQ(FindDelimitedPart("city", "NAME;CITY"), 2);
  EXPECT_EQ(FindDelimitedPart("CIT", "NAME;CITY"), 0);
  EXPECT_EQ(FindDelimitedPart("", "A;;B"), 2);
  EXPECT_EQ(FindDelimitedPart("NAME", "NAME"), 1);
}

TEST(TextRoutines, TrimSpacesAndCopyBytes) {
  EXPECT_EQ(TrimSpaces("   "), "");
  EXPECT_EQ(TrimSpaces("\tX "), "\tX");
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  char buffer[6] = "abcde";
  CopyBytes(buffer + 1, buffer, 4);  // overlapping, copied from the last byte down
  EXPECT_STREQ(buffer, "aabcd");
  CopyBytes(buffer, "zz", 0);
  EXPECT_STREQ(buffer, "aabcd");
  EXPECT_TRUE(HasPathSeparator("a/b"));
  EXPECT_TRUE(HasPathSeparator("a\\b"));
  EXPECT_FALSE(HasPathSeparator("ab"));
}

TEST(EngineFieldList, IndexOfNameIgnoresCase) {
  TXbeFieldDefs defs(nullptr);
  defs.AddDef()->Name = "CODE";
  defs.AddDef()->Name = "NAME";
  EXPECT_EQ(defs.IndexOfName("name"), 1);
  EXPECT_EQ(defs.IndexOfName("absent"), -1);
  EXPECT_EQ(defs.GetDef(0)->Changed, false);
  EXPECT_THROW(defs.GetDef(2), classes::EListError);
}

TEST(IndexFileList, SortedWithoutDuplicatesAndClearedByANewTableName) {
  TXbeTable t(nullptr);
  t.IndexFiles().Add("b.ntx");
  t.IndexFiles().Add("A.NTX");
  t.IndexFiles().Add("a.ntx");
  ASSERT_EQ(t.IndexFiles().Count(), 2);
  EXPECT_EQ(t.IndexFiles()[0], "A.NTX");
  EXPECT_EQ(t.IndexFiles()[1], "b.ntx");
  EXPECT_EQ(MessageOf([&] { t.IndexFiles().Insert(0, "c.ntx"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(t.IndexFiles().Count(), 2);

  t.SetTableName("ML2");  // a new name empties the list
  EXPECT_EQ(t.IndexFiles().Count(), 0);
  t.IndexFiles().Add("ML21.NTX");
  t.SetTableName("ML2");
  EXPECT_EQ(t.IndexFiles().Count(), 1);
  t.SetTableName("ML6");
  EXPECT_EQ(t.IndexFiles().Count(), 0);
}

TEST(IndexFileList, RequiresAnOwner) {
  try {
    TXbeIndexFiles files(nullptr);
    FAIL();
  } catch (const EXBEDatabaseError& e) {
    EXPECT_EQ(e.Message(), "TXbeIndexFiles instances require a non-nil owner");
    EXPECT_EQ(e.EngineCode, kXbeLayerErrorCode);
  }
}

class AliasFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream ini(dir_.path() / "xbe.ini", std::ios::binary);
    ini << "[Databases]\r\n"
           ".=D:\\DATA;N\r\n"
           "cdx=D:\\DATA;c\r\n"
           "other=D:\\DATA;X\r\n"
           "plain=D:\\DATA\r\n"
           "semi=;N\r\n";
  }
  testsupport::TempDir dir_;
  testsupport::ScopedEnv windir_{"WINDIR", dir_.str()};
};

TEST_F(AliasFile, ValuesAndTableTypes) {
  struct Case {
    const char* alias;
    bool found;
    const char* path;
    TXbeTableTypes type;
  };
  for (const Case& c : {Case{".", true, "D:\\DATA", ttXbeNTX}, Case{"CDX", true, "D:\\DATA", ttXbeCDX},
                        Case{"other", true, "D:\\DATA", ttXbeXDT}, Case{"plain", true, "D:\\DATA", ttXbeXDT},
                        Case{"semi", false, "", ttXbeNTX}, Case{"absent", false, "", ttXbeXDT}}) {
    SCOPED_TRACE(c.alias);
    std::string path;
    TXbeTableTypes type = ttXbeDefault;
    EXPECT_EQ(ReadXbeIniAlias(c.alias, path, type), c.found);
    EXPECT_EQ(path, c.path);
    if (c.found) {
      EXPECT_EQ(type, c.type);
    }
  }
}

TEST_F(AliasFile, TheFileBesideTheProgramOrTheBareName) {
  // No xbe.ini lies beside the test program, so the Windows directory's is used.
  EXPECT_EQ(XbeIniFilePath(), "xbe.ini");
}

TEST_F(AliasFile, DatabaseNameResolution) {
  TXbeTable t(nullptr);
  t.SetDatabaseName(".");
  EXPECT_EQ(t.ResolveDatabasePath(), "D:\\DATA");
  EXPECT_EQ(t.TableType(), ttXbeNTX);
  EXPECT_EQ(t.EngineTableType(), 1);

  t.SetDatabaseName("cdx");
  EXPECT_EQ(t.TableType(), ttXbeCDX);
  EXPECT_EQ(MessageOf([&] { t.SetTableType(ttXbeNTX); }),
            "The table type must remain identical to the table type associated with the alias.");
  EXPECT_EQ(t.TableType(), ttXbeCDX);

  for (auto [name, resolved] : {std::pair{"F:\\TULMEVAR\\", "F:\\TULMEVAR"}, std::pair{"C:\\", "C:"},
                                std::pair{"\\", "\\"}, std::pair{"unknown", "unknown"}}) {
    t.SetDatabaseName(name);
    EXPECT_EQ(t.ResolveDatabasePath(), resolved) << name;
  }
  t.SetDatabaseName("");
  EXPECT_EQ(t.ResolveDatabasePath(), "");
}

TEST(DataSetList, HoldsExactlyTheLiveDataSets) {
  auto snapshot = [] {
    std::vector<TXbeDataSet*> items = LockDataSetComponentList();
    UnlockDataSetComponentList();
    return items;
  };
  auto a = std::make_unique<TXbeTable>(nullptr);
  auto b = std::make_unique<TXbeTable>(nullptr);
  auto c = std::make_unique<TXbeTable>(nullptr);
  ASSERT_TRUE(DataSetComponentListExists());
  b.reset();
  auto items = snapshot();
  EXPECT_EQ(std::count(items.begin(), items.end(), a.get()), 1);
  EXPECT_EQ(std::count(items.begin(), items.end(), c.get()), 1);
  EXPECT_EQ(std::count(items.begin(), items.end(), nullptr), 0);
  const std::size_t before = items.size();
  a.reset();
  c.reset();
  EXPECT_EQ(snapshot().size(), before - 2);
}

// A walk of the list before any dataset exists (or after the unit's shut-down) finds it empty.
TEST(DataSetList, AWalkWithoutAnyListFindsItEmpty) {
  FinalizeXbeDataUnit();
  ASSERT_FALSE(DataSetComponentListExists());
  EXPECT_TRUE(LockDataSetComponentList().empty());
  UnlockDataSetComponentList();
  InitializeXbeDataUnit();
  auto t = std::make_unique<TXbeTable>(nullptr);
  auto items = LockDataSetComponentList();
  UnlockDataSetComponentList();
  EXPECT_EQ(std::count(items.begin(), items.end(), t.get()), 1);
}

TEST(FieldClasses, BcdFieldsShowCurrencyUnlessLoaded) {
  TXbeBCDField free(nullptr);
  EXPECT_TRUE(free.Currency());
  TXbeStringField s(nullptr);
  EXPECT_FALSE(s.CaseInsensitive());
}

TEST(TableOptions, DefaultsAndStoredOnlyWhenDifferent) {
  TXbeTable t(nullptr);
  const TXbeTableOptions& o = t.XbeTableOptions();
  EXPECT_EQ(o.XbeLockType(), Proprietary);
  EXPECT_EQ(o.XbeCharType(), ANSI);
  EXPECT_TRUE(o.XbeRightsCheck());
  EXPECT_TRUE(o.XbeOptimizedFilters());
  EXPECT_EQ(o.XbeRecordCache(), rcStandard);
  EXPECT_EQ(o.XbeIndexPageSize(), 0);
  EXPECT_EQ(o.OwnerDataSet(), &t);
  // The page size lies between 0 and 8192, in code and in a stored description.
  TXbeTableOptions& options = t.XbeTableOptions();
  options.SetXbeIndexPageSize(8192);
  for (int refused : {-1, 8193, 65536}) {
    EXPECT_THROW(options.SetXbeIndexPageSize(refused), EXBEDatabaseError) << refused;
    EXPECT_THROW(TXbeTableOptions::StaticClassInfo().FindProperty("XbeIndexPageSize")->SetOrdinal(options, refused),
                 rtl::Exception)
        << refused;
  }
  EXPECT_EQ(options.XbeIndexPageSize(), 8192);
  options.SetXbeIndexPageSize(0);
  const auto& info = TXbeTableOptions::StaticClassInfo();
  for (const classes::TPropInfo* p : info.Properties())
    EXPECT_TRUE(p->IsDefaultValue(const_cast<TXbeTableOptions&>(o))) << p->Name();
}

TEST(DataSetCore, StartsClosedWithTheDefaults) {
  TXbeTable t(nullptr);
  EXPECT_EQ(t.TableHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(t.ActiveHandle(), 0xFFFFFFFFu);
  EXPECT_EQ(t.ActiveIndexKind(), IndexKindNone);
  EXPECT_EQ(t.TableType(), ttXbeXDT);
  EXPECT_EQ(t.EngineTableType(), 3);
  EXPECT_TRUE(t.StoreActive());
  EXPECT_EQ(t.IndexCollationMismatch(), icmError);
  t.SetVersion("anything");
  EXPECT_EQ(t.Version().rfind("7.1 (XBE ", 0), 0u) << t.Version();
}

TEST(DataSetCore, IndexChoiceOnAClosedDataSet) {
  TXbeTable t(nullptr);
  t.SetIndexFieldNames("  NAME;CITY  ");
  EXPECT_EQ(t.IndexFieldNames(), "NAME;CITY");
  EXPECT_EQ(t.ActiveIndexKind(), IndexKindByFields);
  t.SetIndexName("xbe_Default");
  EXPECT_EQ(t.ActiveIndexKind(), IndexKindDefault);
  EXPECT_EQ(t.IndexFieldNames(), "");
  t.SetIndexFieldNames("   ");
  EXPECT_EQ(t.ActiveIndexKind(), IndexKindNone);
  EXPECT_EQ(t.IndexName(), "");
}
