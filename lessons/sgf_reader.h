// The SGF reader: bytes of a file -> decoded UTF-8 text -> game trees.
//
// Character set: the root's CA[] names it when present (any name the ICU
// converters know); without CA[] the bytes are taken as UTF-8 when they are
// valid UTF-8, else as Shift_JIS, else as EUC-JP. The text is decoded as a
// whole before it is parsed, because Shift_JIS trail bytes can equal "\"
// and "]". A UTF-8 byte-order mark is skipped.
//
// Grammar (FF[4]): Collection = GameTree+; GameTree = "(" Node+ GameTree*
// ")"; Node = ";" Property*; Property = Ident Value+; Value = "[" text "]".
// Whitespace between items is skipped, text before the first "(" and after
// the last ")" is ignored; lower-case letters in identifiers (older files:
// "AddBlack") are dropped. In values "\" takes the next character as it is,
// "\" before a line break removes the break (a soft line break), line
// breaks become "\n" and other white space a blank. Values met twice in one
// node under the same identifier are joined.
//
// Everything it cannot take raises ESgfError with the line and column
// (columns count characters of the decoded text; bytes that cannot be
// decoded are named by their line and byte column).
#ifndef MOMIRO_LESSONS_SGF_READER_H_
#define MOMIRO_LESSONS_SGF_READER_H_

#include <memory>
#include <string>
#include <vector>

#include "lessons/sgf_tree.h"

namespace momiro {

// Deepest path of nodes the reader accepts (a game record has a few hundred).
constexpr int kMaxSgfDepth = 5000;

struct SgfCollection {
  std::vector<std::unique_ptr<SgfNode>> trees;  // root nodes in file order; never empty
  std::string charset;                          // the character set the bytes were read in
};

// The character set of the bytes by the rule above, and the text in UTF-8.
struct SgfText {
  std::string text;
  std::string charset;
};
SgfText DecodeSgfBytes(const std::string& bytes);

// Parses decoded UTF-8 text.
std::vector<std::unique_ptr<SgfNode>> ParseSgfText(const std::string& text);

// DecodeSgfBytes then ParseSgfText.
SgfCollection ReadSgf(const std::string& bytes);
// The whole file; a file that cannot be read raises ESgfError naming it.
SgfCollection ReadSgfFile(const std::string& path);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_READER_H_
