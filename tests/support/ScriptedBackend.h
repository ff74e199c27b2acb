#pragma once
// A charge-limit backend that answers from a script and records what it was asked.

#include <deque>
#include <string>
#include <vector>

#include "app/readings/LimitBackend.h"

namespace norvane::testing {

struct ScriptedBackend : LimitBackend {
    std::vector<std::int64_t> offered{80, 85, 90, 100};
    std::deque<LimitSetting> reads;      // one per read(); the last repeats
    std::deque<std::int64_t> counts{0};  // one per registrations(); the last repeats
    bool isSupported = true;
    std::string failing;  // the operation that throws
    FullCharge full;      // what chargeFullNow() lifts
    std::vector<std::string> calls;

    void call(const std::string& name) {
        calls.push_back(name);
        if (name == failing) throw Problem("macOS refused " + name);
    }
    template <class T>
    static T next(std::deque<T>& queue) {
        T value = queue.front();
        if (queue.size() > 1) queue.pop_front();
        return value;
    }
    std::vector<std::int64_t> available() override { return call("available"), offered; }
    LimitSetting read() override { return call("read"), next(reads); }
    void set(std::int64_t percent) override { call("set " + std::to_string(percent)); }
    FullCharge chargeFullNow() override { return call("chargeFullNow"), full; }
    bool optimised() override { return call("optimised"), false; }
    std::int64_t registrations() override { return calls.push_back("registrations"), next(counts); }
    bool supported() override { return call("supported"), isSupported; }
    void enableLimit() override { call("enable"); }
    void disableLimit() override { call("disable"); }
    void enableSmartCharging() override { call("enableSmart"); }
};

}  // namespace norvane::testing
