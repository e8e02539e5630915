// The two cat icon files the program carries, byte for byte as committed under
// system/icons. Both are ICO files, whatever their names suggest.
#pragma once

#include <span>
#include <string_view>

namespace purrbox {

namespace embedded {
extern const std::span<const unsigned char> emptyIconFile;
extern const std::span<const unsigned char> fullIconFile;
}  // namespace embedded

struct IconFile {
    std::string_view name;
    std::span<const unsigned char> bytes;
};

// The cat with its mouth wide open: the icon of an empty bin.
const IconFile& emptyIconFile();
// The cat with its mouth closed: the icon of a bin that holds items.
const IconFile& fullIconFile();

}  // namespace purrbox
