#include "platform/PngAverage.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <vector>

#include "tests/support/TempMachine.h"

namespace norvane {
namespace {

// A PNG of the test's making: rows of samples already packed as PNG packs them.
struct Png {
    png_uint_32 width, height;
    int colourType, depth;
    std::vector<std::vector<png_byte>> rows;
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<png_byte> transparency = {};  // of the palette's entries

    void write(const Path& file) const {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_TRUE(out);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, out);
        png_set_IHDR(png, info, width, height, depth, colourType,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        if (!transparency.empty())
            png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
        png_write_info(png, info);
        std::vector<png_bytep> pointers;
        for (const auto& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
        png_write_image(png, pointers.data());
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(out);
    }
};

std::optional<std::optional<Color>> averageOf(const Path& file) {
    const auto open = openRegularFile(file);
    const auto* fd = std::get_if<FileDescriptor>(&open);
    return fd ? pngAverage(*fd) : std::optional<Color>();
}

// Every kind of PNG, each pixel counted once at the picture's own depth.
TEST(PngAverage, EveryPixelOfEveryKindWeighsTheSame) {
    testing::TempFolder folder;
    // An interlaced 5 x 3: red 50 a column, green 100 a row, so a pass counted twice or left
    // out would move the mean.
    Png interlaced{5, 3, PNG_COLOR_TYPE_RGB, 8, {}, true};
    for (png_byte y = 0; y < 3; ++y) {
        interlaced.rows.emplace_back();
        for (png_byte x = 0; x < 5; ++x) interlaced.rows.back().insert(interlaced.rows.back().end(), {png_byte(x * 50), png_byte(y * 100), 0});
    }
    struct Case {
        const char* what;
        Png png;
        Color mean;
    };
    const std::vector<Case> cases{
        {"8-bit RGB", {2, 1, PNG_COLOR_TYPE_RGB, 8, {{255, 0, 0, 0, 0, 255}}}, {0.5, 0, 0.5, 1}},
        // 8 bits would read 128 and 0: the 16-bit values themselves count.
        {"16-bit RGB", {1, 1, PNG_COLOR_TYPE_RGB, 16, {{0x80, 0, 0, 1, 0xff, 0xff}}}, {32768.0 / 65535, 1.0 / 65535, 1, 1}},
        // The colours weighed by their opacity: an opaque red and a blue at a third.
        {"16-bit RGBA", {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {{0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0, 0, 0, 0, 0xff, 0xff, 0x55, 0x55}}},
         {0.75, 0, 0.25, 2.0 / 3}},
        {"palette, one entry transparent",
         {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}}, false, {{255, 0, 0}, {0, 255, 0}}, {255, 0}}, {1, 0, 0, 0.5}},
        {"grey of 1 bit", {8, 1, PNG_COLOR_TYPE_GRAY, 1, {{0b10100000}}}, {0.25, 0.25, 0.25, 1}},
        {"grey and alpha, all transparent", {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{200, 0}}}, Color::clear()},
        {"interlaced", interlaced, {100.0 / 255, 100.0 / 255, 0, 1}},
    };
    for (const auto& c : cases) {
        const Path file = folder / "picture.png";
        c.png.write(file);
        const auto average = averageOf(file);
        ASSERT_TRUE(average && *average) << c.what;
        const Color& got = **average;
        for (const auto part : {&Color::red, &Color::green, &Color::blue, &Color::opacity})
            EXPECT_NEAR(got.*part, c.mean.*part, 1e-12) << c.what;
    }

    // Not a PNG; a PNG that cannot be decoded (cut short, too wide).
    const std::optional<std::optional<Color>> undecodable(std::in_place);
    folder.write("picture.gif", "GIF89a");
    EXPECT_EQ(averageOf(folder / "picture.gif"), std::nullopt);
    interlaced.write(folder / "whole.png");
    const std::string whole = readFile(folder / "whole.png").value_or("");
    folder.write("cut.png", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(averageOf(folder / "cut.png"), undecodable);
    Png{70'000, 1, PNG_COLOR_TYPE_GRAY, 1, {std::vector<png_byte>(8750)}}.write(folder / "wide.png");
    EXPECT_EQ(averageOf(folder / "wide.png"), undecodable);
}

}  // namespace
}  // namespace norvane
