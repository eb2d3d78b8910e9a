// Values of single fields inside a record image, for every engine field code and both the DBF
// storage rules and the engine's own (XDT) rules. `p` points at the field's bytes (its offset in
// the image) and the field's length is f.length. Character conversion is the caller's business.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/xbe/numeric_text.h"
#include "platform/xbe/schema.h"

namespace xbe {

bool IsBlankValue(const FieldDesc& f, const char* p, bool xdt);
void WriteBlankValue(const FieldDesc& f, char* p, bool xdt);

// The field as text (what XbeGetField delivers for fields that are not memos): character bytes
// unchanged, numbers in decimal, dates CCYYMMDD, logicals "T"/"F"; "" for a blank value.
std::string FieldText(const FieldDesc& f, const char* p, bool xdt);
// The same text when it lies in the stored bytes (character, raw, numeric text and logical
// fields, and blank values): a view of them, without building a string. nullopt otherwise.
std::optional<std::string_view> FieldTextInPlace(const FieldDesc& f, const char* p, bool xdt);
// Stores a text value (the form FieldText gives) into the field. Raises kInvalidValue naming
// the field when the text does not fit or is not a value of the field's kind.
void StoreFieldText(const FieldDesc& f, char* p, std::string_view text, bool xdt);

std::optional<double> NumericValue(const FieldDesc& f, const char* p, bool xdt);
// Right-aligned fixed-point text of exactly `length` characters with `decimals` decimals, or
// nullopt when it does not fit. Both round half away from zero on the decimal value: a text
// (a plain decimal, as ParseDecimal accepts) on its digits, a double on its shortest text.
std::optional<std::string> FormatNumericText(std::string_view text, std::uint32_t length, std::uint16_t decimals);
std::optional<std::string> FormatNumeric(double value, std::uint32_t length, std::uint16_t decimals);
// The julian day of a date field; 0 for the empty date, nullopt for unreadable contents.
std::optional<std::int64_t> DateJulian(const FieldDesc& f, const char* p, bool xdt);
bool LogicalValue(const FieldDesc& f, const char* p);

// Strict decimal number: optional blanks, sign, digits with at most one '.', blanks.
std::optional<double> ParseDecimal(std::string_view text);

}  // namespace xbe
