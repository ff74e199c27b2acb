#include "platform/PowerAssertions.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/FileLock.h"
#include "platform/FileReading.h"
#include "platform/ProcessKernel.h"
#include "platform/PropertyList.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::string_view idKey = "AssertionId";
constexpr std::string_view startKey = "ProcessStartTime";  // the creator's start, ours alone

Path assertionsFile(const Machine& machine) { return machine.file("power/assertions.json"); }

// An entry made through us lives as long as the process that made it: the same pid with
// the same start (a reused pid is another process).
bool creatorAlive(std::int32_t pid, const Value& entry) {
    const Value* start = entry.find(startKey);
    if (!start) return true;
    const auto recorded = start->integerValue();
    const auto actual = processStartTime(pid);
    return recorded && actual && static_cast<std::uint64_t>(*recorded) == *actual;
}

void dropOrphans(Value& root) {
    Value::Dictionary& byProcess = *root.asDictionary();
    for (auto it = byProcess.begin(); it != byProcess.end();) {
        const auto pid = parseInt32(it->first);
        Value::Array* list = it->second.asArray();
        if (!pid || !list) {
            ++it;  // not ours to judge; the reader decides what it makes of it
            continue;
        }
        std::erase_if(*list, [&](const Value& entry) { return !creatorAlive(*pid, entry); });
        it = list->empty() ? byProcess.erase(it) : std::next(it);
    }
}

bool save(const Path& file, const Value& byProcess) {
    const auto text = writeJson(byProcess);
    return text && createDirectories(file.parent_path()) && writeFileAtomically(file, *text);
}

}  // namespace

std::optional<std::uint32_t> PowerAssertions::create(std::string_view type, std::int64_t level,
                                                     std::string_view name) const {
    const Path file = assertionsFile(machine_);
    const FileLock lock(file);
    if (!lock.held()) return std::nullopt;
    auto byProcess = readJsonObject(file);
    const auto start = processStartTime(static_cast<std::int32_t>(::getpid()));
    if (!byProcess || !start) return std::nullopt;
    dropOrphans(*byProcess);

    std::int64_t highest = 0;
    for (const auto& [pid, list] : *byProcess->asDictionary()) {
        if (const auto* entries = list.asArray())
            for (const auto& entry : *entries)
                if (const Value* id = entry.find(idKey)) highest = std::max(highest, id->integerValue().value_or(0));
    }
    if (highest >= static_cast<std::int64_t>(UINT32_MAX)) return std::nullopt;
    const auto id = static_cast<std::uint32_t>(highest + 1);

    Value::Dictionary assertion;
    assertion.emplace("AssertType", Value::string(std::string(type)));
    assertion.emplace("AssertLevel", Value::integer(level));
    assertion.emplace("AssertName", Value::string(std::string(name)));
    assertion.emplace("Process Name", Value::string(program_invocation_short_name));
    assertion.emplace(idKey, Value::integer(id));
    assertion.emplace(startKey, Value::integer(static_cast<std::int64_t>(*start)));
    Value& own = (*byProcess->asDictionary())[std::to_string(::getpid())];
    if (!own.isArray()) own = Value::array(Value::Array{});
    own.asArray()->push_back(Value::dictionary(std::move(assertion)));
    if (!save(file, *byProcess)) return std::nullopt;
    return id;
}

bool PowerAssertions::release(std::uint32_t id) const {
    const Path file = assertionsFile(machine_);
    const FileLock lock(file);
    if (!lock.held()) return false;
    auto byProcess = readJsonObject(file);
    if (!byProcess) return false;
    dropOrphans(*byProcess);
    auto& all = *byProcess->asDictionary();
    const auto own = all.find(std::to_string(::getpid()));
    if (own == all.end() || !own->second.isArray()) return false;
    auto& list = *own->second.asArray();
    const auto removed = std::erase_if(list, [&](const Value& entry) {
        const Value* held = entry.find(idKey);
        return held && held->integerValue() == static_cast<std::int64_t>(id);
    });
    if (removed == 0) return false;
    if (list.empty()) all.erase(own);
    return save(file, *byProcess);
}

std::optional<Value> PowerAssertions::byProcess() const {
    // As a state file is read: no file is no assertions, anything but an object none at all.
    static const FileReading<std::optional<Value>> reading([](const FileBytes& file) -> std::optional<Value> {
        if (!file.exists) return Value::dictionary({});
        auto value = file.bytes ? parseJson(*file.bytes) : std::nullopt;
        return value && value->isDictionary() ? value : std::nullopt;
    });
    auto byProcess = *reading(machine_.path("power/assertions.json"));
    if (!byProcess) return std::nullopt;
    dropOrphans(*byProcess);
    return byProcess;
}

}  // namespace norvane
