// The reader of stored form descriptions: the protocol is described in filer.h.
#include <algorithm>

#include "platform/classes/collection.h"
#include "platform/classes/component.h"
#include "platform/classes/errors.h"
#include "platform/classes/filer.h"
#include "platform/classes/registry.h"
#include "platform/classes/streams.h"
#include "platform/classes/stringlist.h"
#include "platform/classes/typeinfo.h"
#include "platform/rtl/ansi.h"
#include "platform/rtl/strutils.h"

using namespace rtl::literals;

namespace classes {

using formtext::Value;

namespace {
std::string Str(std::string_view s) { return std::string(s); }
std::string InvalidValue() { return Str("Valor de propriedade inválido"_ansi); }
std::string NoSuchProperty(const std::string& name) { return "A propriedade " + name + Str(" não existe"_ansi); }
bool IsIdentLike(TValueType t) {
  return t == TValueType::vaIdent || t == TValueType::vaTrue || t == TValueType::vaFalse;
}
}  // namespace

void ReadRootComponent(TComponent& root, std::string_view description) {
  const formtext::Object object = formtext::Parse(description);
  TReader reader(root);
  reader.ReadRoot(object);
}

void TReader::Fail(const std::string& context, const std::string& message) const {
  throw EReadError("Erro lendo " + context + ": " + message);
}

void TReader::ReadRoot(const formtext::Object& object) {
  if (!rtl::SameText(object.className, root_.ClassName()))
    throw EReadError(Str("A descrição é de "_ansi) + object.className + Str(", não de "_ansi) + root_.ClassName());
  try {
    root_.state_.Include(csLoading).Include(csReading);
    read_.push_back(&root_);
    if (!object.name.empty()) root_.SetName(object.name);
    component_ = root_.Name();
    for (const formtext::Property& p : object.properties) ReadProperty(root_, p);
    for (const formtext::Object& child : object.children) ReadComponent(child, &root_);
    ResolveFixups();
  } catch (...) {
    for (TComponent* c : read_) c->state_.Exclude(csReading).Exclude(csLoading);
    throw;
  }
  for (TComponent* c : read_) c->state_.Exclude(csReading);
  // Copy: a loaded hook may create further components.
  const std::vector<TComponent*> loaded = read_;
  for (TComponent* c : loaded) c->Loaded();
}

const TClassInfo& TReader::FindComponentClass(const std::string& className) const {
  if (const TClassInfo* c = root_.ClassInfo().FindFieldClass(className)) return *c;
  return FindClass(className);
}

void TReader::ReadComponent(const formtext::Object& object, TComponent* parent) {
  const TClassInfo& info = FindComponentClass(object.className);
  if (!info.CanCreate())
    Fail(object.name.empty() ? object.className : object.name,
         "A classe " + info.Name() + Str(" não pode ser criada"_ansi));
  TComponent* component = info.Create(&root_);
  try {
    component->state_.Include(csLoading).Include(csReading);
    read_.push_back(component);
    if (!object.name.empty()) component->SetName(object.name);
    component->SetParentComponent(parent);
    component_ = object.name.empty() ? object.className : object.name;
    for (const formtext::Property& p : object.properties) ReadProperty(*component, p);
    for (const formtext::Object& child : object.children) ReadComponent(child, component);
  } catch (...) {
    std::erase(read_, component);
    std::erase_if(fixups_, [component](const Fixup& f) { return f.component == component; });
    delete component;
    throw;
  }
}

void TReader::ReadProperty(TPersistent& instance, const formtext::Property& property) {
  const std::string context = component_ + "." + property.name;
  TPersistent* target = &instance;
  std::string_view path = property.name;
  std::size_t dot;
  while ((dot = path.find('.')) != std::string_view::npos) {
    const std::string segment(path.substr(0, dot));
    const TPropInfo* prop = target->ClassInfo().FindProperty(segment);
    if (!prop || prop->Kind() != TPropKind::Class) Fail(context, NoSuchProperty(segment));
    TPersistent* sub = prop->GetObject(*target);
    if (!sub) Fail(context, InvalidValue());
    target = sub;
    path.remove_prefix(dot + 1);
  }
  const std::string name(path);
  if (const TPropInfo* prop = target->ClassInfo().FindProperty(name)) {
    SetValue(*target, *prop, property.value, context);
    return;
  }
  if (!ReadDefined(*target, name, property.value, context)) Fail(context, NoSuchProperty(name));
}

bool TReader::ReadDefined(TPersistent& instance, const std::string& name, const Value& value,
                          const std::string& context) {
  defineName_ = name;
  defineContext_ = context;
  defineValue_ = &value;
  defined_ = false;
  consumed_ = false;
  lists_.clear();
  instance.DefineProperties(*this);
  defineValue_ = nullptr;
  defineName_.clear();
  return defined_;
}

void TReader::SetValue(TPersistent& instance, const TPropInfo& prop, const Value& value,
                       const std::string& context) {
  if (prop.IsReadOnly())
    Fail(context, "A propriedade " + prop.Name() + Str(" é somente leitura"_ansi));
  auto setOrdinal = [&](std::int64_t v) {
    if (v < prop.MinValue() || v > prop.MaxValue())
      Fail(context, Str("Valor fora dos limites da propriedade: "_ansi) + rtl::IntToStr(v));
    prop.SetOrdinal(instance, v);
  };
  switch (prop.Kind()) {
    case TPropKind::Integer:
      if (value.type != TValueType::vaInteger) Fail(context, InvalidValue());
      setOrdinal(value.integer);
      return;
    case TPropKind::Bool:
      if (value.type != TValueType::vaTrue && value.type != TValueType::vaFalse) Fail(context, InvalidValue());
      prop.SetOrdinal(instance, value.type == TValueType::vaTrue ? 1 : 0);
      return;
    case TPropKind::Enum: {
      const int v = IsIdentLike(value.type) ? prop.ValueOfName(value.text) : -1;
      if (v < 0) Fail(context, InvalidValue());
      prop.SetOrdinal(instance, v);
      return;
    }
    case TPropKind::Set: {
      if (value.type != TValueType::vaSet) Fail(context, InvalidValue());
      std::uint64_t bits = 0;
      for (const std::string& e : value.elements) {
        const int v = prop.ValueOfName(e);
        if (v < 0) Fail(context, InvalidValue());
        bits |= std::uint64_t{1} << v;
      }
      prop.SetOrdinal(instance, static_cast<std::int64_t>(bits));
      return;
    }
    case TPropKind::Float:
      if (value.type == TValueType::vaExtended)
        prop.SetFloat(instance, value.real);
      else if (value.type == TValueType::vaInteger)
        prop.SetFloat(instance, static_cast<double>(value.integer));
      else
        Fail(context, InvalidValue());
      return;
    case TPropKind::String:
      if (value.type != TValueType::vaString) Fail(context, InvalidValue());
      prop.SetString(instance, value.text);
      return;
    case TPropKind::Class: {
      TPersistent* sub = prop.GetObject(instance);
      if (sub && value.type == TValueType::vaCollection) {
        if (auto* collection = dynamic_cast<TCollection*>(sub)) {
          const std::string saved = component_;
          component_ = context;
          ReadCollectionValue(*collection, value);
          component_ = saved;
          return;
        }
      }
      if (sub && value.type == TValueType::vaList && dynamic_cast<TStrings*>(sub)) {
        ReadDefined(*sub, "Strings", value, context);
        return;
      }
      Fail(context, InvalidValue());
    }
    case TPropKind::Component:
      if (!IsIdentLike(value.type)) Fail(context, InvalidValue());
      fixups_.push_back(Fixup{read_.back(), &instance, &prop, value.text, context});
      return;
    case TPropKind::Method: {
      if (value.type != TValueType::vaIdent) Fail(context, InvalidValue());
      const TMethodInfo* method = root_.ClassInfo().FindMethod(value.text);
      if (!method) Fail(context, Str("O método "_ansi) + value.text + Str(" não existe"_ansi));
      if (method->type != prop.MethodType())
        Fail(context, Str("O método "_ansi) + value.text + Str(" não tem a assinatura do evento"_ansi));
      prop.SetMethod(instance, method->bind(root_));
      return;
    }
  }
}

void TReader::ReadCollectionValue(TCollection& collection, const Value& value) {
  const std::string base = component_;
  collection.BeginUpdate();
  try {
    collection.Clear();
    int index = 0;
    for (const auto& item : value.items) {
      TCollectionItem* it = collection.Add();
      component_ = base + "[" + rtl::IntToStr(index++) + "]";
      for (const formtext::Property& p : item) ReadProperty(*it, p);
    }
  } catch (...) {
    component_ = base;
    collection.EndUpdate();
    throw;
  }
  component_ = base;
  collection.EndUpdate();
}

TComponent* TReader::FindReferenced(const std::string& name) const {
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) {
    if (!rtl::SameText(name.substr(0, dot), root_.Name())) return nullptr;
    return root_.FindComponent(name.substr(dot + 1));
  }
  if (!root_.Name().empty() && rtl::SameText(name, root_.Name())) return &root_;
  return root_.FindComponent(name);
}

