#pragma once
// What the panel's tests share: a model on a temporary machine whose state the probe sets,
// and segments written as one line ("OFF [80] 90": the selected one in brackets).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/visuals/Segments.h"
#include "tests/model/ModelProbe.h"

namespace norvane::testing {

inline std::string titles(const std::vector<Segment>& segments) {
    std::string out;
    for (const auto& s : segments)
        out += (out.empty() ? "" : " ") + (s.selected ? "[" + s.title + "]" : s.title);
    return out;
}

class PanelBench : public ::testing::Test {
protected:
    ModelBench bench;
    AppModel& m = bench.start({}, [](System& s) { s.processes = std::make_shared<FakeProcesses>(); });
    ModelProbe probe{m};
    static constexpr Color accent{0.2, 0.8, 0.5, 1};
};

}  // namespace norvane::testing
