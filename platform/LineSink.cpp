#include "platform/LineSink.h"

namespace norvane {

void StreamLines::line(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

}  // namespace norvane
