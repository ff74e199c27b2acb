#include "app/visuals/DotText.h"

#include <array>
#include <map>
#include <vector>

#include "app/visuals/DotGlyph.h"

namespace norvane {
namespace {

using Glyph = std::array<const char*, 7>;

const std::map<char, Glyph>& glyphs() {
    static const std::map<char, Glyph> font{
        {'0', {"01110", "10001", "10011", "10101", "11001", "10001", "01110"}},
        {'1', {"00100", "01100", "00100", "00100", "00100", "00100", "01110"}},
        {'2', {"01110", "10001", "00001", "00010", "00100", "01000", "11111"}},
        {'3', {"11110", "00001", "00001", "01110", "00001", "00001", "11110"}},
        {'4', {"00010", "00110", "01010", "10010", "11111", "00010", "00010"}},
        {'5', {"11111", "10000", "11110", "00001", "00001", "10001", "01110"}},
        {'6', {"00110", "01000", "10000", "11110", "10001", "10001", "01110"}},
        {'7', {"11111", "00001", "00010", "00100", "01000", "01000", "01000"}},
        {'8', {"01110", "10001", "10001", "01110", "10001", "10001", "01110"}},
        {'9', {"01110", "10001", "10001", "01111", "00001", "00010", "01100"}},
        {':', {"0", "0", "1", "0", "1", "0", "0"}},
        {'-', {"00000", "00000", "00000", "11111", "00000", "00000", "00000"}},
        {'N', {"10001", "10001", "11001", "10101", "10011", "10001", "10001"}},
        {'O', {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
        {'R', {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
        {'V', {"10001", "10001", "10001", "10001", "10001", "01010", "00100"}},
        {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
        {'E', {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
    };
    return font;
}

// The glyphs of the characters the font holds, in order. Bytes of multi-byte UTF-8
// characters are never ASCII, so they are skipped like any other missing character.
std::vector<const Glyph*> taken(const std::string& text) {
    std::vector<const Glyph*> out;
    for (char ch : text)
        if (auto it = glyphs().find(ch); it != glyphs().end()) out.push_back(&it->second);
    return out;
}

int width(const Glyph& glyph) { return static_cast<int>(std::char_traits<char>::length(glyph[0])); }

}  // namespace

int DotText::columns() const {
    int count = 0;
    for (const Glyph* glyph : taken(text)) count += width(*glyph) + 1;
    return count - 1;
}

DotLayout DotText::layout() const {
    DotLayout out;
    out.width = pitch * std::max(columns(), 1);
    out.height = pitch * 7;
    int offset = 0;
    for (const Glyph* glyph : taken(text)) {
        for (int r = 0; r < 7; ++r) {
            const char* row = (*glyph)[static_cast<std::size_t>(r)];
            for (int c = 0; row[c] != '\0'; ++c)
                out.dots.push_back(DotGlyph::dot(pitch, offset + c, r, row[c] == '1', color));
        }
        offset += width(*glyph) + 1;
    }
    return out;
}

}  // namespace norvane
