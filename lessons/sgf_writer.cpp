#include "lessons/sgf_writer.h"

#include <fstream>

namespace momiro {
namespace {

void WriteProperty(std::string& out, const std::string& id, const std::vector<std::string>& values) {
  out += id;
  for (const std::string& value : values) {
    out += '[';
    out += EscapeSgfValue(value);
    out += ']';
  }
}

void WriteNode(std::string& out, const SgfNode& node, bool root) {
  out += ';';
  bool charsetWritten = false;
  for (const SgfProperty& property : node.Properties()) {
    if (root && property.id == "CA") {
      if (!charsetWritten) WriteProperty(out, "CA", {"UTF-8"});
      charsetWritten = true;
      continue;
    }
    WriteProperty(out, property.id, property.values);
  }
  if (root && !charsetWritten) WriteProperty(out, "CA", {"UTF-8"});
  out += '\n';
}

// Writes node and its main line without recursion; only variations recurse,
// so the depth of the recursion is the nesting of variations.
void WriteSequence(std::string& out, const SgfNode& first, bool root) {
  const SgfNode* node = &first;
  WriteNode(out, *node, root);
  while (node->Children().size() == 1) {
    node = node->Children().front().get();
    WriteNode(out, *node, false);
  }
  for (const auto& child : node->Children()) {
    out += '(';
    WriteSequence(out, *child, false);
    out += ")\n";
  }
}

}  // namespace

std::string EscapeSgfValue(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == '\\' || c == ']') out += '\\';
    out += c;
  }
  return out;
}

std::string WriteSgf(const SgfNode& root) {
  std::string out = "(";
  WriteSequence(out, root, true);
  out += ")\n";
  return out;
}

void WriteSgfFile(const std::string& path, const SgfNode& root) {
  const std::string text = WriteSgf(root);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw ESgfError("ファイル「" + path + "」に書き込めません。");
  file.write(text.data(), static_cast<std::streamsize>(text.size()));
  file.close();
  if (!file) throw ESgfError("ファイル「" + path + "」に書き込めません。");
}

}  // namespace momiro
