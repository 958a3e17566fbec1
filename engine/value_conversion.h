// Conversion of one field value between the engine's field types.
//
// The routine behind CAST (a failure makes the result NULL), the storing of
// INSERT and UPDATE values into columns of another type (a failure is a type
// mismatch) and the copy of records during a restructure (a failure is a
// data loss and the zero value is stored).
//
// Values are in their stored encodings (storage/field_type.h). Rules:
//   - same type: a string is cut to the target size (never inside a UTF-8
//     character), bytes (9, 15) to the smaller size, anything else unchanged;
//   - bytes (9, 15) to any type but BLOB: the first min(source size, target
//     width) bytes unchanged; to BLOB it fails;
//   - any type of the table below to bytes: its stored bytes, as many as fit;
//   - BLOB (3), cardinal (13) and extended (14) sources pass through
//     unchanged (as many bytes as fit) and count as converted;
//   - the pairs of the table:
//
//   source      -> string           -> numbers                               -> dates, times   -> BOOLEAN
//   string      cut                 5, 6, 12: decimal int32 (5, 12 low 16)   text forms       TRUE/FALSE
//                                   18 int64; 7, 8: the fixed text forms
//   DATE        text form           -                                        TIMESTAMP        -
//   BOOLEAN     "True"/"False"      5, 6, 12, 18, 8: 1 or 0                  -                same
//   SMALLINT    decimal             6, 18 sign-extended; 12 same bits;       -                0 false, else true
//                                   7 exact; 8 the value
//   INTEGER     decimal             5, 12 low 16 bits; 18; 7; 8              -                -
//   FLOAT       text form           5, 6, 12 truncated to 64 bits then low   -                -
//                                   bits; 18 truncated (fails outside); 8
//   BCD         decimal text        5, 6, 12, 18 truncated (low bits); 7     -                -
//   TIME        24-hour text        -                                        TIMESTAMP on     -
//                                                                            day 693594
//   TIMESTAMP   24-hour text        -                                        DATE, TIME       -
//   WORD        decimal             5 same bits; 6, 18 zero-extended; 7; 8   -                as SMALLINT
//   LARGEINT    decimal             5, 12 low 16; 6 low 32; 7 nearest; 8     -                -
//
// Into BCD through a 64-bit fixed-point value with 4 decimals (source x
// 10000, rounded ties to even; outside the 64-bit range fails), stored with
// precision 32 and the target scale. From BCD through the same form.
#pragma once

#include <cstdint>

namespace rudira {

// The day number of 30 December 1899, the day a TIME lands on as a TIMESTAMP.
constexpr int32_t kTimeBaseDay = 693594;

// Converts `source` (type sourceType, declared size sourceSize for types 1,
// 9 and 15) into `target` (targetType, targetSize, targetScale). Returns
// whether it converted; on failure target is all zero bytes.
// REQUIRES: source holds FieldDataWidth(sourceType, sourceSize) bytes and
// target FieldDataWidth(targetType, targetSize); a string source ends at its
// first zero byte or after sourceSize bytes.
bool ConvertFieldValue(uint8_t sourceType, uint8_t sourceSize, const uint8_t* source,
                       uint8_t targetType, uint8_t targetSize, uint8_t targetScale,
                       uint8_t* target);

}  // namespace rudira
