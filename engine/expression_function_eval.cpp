// Evaluation of the expression functions (all but CAST, which is in
// engine/expression_evaluator.cpp beside the value conversion it uses).
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/calendar.h"
#include "engine/errors.h"
#include "engine/expression_value.h"
#include "engine/language_string_list.h"
#include "engine/locale_compare.h"
#include "engine/split_words.h"
#include "storage/field_type.h"

namespace rudira {
namespace {

size_t CharCount(std::string_view text) {
  size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

// The byte offset of character `index` (0-based); text.size() beyond the end.
size_t CharOffset(std::string_view text, size_t index) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == index) return i;
      ++chars;
    }
  }
  return text.size();
}

ExpValue Integer32(int64_t v) { return ExpValue::Integer(kFieldTypeInteger, v); }

int64_t OccurrenceCount(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return 0;
  int64_t count = 0;
  for (size_t at = haystack.find(needle); at != std::string_view::npos; at = haystack.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

ExpValue Round(const ExpValue& x, int places) {
  ExpValue v = x;
  if (v.Null) return v;
  if (x.Type == kFieldTypeBcd) {
    if (places >= 4) return v;
    int64_t factor = 1;
    for (int i = places; i < 4; ++i) factor *= 10;
    int64_t q = v.Int / factor;
    const int64_t rest = v.Int % factor;
    if (rest * 2 >= factor) ++q;
    else if (rest * 2 <= -factor) --q;
    v.Int = q * factor;
    return v;
  }
  const long double scale = std::pow(10.0L, places);
  const long double scaled = static_cast<long double>(v.Real) * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.0e18L) return v;  // no digits left to drop
  v.Real = static_cast<double>(std::round(scaled) / scale);  // std::round: half away from zero
  return v;
}

// Whether a search word (with "*" as a trailing wildcard) occurs among the
// column's words, and how often.
int64_t WordOccurrences(const TLanguageStringList& words, const std::string& search) {
  if (!search.empty() && search.back() == '*') {
    const std::string prefix = search.substr(0, search.size() - 1);
    int64_t count = 0;
    for (size_t i = 0; i < words.Count(); ++i) {
      if (CompareLocaleStrings(words.LanguageId(), words.SortId(), words.Strings(i), true, prefix.size(), prefix) == 0) {
        count += words.Values(i);
      }
    }
    return count;
  }
  size_t index = 0;
  return words.Find(search, index) ? words.Values(index) : 0;
}

}  // namespace

