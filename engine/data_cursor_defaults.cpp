// TDataCursor: blank records with default values, and the required, minimum
// and maximum checks of AppendRecord and ModifyRecord.
//
// Default and check texts use the engine's fixed text forms
// (engine/value_text.h); dates, times and timestamps also take the words
// CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP in any letter case.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <variant>

#include "engine/calendar.h"
#include "engine/data_cursor.h"
#include "engine/error_codes.h"
#include "engine/value_text.h"
#include "storage/bcd.h"
#include "storage/extended_float.h"
#include "storage/field_type.h"
#include "storage/field_value.h"

namespace rudira {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool IsWord(std::string_view text, std::string_view word) {
  text = TrimBlanks(text);
  return text.size() == word.size() && std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) == b;
         });
}

// Today's day number and the milliseconds since local midnight.
void LocalNow(int32_t& day, int32_t& milliseconds) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto sinceEpoch = now.time_since_epoch();
  const int millisecond =
      static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
  day = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday).value_or(1);
  milliseconds = EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), millisecond).value_or(0);
}

template <typename T>
bool ParseDecimal(std::string_view text, T& value) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

// The value of `text` for `field`; std::monostate when it does not read.
TFieldValue ValueOfText(const TFieldDescriptor& field, std::string_view text) {
  int32_t today = 0;
  int32_t now = 0;
  try {
    switch (field.FieldType) {
      case kFieldTypeString: return std::string(text);
      case kFieldTypeDate:
        if (IsWord(text, "CURRENT_DATE")) {
          LocalNow(today, now);
          return today;
        }
        return TextToDate(text);
      case kFieldTypeTime:
        if (IsWord(text, "CURRENT_TIME")) {
          LocalNow(today, now);
          return now;
        }
        return TextToTime(text);
      case kFieldTypeTimestamp:
        if (IsWord(text, "CURRENT_TIMESTAMP")) {
          LocalNow(today, now);
          return EncodeTimestamp(today, now);
        }
        if (IsWord(text, "CURRENT_DATE")) {
          LocalNow(today, now);
          return EncodeTimestamp(today, 0);
        }
        if (IsWord(text, "CURRENT_TIME")) {
          LocalNow(today, now);
          return EncodeTimestamp(0, now);
        }
        return TextToTimestamp(text);
      case kFieldTypeBoolean: return TextToBoolean(text);
      case kFieldTypeSmallInt: {
        int16_t v = 0;
        if (ParseDecimal(text, v)) return v;
        break;
      }
      case kFieldTypeWord: {
        uint16_t v = 0;
        if (ParseDecimal(text, v)) return v;
        break;
      }
      case kFieldTypeInteger: {
        int32_t v = 0;
        if (ParseDecimal(text, v)) return v;
        break;
      }
      case kFieldTypeCardinal: {
        uint32_t v = 0;
        if (ParseDecimal(text, v)) return v;
        break;
      }
      case kFieldTypeLargeInt: {
        int64_t v = 0;
        if (ParseDecimal(text, v)) return v;
        break;
      }
      case kFieldTypeFloat: return TextToFloat(text);
      case kFieldTypeExtended: return static_cast<long double>(TextToFloat(text));
      case kFieldTypeBcd:
        if (auto bcd = BcdFromFixedPoint(TextToBCD(text), field.Scale)) return *bcd;
        break;
      default: break;
    }
  } catch (const EConvertError&) {
  }
  return std::monostate{};
}

// -1, 0 or 1 for a against b; 0 also for values that do not compare.
int CompareValues(const TFieldValue& a, const TFieldValue& b) {
  if (a.index() != b.index()) return 0;
  return std::visit(
      [&](const auto& left) -> int {
        using T = std::decay_t<decltype(left)>;
        const T& right = std::get<T>(b);
        if constexpr (std::is_same_v<T, Bcd>) {
          const auto x = BcdToFixedPoint(left);
          const auto y = BcdToFixedPoint(right);
          if (!x || !y) return 0;
          return *x < *y ? -1 : (*x > *y ? 1 : 0);
        } else if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, BlobReference>) {
          return 0;
        } else {
          return left < right ? -1 : (right < left ? 1 : 0);
        }
      },
      a);
}

}  // namespace

void TDataCursor::InitRecord(uint8_t* record) {
  RequireOpen();
  std::memset(record, 0, recordSize_);
  if (!hasDefaults_) return;
  TDataFile& data = table_->DataFile();
  for (const TFieldDescriptor& field : data.Fields()) {
    if (field.DefaultValue.empty() || !field.HasNullFlag()) continue;
    const TFieldValue value = ValueOfText(field, field.DefaultValue);
    // A default that no longer reads (the file was checked when it was
    // made) leaves the field null.
    if (!std::holds_alternative<std::monostate>(value)) (void)StoreFieldValue(record, field, value, data.Locale());
  }
}

void TDataCursor::CheckValidity(const uint8_t* record) const {
  const TDataFile& data = table_->DataFile();
  for (const TFieldDescriptor& field : data.Fields()) {
    if (!field.HasNullFlag()) continue;
    if (!field.Required && field.MinValue.empty() && field.MaxValue.empty()) continue;
    if (IsFieldNull(record, field)) {
      if (field.Required) Raise(RUDIRA_REQDERR, field.FieldName);
      continue;
    }
    TFieldValue value = ReadFieldValue(record, field);
    auto bound = [&](const std::string& text) {
      // The bound goes through the same store as a value, so that strings
      // compare in their stored form.
      std::vector<uint8_t> scratch(recordSize_, 0);
      const TFieldValue parsed = ValueOfText(field, text);
      if (std::holds_alternative<std::monostate>(parsed) ||
          !StoreFieldValue(scratch.data(), field, parsed, data.Locale())) {
        return TFieldValue{};
      }
      return ReadFieldValue(scratch.data(), field);
    };
    if (!field.MinValue.empty() && CompareValues(value, bound(field.MinValue)) < 0) {
      Raise(RUDIRA_MINVALERR, field.FieldName);
    }
    if (!field.MaxValue.empty() && CompareValues(value, bound(field.MaxValue)) > 0) {
      Raise(RUDIRA_MAXVALERR, field.FieldName);
    }
  }
}

}  // namespace rudira
