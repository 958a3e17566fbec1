#include "engine/exp_token.h"

#include <bit>
#include <cstring>
#include <mutex>

#include "storage/byte_codec.h"
#include "storage/field_type.h"

namespace rudira {

TExpToken::TExpToken() { Value.assign(kExpValueInitialSize, 0); }

TExpToken::~TExpToken() {
  delete Left;
  delete Right;
  for (TExpToken* argument : Arguments) delete argument;
}

void TExpToken::Reset() {
  TokenText.clear();
  NodeKind = 0;
  OpCode = 0;
  ColumnName.clear();
  FieldNo = 0;
  TableAlias.clear();
  SourceTable = nullptr;
  SubQuery = nullptr;
  if (Value.size() > kExpValueInitialSize) {
    Value.assign(kExpValueInitialSize, 0);
    Value.shrink_to_fit();
  } else {
    std::memset(Value.data(), 0, Value.size());
  }
  ValueLength = 0;
  IsNull = true;
  IsParameter = false;
  ParameterIndex = -1;
  DataType = SubType = 0;
  DataSize = 0;
  DataScale = 0;
  FromString = false;
  SavedDataType = SavedSubType = 0;
  SavedDataSize = 0;
  SavedDataScale = 0;
  Parent = Left = Right = nullptr;
  Arguments.clear();
  OptimizeLevel = 0;
  EstimatedCount = EstimatedCost = 0;
  Promotable = false;
  IndexNo = -1;
}

void TExpToken::SetLeft(TExpToken* child) {
  Left = child;
  if (child) child->Parent = this;
}

void TExpToken::SetRight(TExpToken* child) {
  Right = child;
  if (child) child->Parent = this;
}

void TExpToken::AddArgument(TExpToken* child) {
  Arguments.push_back(child);
  if (child) child->Parent = this;
}

void TExpToken::ReserveValue(size_t size) {
  if (size <= Value.size()) return;
  const size_t granules = (size - kExpValueInitialSize + kExpValueGranule - 1) / kExpValueGranule;
  Value.resize(kExpValueInitialSize + granules * kExpValueGranule, 0);
}

void TExpToken::SetBytes(std::string_view bytes) {
  ReserveValue(bytes.size() + 1);
  if (!bytes.empty()) std::memcpy(Value.data(), bytes.data(), bytes.size());
  Value[bytes.size()] = 0;
  ValueLength = bytes.size();
  IsNull = false;
}

void TExpToken::SetInt16(int16_t v) { StoreLE<int16_t>(Value.data(), v); ValueLength = 2; IsNull = false; }
void TExpToken::SetUInt16(uint16_t v) { StoreLE<uint16_t>(Value.data(), v); ValueLength = 2; IsNull = false; }
void TExpToken::SetInt32(int32_t v) { StoreLE<int32_t>(Value.data(), v); ValueLength = 4; IsNull = false; }
void TExpToken::SetUInt32(uint32_t v) { StoreLE<uint32_t>(Value.data(), v); ValueLength = 4; IsNull = false; }
void TExpToken::SetInt64(int64_t v) { StoreLE<int64_t>(Value.data(), v); ValueLength = 8; IsNull = false; }
void TExpToken::SetDouble(double v) { StoreDoubleLE(Value.data(), v); ValueLength = 8; IsNull = false; }
void TExpToken::SetBcd(const Bcd& v) {
  std::memcpy(Value.data(), v.Bytes.data(), v.Bytes.size());
  ValueLength = v.Bytes.size();
  IsNull = false;
}

int16_t TExpToken::Int16() const { return LoadLE<int16_t>(Value.data()); }
uint16_t TExpToken::UInt16() const { return LoadLE<uint16_t>(Value.data()); }
int32_t TExpToken::Int32() const { return LoadLE<int32_t>(Value.data()); }
uint32_t TExpToken::UInt32() const { return LoadLE<uint32_t>(Value.data()); }
int64_t TExpToken::Int64() const { return LoadLE<int64_t>(Value.data()); }
double TExpToken::Double() const { return LoadDoubleLE(Value.data()); }
Bcd TExpToken::BcdValue() const {
  Bcd v;
  std::memcpy(v.Bytes.data(), Value.data(), v.Bytes.size());
  return v;
}

void TExpToken::SetType(uint8_t dataType, uint8_t subType, uint16_t dataSize, uint8_t dataScale) {
  DataType = dataType;
  SubType = subType;
  DataSize = dataSize;
  DataScale = dataScale;
}

void TExpToken::CopyValueFrom(const TExpToken& other) {
  SetType(other.DataType, other.SubType, other.DataSize, other.DataScale);
  ReserveValue(other.Value.size());
  std::memcpy(Value.data(), other.Value.data(), other.Value.size());
  ValueLength = other.ValueLength;
  IsNull = other.IsNull;
}

namespace {

struct TokenPool {
  std::recursive_mutex lock;
  std::vector<TExpToken*> spare;
};

TokenPool& Pool() {
  static TokenPool* pool = new TokenPool;  // lives to process end
  return *pool;
}

void ReturnOne(TExpToken* token) {
  TokenPool& pool = Pool();
  {
    std::lock_guard guard(pool.lock);
    if (pool.spare.size() < TExpTokenStack::kMaxSpare) {
      token->Reset();
      pool.spare.push_back(token);
      return;
    }
  }
  delete token;  // its links were cleared by the caller
}

}  // namespace

TExpToken* TExpTokenStack::Take() {
  TokenPool& pool = Pool();
  {
    std::lock_guard guard(pool.lock);
    if (!pool.spare.empty()) {
      TExpToken* token = pool.spare.back();
      pool.spare.pop_back();
      return token;
    }
  }
  return new TExpToken;
}

void TExpTokenStack::Free(TExpToken* token) {
  if (!token) return;
  // Iterative so that a long chain (a OR b OR c ...) cannot exhaust the stack.
  std::vector<TExpToken*> pending{token};
  while (!pending.empty()) {
    TExpToken* node = pending.back();
    pending.pop_back();
    if (node->Left) pending.push_back(node->Left);
    if (node->Right) pending.push_back(node->Right);
    for (TExpToken* argument : node->Arguments) {
      if (argument) pending.push_back(argument);
    }
    node->Left = node->Right = nullptr;
    node->Arguments.clear();
    ReturnOne(node);
  }
}

size_t TExpTokenStack::SpareCount() {
  TokenPool& pool = Pool();
  std::lock_guard guard(pool.lock);
  return pool.spare.size();
}

void TExpTokenDeleter::operator()(TExpToken* token) const { TExpTokenStack::Free(token); }

namespace {

template <typename Test>
const TExpToken* FindNode(const TExpToken* node, const Test& test) {
  if (!node) return nullptr;
  if (test(*node)) return node;
  if (const TExpToken* found = FindNode(node->Left, test)) return found;
  if (const TExpToken* found = FindNode(node->Right, test)) return found;
  for (const TExpToken* argument : node->Arguments) {
    if (const TExpToken* found = FindNode(argument, test)) return found;
  }
  return nullptr;
}

}  // namespace

bool ContainsColumn(const TExpToken* root) {
  return FindNode(root, [](const TExpToken& n) { return n.NodeKind == kNodeColumn; }) != nullptr;
}

bool ContainsAggregate(const TExpToken* root) {
  return FindNode(root, [](const TExpToken& n) {
           return n.NodeKind == kNodeFunction && IsAggregateFunction(n.OpCode);
         }) != nullptr;
}

TExpToken* FirstColumn(TExpToken* root) {
  return const_cast<TExpToken*>(
      FindNode(root, [](const TExpToken& n) { return n.NodeKind == kNodeColumn; }));
}

bool RewriteBooleanColumn(TExpToken* node) {
  if (!node || node->NodeKind != kNodeColumn || node->DataType != kFieldTypeBoolean) return false;
  TExpToken* column = TExpTokenStack::Take();
  // Move the column's identity into the new child.
  column->TokenText = node->TokenText;
  column->NodeKind = kNodeColumn;
  column->ColumnName = node->ColumnName;
  column->FieldNo = node->FieldNo;
  column->TableAlias = node->TableAlias;
  column->SourceTable = node->SourceTable;
  column->FromString = node->FromString;
  column->SavedDataType = node->SavedDataType;
  column->SavedSubType = node->SavedSubType;
  column->SavedDataSize = node->SavedDataSize;
  column->SavedDataScale = node->SavedDataScale;
  column->SetType(node->DataType, node->SubType, node->DataSize, node->DataScale);
  TExpToken* truth = TExpTokenStack::Take();
  truth->NodeKind = kNodeConstant;
  truth->TokenText = "TRUE";
  truth->SetType(kFieldTypeBoolean);
  truth->SetUInt16(1);
  node->NodeKind = kNodeBinary;
  node->OpCode = kOpEqual;
  node->TokenText = "=";
  node->ColumnName.clear();
  node->FieldNo = 0;
  node->TableAlias.clear();
  node->SourceTable = nullptr;
  node->FromString = false;
  node->SetLeft(column);
  node->SetRight(truth);
  return true;
}

}  // namespace rudira
