// Conversions between the program's code page 1252 ("ANSI"), the tables' code page 850 ("OEM")
// and UTF-8 at the host edges (file names, console, fonts, clipboard).
#pragma once
#include <string>
#include <string_view>

namespace rtl {

// 1252 -> UTF-8. Bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 etc.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 -> 1252; a character 1252 lacks, and every byte of an invalid UTF-8 sequence, becomes
// "?". U+0081, U+008D, U+008F, U+0090 and U+009D give back their bytes, so every 1252 text
// survives the way to the host and back.
std::string Utf8ToAnsi(std::string_view utf8);

// 850 -> 1252 and back, byte for byte (the length never changes). A character that the target
// page lacks becomes its best fit of one byte (box drawing to "+", "-", "|", typographic signs
// and a few letters to their plain forms, the rest "?"), as documented in codepage_tables.cpp.
std::string OemToAnsi(std::string_view oem);
std::string AnsiToOem(std::string_view ansi);
char OemToAnsiChar(char oem);
char AnsiToOemChar(char ansi);

}  // namespace rtl
