#include "platform/classes/object.h"

#include "platform/classes/classbuilder.h"
#include "platform/classes/errors.h"
#include "platform/rtl/ansi.h"

using namespace rtl::literals;

namespace classes {

const TClassInfo& TObject::StaticClassInfo() {
  static const TClassInfo info("TObject", nullptr);
  return info;
}

const std::string& TObject::ClassName() const { return ClassInfo().Name(); }

bool TObject::InheritsFrom(const TClassInfo& info) const { return ClassInfo().InheritsFrom(info); }

const TClassInfo& TPersistent::StaticClassInfo() {
  static const auto info = TClassInfo::Make<TPersistent, TObject>("TPersistent", [](auto&) {});
  return info;
}

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(std::string("Não é possível atribuir um "_ansi) + ClassName() + " a um " +
                      dest.ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

}  // namespace classes
