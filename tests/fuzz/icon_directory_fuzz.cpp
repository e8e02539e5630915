// Arbitrary bytes as the icon file a picture box walks: truncated headers and
// directories, counts larger than the file, offsets and sizes past its end,
// zero sizes. AddressSanitizer sees every read, as the input lies in a buffer
// of exactly its own size; the pick must lie inside it or be none.
#include <cstdint>
#include <optional>
#include <span>

#include "tests/fuzz/fuzz_check.h"
#include "ui/icon_directory.h"

namespace purrbox::fuzzing {
namespace {

std::uint64_t little(std::span<const std::uint8_t> bytes, std::uint64_t at, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::uint64_t>(i)];
    return value;
}

// The entry a picture box must show, worked out in 64-bit arithmetic that
// cannot wrap: none unless the header, the whole directory and the chosen
// image lie inside the file.
struct ExpectedPick {
    std::uint64_t offset;
    std::uint64_t size;
    int width;
    int height;
};

std::optional<ExpectedPick> expectedPick(std::span<const std::uint8_t> file)
{
    if (file.size() < 6 || little(file, 0, 2) != 0 || little(file, 2, 2) != 1) return std::nullopt;
    const std::uint64_t count = little(file, 4, 2);
    if (count == 0 || 6 + 16 * count > file.size()) return std::nullopt;
    std::uint64_t chosen = count - 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (file[6 + 16 * i] == 32 && file[6 + 16 * i + 2] >= 16) {
            chosen = i;
            break;
        }
    }
    const std::uint64_t entry = 6 + 16 * chosen;
    const ExpectedPick pick{little(file, entry + 12, 4), little(file, entry + 8, 4),
                            file[entry] == 0 ? 256 : file[entry], file[entry + 1] == 0 ? 256 : file[entry + 1]};
    if (pick.size == 0 || pick.offset + pick.size > file.size()) return std::nullopt;
    return pick;
}

}  // namespace
}  // namespace purrbox::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using purrbox::fuzzing::require;
    const std::span<const std::uint8_t> file(data, size);
    const auto picked = purrbox::ui::pickPictureImage(file);
    const auto expected = purrbox::fuzzing::expectedPick(file);

    require(picked.has_value() == expected.has_value(), "an image is picked exactly when the chosen entry fits");
    if (!picked) return 0;
    const auto* begin = picked->bytes.data();
    require(begin >= data && picked->bytes.size() <= size && static_cast<std::size_t>(begin - data) <= size - picked->bytes.size(),
            "the picked image lies inside the file");
    require(static_cast<std::uint64_t>(begin - data) == expected->offset && picked->bytes.size() == expected->size,
            "the picked image is the chosen entry's");
    require(picked->width == expected->width && picked->height == expected->height,
            "the picked size is the chosen entry's, 0 meaning 256");
    return 0;
}
