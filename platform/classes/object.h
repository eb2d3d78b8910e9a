// The roots of the class tree: TObject (run-time class information) and TPersistent (an object
// that can be assigned and streamed as a sub-object of a component).
//
// Every class that a stored form description names, or whose properties are streamed, declares
// its class information with CLASSES_DECLARE_CLASSINFO() and defines StaticClassInfo() in its
// .cpp with TClassInfo::Make (see classbuilder.h for the full example).
#pragma once
#include <string>

namespace classes {

class TClassInfo;
class TFiler;

// Inside a class body: declares the class's own information and returns it from ClassInfo().
#define CLASSES_DECLARE_CLASSINFO()                                        \
 public:                                                                   \
  static const ::classes::TClassInfo& StaticClassInfo();                   \
  const ::classes::TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
  const std::string& ClassName() const;
  bool InheritsFrom(const TClassInfo& info) const;
};

class TPersistent : public TObject {
  CLASSES_DECLARE_CLASSINFO()
 public:
  // Copies the value of `source`; the base asks the source (AssignTo) and fails with
  // EConvertError when neither side knows the other.
  virtual void Assign(const TPersistent& source);
  // The object this one belongs to (a component for its sub-objects, a collection for its items).
  virtual TPersistent* GetOwner() { return nullptr; }
  // Extra stored properties beyond the published ones: call filer.DefineProperty /
  // DefineBinaryProperty for each (see filer.h). Overrides call the base first.
  virtual void DefineProperties(TFiler& filer);

 protected:
  virtual void AssignTo(TPersistent& dest) const;
};

}  // namespace classes
