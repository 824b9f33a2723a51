// Conversions that rewrite a text in its own buffer: the parser fills each node's string once
// and converts it there, without temporary strings. Both only ever shrink the text.
#pragma once

#include <cstddef>

namespace XML::detail {

// utf8ToLatin1 on p[0..n); returns the new length.
std::size_t foldUtf8InPlace(char* p, std::size_t n) noexcept;
// decodeEntities on p[0..n); returns the new length.
std::size_t decodeEntitiesInPlace(char* p, std::size_t n) noexcept;

}  // namespace XML::detail
