// Unit xbefunc: the two intermediate dataset classes between the dataset core and the table
// and query components. They add nothing of their own.
#pragma once
#include "engine/xbedata.h"

class TXbeExtendedDataSet : public TXbeDataSet {
  CLASSES_DECLARE_CLASSINFO()
 public:
  using TXbeDataSet::TXbeDataSet;
};

class TXbeExtendedTable : public TXbeExtendedDataSet {
  CLASSES_DECLARE_CLASSINFO()
 public:
  using TXbeExtendedDataSet::TXbeExtendedDataSet;
};
