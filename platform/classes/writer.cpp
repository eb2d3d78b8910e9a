// The writer of stored form descriptions: published properties that are stored and differ from
// their defaults, then the extra stored properties, then the children.
#include "platform/classes/collection.h"
#include "platform/classes/component.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/classes/typeinfo.h"
#include "platform/rtl/strutils.h"

namespace classes {

std::string WriteRootComponent(TComponent& root) {
  TWriter writer(root);
  writer.WriteComponent(root, 0);
  return writer.out_;
}

void TWriter::Line(int indent, std::string_view text) {
  out_.append(static_cast<std::size_t>(indent) * 2, ' ');
  out_ += text;
  out_ += '\n';
}

void TWriter::Emit(std::string_view text) {
  if (listDepth_ > 0) {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(indent_ + listDepth_) * 2, ' ');
  }
  out_ += text;
}

void TWriter::WriteComponent(TComponent& component, int indent) {
  const std::string& cls = component.ClassName();
  Line(indent, "object " + (component.Name().empty() ? cls : component.Name() + ": " + cls));
  component.state_.Include(csWriting);
  try {
    WriteProperties(component, "", indent + 1);
    component.GetChildren([&](TComponent* child) { WriteComponent(*child, indent + 1); }, &root_);
  } catch (...) {
    component.state_.Exclude(csWriting);
    throw;
  }
  component.state_.Exclude(csWriting);
  Line(indent, "end");
}

void TWriter::WriteProperties(TPersistent& instance, const std::string& prefix, int indent) {
  for (const TPropInfo* prop : instance.ClassInfo().Properties()) WriteProperty(instance, *prop, prefix, indent);
  const std::string savedPrefix = prefix_;
  const int savedIndent = indent_;
  prefix_ = prefix;
  indent_ = indent;
  instance.DefineProperties(*this);
  prefix_ = savedPrefix;
  indent_ = savedIndent;
}

void TWriter::WriteProperty(TPersistent& instance, const TPropInfo& prop, const std::string& prefix, int indent) {
  if (!prop.IsStored(instance)) return;
  const std::string head = prefix + prop.Name() + " = ";
  if (prop.Kind() == TPropKind::Class) {
    TPersistent* sub = prop.GetObject(instance);
    if (!sub || dynamic_cast<TComponent*>(sub)) return;
    if (auto* collection = dynamic_cast<TCollection*>(sub)) {
      out_.append(static_cast<std::size_t>(indent) * 2, ' ');
      out_ += head;
      const int saved = indent_;
      indent_ = indent;
      WriteCollection(*collection);
      indent_ = saved;
      out_ += '\n';
      return;
    }
    WriteProperties(*sub, prefix + prop.Name() + ".", indent);
    return;
  }
  if (prop.IsReadOnly() || prop.IsDefaultValue(instance)) return;
  std::string value;
  switch (prop.Kind()) {
    case TPropKind::Integer:
      value = rtl::IntToStr(prop.GetOrdinal(instance));
      break;
    case TPropKind::Bool:
      value = prop.GetOrdinal(instance) ? "True" : "False";
      break;
    case TPropKind::Enum: {
      const std::int64_t v = prop.GetOrdinal(instance);
      const auto& names = prop.ElementNames();
      value = v >= 0 && v < static_cast<std::int64_t>(names.size()) ? names[static_cast<std::size_t>(v)]
                                                                     : rtl::IntToStr(v);
      break;
    }
    case TPropKind::Set: {
      const auto bits = static_cast<std::uint64_t>(prop.GetOrdinal(instance));
      const auto& names = prop.ElementNames();
      value = "[";
      for (std::size_t i = 0; i < names.size() && i < 64; ++i)
        if (bits & (std::uint64_t{1} << i)) {
          if (value.size() > 1) value += ", ";
          value += names[i];
        }
      value += "]";
      break;
    }
    case TPropKind::Float:
      value = rtl::FloatToStr(prop.GetFloat(instance));
      break;
    case TPropKind::String:
      value = formtext::QuoteString(prop.GetString(instance));
      break;
    case TPropKind::Component:
      value = ReferenceName(prop.GetComponent(instance));
      break;
    case TPropKind::Method:
      value = MethodName(instance, prop);
      break;
    case TPropKind::Class:
      return;
  }
  if (value.empty()) return;  // an unnamed component or a handler that is no published method
  Line(indent, head + value);
}

std::string TWriter::ReferenceName(TComponent* component) const {
  if (!component || component->Name().empty()) return "";
  if (component == &root_ || component->Owner() == &root_) return component->Name();
  if (component->Owner() && !component->Owner()->Name().empty())
    return component->Owner()->Name() + "." + component->Name();
  return "";
}

std::string TWriter::MethodName(TPersistent& instance, const TPropInfo& prop) const {
  const std::any handler = prop.GetMethod(instance);
  for (const TMethodInfo* m : root_.ClassInfo().Methods())
    if (m->type == prop.MethodType() && prop.SameMethod(handler, m->bind(root_))) return m->name;
  return "";
}

void TWriter::DefineProperty(std::string_view name, ReaderProc, WriterProc write, bool hasData) {
  if (!hasData || !write) return;
  out_.append(static_cast<std::size_t>(indent_) * 2, ' ');
  out_ += prefix_;
  out_ += name;
  out_ += " = ";
  write(*this);
  out_ += '\n';
}

void TWriter::DefineBinaryProperty(std::string_view name, StreamProc, StreamProc write, bool hasData) {
  if (!hasData || !write) return;
  TMemoryStream stream;
  write(stream);
  static const char* const kHex = "0123456789ABCDEF";
  out_.append(static_cast<std::size_t>(indent_) * 2, ' ');
  out_ += prefix_;
  out_ += name;
  out_ += " = {";
  const auto& bytes = stream.Bytes();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) {
      out_ += '\n';
      out_.append(static_cast<std::size_t>(indent_ + 1) * 2, ' ');
    }
    out_ += kHex[bytes[i] >> 4];
    out_ += kHex[bytes[i] & 15];
  }
  out_ += "}\n";
}

void TWriter::WriteIdent(std::string_view ident) { Emit(ident); }
void TWriter::WriteInteger(std::int64_t value) { Emit(rtl::IntToStr(value)); }
void TWriter::WriteFloat(double value) { Emit(rtl::FloatToStr(value)); }
void TWriter::WriteString(std::string_view value) { Emit(formtext::QuoteString(value)); }
void TWriter::WriteBoolean(bool value) { Emit(value ? "True" : "False"); }

void TWriter::WriteListBegin() {
  Emit("(");
  ++listDepth_;
}

void TWriter::WriteListEnd() {
  --listDepth_;
  out_ += ")";
}

void TWriter::WriteCollection(TCollection& collection) {
  Emit("<");
  const int savedDepth = listDepth_;
  const int base = indent_ + listDepth_;
  listDepth_ = 0;
  for (int i = 0; i < collection.Count(); ++i) {
    out_ += '\n';
    Line(base + 1, "item");
    WriteProperties(*collection.Item(i), "", base + 2);
    out_.append(static_cast<std::size_t>(base + 1) * 2, ' ');
    out_ += "end";
  }
  out_ += ">";
  listDepth_ = savedDepth;
}

}  // namespace classes