void TReader::ResolveFixups() {
  for (const Fixup& f : fixups_) {
    TComponent* target = nullptr;
    if (!rtl::SameText(f.name, "nil")) {
      target = FindReferenced(f.name);
      if (!target) Fail(f.context, "O componente " + f.name + Str(" não existe"_ansi));
    }
    try {
      f.property->SetComponent(*f.instance, target);
    } catch (const EReadError& e) {
      Fail(f.context, e.Message());
    }
  }
  fixups_.clear();
}

// --- values of defined properties -------------------------------------------------------

const Value* TReader::Peek() const {
  if (!lists_.empty()) {
    const ListCursor& top = lists_.back();
    return top.index < top.list->list.size() ? &top.list->list[top.index] : nullptr;
  }
  return consumed_ || !defineValue_ ? nullptr : defineValue_;
}

const Value& TReader::Take() {
  const Value* v = Peek();
  if (!v) Fail(defineContext_, InvalidValue());
  if (!lists_.empty())
    ++lists_.back().index;
  else
    consumed_ = true;
  return *v;
}

TValueType TReader::NextValue() const {
  const Value* v = Peek();
  return v ? v->type : TValueType::vaNull;
}

std::string TReader::ReadIdent() {
  const Value& v = Take();
  if (!IsIdentLike(v.type)) Fail(defineContext_, InvalidValue());
  return v.text;
}

