// The text of a stored form description, parsed into a tree before anything is created:
//
//   object FPrincipal: TFPrincipal          (or "object TClass" for an unnamed component)
//     Caption = 'Atualiza'#231#227'o'      strings: '...' with '' for a quote, #nnn for a byte
//     Left = -11                           integers (also $hex), floats 1.5 / 2E3
//     Align = alClient                     identifiers; True / False
//     XbeTableOptions.XbeLockType = Compatible   dotted paths into sub-objects
//     XbeServerTypes = [stXBE_LOCAL]       sets
//     Lines.Strings = ( 'a' 'b' )          lists
//     Glyph.Data = { 0A1B2C }              binary data in hexadecimal
//     FieldDefs = < item Name = 'A' end >  collections
//     Long = 'first part' + 'second part'  long strings continued with "+"
//     object Memo1: TMemo                  nested objects
//     end
//   end
//
// Keywords and identifiers are not case-sensitive. Bytes of 128 and above inside quotes are
// taken as code page 1252; "#nnn" above 255 is a Unicode code point, converted to 1252.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace classes {

// The kind of a stored value, as a defined-property reader sees it (TReader::NextValue).
enum class TValueType { vaNull, vaList, vaInteger, vaExtended, vaString, vaIdent, vaFalse, vaTrue, vaBinary, vaSet, vaCollection };

namespace formtext {

struct Property;

struct Value {
  TValueType type = TValueType::vaNull;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;                           // string, identifier, binary bytes
  std::vector<std::string> elements;          // set
  std::vector<Value> list;                    // list
  std::vector<std::vector<Property>> items;   // collection
  int line = 0;
};

struct Property {
  std::string name;  // dotted path
  Value value;
  int line = 0;
};

struct Object {
  std::string name;
  std::string className;
  std::vector<Property> properties;
  std::vector<Object> children;
  int line = 0;
};

// Parses one object with its nested objects; raises EParserError naming the line.
Object Parse(std::string_view text);

// The text form of a string value: printable ASCII in quotes, everything else as #nnn.
std::string QuoteString(std::string_view value);

}  // namespace formtext
}  // namespace classes
