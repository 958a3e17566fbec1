// The SGF writer: one game tree as FF[4] text in UTF-8.
//
// The root is written with CA[UTF-8] (replacing any CA[] it carries, since
// the text is UTF-8 whatever the tree was read from). Each node starts a
// line; a node with several children writes each as a variation "(...)",
// the first being the main line. In values "\" and "]" are escaped and
// line breaks are written as they are (hard breaks). Point lists are
// written one point per value.
#ifndef MOMIRO_LESSONS_SGF_WRITER_H_
#define MOMIRO_LESSONS_SGF_WRITER_H_

#include <string>

#include "lessons/sgf_tree.h"

namespace momiro {

std::string WriteSgf(const SgfNode& root);
// Writes the text to path (created or replaced); a file that cannot be
// written raises ESgfError naming it.
void WriteSgfFile(const std::string& path, const SgfNode& root);

// A value with "\" and "]" escaped.
std::string EscapeSgfValue(const std::string& value);

}  // namespace momiro

#endif  // MOMIRO_LESSONS_SGF_WRITER_H_
