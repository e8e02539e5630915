// Which image of an icon file a picture box shows. Portable: no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace purrbox::ui {

struct IconImage {
    int width = 0;   // pixels; a directory byte of 0 means 256
    int height = 0;
    std::span<const unsigned char> bytes;  // the image as CreateIconFromResourceEx takes it
};

namespace detail {
inline unsigned readWord(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8);
}
inline std::uint32_t readDword(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(readWord(bytes, at)) | static_cast<std::uint32_t>(readWord(bytes, at + 2)) << 16;
}
}  // namespace detail

// Walks the directory in order and takes the first image that is 32 pixels
// wide and has a colour count of 16 or more; when there is none, the last
// image. Nothing when the bytes are not an icon file or the chosen entry
// points outside them.
inline std::optional<IconImage> pickPictureImage(std::span<const unsigned char> iconFile)
{
    constexpr std::size_t HeaderSize = 6;
    constexpr std::size_t EntrySize = 16;
    constexpr unsigned IconResourceType = 1;
    if (iconFile.size() < HeaderSize) return std::nullopt;
    if (detail::readWord(iconFile, 0) != 0 || detail::readWord(iconFile, 2) != IconResourceType) return std::nullopt;
    const std::size_t count = detail::readWord(iconFile, 4);
    if (count == 0 || iconFile.size() < HeaderSize + count * EntrySize) return std::nullopt;

    std::size_t chosen = count - 1;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t entry = HeaderSize + index * EntrySize;
        if (iconFile[entry] == 32 && iconFile[entry + 2] >= 16) {
            chosen = index;
            break;
        }
    }

    const std::size_t entry = HeaderSize + chosen * EntrySize;
    const std::size_t size = detail::readDword(iconFile, entry + 8);
    const std::size_t offset = detail::readDword(iconFile, entry + 12);
    if (size == 0 || offset > iconFile.size() || size > iconFile.size() - offset) return std::nullopt;
    const auto pixels = [](unsigned char stored) { return stored == 0 ? 256 : int{stored}; };
    return IconImage{pixels(iconFile[entry]), pixels(iconFile[entry + 1]), iconFile.subspan(offset, size)};
}

}  // namespace purrbox::ui
