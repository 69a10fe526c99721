#pragma once
// The formats' own field type letters, the engine's types they stand for, and the record
// width of the types whose size is fixed.

#include <optional>
#include <string_view>

#include "tables/schema.h"

namespace rf::tool {

// The engine's type of type letter `native` in `format` (`version` tells FoxPro 2 from Visual
// FoxPro where it matters); nullopt for a letter the tool does not create.
std::optional<tables::FieldType> fieldTypeOfLetter(tables::Format format, char native);
// Bytes in the record of a field of that type when the format fixes them; 0 when the width must
// be given.
int fixedWidth(tables::Format format, int version, char native);

std::string_view fieldTypeName(tables::FieldType type);
std::string_view formatName(tables::Format format);
std::optional<tables::Format> formatOfName(std::string_view name);

}  // namespace rf::tool
