#include "ui/icon_directory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "system/icon_files.h"

namespace purrbox::ui {
namespace {

using Bytes = std::vector<unsigned char>;

struct Entry {
    unsigned char width;
    unsigned char height;
    unsigned char colours;
};

void putWord(Bytes& bytes, std::size_t at, unsigned value)
{
    bytes[at] = static_cast<unsigned char>(value & 0xFF);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8 & 0xFF);
}

void putDword(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    putWord(bytes, at, value & 0xFFFF);
    putWord(bytes, at + 2, value >> 16);
}

constexpr std::size_t ImageSize = 8;

// An icon file whose images are ImageSize bytes each, laid out after the
// directory in entry order; image i is filled with the byte i + 1.
Bytes makeIconFile(const std::vector<Entry>& entries)
{
    const std::size_t directoryEnd = 6 + 16 * entries.size();
    Bytes file(directoryEnd + ImageSize * entries.size());
    putWord(file, 2, 1);
    putWord(file, 4, static_cast<unsigned>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        file[entry] = entries[i].width;
        file[entry + 1] = entries[i].height;
        file[entry + 2] = entries[i].colours;
        putWord(file, entry + 4, 1);
        putWord(file, entry + 6, 32);
        putDword(file, entry + 8, ImageSize);
        putDword(file, entry + 12, static_cast<std::uint32_t>(directoryEnd + ImageSize * i));
        for (std::size_t b = 0; b < ImageSize; ++b)
            file[directoryEnd + ImageSize * i + b] = static_cast<unsigned char>(i + 1);
    }
    return file;
}

struct PickCase {
    std::string name;
    std::vector<Entry> entries;
    std::size_t expected;  // index of the entry that must be picked
};
// GoogleTest names a failing case by its parameter: the case's name, not its raw bytes.
void PrintTo(const PickCase& c, std::ostream* out) { *out << c.name; }

class PickPictureImage : public ::testing::TestWithParam<PickCase> {};

TEST_P(PickPictureImage, PicksTheFirst32WideWithSixteenColoursElseTheLast)
{
    const PickCase& c = GetParam();
    const Bytes file = makeIconFile(c.entries);
    const auto image = pickPictureImage(file);
    ASSERT_TRUE(image.has_value());
    const std::size_t directoryEnd = 6 + 16 * c.entries.size();
    EXPECT_EQ(image->bytes.data(), file.data() + directoryEnd + ImageSize * c.expected);
    EXPECT_EQ(image->bytes.size(), ImageSize);
    const Entry& picked = c.entries[c.expected];
    EXPECT_EQ(image->width, picked.width == 0 ? 256 : picked.width);
    EXPECT_EQ(image->height, picked.height == 0 ? 256 : picked.height);
}

INSTANTIATE_TEST_SUITE_P(
    Directories, PickPictureImage,
    ::testing::Values(
        // True-colour images have a colour count of 0, so even a 32 x 32 one
        // is passed over and the last image wins.
        PickCase{"TrueColour32IsPassedOver", {{32, 32, 0}, {64, 64, 0}, {16, 16, 0}}, 2},
        PickCase{"FirstMatchWins", {{48, 48, 0}, {32, 32, 16}, {32, 32, 255}, {16, 16, 0}}, 1},
        PickCase{"FifteenColoursAreTooFew", {{32, 32, 8}, {32, 32, 15}, {64, 64, 0}}, 2},
        PickCase{"OnlyTheWidthCounts", {{64, 64, 0}, {32, 64, 16}, {16, 16, 0}}, 1},
        PickCase{"OtherWidthsNeverMatch", {{48, 48, 16}, {31, 31, 255}, {24, 24, 0}}, 2},
        PickCase{"AZeroSizeByteMeans256", {{0, 0, 0}}, 0}),
    [](const auto& instance) { return instance.param.name; });

struct BrokenCase {
    std::string name;
    Bytes file;
};
void PrintTo(const BrokenCase& c, std::ostream* out) { *out << c.name; }

Bytes brokenFile(void (*spoil)(Bytes&))
{
    Bytes file = makeIconFile({{32, 32, 0}, {16, 16, 0}});
    spoil(file);
    return file;
}

class PickPictureImageRefuses : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(PickPictureImageRefuses, ABrokenFile)
{
    EXPECT_FALSE(pickPictureImage(GetParam().file).has_value());
}

constexpr std::size_t LastEntry = 6 + 16;

INSTANTIATE_TEST_SUITE_P(
    Files, PickPictureImageRefuses,
    ::testing::Values(
        BrokenCase{"Empty", {}},
        BrokenCase{"ShorterThanTheHeader", Bytes{0, 0, 1, 0, 1}},
        BrokenCase{"NoImages", makeIconFile({})},
        BrokenCase{"ACursorFile", brokenFile([](Bytes& f) { putWord(f, 2, 2); })},
        BrokenCase{"ReservedWordSet", brokenFile([](Bytes& f) { putWord(f, 0, 1); })},
        BrokenCase{"DirectoryCutShort", brokenFile([](Bytes& f) { f.resize(LastEntry + 8); })},
        BrokenCase{"ImageEndsPastTheFile", brokenFile([](Bytes& f) { putDword(f, LastEntry + 8, 9); })},
        BrokenCase{"ImageStartsPastTheFile",
                   brokenFile([](Bytes& f) { putDword(f, LastEntry + 12, static_cast<std::uint32_t>(f.size() + 1)); })},
        BrokenCase{"OffsetAndSizeWrapAround", brokenFile([](Bytes& f) {
                       putDword(f, LastEntry + 8, 16);
                       putDword(f, LastEntry + 12, std::numeric_limits<std::uint32_t>::max() - 7);
                   })},
        BrokenCase{"ImageOfNoBytes", brokenFile([](Bytes& f) { putDword(f, LastEntry + 8, 0); })}),
    [](const auto& instance) { return instance.param.name; });

// The two carried files hold only 32-bit images (colour count 0), the last of
// them 32 x 32: the pictures show that one, not the file's own 64 x 64 image.
TEST(PickPictureImageOfTheCatFiles, IsTheLastImageThirtyTwoPixelsSquare)
{
    for (const IconFile* file : {&emptyIconFile(), &fullIconFile()}) {
        SCOPED_TRACE(std::string(file->name));
        const auto image = pickPictureImage(file->bytes);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->width, 32);
        EXPECT_EQ(image->height, 32);
        EXPECT_EQ(image->bytes.data(), file->bytes.data() + 132342);
        EXPECT_EQ(image->bytes.size(), 4264u);
    }
}

}  // namespace
}  // namespace purrbox::ui
