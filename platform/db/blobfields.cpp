#include "platform/db/blobfields.h"

#include "platform/db/dataset.h"

namespace db {

TBlobField::TBlobField(classes::TComponent* owner) : TField(owner) { SetDataType(ftBlob); }

bool TBlobField::Modified() const {
  return modified_ && DataSet() && DataSet()->ActiveRecord() == modifiedRecord_;
}

void TBlobField::SetModified(bool modified) {
  modified_ = modified;
  modifiedRecord_ = modified && DataSet() ? DataSet()->ActiveRecord() : -1;
}

std::unique_ptr<classes::TStream> TBlobField::Stream(BlobMode mode) const {
  if (!DataSet()) DatabaseErrorFmt(kFieldNotFoundText, DisplayName());
  return DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), mode);
}

std::int64_t TBlobField::BlobSize() const {
  const auto stream = Stream(BlobMode::Read);
  return stream ? stream->Size() : 0;
}

void TBlobField::LoadFromStream(classes::TStream& source) {
  const auto stream = Stream(BlobMode::Write);
  if (stream) stream->CopyFrom(source, 0);
}

void TBlobField::SaveToStream(classes::TStream& target) const {
  const auto stream = Stream(BlobMode::Read);
  if (stream) target.CopyFrom(*stream, 0);
}

void TBlobField::Clear() { Stream(BlobMode::Write); }

std::string TBlobField::GetAsString() const {
  const auto stream = Stream(BlobMode::Read);
  if (!stream) return std::string();
  std::string text(static_cast<std::size_t>(stream->Size()), '\0');
  stream->Seek(0, classes::TSeekOrigin::soBeginning);
  const std::int64_t got = text.empty() ? 0 : stream->Read(text.data(), static_cast<std::int64_t>(text.size()));
  text.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
  return text;
}

void TBlobField::SetAsStringValue(const std::string& v) {
  const auto stream = Stream(BlobMode::Write);
  if (stream && !v.empty()) stream->WriteBuffer(v.data(), static_cast<std::int64_t>(v.size()));
}

Variant TBlobField::GetAsVariant() const {
  if (IsNull()) return Variant::Null();
  return Variant(GetAsString());
}

void TBlobField::SetAsVariantValue(const Variant& v) { SetAsStringValue(v.AsString()); }

TMemoField::TMemoField(classes::TComponent* owner) : TBlobField(owner) { SetDataType(ftMemo); }

TGraphicField::TGraphicField(classes::TComponent* owner) : TBlobField(owner) { SetDataType(ftGraphic); }

TBlobField& BlobFieldOf(TField* field) {
  auto* blob = dynamic_cast<TBlobField*>(field);
  if (!blob) throw EInvalidCast(std::string(kInvalidCastText));
  return *blob;
}

}  // namespace db
