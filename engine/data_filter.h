// TFilter: one condition of a cursor's filter list, and the evaluation of
// that condition into the bitmap of the physical record numbers that pass.
//
// A filter is either an expression (a typed TExpToken tree whose column
// references are field numbers of the cursor's table) or a callback that the
// component layer supplies with its owner. An expression filter is analysed
// once when it is made (engine/filter_optimizer.h): its nodes are marked
// full (answered from an index without reading records), partial (an AND
// whose left side is answered from an index) or none (records are read and
// the expression evaluated on them).
//
// Evaluation takes the candidate records and leaves in Bitmap() the subset
// that passes:
//   - an expression without column references is evaluated once: all
//     candidates or none;
//   - a full comparison or null test scans its index for the key range of
//     its operator; AND evaluates its right side on the left side's result,
//     OR unites both sides, NOT complements its operand within the
//     candidates;
//   - a node of level none, and a callback, read every candidate record.
//
// Strings compare under the table's locale; with the case-insensitive
// option "=" and "<>" on strings ignore case. Without the no-partial-compare
// option a string constant ending in "*" compared by "=" or "<>" with a
// string column matches every text that starts with the part before the
// "*".
//
// Ownership: a filter belongs to its cursor's filter list; it owns its
// expression when made from text or handed a TExpTokenPtr, and refers to a
// caller's tree otherwise. The cursor must be open while a filter is
// evaluated; evaluation runs under the cursor's operation bracket.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "engine/exp_token.h"
#include "engine/expression_evaluator.h"
#include "engine/filter_optimizer.h"
#include "engine/records_bitmap.h"

namespace rudira {

class TDataCursor;

// Key ranges per index slot that every record of a view must have: the
// intersection of the comparisons its filters require (the AND chains of
// their expressions). A comparison answered from an index reads only the
// part of its own key ranges inside the window of its slot.
using TIndexWindows = std::map<int, TIndexIntervals>;

// Called per candidate record of a callback filter with the filter's owner
// and the whole record; returns whether the record passes.
using TFilterCallback = std::function<bool(void* owner, const uint8_t* record)>;

struct TCursorFilterOptions {
  bool CaseInsensitive = false;    // "=" and "<>" on strings ignore case
  bool NoPartialCompare = false;   // a trailing "*" is an ordinary character
  bool ComputeEstimates = false;   // fill key-count estimates into the nodes
  bool NinetyPercentRule = false;  // the SQL engine's rule; natural-order cursors only
  bool Late = false;               // stays at the end of the list, runs on the survivors
};

class TFilter {
 public:
  // An expression filter. REQUIRES: expression is typed and BOOLEAN; a
  // borrowed tree (owned null) outlives the filter.
  TFilter(TDataCursor& cursor, TExpTokenPtr owned, TExpToken* expression, const TCursorFilterOptions& options);
  // A callback filter.
  TFilter(TDataCursor& cursor, void* owner, TFilterCallback callback, const TCursorFilterOptions& options);
  TFilter(const TFilter&) = delete;
  TFilter& operator=(const TFilter&) = delete;

  TDataCursor& Cursor() const { return cursor_; }
  // A number no other filter of the process had before: a filter recognised
  // by it is the same one, never a later filter made at a freed one's
  // address.
  uint64_t Serial() const { return serial_; }
  bool OwnsExpression() const { return owned_ != nullptr; }
  TExpToken* Expression() const { return expression_; }
  void* Owner() const { return owner_; }
  const TFilterCallback& Callback() const { return callback_; }
  bool IsCallback() const { return isCallback_; }
  const TCursorFilterOptions& Options() const { return options_; }
  bool Late() const { return options_.Late; }
  bool Active() const { return active_; }
  void SetActive(bool value) { active_ = value; }
  uint8_t OptimizeLevel() const { return optimizeLevel_; }
  const TRecordsBitmap& Bitmap() const { return bitmap_; }

  // A filter of `cursor` (a clone on the same table) with a copy of this
  // filter's expression or callback and the same options; inactive and not
  // yet evaluated.
  std::unique_ptr<TFilter> CopyFor(TDataCursor& cursor) const;
  // Takes a new tree (the filter owns it from now on) and analyses it.
  void ReplaceExpression(TExpTokenPtr tree);
  // Marks the expression's nodes and notes the root's level. Callback
  // filters have level 0.
  void Analyse();
  // Narrows `windows` by the comparisons answered from an index that this
  // filter requires of every record it passes.
  void AddIndexWindows(TIndexWindows& windows);
  // Whether the records this filter passes are exactly those whose keys lie
  // in the windows it adds: an AND chain made only of comparisons and null
  // tests answered in full from an index, none of them a complement ("<>").
  bool AnsweredByWindows() const;
  // Bitmap() := the candidates that pass; with `windows` (which this
  // filter's own comparisons narrowed) only those inside them, the caller
  // intersecting the results of all the windows' filters. `readCount` grows
  // by the records read.
  void Evaluate(const TRecordsBitmap& candidates, uint64_t& readCount, const TIndexWindows* windows = nullptr);
  // Whether the whole record (in the table's layout) passes.
  bool Accepts(const uint8_t* record);

 private:
  // result := the records of `candidates` for which `node` is true.
  // `windows` holds key ranges that the conjunction around `node` requires
  // (null under OR and NOT).
  void EvaluateNode(TExpToken& node, const TRecordsBitmap& candidates, TRecordsBitmap& result,
                    uint64_t& readCount, const TIndexWindows* windows);
  // The comparisons of the AND chain of `node` answered from an index.
  void CollectWindows(const TExpToken& node, const TFilterIndexContext& context, TIndexWindows& windows);
  bool WindowsOnly(const TExpToken& node, const TFilterIndexContext& context) const;
  TFilterIndexContext IndexContext() const;
  // Reads every candidate and keeps those that pass `test`.
  void ScanRecords(const TRecordsBitmap& candidates, TRecordsBitmap& result, uint64_t& readCount,
                   const std::function<bool(const uint8_t*)>& test);
  // The node's truth for the record held by the record access.
  bool Truth(const TExpToken& node);
  // Strips the "*" of partial comparisons and notes their prefix lengths.
  void MarkPartialComparisons(TExpToken& node);
  TEvaluateOptions EvaluateOptions(size_t partialLength) const;

  TDataCursor& cursor_;
  const uint64_t serial_;
  TExpTokenPtr owned_;              // the expression when owned
  TExpToken* expression_ = nullptr; // the expression, owned or borrowed
  void* owner_ = nullptr;           // callback filters: the supplier
  TFilterCallback callback_;
  bool isCallback_ = false;
  TCursorFilterOptions options_;
  TRecordsBitmap bitmap_;           // records that passed the last evaluation
  bool active_ = false;
  uint8_t optimizeLevel_ = 0;       // 0 none, 1 partial, 2 full
  // Comparisons "=" / "<>" with a trailing-"*" constant: the prefix length.
  std::map<const TExpToken*, size_t> partial_;
  const uint8_t* record_ = nullptr; // the record being tested
};

}  // namespace rudira
