// The texts in which the shell prints field values, and their width on a
// terminal.
//
//   NULL                       no text (an empty CSV field, a blank cell)
//   strings, memos             the text itself
//   dates, times, timestamps   the engine's fixed forms (engine/value_text.h):
//                              2024-03-09, 14:05:09.5, 2024-03-09 14:05
//   booleans                   TRUE / FALSE
//   integers, word, cardinal   decimal
//   floats, money, extended    the shortest text that reads back as the same
//                              value ("0.1", "1e+300")
//   BCD                        decimal with "." and no trailing zeros
//   bytes, binary BLOBs        hexadecimal digits, two per byte
//
// Every form is one the engine reads back when it is stored into a field of
// the same type, which .import relies on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rudira {
class TField;
}

namespace rudira::sql_shell {

// The current record's value of `field`; nullopt for NULL.
std::optional<std::string> FieldText(const TField& field);

// Whether a column of this engine type is printed right-aligned (numbers).
bool IsNumericEngineType(uint8_t engineType);

// Whether a field's text is hexadecimal bytes: bytes types and BLOBs that
// are neither memo nor formatted memo.
bool IsBinaryEngineType(uint8_t engineType, uint8_t subType);

// "0a1b..." for the bytes; and back (false for a text that is not an even
// number of hexadecimal digits).
std::string HexText(std::string_view bytes);
bool HexBytes(std::string_view text, std::string& bytes);

// Terminal columns of a UTF-8 text: East Asian wide and full-width
// characters take two, combining marks none, everything else one.
size_t DisplayWidth(std::string_view text);

}  // namespace rudira::sql_shell
