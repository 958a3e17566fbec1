#include "lessons/sgf_reader.h"

#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <regex>

namespace momiro {
namespace {

// Line and byte column of a byte offset of the raw file.
void RawPosition(const std::string& bytes, size_t offset, int& line, int& column) {
  line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < offset && i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  column = static_cast<int>(offset - lineStart) + 1;
}

// Decodes all bytes with one converter; false (and the offset of the first
// byte that does not decode) when they are not text of that set. An unknown
// set raises ESgfError.
bool TryDecode(const std::string& bytes, const std::string& charset, std::string& text, size_t& badOffset) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(charset.c_str(), &status);
  if (U_FAILURE(status) || converter == nullptr) {
    throw ESgfError("文字コード「" + charset + "」は扱えません。");
  }
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  std::u16string out(bytes.size() + 1, u'\0');
  const char* source = bytes.data();
  const char* sourceEnd = bytes.data() + bytes.size();
  UChar* target = reinterpret_cast<UChar*>(out.data());
  UChar* targetEnd = target + out.size();
  ucnv_toUnicode(converter, &target, targetEnd, &source, sourceEnd, nullptr, true, &status);
  ucnv_close(converter);
  if (U_FAILURE(status)) {
    // The source stops just past the bytes that failed.
    const size_t consumed = static_cast<size_t>(source - bytes.data());
    badOffset = consumed > 0 ? consumed - 1 : 0;
    return false;
  }
  out.resize(static_cast<size_t>(target - reinterpret_cast<UChar*>(out.data())));
  text.clear();
  icu::UnicodeString(reinterpret_cast<const UChar*>(out.data()), static_cast<int32_t>(out.size()))
      .toUTF8String(text);
  return true;
}

// The CA[] value of the file: character sets are named in ASCII, so the
// raw bytes can be searched before anything is decoded.
bool FindCharset(const std::string& bytes, std::string& charset, size_t& offset) {
  static const std::regex kCa(R"((^|[;\]\s])CA\s*\[([^\]\\]*)\])");
  std::smatch match;
  if (!std::regex_search(bytes, match, kCa)) return false;
  charset = match[2].str();
  while (!charset.empty() && std::isspace(static_cast<unsigned char>(charset.back()))) charset.pop_back();
  while (!charset.empty() && std::isspace(static_cast<unsigned char>(charset.front()))) charset.erase(0, 1);
  offset = static_cast<size_t>(match.position(2));
  return true;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  std::vector<std::unique_ptr<SgfNode>> Run() {
    std::vector<std::unique_ptr<SgfNode>> trees;
    SkipTo('(');
    if (AtEnd()) throw ESgfError("SGF の棋譜がありません（「(」が見つかりません）。", line_, column_);
    while (!AtEnd() && Peek() == '(') {
      trees.push_back(GameTree());
      SkipWhite();
      // Text after a game tree that starts no further tree is ignored.
      if (!AtEnd() && Peek() != '(') break;
    }
    return trees;
  }

 private:
  // One variation level: the node it hangs from (none for the tree), its
  // last node so far, where its "(" stood, and whether a sub-tree has begun
  // (after which no node may follow).
  struct Level {
    SgfNode* from = nullptr;
    SgfNode* last = nullptr;
    int depth = 0;  // nodes on the path above the level's first node
    int chain = 0;  // nodes of the level itself
    bool subTrees = false;
    int line = 0;
    int column = 0;
  };

  std::unique_ptr<SgfNode> GameTree() {
    std::unique_ptr<SgfNode> root;
    std::vector<Level> levels;
    int depth = 0;
    for (;;) {
      SkipWhite();
      if (AtEnd()) {
        const Level& open = levels.back();
        throw ESgfError("「(」に対応する「)」がありません。", open.line, open.column);
      }
      const char c = Peek();
      if (c == '(') {
        Level level;
        if (!levels.empty()) {
          levels.back().subTrees = true;
          level.from = levels.back().last;
        }
        level.depth = depth;
        level.line = line_;
        level.column = column_;
        levels.push_back(level);
        Advance();
        SkipWhite();
        if (AtEnd() || Peek() != ';') {
          throw ESgfError("「(」の後にノード「;」がありません。", line_, column_);
        }
      } else if (c == ')') {
        levels.pop_back();
        Advance();
        if (levels.empty()) return root;
        // Sibling variations start from the parent level's last node again.
        depth = levels.back().depth + levels.back().chain;
      } else if (c == ';') {
        Level& level = levels.back();
        if (level.subTrees) {
          throw ESgfError("変化「)」の後にノード「;」は置けません。", line_, column_);
        }
        if (++depth > kMaxSgfDepth) {
          throw ESgfError("手順が深すぎます（" + std::to_string(kMaxSgfDepth) + " ノードまで）。", line_,
                          column_);
        }
        SgfNode* parent = level.last != nullptr ? level.last : level.from;
        SgfNode* node;
        if (parent == nullptr) {
          root = std::make_unique<SgfNode>();
          node = root.get();
        } else {
          node = &parent->AddChild();
        }
        node->line = line_;
        node->column = column_;
        Advance();
        Properties(*node);
        level.last = node;
        ++level.chain;
      } else {
        throw ESgfError(std::string("「") + Character() + "」は読めません。", line_, column_);
      }
    }
  }

  void Properties(SgfNode& node) {
    for (;;) {
      SkipWhite();
      if (AtEnd()) return;
      const char c = Peek();
      if (!std::isalpha(static_cast<unsigned char>(c))) return;
      SgfProperty property;
      property.line = line_;
      property.column = column_;
      while (!AtEnd() && std::isalpha(static_cast<unsigned char>(Peek()))) {
        if (std::isupper(static_cast<unsigned char>(Peek()))) property.id += Peek();
        Advance();
      }
      if (property.id.empty()) {
        throw ESgfError("プロパティ名に大文字がありません。", property.line, property.column);
      }
      SkipWhite();
      if (AtEnd() || Peek() != '[') {
        throw ESgfError("プロパティ " + property.id + " に値「[...]」がありません。", property.line,
                        property.column);
      }
      while (!AtEnd() && Peek() == '[') {
        property.values.push_back(Value());
        SkipWhite();
      }
      bool joined = false;
      for (const SgfProperty& existing : node.Properties()) {
        if (existing.id == property.id) {
          for (const std::string& value : property.values) node.Add(property.id, value);
          joined = true;
          break;
        }
      }
      if (!joined) node.AddRead(std::move(property));
    }
  }

  std::string Value() {
    const int line = line_;
    const int column = column_;
    Advance();  // "["
    std::string value;
    for (;;) {
      if (AtEnd()) throw ESgfError("値が「]」で閉じていません。", line, column);
      char c = Peek();
      if (c == ']') {
        Advance();
        return value;
      }
      if (c == '\\') {
        Advance();
        if (AtEnd()) throw ESgfError("値が「]」で閉じていません。", line, column);
        c = Peek();
        if (c == '\n' || c == '\r') {
          SkipLineBreak();  // soft line break
          continue;
        }
        AppendCharacter(value);
        continue;
      }
      if (c == '\n' || c == '\r') {
        SkipLineBreak();
        value += '\n';
        continue;
      }
      if (c == '\t' || c == '\v' || c == '\f') {
        Advance();
        value += ' ';
        continue;
      }
      AppendCharacter(value);
    }
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return text_[pos_]; }

  // The UTF-8 character at the position, for messages.
  std::string Character() const {
    size_t end = pos_ + 1;
    while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) ++end;
    return text_.substr(pos_, end - pos_);
  }
  void AppendCharacter(std::string& out) {
    const std::string c = Character();
    out += c;
    for (size_t i = 0; i < c.size(); ++i) Advance();
  }