std::int64_t TReader::ReadInteger() {
  const Value& v = Take();
  if (v.type != TValueType::vaInteger) Fail(defineContext_, InvalidValue());
  return v.integer;
}

double TReader::ReadFloat() {
  const Value& v = Take();
  if (v.type == TValueType::vaInteger) return static_cast<double>(v.integer);
  if (v.type != TValueType::vaExtended) Fail(defineContext_, InvalidValue());
  return v.real;
}

std::string TReader::ReadString() {
  const Value& v = Take();
  if (v.type != TValueType::vaString) Fail(defineContext_, InvalidValue());
  return v.text;
}

bool TReader::ReadBoolean() {
  const Value& v = Take();
  if (v.type != TValueType::vaTrue && v.type != TValueType::vaFalse) Fail(defineContext_, InvalidValue());
  return v.type == TValueType::vaTrue;
}

std::vector<std::string> TReader::ReadSet() {
  const Value& v = Take();
  if (v.type != TValueType::vaSet) Fail(defineContext_, InvalidValue());
  return v.elements;
}

void TReader::ReadListBegin() {
  const Value& v = Take();
  if (v.type != TValueType::vaList) Fail(defineContext_, InvalidValue());
  lists_.push_back(ListCursor{&v, 0});
}

bool TReader::EndOfList() const {
  return lists_.empty() || lists_.back().index >= lists_.back().list->list.size();
}

void TReader::ReadListEnd() {
  if (lists_.empty() || !EndOfList()) Fail(defineContext_, InvalidValue());
  lists_.pop_back();
}

void TReader::ReadCollection(TCollection& collection) {
  const Value& v = Take();
  if (v.type != TValueType::vaCollection) Fail(defineContext_, InvalidValue());
  // The items' own properties are read with the same machinery; keep this value's cursor.
  const std::string name = defineName_, context = defineContext_;
  const Value* value = defineValue_;
  const bool consumed = consumed_;
  const std::vector<ListCursor> lists = lists_;
  const std::string saved = component_;
  component_ = context;
  try {
    ReadCollectionValue(collection, v);
  } catch (...) {
    component_ = saved;
    throw;
  }
  component_ = saved;
  defineName_ = name;
  defineContext_ = context;
  defineValue_ = value;
  consumed_ = consumed;
  lists_ = lists;
  defined_ = true;
}

void TReader::SkipValue() { Take(); }

void TReader::DefineProperty(std::string_view name, ReaderProc read, WriterProc, bool) {
  if (defined_ || !defineValue_ || !rtl::SameText(name, defineName_)) return;
  defined_ = true;
  if (read)
    read(*this);
  else
    SkipValue();
}

void TReader::DefineBinaryProperty(std::string_view name, StreamProc read, StreamProc, bool) {
  if (defined_ || !defineValue_ || !rtl::SameText(name, defineName_)) return;
  defined_ = true;
  const Value& v = Take();
  if (v.type != TValueType::vaBinary) Fail(defineContext_, InvalidValue());
  if (!read) return;
  TMemoryStream stream;
  stream.WriteBuffer(v.text.data(), static_cast<std::int64_t>(v.text.size()));
  stream.SetPosition(0);
  read(stream);
}

}  // namespace classes
