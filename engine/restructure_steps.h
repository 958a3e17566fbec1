// Comparisons shared by the steps of a restructure (engine/restructure*.cpp).
#pragma once

#include "engine/restructure_definition.h"
#include "storage/field_value.h"
#include "storage/index_definition.h"

namespace rudira {

// Whether the two definitions order keys differently: key size, field
// count, descending, case-insensitive, unique, compression, or any index
// field's number or descending flag. Names do not count.
bool IndexDefinitionDiffers(const TIndexDefinition& old, const TIndexDefinition& fresh);
// The same for the primary index, which is always unique: two definitions
// without fields (no primary key) never differ.
bool PrimaryDefinitionDiffers(const TIndexDefinition& old, const TIndexDefinition& fresh);
// Whether the sets differ or the stop words differ under the locale.
bool TextParametersDiffer(const TextIndexParameters& old, const TextIndexParameters& fresh, const TableLocale& locale);
// The "Sys Text" definition the restructured table gets (the default one
// when the definition names none).
TIndexDefinition NewTextIndexDefinition(const TRestructureDefinition& definition);

}  // namespace rudira
