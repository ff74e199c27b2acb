#include "platform/PngAverage.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace norvane {
namespace {

// Larger than any screen's picture; a row of the widest takes half a megabyte.
constexpr png_uint_32 largestSide = 65'535;

// The file read through a buffer of its own, for libpng's exact-length reads.
struct Source {
    int fd;
    std::size_t at = 0, end = 0;
    unsigned char buffer[64 * 1024];
};

void readData(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    while (length > 0) {
        if (source->at == source->end) {
            ssize_t got;
            do got = ::read(source->fd, source->buffer, sizeof source->buffer);
            while (got < 0 && errno == EINTR);
            if (got <= 0) png_error(png, "the file ends early");
            source->at = 0;
            source->end = static_cast<std::size_t>(got);
        }
        const std::size_t n = std::min(length, source->end - source->at);
        std::memcpy(out, source->buffer + source->at, n);
        source->at += n;
        out += n;
        length -= n;
    }
}

[[noreturn]] void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignore(png_structp, png_const_charp) {}

struct Shape {
    png_uint_32 width = 0, height = 0;
    int channels = 0, depth = 0;  // 3 or 4; 8 or 16
    bool interlaced = false;
    std::size_t rowBytes = 0;
};

// Sums of the whole picture: of each colour times its opacity, of the opacity, of pixels.
// 65,535 x 65,535 pixels of 16 bits add up past 64 bits.
__extension__ typedef unsigned __int128 Wide;
struct Sums {
    Wide colour[3] = {0, 0, 0};
    Wide opacity = 0;
    std::uint64_t pixels = 0;
};

// A row's pixels, RGB or RGBA of `Depth` bits, big-endian as PNG stores them. A row's sums
// fit 64 bits: 65,535 pixels of at most 65,535 x 65,535.
template <int Depth, int Channels>
void addRow(const png_byte* row, png_uint_32 width, Sums& sums) {
    constexpr std::uint64_t most = Depth == 16 ? 65'535 : 255;
    std::uint64_t colour[3] = {0, 0, 0}, opacity = 0;
    const auto sample = [](const png_byte* at) -> std::uint64_t {
        if constexpr (Depth == 16) return std::uint64_t{at[0]} << 8 | at[1];
        else return at[0];
    };
    for (png_uint_32 x = 0; x < width; ++x, row += Channels * Depth / 8) {
        const std::uint64_t a = Channels == 4 ? sample(row + 3 * Depth / 8) : most;
        for (int i = 0; i < 3; ++i) colour[i] += sample(row + i * Depth / 8) * a;
        opacity += a;
    }
    for (int i = 0; i < 3; ++i) sums.colour[i] += colour[i];
    sums.opacity += opacity;
    sums.pixels += width;
}

void addRow(const Shape& shape, const png_byte* row, png_uint_32 width, Sums& sums) {
    if (shape.depth == 16)
        shape.channels == 4 ? addRow<16, 4>(row, width, sums) : addRow<16, 3>(row, width, sums);
    else
        shape.channels == 4 ? addRow<8, 4>(row, width, sums) : addRow<8, 3>(row, width, sums);
}

// The two steps that call into libpng hold only plain values, so that its error, a jump
// back to their start, leaves nothing to destroy.

// The header, and the reading set up so that every kind of PNG comes as RGB or RGBA of 8 or
// 16 bits. False when the file cannot give that.
bool begin(png_structp png, png_infop info, Shape& shape) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, largestSide, largestSide);
    png_read_info(png, info);
    png_set_expand(png);  // a palette, grey under 8 bits and a transparent colour
    png_set_gray_to_rgb(png);
    shape.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    png_read_update_info(png, info);
    shape.width = png_get_image_width(png, info);
    shape.height = png_get_image_height(png, info);
    shape.channels = png_get_channels(png, info);
    shape.depth = png_get_bit_depth(png, info);
    shape.rowBytes = png_get_rowbytes(png, info);
    return (shape.channels == 3 || shape.channels == 4) && (shape.depth == 8 || shape.depth == 16);
}

// Every row as it is decoded into the one row of memory. An interlaced picture is read pass
// by pass without putting the passes together: each pass's rows hold its own pixels, which is
// all a sum needs.
bool readRows(png_structp png, const Shape& shape, png_bytep row, Sums& sums) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int pass = 0; pass < (shape.interlaced ? 7 : 1); ++pass) {
        const png_uint_32 width = shape.interlaced ? PNG_PASS_COLS(shape.width, pass) : shape.width;
        const png_uint_32 height = shape.interlaced ? PNG_PASS_ROWS(shape.height, pass) : shape.height;
        if (width == 0 || height == 0) continue;  // libpng skips an empty pass too
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, row, nullptr);
            addRow(shape, row, width, sums);
        }
    }
    return true;
}

}  // namespace

std::optional<std::optional<Color>> pngAverage(const FileDescriptor& file) {
    const int fd = file.get();
    auto source = std::make_unique<Source>();
    source->fd = fd;
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    png_byte signature[8];
    std::size_t got = 0;
    while (got < sizeof signature) {
        const ssize_t n = ::read(fd, signature + got, sizeof signature - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got < sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        if (start < 0 || ::lseek(fd, start, SEEK_SET) != start) return std::optional<Color>();
        return std::nullopt;
    }

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
    if (!png) return std::optional<Color>();
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, source.get(), readData);
    Shape shape;
    Sums sums;
    std::vector<png_byte> row;
    bool read = info && begin(png, info, shape);
    if (read) {
        row.resize(shape.rowBytes);
        read = readRows(png, shape, row.data(), sums);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!read || sums.pixels == 0) return std::optional<Color>();

    const double most = shape.depth == 16 ? 65'535 : 255;
    const double opacity = static_cast<double>(sums.opacity) / static_cast<double>(sums.pixels) / most;
    if (!(opacity > 0)) return std::optional(Color::clear());
    const auto channel = [&](int i) {
        return std::min(static_cast<double>(sums.colour[i]) / static_cast<double>(sums.opacity) / most, 1.0);
    };
    return std::optional(Color{channel(0), channel(1), channel(2), opacity});
}

}  // namespace norvane
