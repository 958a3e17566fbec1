#include "engine/locale_services.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uloc.h>

#include <cassert>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <utility>

namespace rudira {

namespace {

// Collators by (platform locale identifier, ignore-case flag).
struct CollatorCache {
  std::mutex Lock;
  std::map<std::pair<uint32_t, bool>, std::unique_ptr<icu::Collator>> Collators;  // guarded by Lock
};

// Never destroyed, so collators handed out stay valid through process exit.
CollatorCache& Cache() {
  static CollatorCache* cache = new CollatorCache;
  return *cache;
}

std::unique_ptr<icu::Collator> MakeCollator(uint16_t languageId, uint16_t sortId,
                                            bool ignoreCase) {
  std::string name = IcuLocaleName(languageId, sortId);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(
      icu::Collator::createInstance(name.empty() ? icu::Locale::getRoot() : icu::Locale(name.c_str()), status));
  if (U_FAILURE(status) || collator == nullptr) {
    status = U_ZERO_ERROR;
    collator.reset(icu::Collator::createInstance(icu::Locale::getRoot(), status));
  }
  assert(collator != nullptr);
  status = U_ZERO_ERROR;
  collator->setAttribute(UCOL_STRENGTH, UCOL_PRIMARY, status);
  collator->setAttribute(UCOL_CASE_LEVEL, ignoreCase ? UCOL_OFF : UCOL_ON, status);
  collator->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
  // Composed and decomposed forms of an accented letter are the same text.
  collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
  return collator;
}

}  // namespace

std::string IcuLocaleName(uint16_t languageId, uint16_t sortId) {
  if (languageId == 0) return std::string();
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getLocaleForLCID(PlatformLocaleId(languageId, sortId), name,
                                         sizeof name, &status);
  if (U_FAILURE(status) || length <= 0 || status == U_STRING_NOT_TERMINATED_WARNING) {
    return std::string();
  }
  std::string result(name, static_cast<size_t>(length));
  // A sort identifier ICU knows becomes a collation keyword; for one it does
  // not know ICU answers with the bare language, which is no locale here.
  if (sortId != 0 && result.find("@collation=") == std::string::npos) return std::string();
  return result;
}

bool LocaleInstalled(uint16_t languageId, uint16_t sortId) {
  if (languageId == 0) return true;
  std::string name = IcuLocaleName(languageId, sortId);
  if (name.empty()) return false;
  const icu::Locale locale(name.c_str());
  std::string_view language = locale.getLanguage();
  int32_t count = 0;
  const icu::Locale* available = icu::Locale::getAvailableLocales(count);
  for (int32_t i = 0; i < count; ++i) {
    if (language == available[i].getLanguage()) return true;
  }
  return false;
}

const icu::Collator& LocaleCollator(uint16_t languageId, uint16_t sortId, bool ignoreCase) {
  assert(languageId != 0);
  // Index comparisons ask for the same collator over and over: each thread
  // remembers its last one and skips the shared lock for it.
  struct LastUsed {
    uint32_t LocaleId = 0;
    bool IgnoreCase = false;
    const icu::Collator* Collator = nullptr;
  };
  thread_local LastUsed last;
  const uint32_t localeId = PlatformLocaleId(languageId, sortId);
  if (last.Collator != nullptr && last.LocaleId == localeId && last.IgnoreCase == ignoreCase) {
    return *last.Collator;
  }
  CollatorCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.Lock);
  auto key = std::make_pair(localeId, ignoreCase);
  auto it = cache.Collators.find(key);
  if (it == cache.Collators.end()) {
    it = cache.Collators.emplace(key, MakeCollator(languageId, sortId, ignoreCase)).first;
  }
  // The map never erases, so the collator outlives the lock.
  last = LastUsed{localeId, ignoreCase, it->second.get()};
  return *it->second;
}

}  // namespace rudira
