// SQL LIKE matching under a locale.
//
// "%" matches any run of characters, possibly empty; "_" matches any one
// character; every other pattern character matches a value character equal
// to it by the locale's character comparison (case counts; accents do not
// under a locale). Characters are whole UTF-8 sequences, so "_" takes one
// character however many bytes it has.
#pragma once

#include <cstdint>
#include <string_view>

namespace rudira {

bool LikeMatch(uint16_t languageId, uint16_t sortId, std::string_view value,
               std::string_view pattern);

}  // namespace rudira
