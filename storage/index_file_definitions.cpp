// TIndexFile: defining, removing, finding and verifying index definitions.
#include <algorithm>

#include "engine/errors.h"
#include "storage/field_definitions.h"
#include "storage/field_type.h"
#include "storage/index_file.h"

namespace rudira {

namespace {

std::string_view Trimmed(std::string_view name) {
  while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

}  // namespace

bool TIndexFile::PrimaryDefined() const {
  return header_.NoPrimaryKey != 0 || header_.Definitions[kPrimarySlot].IndexFieldCount > 0;
}

void TIndexFile::SetPrimaryDefinition(const TIndexDefinition& definition) {
  if (PrimaryDefined()) Raise(RUDIRA_PRIMARYKEYREDEFINE);
  if (definition.IndexFieldCount > kMaxIndexFields) Raise(RUDIRA_INDEXLIMIT);
  if (definition.IndexFieldCount == 0) {
    SetNoPrimaryKey(true);
    return;
  }
  TIndexDefinition stored = definition;
  stored.IndexName.clear();
  stored.Unique = 1;
  header_.Definitions[kPrimarySlot] = stored;
  caches_[kPrimarySlot]->DropAll();
  InvalidateComparer(kPrimarySlot);
  headerModified_ = true;
}

int TIndexFile::AddSecondaryDefinition(const TIndexDefinition& definition) {
  if (header_.SecondaryIndexCount >= kMaxSecondaryIndexes || definition.IndexFieldCount > kMaxIndexFields) {
    Raise(RUDIRA_INDEXLIMIT, definition.IndexName);
  }
  const std::string name(Trimmed(definition.IndexName));
  if (name.empty()) Raise(RUDIRA_INDEXNAMEREQUIRED);
  if (!IsValidIndexNameStart(name)) Raise(RUDIRA_INVALIDINDEXNAME, name);
  if (FindIndex(name) > kPrimarySlot) Raise(RUDIRA_INDEXEXISTS, name);
  for (int i = 0; i < definition.IndexFieldCount && !fields_.empty(); ++i) {
    const uint16_t number = definition.FieldNumbers[i];
    if (number >= 1 && number <= fields_.size() && fields_[number - 1].IsBlob()) {
      Raise(RUDIRA_SEARCHCOLREQD, name, fields_[number - 1].FieldName);
    }
  }
  // A permanent index never goes after a temporary one: the temporary ones
  // move up a slot.
  int slot = header_.SecondaryIndexCount + 1;
  if (!definition.TemporaryIndex) {
    while (slot > 1 && IsTemporarySlot(slot - 1)) {
      MoveSlot(slot - 1, slot);
      --slot;
    }
  }
  TIndexDefinition stored = definition;
  stored.IndexName = name;
  stored.RootPage = 0;
  stored.FreePageHead = 0;
  header_.Definitions[slot] = stored;
  caches_[slot]->DropAll();
  InvalidateComparer(slot);
  ++header_.SecondaryIndexCount;
  if (stored.TemporaryIndex) EnsureTemporaryFile(); else headerModified_ = true;
  return slot;
}

void TIndexFile::MoveSlot(int from, int to) {
  header_.Definitions[to] = header_.Definitions[from];
  std::swap(caches_[to], caches_[from]);
  caches_[to]->Renumber(to);
  caches_[from]->DropAll();
  caches_[from]->Renumber(from);
  InvalidateComparer(from);
  InvalidateComparer(to);
}

void TIndexFile::RemoveSecondaryDefinition(int slot) {
  if (slot < 1 || slot > header_.SecondaryIndexCount) Raise(RUDIRA_OUTOFRANGE);
  const bool temporary = IsTemporarySlot(slot);
  caches_[slot]->DropAll();
  for (int s = slot; s < header_.SecondaryIndexCount; ++s) MoveSlot(s + 1, s);
  header_.Definitions[header_.SecondaryIndexCount] = TIndexDefinition{};
  caches_[header_.SecondaryIndexCount]->DropAll();
  InvalidateComparer(header_.SecondaryIndexCount);
  --header_.SecondaryIndexCount;
  if (!temporary) headerModified_ = true;
}

void TIndexFile::SetDefinition(int slot, const TIndexDefinition& definition) {
  if (slot < 0 || slot >= kIndexSlotCount) Raise(RUDIRA_OUTOFRANGE);
  header_.Definitions[slot] = definition;
  InvalidateComparer(slot);
  if (definition.TemporaryIndex) EnsureTemporaryFile(); else headerModified_ = true;
}

int TIndexFile::FindIndex(std::string_view name) const {
  const std::string key = FieldNameKey(Trimmed(name));
  if (key.empty()) return kPrimarySlot;
  for (int slot = 1; slot <= header_.SecondaryIndexCount && slot <= kMaxSecondaryIndexes; ++slot) {
    if (FieldNameKey(header_.Definitions[slot].IndexName) == key) return slot;
  }
  if (key == FieldNameKey(kSysDeletedName)) return kSysDeletedSlot;
  if (key == FieldNameKey(kSysTextName)) return kSysTextSlot;
  return -1;
}

void TIndexFile::SetNoPrimaryKey(bool value) {
  header_.NoPrimaryKey = value ? 1 : 0;
  headerModified_ = true;
}

void TIndexFile::Verify() const {
  auto fail = [this] { RaiseEngineError(RUDIRA_HEADERCORRUPT, {.TableName = FileName()}); };
  if (header_.FormatVersion != kIndexFormatVersion) fail();
  if (header_.SecondaryIndexCount > kMaxSecondaryIndexes) fail();
  std::vector<std::string> names;
  auto checkIndex = [&](const TIndexDefinition& d) {
    if (d.IndexFieldCount > kMaxIndexFields) fail();
    if (d.KeySize < 0 || d.KeySize > kMaxKeySize) fail();
    if (d.Compression > kCompressionFull) fail();
    for (int i = 0; i < d.IndexFieldCount; ++i) {
      const uint16_t number = d.FieldNumbers[i];
      if (!fields_.empty() && (number < 1 || number > fields_.size() || fields_[number - 1].IsBlob())) fail();
    }
    const int32_t limit = d.TemporaryIndex ? temporaryNextPage_ : header_.NextPageNumber;
    for (int32_t page : {d.RootPage, d.FreePageHead}) {
      if (page < 0 || page >= limit) fail();
    }
  };
  checkIndex(header_.Definitions[kPrimarySlot]);
  for (int slot = 1; slot <= header_.SecondaryIndexCount; ++slot) {
    const TIndexDefinition& d = header_.Definitions[slot];
    if (!IsValidIndexNameStart(d.IndexName)) fail();
    const std::string key = FieldNameKey(d.IndexName);
    if (std::find(names.begin(), names.end(), key) != names.end()) fail();
    names.push_back(key);
    checkIndex(d);
  }
  for (int slot : {kSysDeletedSlot, kSysTextSlot}) {
    const TIndexDefinition& d = header_.Definitions[slot];
    if (d.KeySize > kMaxKeySize) fail();
    const int32_t limit = header_.NextPageNumber;
    for (int32_t page : {d.RootPage, d.FreePageHead}) {
      if (page < 0 || page >= limit) fail();
    }
  }
}

}  // namespace rudira