  void Advance() {
    const char c = text_[pos_++];
    if (c == '\n') {
      ++line_;
      column_ = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column_;
    }
  }
  // One line break: LF, CR, CR LF or LF CR.
  void SkipLineBreak() {
    const char first = Peek();
    pos_++;
    ++line_;
    column_ = 1;
    if (!AtEnd() && (Peek() == '\n' || Peek() == '\r') && Peek() != first) pos_++;
  }
  void SkipWhite() {
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '\r' || c == '\n') {
        SkipLineBreak();
      } else if (c == ' ' || c == '\t' || c == '\v' || c == '\f') {
        Advance();
      } else {
        return;
      }
    }
  }
  void SkipTo(char wanted) {
    while (!AtEnd() && Peek() != wanted) {
      if (Peek() == '\r' || Peek() == '\n') {
        SkipLineBreak();
      } else {
        Advance();
      }
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

}  // namespace

SgfText DecodeSgfBytes(const std::string& rawBytes) {
  std::string bytes = rawBytes;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  SgfText result;
  size_t bad = 0;
  std::string charset;
  size_t charsetOffset = 0;
  int line = 0;
  int column = 0;
  if (FindCharset(bytes, charset, charsetOffset)) {
    if (charset.empty()) charset = "ISO-8859-1";  // FF[4]: the default set
    if (!TryDecode(bytes, charset, result.text, bad)) {
      RawPosition(bytes, bad, line, column);
      throw ESgfError("CA[" + charset + "] の文字として読めないバイトがあります。", line, column);
    }
    result.charset = charset;
    return result;
  }
  for (const char* candidate : {"UTF-8", "Shift_JIS", "EUC-JP"}) {
    if (TryDecode(bytes, candidate, result.text, bad)) {
      result.charset = candidate;
      return result;
    }
  }
  TryDecode(bytes, "UTF-8", result.text, bad);
  RawPosition(bytes, bad, line, column);
  throw ESgfError("文字コードが分かりません（UTF-8、Shift_JIS、EUC-JP のどれでもありません）。", line, column);
}

std::vector<std::unique_ptr<SgfNode>> ParseSgfText(const std::string& text) { return Parser(text).Run(); }

SgfCollection ReadSgf(const std::string& bytes) {
  SgfText decoded = DecodeSgfBytes(bytes);
  SgfCollection collection;
  collection.trees = ParseSgfText(decoded.text);
  collection.charset = decoded.charset;
  return collection;
}

SgfCollection ReadSgfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ESgfError("ファイル「" + path + "」を開けません。");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw ESgfError("ファイル「" + path + "」を読めません。");
  return ReadSgf(bytes);
}

}  // namespace momiro
