// TIndexFile: the parameter chain of the full-text index "Sys Text": raw
// parameter pages (type 4) linked through their right-sibling field and
// headed by the definition's ParameterPage.
#include <algorithm>

#include "storage/index_file.h"

namespace rudira {

std::vector<uint8_t> TIndexFile::ReadParameters() {
  std::vector<uint8_t> bytes;
  int32_t pageNo = header_.Definitions[kSysTextSlot].ParameterPage;
  const int32_t limit = NextPageNumber(kSysTextSlot);
  for (int32_t steps = 0; pageNo != 0; ++steps) {
    if (steps >= limit) RaiseCorrupt();  // a loop
    TPage* page = GetPage(kSysTextSlot, pageNo);
    if (page->PageType() != kPageParameter || page->Freed()) RaiseCorrupt();
    const std::vector<uint8_t>& raw = page->Raw();
    bytes.insert(bytes.end(), raw.begin(), raw.end());
    if (raw.size() < static_cast<size_t>(kPageEntryBytes)) bytes.resize(bytes.size() + kPageEntryBytes - raw.size());
    pageNo = page->RightSibling();
  }
  return bytes;
}

void TIndexFile::WriteParameters(const std::vector<uint8_t>& bytes) {
  // Free the old chain first, so its pages are reused.
  std::vector<int32_t> old;
  int32_t pageNo = header_.Definitions[kSysTextSlot].ParameterPage;
  const int32_t limit = NextPageNumber(kSysTextSlot);
  for (int32_t steps = 0; pageNo != 0; ++steps) {
    if (steps >= limit) RaiseCorrupt();
    TPage* page = GetPage(kSysTextSlot, pageNo);
    if (page->PageType() != kPageParameter || page->Freed()) RaiseCorrupt();
    old.push_back(pageNo);
    pageNo = page->RightSibling();
  }
  for (int32_t n : old) FreePage(GetPage(kSysTextSlot, n));
  header_.Definitions[kSysTextSlot].ParameterPage = 0;
  headerModified_ = true;
  // Build the new chain from its end, so each page knows its successor.
  const size_t pages = (bytes.size() + kPageEntryBytes - 1) / kPageEntryBytes;
  int32_t next = 0;
  for (size_t i = pages; i-- > 0;) {
    TPage* page = AllocatePage(kSysTextSlot);
    const size_t start = i * kPageEntryBytes;
    page->SetRaw(bytes.data() + start, std::min<size_t>(kPageEntryBytes, bytes.size() - start));
    page->SetRightSibling(next);
    next = page->PageNumber();
  }
  header_.Definitions[kSysTextSlot].ParameterPage = next;
}

}  // namespace rudira
