#include "app/onboarding/AccessMark.h"

#include <array>
#include <utility>

#include "app/onboarding/AccessCard.h"
#include "app/onboarding/Motion.h"

namespace norvane {
namespace {

const std::vector<std::string> tick{"00000", "00001", "00010", "10100", "01000"};
const std::vector<std::string> cross{"10001", "01010", "00100", "01010", "10001"};
// The twelve edge dots without the corners, clockwise from the top left, as (column, row).
constexpr std::array<std::pair<int, int>, 12> ring{
    {{1, 0}, {2, 0}, {3, 0}, {4, 1}, {4, 2}, {4, 3}, {3, 4}, {2, 4}, {1, 4}, {0, 3}, {0, 2}, {0, 1}}};

}  // namespace

std::vector<std::string> AccessMark::turning(std::optional<int> frame) {
    std::vector<std::string> rows(5, "00000");
    if (!frame) return rows;
    // A frame of any sign turns as far as its remainder.
    const int start = ((*frame % cycle) + cycle) % cycle;
    for (int k = 0; k < 3; ++k) {
        const auto [column, row] = ring[static_cast<std::size_t>((start + k) % cycle)];
        rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = '1';
    }
    return rows;
}

bool AccessMark::turns(const Access& access) {
    return is<access_state::Checking>(access) || is<access_state::NeedsSettings>(access);
}

DotGlyph AccessMark::glyph(const Access& access, bool still, double t) {
    if (is<access_state::Granted>(access)) return {tick, grantedGreen, pitch};
    if (is<access_state::Failed>(access)) return {cross, failureRed, pitch};
    if (!turns(access)) return {turning(std::nullopt), Color::white(), pitch};
    const int frame = still ? 0 : timelineFrame(t, period, cycle);
    return {turning(frame), is<access_state::Checking>(access) ? Color::white() : waitingAmber, pitch};
}

}  // namespace norvane
