#include "system/icon_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace purrbox {
namespace {

std::string committedPath(const std::string& name)
{
    std::string path = std::string(PURRBOX_SOURCE_DIR) + "/system/icons/" + name;
#ifdef _WIN32
    // Under Wine the Unix file system is drive Z:.
    if (path.starts_with("/")) path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

std::vector<unsigned char> readCommitted(const std::string& name)
{
    std::ifstream in(committedPath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const IconFile* const CarriedFiles[] = {&emptyIconFile(), &fullIconFile()};

TEST(IconFiles, CarriedBlocksEqualTheCommittedFiles)
{
    for (const IconFile* file : CarriedFiles) {
        SCOPED_TRACE(std::string(file->name));
        const std::vector<unsigned char> committed = readCommitted(std::string(file->name));
        ASSERT_FALSE(committed.empty()) << "cannot read " << committedPath(std::string(file->name));
        EXPECT_EQ(file->bytes.size(), committed.size());
        EXPECT_TRUE(std::equal(file->bytes.begin(), file->bytes.end(), committed.begin(), committed.end()));
    }
}

class LittleEndian {
public:
    explicit LittleEndian(std::span<const unsigned char> bytes) : bytes_(bytes) {}
    std::uint32_t u8(std::size_t at) const { return bytes_[at]; }
    std::uint32_t u16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }

private:
    std::span<const unsigned char> bytes_;
};

struct ImageLayout {
    std::uint32_t side;
    std::uint32_t size;
    std::uint32_t offset;
};

constexpr ImageLayout Images[] = {
    {128, 67624, 86}, {96, 38056, 67710}, {64, 16936, 105766}, {48, 9640, 122702}, {32, 4264, 132342},
};

TEST(IconFiles, DirectoryListsFiveSquareImagesBackToBack)
{
    for (const IconFile* file : CarriedFiles) {
        SCOPED_TRACE(std::string(file->name));
        ASSERT_EQ(file->bytes.size(), 136606u);
        const LittleEndian ico(file->bytes);
        EXPECT_EQ(ico.u16(0), 0u) << "reserved";
        EXPECT_EQ(ico.u16(2), 1u) << "type: icon";
        ASSERT_EQ(ico.u16(4), 5u) << "image count";

        std::uint32_t next = 6 + 5 * 16;
        for (std::size_t i = 0; i < std::size(Images); ++i) {
            SCOPED_TRACE("entry " + std::to_string(i));
            const std::size_t entry = 6 + i * 16;
            EXPECT_EQ(ico.u8(entry + 0), Images[i].side) << "width";
            EXPECT_EQ(ico.u8(entry + 1), Images[i].side) << "height";
            EXPECT_EQ(ico.u8(entry + 2), 0u) << "colour count";
            EXPECT_EQ(ico.u8(entry + 3), 0u) << "reserved";
            EXPECT_EQ(ico.u16(entry + 4), 1u) << "planes";
            EXPECT_EQ(ico.u16(entry + 6), 32u) << "bits per pixel";
            EXPECT_EQ(ico.u32(entry + 8), Images[i].size) << "bytes in resource";
            EXPECT_EQ(ico.u32(entry + 12), Images[i].offset) << "image offset";
            EXPECT_EQ(ico.u32(entry + 12), next) << "images follow each other without a gap";
            next = ico.u32(entry + 12) + ico.u32(entry + 8);
        }
        EXPECT_EQ(next, file->bytes.size()) << "the last image ends the file";
    }
}

// Each image: a BITMAPINFOHEADER, BGRA pixels, then a 1-bit mask whose rows are
// padded to four bytes; transparent pixels are black and masked, others not.
TEST(IconFiles, EachImageIsA32BitBitmapWithAMatchingMask)
{
    for (const IconFile* file : CarriedFiles) {
        SCOPED_TRACE(std::string(file->name));
        ASSERT_EQ(file->bytes.size(), 136606u);
        const LittleEndian ico(file->bytes);
        for (const ImageLayout& image : Images) {
            const std::uint32_t n = image.side;
            SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(n));
            const std::size_t header = image.offset;
            const std::uint32_t expected[] = {40, n, 2 * n, 1, 32, 0, n * n * 4, 0, 0, 0, 0};
            const std::uint32_t got[] = {ico.u32(header),      ico.u32(header + 4),  ico.u32(header + 8),
                                         ico.u16(header + 12), ico.u16(header + 14), ico.u32(header + 16),
                                         ico.u32(header + 20), ico.u32(header + 24), ico.u32(header + 28),
                                         ico.u32(header + 32), ico.u32(header + 36)};
            ASSERT_TRUE(std::equal(std::begin(got), std::end(got), std::begin(expected)))
                << "header " << ::testing::PrintToString(std::vector<std::uint32_t>(std::begin(got), std::end(got)));

            const std::size_t pixels = header + 40;
            const std::size_t mask = pixels + n * n * 4;
            const std::size_t stride = (n + 31) / 32 * 4;
            ASSERT_EQ(mask + stride * n, header + image.size) << "pixels and mask fill the image exactly";

            int transparentNotBlack = 0;
            int maskMismatches = 0;
            int paddingBitsSet = 0;
            for (std::size_t y = 0; y < n; ++y) {
                for (std::size_t x = 0; x < stride * 8; ++x) {
                    const bool masked = (ico.u8(mask + y * stride + x / 8) >> (7 - x % 8)) & 1;
                    if (x >= n) {
                        paddingBitsSet += masked ? 1 : 0;
                        continue;
                    }
                    const std::size_t pixel = pixels + (y * n + x) * 4;
                    const bool transparent = ico.u8(pixel + 3) == 0;
                    if (transparent && (ico.u8(pixel) | ico.u8(pixel + 1) | ico.u8(pixel + 2)) != 0)
                        ++transparentNotBlack;
                    if (masked != transparent) ++maskMismatches;
                }
            }
            EXPECT_EQ(transparentNotBlack, 0) << "pixels with alpha 0 must be black";
            EXPECT_EQ(maskMismatches, 0) << "the mask bit is set exactly where alpha is 0";
            EXPECT_EQ(paddingBitsSet, 0) << "mask row padding is zero";
        }
    }
}

}  // namespace
}  // namespace purrbox
