// The query's extra properties in a stored form description: the statement block "Data" (kept
// only to be written back), the parameters "ParamData", and the old "WaitCursor" (skipped).
#include "engine/xbequery.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"

void TXbeQuery::DefineProperties(classes::TFiler& filer) {
  TXbeExtendedDataSet::DefineProperties(filer);
  filer.DefineBinaryProperty(
      "Data",
      [this](classes::TStream& stream) {
        std::vector<std::uint8_t> block(static_cast<std::size_t>(stream.Size()));
        if (!block.empty()) stream.ReadBuffer(block.data(), static_cast<std::int64_t>(block.size()));
        storedStatementData_ = std::move(block);
      },
      [this](classes::TStream& stream) {
        const std::vector<std::uint8_t>& block = *storedStatementData_;
        if (!block.empty()) stream.WriteBuffer(block.data(), static_cast<std::int64_t>(block.size()));
      },
      storedStatementData_.has_value());
  filer.DefineProperty(
      "ParamData", [this](classes::TReader& reader) { reader.ReadCollection(*params_); },
      [this](classes::TWriter& writer) { writer.WriteCollection(*params_); }, true);
  filer.DefineProperty(
      "WaitCursor",
      [](classes::TReader& reader) {
        if (reader.NextValue() == classes::TValueType::vaIdent)
          reader.ReadIdent();
        else
          reader.ReadInteger();
      },
      nullptr, false);
}
