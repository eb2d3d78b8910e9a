// Blob fields: their contents travel through the streams that the dataset's OpenBlobStream
// hook creates; the record buffer holds none of it (DataSize 0).
#pragma once
#include <memory>

#include "platform/classes/streams.h"
#include "platform/db/field.h"

namespace db {

class TBlobField : public TField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TBlobField(classes::TComponent* owner);
  int DataSize() const override { return 0; }
  bool IsBlob() const override { return true; }

  // Set by a blob stream that wrote to the field; it holds for the record that was active then.
  bool Modified() const;
  void SetModified(bool modified);
  std::int64_t BlobSize() const;
  void LoadFromStream(classes::TStream& stream);
  void SaveToStream(classes::TStream& stream) const;
  void Clear() override;

 protected:
  std::string GetAsString() const override;
  void SetAsStringValue(const std::string& v) override;
  Variant GetAsVariant() const override;
  void SetAsVariantValue(const Variant& v) override;

 private:
  std::unique_ptr<classes::TStream> Stream(BlobMode mode) const;
  bool modified_ = false;
  int modifiedRecord_ = -1;
};

class TMemoField : public TBlobField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TMemoField(classes::TComponent* owner);
};

class TGraphicField : public TBlobField {
  CLASSES_DECLARE_CLASSINFO()
 public:
  explicit TGraphicField(classes::TComponent* owner);
};

// The framework's type check for blob streams: raises EInvalidCast when the field is no blob
// field.
TBlobField& BlobFieldOf(TField* field);

}  // namespace db
