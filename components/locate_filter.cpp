#include "components/locate_filter.h"

#include <algorithm>
#include <cassert>
#include <type_traits>

#include "storage/field_type.h"

namespace rudira {

namespace {

TExpToken* Column(const TFieldDescriptor& field) {
  TExpToken* node = TExpTokenStack::Take();
  node->NodeKind = kNodeColumn;
  node->TokenText = field.FieldName;
  node->ColumnName = field.FieldName;
  return node;
}

TExpToken* NullConstant() {
  TExpToken* node = TExpTokenStack::Take();
  node->NodeKind = kNodeConstant;
  node->TokenText = "NULL";
  node->SetType(kDataTypeUnknown);
  node->IsNull = true;
  return node;
}

TExpToken* Constant(const TFieldDescriptor& field, const TFieldValue& value, bool partial) {
  TExpToken* node = TExpTokenStack::Take();
  node->NodeKind = kNodeConstant;
  node->SetType(field.FieldType, field.SubType, field.Size, field.Scale);
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          // A text constant, also against a memo, as filter text would give.
          const std::string text = partial ? v + "*" : v;
          node->SetType(kFieldTypeString, 0, static_cast<uint16_t>(std::min<size_t>(text.size(), 65535)));
          node->SetBytes(text);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>>) {
          node->SetBytes(std::string_view(reinterpret_cast<const char*>(v.data()), v.size()));
        } else if constexpr (std::is_same_v<T, bool>) {
          node->SetUInt16(v ? 1 : 0);
        } else if constexpr (std::is_same_v<T, int16_t>) {
          node->SetInt16(v);
        } else if constexpr (std::is_same_v<T, uint16_t>) {
          node->SetUInt16(v);
        } else if constexpr (std::is_same_v<T, int32_t>) {
          node->SetInt32(v);
        } else if constexpr (std::is_same_v<T, uint32_t>) {
          node->SetUInt32(v);
        } else if constexpr (std::is_same_v<T, int64_t>) {
          node->SetInt64(v);
        } else if constexpr (std::is_same_v<T, double>) {
          node->SetDouble(v);
        } else if constexpr (std::is_same_v<T, long double>) {
          node->SetDouble(static_cast<double>(v));
        } else if constexpr (std::is_same_v<T, Bcd>) {
          node->SetBcd(v);
        } else {
          // NULL, and a BLOB reference, which names no comparable value.
          node->SetNull();
        }
      },
      value);
  node->TokenText = node->IsNull ? "NULL" : "value";
  return node;
}

TExpToken* Binary(uint8_t opCode, const char* text, TExpToken* left, TExpToken* right) {
  TExpToken* node = TExpTokenStack::Take();
  node->NodeKind = kNodeBinary;
  node->OpCode = opCode;
  node->TokenText = text;
  node->SetLeft(left);
  node->SetRight(right);
  return node;
}

TExpToken* Equality(const TLocateCondition& condition, TLocateOptions options) {
  const TFieldDescriptor& field = *condition.Field;
  const TFieldValue& value = condition.Value;
  if (std::holds_alternative<std::monostate>(value)) {
    return Binary(kOpEqual, "=", Column(field), NullConstant());
  }
  const auto* text = std::get_if<std::string>(&value);
  const bool partial = options.PartialKey && text != nullptr && field.FieldType == kFieldTypeString;
  if (partial && text->empty()) return Binary(kOpNotEqual, "<>", Column(field), NullConstant());
  return Binary(kOpEqual, "=", Column(field), Constant(field, value, partial));
}

}  // namespace

TExpTokenPtr BuildLocateFilter(const std::vector<TLocateCondition>& conditions, TLocateOptions options) {
  assert(!conditions.empty());
  TExpTokenPtr root(Equality(conditions.front(), options));
  for (size_t i = 1; i < conditions.size(); ++i) {
    TExpToken* left = root.release();
    root.reset(Binary(kOpAnd, "and", left, Equality(conditions[i], options)));
  }
  return root;
}

TCursorFilterOptions LocateFilterOptions(TLocateOptions options) {
  TCursorFilterOptions filter;
  filter.CaseInsensitive = options.CaseInsensitive;
  // Only the prefixes the tree asks for end in "*"; without partial key a
  // value's own "*" is an ordinary character.
  filter.NoPartialCompare = !options.PartialKey;
  return filter;
}

}  // namespace rudira
