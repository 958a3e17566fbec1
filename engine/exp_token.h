// TExpToken: one node of a parsed expression tree, shared by filters and SQL,
// and TExpTokenStack, the process-wide pool the nodes come from.
//
// A tree is made by TExpressionParser, typed by the type checker
// (engine/expression_checker.h) and evaluated by engine/expression_evaluator.h.
// A node owns its children (Left, Right and every node of Arguments); a tree
// is handed back to the pool as a whole with TExpTokenStack::Free, or through
// the TExpTokenPtr holding its root.
//
// Value holds the node's value in the stored encoding of its DataType
// (storage/field_type.h), little-endian:
//
//   DataType                 Value bytes
//   1 string                 text bytes, then a zero byte; ValueLength = text bytes
//   3 BLOB                   the BLOB's contents (memo text or binary); ValueLength = bytes
//   9, 15 bytes              the raw bytes; ValueLength = bytes
//   2 DATE, 6 INTEGER,       int32
//   10 TIME
//   4 BOOLEAN, 12 WORD       uint16 (BOOLEAN 0 or 1)
//   5 SMALLINT               int16
//   7 FLOAT, 11 TIMESTAMP    float64
//   8 BCD                    the 34-byte BCD of storage/bcd.h
//   13 cardinal              uint32
//   14 extended              the 10-byte extended float
//   18 LARGEINT              int64
//
// The buffer holds 251 bytes when a node is made (the widest stored string
// and its terminator) and grows in 256-byte granules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/bcd.h"

namespace rudira {

// NodeKind values.
constexpr uint8_t kNodeUnary = 1;
constexpr uint8_t kNodeBinary = 2;
constexpr uint8_t kNodeColumn = 4;
constexpr uint8_t kNodeConstant = 5;  // constants and "?" parameters
constexpr uint8_t kNodeSubSelect = 6;
constexpr uint8_t kNodeFunction = 10;
constexpr uint8_t kNodeExtended = 12;  // LIKE, IN, BETWEEN

// OpCode values of operators (kinds 1 and 2).
constexpr uint8_t kOpEqual = 3;
constexpr uint8_t kOpNotEqual = 4;
constexpr uint8_t kOpGreater = 5;
constexpr uint8_t kOpLess = 6;
constexpr uint8_t kOpGreaterEqual = 7;
constexpr uint8_t kOpLessEqual = 8;
constexpr uint8_t kOpNot = 9;
constexpr uint8_t kOpAnd = 10;
constexpr uint8_t kOpOr = 11;
constexpr uint8_t kOpNegate = 15;
constexpr uint8_t kOpPlusSign = 16;
constexpr uint8_t kOpAdd = 17;  // "+" and "||"
constexpr uint8_t kOpSubtract = 18;
constexpr uint8_t kOpMultiply = 19;
constexpr uint8_t kOpDivide = 20;

// OpCode values of extended predicates (kind 12); the tested value is
// Arguments[0].
constexpr uint8_t kOpLike = 32;
constexpr uint8_t kOpInList = 33;
constexpr uint8_t kOpInSelect = 34;
constexpr uint8_t kOpBetween = 41;
constexpr uint8_t kOpNotBetween = 42;
constexpr uint8_t kOpNotLike = 43;
constexpr uint8_t kOpNotInList = 44;
constexpr uint8_t kOpNotInSelect = 45;

// OpCode values of functions (kind 10).
constexpr uint8_t kFuncSum = 23;
constexpr uint8_t kFuncRunSum = 24;
constexpr uint8_t kFuncCount = 25;
constexpr uint8_t kFuncMin = 26;
constexpr uint8_t kFuncMax = 27;
constexpr uint8_t kFuncAvg = 28;
constexpr uint8_t kFuncUpper = 36;
constexpr uint8_t kFuncLower = 37;
constexpr uint8_t kFuncSubstring = 46;
constexpr uint8_t kFuncReplace = 47;
constexpr uint8_t kFuncPos = 48;
constexpr uint8_t kFuncOccurs = 49;
constexpr uint8_t kFuncTrimLeading = 50;
constexpr uint8_t kFuncTrimTrailing = 51;
constexpr uint8_t kFuncTrimBoth = 52;
constexpr uint8_t kFuncLength = 53;
constexpr uint8_t kFuncCast = 54;
constexpr uint8_t kFuncExtractYear = 55;
constexpr uint8_t kFuncExtractMonth = 56;
constexpr uint8_t kFuncExtractWeek = 57;
constexpr uint8_t kFuncExtractDay = 58;
constexpr uint8_t kFuncExtractDayOfWeek = 59;
constexpr uint8_t kFuncExtractDayOfYear = 60;
constexpr uint8_t kFuncExtractHour = 61;
constexpr uint8_t kFuncExtractMinute = 62;
constexpr uint8_t kFuncExtractSecond = 63;
constexpr uint8_t kFuncIf = 64;
constexpr uint8_t kFuncCoalesce = 65;
constexpr uint8_t kFuncIfNull = 66;
constexpr uint8_t kFuncAbs = 67;
constexpr uint8_t kFuncRound = 68;
constexpr uint8_t kFuncTextSearch = 69;
constexpr uint8_t kFuncTextOccurs = 70;
constexpr uint8_t kFuncLastAutoInc = 71;
constexpr uint8_t kFuncIdentCurrent = 72;

// Data type 0: unknown, the type of a bare NULL.
constexpr uint8_t kDataTypeUnknown = 0;

constexpr size_t kExpValueInitialSize = 251;
constexpr size_t kExpValueGranule = 256;

inline bool IsAggregateFunction(uint8_t opCode) { return opCode >= kFuncSum && opCode <= kFuncAvg; }

class TExpToken {
 public:
  TExpToken();
  TExpToken(const TExpToken&) = delete;
  TExpToken& operator=(const TExpToken&) = delete;
  ~TExpToken();

