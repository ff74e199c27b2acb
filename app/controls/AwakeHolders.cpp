#include "app/controls/AwakeHolders.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>

#include "app/analysis/AppUsage.h"
#include "platform/PathComponents.h"
#include "platform/ProcessTable.h"
#include "platform/Text.h"

namespace norvane {
namespace {

constexpr std::array<std::string_view, 4> systemFolders = {"/System/Library/", "/usr/libexec/", "/usr/sbin/",
                                                           "/sbin/"};

std::optional<std::int32_t> int32Of(const Value* value) {
    if (!value || !value->isInteger()) return std::nullopt;
    const auto number = value->integerValue();
    if (*number < INT32_MIN || *number > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*number);
}

std::string textOf(const Value* value) {
    const std::string* text = value ? value->asString() : nullptr;
    return text ? *text : std::string();
}

}  // namespace

const std::set<std::string, std::less<>>& sleepBlocking() {
    static const std::set<std::string, std::less<>> types = {
        "PreventUserIdleSystemSleep", "PreventSystemSleep", "NoIdleSleepAssertion", "PreventUserIdleDisplaySleep",
        "NoDisplaySleepAssertion"};
    return types;
}

std::vector<AwakeHolder> readAwakeHolders(const PowerAssertions& assertions,
                                          const std::function<std::string(std::int32_t)>& processPath) {
    const auto listed = assertions.byProcess();
    const Value::Dictionary* byProcess = listed ? listed->asDictionary() : nullptr;
    if (!byProcess) return {};
    // The whole list must have the expected shape, or none of it is trusted.
    std::vector<std::pair<std::int32_t, const Value::Array*>> processes;
    for (const auto& [key, list] : *byProcess) {
        const auto pid = parseInt32(key);
        const Value::Array* entries = list.asArray();
        if (!pid || !entries) return {};
        if (!std::all_of(entries->begin(), entries->end(), [](const Value& e) { return e.isDictionary(); })) return {};
        processes.emplace_back(*pid, entries);
    }

    std::vector<AssertionRecord> records;
    for (const auto& [holder, entries] : processes) {
        for (const Value& assertion : *entries) {
            const Value* type = assertion.find("AssertType");
            if (!type || !type->isString()) continue;
            const Value* level = assertion.find("AssertLevel");
            if (!level || !level->isInteger() || level->integerValue() == 0) continue;
            AssertionRecord record;
            // A pid of another PID namespace names no process of ours: such a holder is known
            // by its process name alone.
            const bool foreign = madeInAnotherPidNamespace(assertion);
            record.pid = foreign ? 0 : holder;
            record.process = textOf(assertion.find("Process Name"));
            // An assertion made on behalf of another process is charged to that one.
            if (const auto behalf = foreign ? std::nullopt : int32Of(assertion.find("AssertionOnBehalfOfPID"))) {
                if (const std::string path = processPath(*behalf); !path.empty()) {
                    record.pid = *behalf;
                    record.process = lastPathComponent(path);
                }
            }
            record.path = foreign ? std::string() : processPath(record.pid);
            record.type = *type->asString();
            std::string resources;
            if (const Value* used = assertion.find("ResourcesUsed"); used && used->isArray()) {
                for (const Value& resource : *used->asArray()) {
                    if (!resource.isString()) continue;
                    if (!resources.empty()) resources += " ";
                    resources += *resource.asString();
                }
            }
            record.name = textOf(assertion.find("AssertName")) + " " + resources;
            records.push_back(std::move(record));
        }
    }
    return awakeHolders(records, static_cast<std::int32_t>(::getpid()));
}

std::vector<AwakeHolder> readAwakeHolders(const Machine& machine) {
    return readAwakeHolders(PowerAssertions(machine), machineProcessPaths(machine));
}

std::vector<AwakeHolder> awakeHolders(const std::vector<AssertionRecord>& records, std::int32_t own) {
    struct Group {
        std::string name;
        std::vector<std::string> texts;
    };
    std::vector<Group> groups;
    std::map<std::string, std::size_t> byKey;
    for (const auto& record : records) {
        if (record.pid == own || !sleepBlocking().contains(record.type)) continue;
        if (std::any_of(systemFolders.begin(), systemFolders.end(),
                        [&](std::string_view folder) { return record.path.starts_with(folder); }))
            continue;
        std::string name, key;
        // Every helper inside a bundle counts as the application.
        if (const auto at = record.path.find(".app/"); at != std::string::npos) {
            key = record.path.substr(0, at) + ".app";
            name = appName(key);
        } else {
            name = record.process.empty() ? lastPathComponent(record.path) : record.process;
            key = name;
        }
        if (name.empty()) continue;
        const auto [it, added] = byKey.try_emplace(key, groups.size());
        if (added) groups.push_back({name, {}});
        groups[it->second].texts.push_back(record.name);
    }

    auto mentions = [](const Group& group, std::string_view word) {
        return std::any_of(group.texts.begin(), group.texts.end(),
                           [&](const std::string& text) { return text.find(word) != std::string::npos; });
    };
    // Sorted by name in lower case, then as written; each name is lowered once.
    std::vector<std::pair<std::string, AwakeHolder>> sorted;
    for (const auto& group : groups) {
        std::optional<std::string> reason;
        if (mentions(group, "audio-out")) reason = "playing audio";
        else if (mentions(group, "audio-in")) reason = "recording audio";
        sorted.emplace_back(lowercased(group.name), AwakeHolder{group.name, reason});
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
    });
    std::vector<AwakeHolder> holders;
    for (auto& [lowered, holder] : sorted) holders.push_back(std::move(holder));
    return holders;
}

std::optional<std::string> holdersLine(const std::vector<AwakeHolder>& holders) {
    if (holders.empty()) return std::nullopt;
    std::vector<std::string> items;
    for (std::size_t i = 0; i < holders.size() && i < 3; ++i) items.push_back(holders[i].name);
    if (holders.size() > 3) items.push_back(std::to_string(holders.size() - 3) + " more");
    std::string list = items.front();
    for (std::size_t i = 1; i < items.size(); ++i) list += (i + 1 == items.size() ? " and " : ", ") + items[i];
    return "Kept awake by " + list;
}

}  // namespace norvane
