// The table of engine error codes: symbolic name, message template and the
// context slots that fill the template's "%s" placeholders, in order.
//
// A slot listed for a code but absent from its template is passed and
// ignored (the remote "invalid or blank" codes take the server name that way).
// Codes without a template (RUDIRA_NONE, RUDIRA_REMOTECALLBACK, anything not
// listed) have the message text "An unknown error occurred".
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace rudira {

// A context slot as numbered in engine/errors.h. kOSError is the
// operating-system error number written in decimal.
enum class ErrorSlot : uint8_t {
  kServer = 0,
  kUser = 1,
  kDatabase = 2,
  kTable = 3,
  kField = 4,
  kIndex = 5,
  kText = 6,
  kOSError = 7,
  kSocketError = 8,
};

constexpr int kErrorTextSlotCount = 7;        // slots 0 .. 6 hold texts
constexpr size_t kErrorContextTextLimit = 255;  // bytes per context text
constexpr size_t kErrorMessageLimit = 254;      // bytes of a message text

// The slots that fill one template, in placeholder order.
class ErrorSlotList {
 public:
  constexpr ErrorSlotList() = default;
  constexpr ErrorSlotList(std::initializer_list<ErrorSlot> slots) {
    for (ErrorSlot slot : slots) slots_[count_++] = slot;
  }
  constexpr size_t size() const { return count_; }
  constexpr ErrorSlot operator[](size_t i) const { return slots_[i]; }

 private:
  std::array<ErrorSlot, 3> slots_{};  // the most any template takes is 3
  size_t count_ = 0;
};

struct EngineErrorEntry {
  uint16_t Code;
  const char* Name;      // "RUDIRA_KEYVIOL"
  const char* Template;  // nullptr: no template
  ErrorSlotList Slots;
};

// The whole table, ascending by code.
std::span<const EngineErrorEntry> EngineErrorTable();

// The entry of a code, or nullptr when the code is not in the table.
const EngineErrorEntry* FindEngineError(uint16_t code);

// The values of the nine context slots a message is filled from.
struct EngineErrorSlots {
  std::array<std::string, kErrorTextSlotCount> Texts;  // slots 0 .. 6
  int32_t OSErrorCode = 0;                             // slot 7
  int32_t SocketErrorCode = 0;                         // slot 8

  // The text of a slot; 7 and 8 in decimal.
  std::string Text(ErrorSlot slot) const;
};

// The message text of a code filled from the given slots, cut to
// kErrorMessageLimit bytes without splitting a UTF-8 character.
std::string FormatEngineErrorMessage(uint16_t code, const EngineErrorSlots& slots);

}  // namespace rudira
