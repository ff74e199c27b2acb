#pragma once
// The average colour of a PNG, read row by row as libpng decodes it: the memory it takes is a
// few rows whatever the picture's size, bit depth or kind (palette, grey, with or without
// alpha, interlaced), so a 16-bit 5K desktop picture costs no more than a small one.

#include <optional>

#include "platform/Color.h"
#include "platform/Files.h"

namespace norvane {

// The average of every pixel of the PNG read from `file` (from where it stands), each weighing
// the same: the colours premultiplied by their opacity and summed exactly at the picture's own
// depth, the opacity then taken back out, as the picture drawn into one pixel would be.
// Absent when the file does not begin as a PNG: it then stands where it stood, for another
// decoder to read. None inside when it does but cannot be decoded (cut short, damaged, wider or
// taller than 65,535 pixels), or when it cannot be put back.
std::optional<std::optional<Color>> pngAverage(const FileDescriptor& file);

}  // namespace norvane
