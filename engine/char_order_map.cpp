#include "engine/char_order_map.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <numeric>
#include <vector>

#include "engine/locale_compare.h"

namespace rudira {

namespace {

constexpr size_t kInitialCacheRoom = 256;

struct OrderCache {
  OrderCache() { Maps.reserve(kInitialCacheRoom); }
  std::mutex Lock;
  std::vector<std::unique_ptr<CharOrder>> Maps;  // guarded by Lock
};

// Never destroyed, so maps handed out stay valid through process exit.
OrderCache& Cache() {
  static OrderCache* cache = new OrderCache;
  return *cache;
}

std::unique_ptr<CharOrder> BuildMap(uint16_t languageId, uint16_t sortId) {
  auto map = std::make_unique<CharOrder>();
  map->LanguageId = languageId;
  map->SortId = sortId;
  std::iota(map->Bytes.begin(), map->Bytes.end(), 0);
  if (languageId != 0) {
    // Stable, so bytes the locale finds equal (ignorable controls, the
    // non-characters from 0x80 up) keep byte order among themselves.
    std::stable_sort(map->Bytes.begin(), map->Bytes.end(), [&](uint8_t a, uint8_t b) {
      return CompareLocaleChars(languageId, sortId, a, b) < 0;
    });
  }
  for (int i = 0; i < 256; ++i) map->Rank[map->Bytes[i]] = static_cast<uint8_t>(i);
  return map;
}

}  // namespace

const CharOrder& CharOrderMap(uint16_t languageId, uint16_t sortId) {
  if (languageId == 0) sortId = 0;  // no locale: one byte order whatever the sort id
  OrderCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.Lock);
  for (const auto& map : cache.Maps) {
    if (map->LanguageId == languageId && map->SortId == sortId) return *map;
  }
  cache.Maps.push_back(BuildMap(languageId, sortId));
  return *cache.Maps.back();
}

}  // namespace rudira
