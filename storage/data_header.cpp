#include "storage/data_header.h"

#include <chrono>
#include <cstring>
#include <ctime>

#include "storage/byte_codec.h"

namespace rudira {
namespace {

constexpr size_t kOffChangeCount = 0;
constexpr size_t kOffBlobBlockSize = 4;
constexpr size_t kOffFormatVersion = 8;
constexpr size_t kOffFirstFree = 9;
constexpr size_t kOffNextRecord = 13;
constexpr size_t kOffLastAutoInc = 17;
constexpr size_t kOffRecordSize = 21;
constexpr size_t kOffFieldCount = 23;
constexpr size_t kOffBlobFieldCount = 25;
constexpr size_t kOffLastUpdated = 27;
constexpr size_t kOffDescription = 35;
constexpr size_t kOffEncrypted = 86;
constexpr size_t kOffPassword = 87;
constexpr size_t kOffLanguageId = 103;
constexpr size_t kOffSortId = 105;
constexpr size_t kOffUserMajor = 107;
constexpr size_t kOffUserMinor = 109;
constexpr size_t kOffHeaderModified = 111;
constexpr size_t kOffLastBlobStamp = 112;
constexpr size_t kOffWriterVersion = 116;
constexpr size_t kOffReserved = 120;
static_assert(kOffReserved + 7 == kDataHeaderSize);

}  // namespace

void TDataHeader::EncodeTo(uint8_t* p) const {
  std::memset(p, 0, kDataHeaderSize);
  StoreLE<int32_t>(p + kOffChangeCount, ChangeCount);
  StoreLE<uint32_t>(p + kOffBlobBlockSize, BlobBlockSize);
  p[kOffFormatVersion] = FormatVersion;
  StoreLE<int32_t>(p + kOffFirstFree, FirstFreeRecord);
  StoreLE<int32_t>(p + kOffNextRecord, NextRecordNumber);
  StoreLE<int32_t>(p + kOffLastAutoInc, LastAutoIncValue);
  StoreLE<uint16_t>(p + kOffRecordSize, RecordSize);
  StoreLE<uint16_t>(p + kOffFieldCount, FieldCount);
  StoreLE<int16_t>(p + kOffBlobFieldCount, BlobFieldCount);
  StoreDoubleLE(p + kOffLastUpdated, LastUpdated);
  // The texts are stored as they are held: already scrambled when encrypted,
  // so they are not cut here (a scrambled byte may look like a UTF-8 lead).
  const size_t descriptionLength = std::min(Description.size(), kDescriptionCapacity);
  p[kOffDescription] = static_cast<uint8_t>(descriptionLength);
  std::memcpy(p + kOffDescription + 1, Description.data(), descriptionLength);
  p[kOffEncrypted] = Encrypted;
  const size_t passwordLength = std::min(Password.size(), kPasswordCapacity);
  p[kOffPassword] = static_cast<uint8_t>(passwordLength);
  std::memcpy(p + kOffPassword + 1, Password.data(), passwordLength);
  StoreLE<int16_t>(p + kOffLanguageId, LanguageId);
  StoreLE<int16_t>(p + kOffSortId, SortId);
  StoreLE<int16_t>(p + kOffUserMajor, UserMajorVersion);
  StoreLE<int16_t>(p + kOffUserMinor, UserMinorVersion);
  p[kOffHeaderModified] = HeaderModified;
  StoreLE<int32_t>(p + kOffLastBlobStamp, LastBlobStamp);
  StoreLE<int32_t>(p + kOffWriterVersion, WriterVersion);
}

bool TDataHeader::DecodeFrom(const uint8_t* p) {
  auto description = LoadShortString(p + kOffDescription, kDescriptionCapacity);
  auto password = LoadShortString(p + kOffPassword, kPasswordCapacity);
  if (!description || !password) return false;
  ChangeCount = LoadLE<int32_t>(p + kOffChangeCount);
  BlobBlockSize = LoadLE<uint32_t>(p + kOffBlobBlockSize);
  FormatVersion = p[kOffFormatVersion];
  FirstFreeRecord = LoadLE<int32_t>(p + kOffFirstFree);
  NextRecordNumber = LoadLE<int32_t>(p + kOffNextRecord);
  LastAutoIncValue = LoadLE<int32_t>(p + kOffLastAutoInc);
  RecordSize = LoadLE<uint16_t>(p + kOffRecordSize);
  FieldCount = LoadLE<uint16_t>(p + kOffFieldCount);
  BlobFieldCount = LoadLE<int16_t>(p + kOffBlobFieldCount);
  LastUpdated = LoadDoubleLE(p + kOffLastUpdated);
  Description = std::move(*description);
  Encrypted = p[kOffEncrypted];
  Password = std::move(*password);
  LanguageId = LoadLE<int16_t>(p + kOffLanguageId);
  SortId = LoadLE<int16_t>(p + kOffSortId);
  UserMajorVersion = LoadLE<int16_t>(p + kOffUserMajor);
  UserMinorVersion = LoadLE<int16_t>(p + kOffUserMinor);
  HeaderModified = p[kOffHeaderModified];
  LastBlobStamp = LoadLE<int32_t>(p + kOffLastBlobStamp);
  WriterVersion = LoadLE<int32_t>(p + kOffWriterVersion);
  return true;
}

double NowAsDays() {
  // Local wall-clock time as a day count since 1899-12-30 (day 0), the time
  // of day as the fraction.
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::chrono::year_month_day ymd{std::chrono::year{local.tm_year + 1900},
                                        std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                                        std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
  constexpr std::chrono::sys_days kEpoch = std::chrono::sys_days{std::chrono::year{1899} / 12 / 30};
  const double days = static_cast<double>((std::chrono::sys_days{ymd} - kEpoch).count());
  const double dayFraction =
      (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + static_cast<double>(millis) / 1000.0) / 86400.0;
  return days + dayFraction;
}

}  // namespace rudira
