// Keeping the encoding label of a saved rule file true to its body.
//
// A saved file starts with the document type file, copied byte for byte. Its
// XML declaration decides how a parser reads the body that follows, so when
// it names another encoding than the one the body is written in (or names
// none where the default would be wrong), the label is rewritten to the
// encoding actually used. Everything else of the head stays as it is.
#pragma once

#include <cstddef>

namespace ostak {

// The encodings the body can be written in.
enum class BodyEncoding { kUtf8, kLatin1 };

// The name written into a label for `encoding`.
const char *BodyEncodingName(BodyEncoding encoding) noexcept;

// Rewrites the start of the head. `block` holds the first `count` bytes of
// the head (the XML declaration, if any, lies within them). The bytes to write
// instead of the whole block go to `out`, which must hold `count` +
// kHeadRelabelSlack bytes; their number is returned.
constexpr std::size_t kHeadRelabelSlack = 64;
std::size_t RelabelHead(const char *block, std::size_t count, BodyEncoding encoding, char *out) noexcept;

} // namespace ostak