ExpValue EvaluateFunctionNode(const TExpToken& node, TExpressionRecordAccess& access, const TEvaluateOptions& options,
                              const std::function<ExpValue(const TExpToken&)>& eval) {
  const std::vector<TExpToken*>& args = node.Arguments;
  const uint8_t type = node.DataType;
  const auto typed = [&](ExpValue v) {
    v.Type = type;
    v.SubType = node.SubType;
    v.Size = node.DataSize;
    v.Scale = node.DataScale;
    return v;
  };
  switch (node.OpCode) {
    case kFuncSum: case kFuncRunSum: case kFuncCount: case kFuncMin: case kFuncMax: case kFuncAvg: {
      TExpTokenPtr value = TExpTokenStack::TakePtr();
      value->SetType(node.DataType, node.SubType, node.DataSize, node.DataScale);
      access.ReadAggregate(node, *value);
      value->SetType(node.DataType, node.SubType, node.DataSize, node.DataScale);
      return LoadExpValue(*value);
    }
    case kFuncUpper: case kFuncLower: {
      ExpValue v = typed(eval(*args[0]));
      if (v.Null) return v;
      if (node.OpCode == kFuncUpper) LocaleUpperCase(options.LanguageId, options.SortId, v.Text);
      else LocaleLowerCase(options.LanguageId, options.SortId, v.Text);
      return v;
    }
    case kFuncLength: {
      const ExpValue v = eval(*args[0]);
      if (v.Null) return ExpValue::NullOf(type);
      return Integer32(static_cast<int64_t>(CharCount(v.Text)));
    }
    case kFuncSubstring: {
      const ExpValue s = eval(*args[0]);
      const ExpValue from = eval(*args[1]);
      if (s.Null || from.Null) return ExpValue::NullOf(type);
      const int64_t start = std::max<int64_t>(from.Int, 1) - 1;
      const size_t begin = CharOffset(s.Text, static_cast<size_t>(std::min<int64_t>(start, INT32_MAX)));
      size_t end = s.Text.size();
      if (args.size() > 2) {
        const ExpValue count = eval(*args[2]);
        if (count.Null) return ExpValue::NullOf(type);
        const int64_t n = std::max<int64_t>(count.Int, 0);
        end = CharOffset(s.Text, static_cast<size_t>(std::min<int64_t>(start + n, INT32_MAX)));
      }
      return typed(ExpValue::String(type, s.Text.substr(begin, end - begin)));
    }
    case kFuncReplace: {
      const ExpValue a = eval(*args[0]);
      const ExpValue b = eval(*args[1]);
      const ExpValue s = eval(*args[2]);
      if (s.Null) return ExpValue::NullOf(type);
      if (a.Null || a.Text.empty()) return typed(ExpValue::String(type, s.Text));
      std::string out;
      size_t at = 0;
      for (size_t hit = s.Text.find(a.Text); hit != std::string::npos; hit = s.Text.find(a.Text, at)) {
        out.append(s.Text, at, hit - at);
        if (!b.Null) out += b.Text;
        at = hit + a.Text.size();
      }
      out.append(s.Text, at, std::string::npos);
      return typed(ExpValue::String(type, std::move(out)));
    }
    case kFuncPos: {
      const ExpValue a = eval(*args[0]);
      const ExpValue s = eval(*args[1]);
      if (a.Null || s.Null) return Integer32(0);
      const size_t at = s.Text.find(a.Text);
      return Integer32(at == std::string::npos ? 0 : static_cast<int64_t>(CharCount(s.Text.substr(0, at))) + 1);
    }
    case kFuncOccurs: {
      const ExpValue a = eval(*args[0]);
      const ExpValue s = eval(*args[1]);
      if (a.Null || s.Null) return Integer32(0);
      return Integer32(OccurrenceCount(a.Text, s.Text));
    }
    case kFuncTrimLeading: case kFuncTrimTrailing: case kFuncTrimBoth: {
      const ExpValue c = eval(*args[0]);
      const ExpValue s = eval(*args[1]);
      if (s.Null) return ExpValue::NullOf(type);
      std::string_view text = s.Text;
      if (!c.Null && !c.Text.empty()) {
        const std::string_view ch = c.Text;
        if (node.OpCode != kFuncTrimTrailing) {
          while (text.substr(0, ch.size()) == ch) text.remove_prefix(ch.size());
        }
        if (node.OpCode != kFuncTrimLeading) {
          while (text.size() >= ch.size() && text.substr(text.size() - ch.size()) == ch) text.remove_suffix(ch.size());
        }
      }
      return typed(ExpValue::String(type, std::string(text)));
    }
    case kFuncExtractYear: case kFuncExtractMonth: case kFuncExtractWeek: case kFuncExtractDay:
    case kFuncExtractDayOfWeek: case kFuncExtractDayOfYear: case kFuncExtractHour: case kFuncExtractMinute:
    case kFuncExtractSecond: {
      const ExpValue d = eval(*args[0]);
      if (d.Null) return ExpValue::NullOf(type);
      int32_t day = 0;
      int32_t ms = 0;
      if (d.Type == kFieldTypeDate) day = static_cast<int32_t>(d.Int);
      else if (d.Type == kFieldTypeTime) ms = static_cast<int32_t>(d.Int);
      else DecodeTimestamp(d.Real, day, ms);
      const CalendarDate date = DecodeDate(day);
      const TimeOfDay time = DecodeTime(ms);
      switch (node.OpCode) {
        case kFuncExtractYear: return Integer32(date.Year);
        case kFuncExtractMonth: return Integer32(date.Month);
        case kFuncExtractWeek: return Integer32(IsoWeekNumber(day));
        case kFuncExtractDay: return Integer32(date.Day);
        case kFuncExtractDayOfWeek: return Integer32(IsoDayOfWeek(day));
        case kFuncExtractDayOfYear: return Integer32(DayOfYear(day));
        case kFuncExtractHour: return Integer32(time.Hour);
        case kFuncExtractMinute: return Integer32(time.Minute);
        default: return Integer32(time.Second);
      }
    }
    case kFuncIf: {
      const ExpValue condition = eval(*args[0]);
      const bool truth = !condition.Null && condition.Int != 0;
      return ConvertExpValue(eval(*args[truth ? 1 : 2]), type, node.SubType, node.DataSize, node.DataScale);
    }
    case kFuncIfNull: {
      const ExpValue x = eval(*args[0]);
      return ConvertExpValue(eval(*args[x.Null ? 1 : 2]), type, node.SubType, node.DataSize, node.DataScale);
    }
    case kFuncCoalesce:
      for (const TExpToken* argument : args) {
        ExpValue v = eval(*argument);
        if (!v.Null) return ConvertExpValue(v, type, node.SubType, node.DataSize, node.DataScale);
      }
      return ExpValue::NullOf(type);
    case kFuncAbs: {
      ExpValue v = typed(eval(*args[0]));
      if (v.Null) return v;
      if (v.Type == kFieldTypeFloat) v.Real = std::fabs(v.Real);
      else if (v.Int < 0) v.Int = static_cast<int64_t>(0ULL - static_cast<uint64_t>(v.Int));
      if (v.Type == kFieldTypeSmallInt) v.Int = static_cast<int16_t>(v.Int);
      if (v.Type == kFieldTypeInteger) v.Int = static_cast<int32_t>(v.Int);
      return v;
    }
    case kFuncRound: {
      int places = 0;
      if (args.size() > 1) {
        const ExpValue n = eval(*args[1]);
        places = n.Null ? 0 : static_cast<int>(n.Int);
      }
      return Round(typed(eval(*args[0])), places);
    }
    case kFuncTextSearch: case kFuncTextOccurs: {
      // Until the text index answers these, the column's words are split
      // here with the index's character sets and compared case-insensitively.
      const ExpValue text = eval(*args[0]);
      const ExpValue column = eval(*args[1]);
      CharSet include;
      CharSet space;
      access.TextIndexCharSets(*args[1], include, space);
      TLanguageStringList searchWords(options.LanguageId, options.SortId, false, Duplicates::kAccept);
      SplitWords(text.Text, text.Text.size(), searchWords, true, false, include, space);
      TLanguageStringList columnWords(options.LanguageId, options.SortId);
      if (!column.Null) SplitWords(column.Text, column.Text.size(), columnWords, false, true, include, space);
      bool all = searchWords.Count() > 0 && !column.Null;
      int64_t occurrences = 0;
      for (size_t i = 0; i < searchWords.Count(); ++i) {
        const int64_t n = WordOccurrences(columnWords, searchWords.Strings(i));
        if (n == 0) all = false;
        occurrences += n;
      }
      if (node.OpCode == kFuncTextSearch) return ExpValue::Boolean(all);
      return ExpValue::Integer(kFieldTypeWord, std::min<int64_t>(occurrences, 65535));
    }
    case kFuncLastAutoInc: case kFuncIdentCurrent: {
      const ExpValue table = eval(*args[0]);
      return Integer32(access.LastAutoIncValue(table.Text));
    }
    default:
      return ExpValue::NullOf(type);
  }
}

}  // namespace rudira