  // Back to the state of a new node (children are not freed: the pool
  // frees them first).
  void Reset();

  // --- tree links
  // Sets Left / Right (taking ownership) and the child's Parent.
  void SetLeft(TExpToken* child);
  void SetRight(TExpToken* child);
  void AddArgument(TExpToken* child);

  // --- value access; each setter also sets IsNull false and ValueLength
  void SetNull() { IsNull = true; }
  // Grows the buffer (in granules) to hold at least `size` bytes; keeps its bytes.
  void ReserveValue(size_t size);
  void SetBytes(std::string_view bytes);  // strings (adds the terminator), BLOBs, bytes
  std::string_view Bytes() const { return {reinterpret_cast<const char*>(Value.data()), ValueLength}; }
  void SetInt16(int16_t v);
  void SetUInt16(uint16_t v);
  void SetInt32(int32_t v);
  void SetUInt32(uint32_t v);
  void SetInt64(int64_t v);
  void SetDouble(double v);
  void SetBcd(const Bcd& v);
  int16_t Int16() const;
  uint16_t UInt16() const;
  int32_t Int32() const;
  uint32_t UInt32() const;
  int64_t Int64() const;
  double Double() const;
  Bcd BcdValue() const;

  // Sets the type fields together.
  void SetType(uint8_t dataType, uint8_t subType = 0, uint16_t dataSize = 0, uint8_t dataScale = 0);
  // Copies type, value and null flag of `other`.
  void CopyValueFrom(const TExpToken& other);

  // --- fields
  std::string TokenText;       // source text of the node: operator, name or literal
  uint8_t NodeKind = 0;        // kNode*
  uint8_t OpCode = 0;          // kOp* / kFunc*
  std::string ColumnName;      // resolved column name (short string, up to 255 bytes)
  int32_t FieldNo = 0;         // field number of a resolved column
  std::string TableAlias;      // correlation name of a qualified column
  void* SourceTable = nullptr; // SQL: the source table of a column (not owned)
  void* SubQuery = nullptr;    // SQL: the statement of a sub-select (owned by the statement)
  std::vector<uint8_t> Value;  // value in the stored encoding of DataType
  size_t ValueLength = 0;      // bytes of a string, BLOB or bytes value
  bool IsNull = true;          // the value is NULL
  bool IsParameter = false;    // a "?" placeholder
  int32_t ParameterIndex = -1; // 0-based position of a "?" in the text
  uint8_t DataType = 0;        // result type of the node
  uint8_t SubType = 0;
  uint16_t DataSize = 0;       // declared size of strings and bytes
  uint8_t DataScale = 0;       // scale of BCD
  bool FromString = false;     // a string constant turned into a column reference
  uint8_t SavedDataType = 0;   // the type fields before that conversion
  uint8_t SavedSubType = 0;
  uint16_t SavedDataSize = 0;
  uint8_t SavedDataScale = 0;
  TExpToken* Parent = nullptr;
  TExpToken* Left = nullptr;   // owned; a unary operator's operand
  TExpToken* Right = nullptr;  // owned
  std::vector<TExpToken*> Arguments;  // owned, in order
  // Filter optimisation notes, written by the filter analysis.
  uint8_t OptimizeLevel = 0;   // 0 none, 1 partial, 2 full
  int64_t EstimatedCount = 0;
  int64_t EstimatedCost = 0;
  bool Promotable = false;
  int32_t IndexNo = -1;        // the index chosen for a full node
};

struct TExpTokenDeleter {
  void operator()(TExpToken* token) const;
};
// A tree root that returns the whole tree to the pool when dropped.
using TExpTokenPtr = std::unique_ptr<TExpToken, TExpTokenDeleter>;

// The process-wide node pool: keeps up to kMaxSpare reset nodes; a node
// returned beyond that is freed. Guarded by its own lock.
class TExpTokenStack {
 public:
  static constexpr size_t kMaxSpare = 64;

  // A reset node.
  static TExpToken* Take();
  static TExpTokenPtr TakePtr() { return TExpTokenPtr(Take()); }
  // Returns a node and its whole subtree (null is ignored). The node is
  // detached from its parent's links by the caller.
  static void Free(TExpToken* token);
  static size_t SpareCount();
};

// --- tree queries

// Whether the tree holds a column reference.
bool ContainsColumn(const TExpToken* root);
// Whether the tree holds an aggregate function.
bool ContainsAggregate(const TExpToken* root);
// The first column reference in left-to-right order, or null.
TExpToken* FirstColumn(TExpToken* root);
// Turns a BOOLEAN column node in place into "column = TRUE" (the node keeps
// its address and becomes the comparison; its column moves to Left). Nothing
// for any other node. Returns whether it rewrote.
bool RewriteBooleanColumn(TExpToken* node);

}  // namespace rudira
