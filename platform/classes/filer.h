// Reading and writing stored form descriptions (the text format is in formtext.h).
//
// Reading a form: the form's constructor (or the class library's form creation) calls
//   classes::ReadRootComponent(*this, kDescription);
// The root's class name must match the description's. For every nested object the reader
// creates a component of the named class (the root's published field classes first, then the
// registry) with the root as owner, marks it loading and reading, gives it its name (which
// fills the root's published field of that name), tells it the object it is nested in
// (SetParentComponent), and applies its stored properties in stored order through their
// setters. Events are bound by method name to the root's published methods. After the whole
// description: component references are resolved by name, csReading is cleared on every
// component read, then Loaded() runs on each in reading order (the root first).
// Errors: EClassNotFound, EParserError, EReadError ("Erro lendo Memo1.Foo: ..."); exceptions
// that constructors and setters raise pass through unchanged. A component whose reading fails
// is destroyed again.
//
// Extra stored properties (beyond the published ones) are declared by DefineProperties:
//
//   void TXbeQuery::DefineProperties(classes::TFiler& filer) {
//     TXbeExtendedDataSet::DefineProperties(filer);
//     filer.DefineBinaryProperty("Data", [this](classes::TStream& s) { ReadSQLData(s); },
//                                [this](classes::TStream& s) { WriteSQLData(s); }, HasStoredData());
//     filer.DefineProperty("ParamData", [this](classes::TReader& r) { r.ReadCollection(Params()); },
//                          [this](classes::TWriter& w) { w.WriteCollection(Params()); }, true);
//     filer.DefineProperty("WaitCursor", [](classes::TReader& r) { r.SkipValue(); }, nullptr, false);
//   }
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/classes/formtext.h"

namespace classes {

class TCollection;
class TComponent;
class TPersistent;
class TPropInfo;
class TStream;
class TClassInfo;
class TReader;
class TWriter;

class TFiler {
 public:
  using ReaderProc = std::function<void(TReader&)>;
  using WriterProc = std::function<void(TWriter&)>;
  using StreamProc = std::function<void(TStream&)>;

  explicit TFiler(TComponent& root) : root_(root) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  TComponent& Root() const { return root_; }
  // The reader calls `read` when the stored property of that name is being read; the writer
  // calls `write` when hasData.
  virtual void DefineProperty(std::string_view name, ReaderProc read, WriterProc write, bool hasData) = 0;
  // The same for a block of bytes, handed over as a stream positioned at 0.
  virtual void DefineBinaryProperty(std::string_view name, StreamProc read, StreamProc write, bool hasData) = 0;

 protected:
  TComponent& root_;
};

class TReader : public TFiler {
 public:
  // Reading the value of a defined property.
  TValueType NextValue() const;  // vaNull at the end of a list or once the value is read
  std::string ReadIdent();       // an identifier (True and False too)
  std::int64_t ReadInteger();
  double ReadFloat();            // a float or an integer
  std::string ReadString();
  bool ReadBoolean();
  std::vector<std::string> ReadSet();
  void ReadListBegin();
  bool EndOfList() const;
  void ReadListEnd();
  // A collection value "<...>": clears the collection and reads its items in place.
  void ReadCollection(TCollection& collection);
  void SkipValue();

  void DefineProperty(std::string_view name, ReaderProc read, WriterProc write, bool hasData) override;
  void DefineBinaryProperty(std::string_view name, StreamProc read, StreamProc write, bool hasData) override;

 private:
  friend void ReadRootComponent(TComponent& root, std::string_view description);
  explicit TReader(TComponent& root) : TFiler(root) {}

  struct Fixup {
    TComponent* component;  // whose description holds the reference
    TPersistent* instance;
    const TPropInfo* property;
    std::string name;
    std::string context;
  };
  struct ListCursor {
    const formtext::Value* list;
    std::size_t index;
  };

  void ReadRoot(const formtext::Object& object);
  void ReadComponent(const formtext::Object& object, TComponent* parent);
  const TClassInfo& FindComponentClass(const std::string& className) const;
  void ReadProperty(TPersistent& instance, const formtext::Property& property);
  void SetValue(TPersistent& instance, const TPropInfo& prop, const formtext::Value& value,
                const std::string& context);
  bool ReadDefined(TPersistent& instance, const std::string& name, const formtext::Value& value,
                   const std::string& context);
  void ReadCollectionValue(TCollection& collection, const formtext::Value& value);
  void ResolveFixups();
  TComponent* FindReferenced(const std::string& name) const;
  const formtext::Value* Peek() const;
  const formtext::Value& Take();
  [[noreturn]] void Fail(const std::string& context, const std::string& message) const;

  std::vector<TComponent*> read_;  // every component read, in reading order
  std::vector<Fixup> fixups_;
  std::string component_;          // name of the component whose properties are being read
  // The defined property being read.
  std::string defineName_;
  std::string defineContext_;
  const formtext::Value* defineValue_ = nullptr;
  bool defined_ = false;
  bool consumed_ = false;
  std::vector<ListCursor> lists_;
};

class TWriter : public TFiler {
 public:
  // Writing the value of a defined property.
  void WriteIdent(std::string_view ident);
  void WriteInteger(std::int64_t value);
  void WriteFloat(double value);
  void WriteString(std::string_view value);
  void WriteBoolean(bool value);
  void WriteListBegin();
  void WriteListEnd();
  void WriteCollection(TCollection& collection);

  void DefineProperty(std::string_view name, ReaderProc read, WriterProc write, bool hasData) override;
  void DefineBinaryProperty(std::string_view name, StreamProc read, StreamProc write, bool hasData) override;

 private:
  friend std::string WriteRootComponent(TComponent& root);
  explicit TWriter(TComponent& root) : TFiler(root) {}

  void WriteComponent(TComponent& component, int indent);
  void WriteProperties(TPersistent& instance, const std::string& prefix, int indent);
  void WriteProperty(TPersistent& instance, const TPropInfo& prop, const std::string& prefix, int indent);
  std::string ReferenceName(TComponent* component) const;
  std::string MethodName(TPersistent& instance, const TPropInfo& prop) const;
  void Emit(std::string_view text);
  void Line(int indent, std::string_view text);

  std::string out_;
  std::string prefix_;
  int indent_ = 0;
  int listDepth_ = 0;
};

// Fills an existing root (a form) from its description.
void ReadRootComponent(TComponent& root, std::string_view description);
// The description of a root with its published properties that are stored and differ from
// their defaults, its extra stored properties and its children.
std::string WriteRootComponent(TComponent& root);

}  // namespace classes
