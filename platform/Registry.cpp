#include "platform/Registry.h"

#include "platform/FileLock.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

// Keys that `ioreg` adds about the entry itself; they are not properties of the service.
bool isEntryBookkeeping(std::string_view key) {
    return key == "IORegistryEntryChildren" || key == "IORegistryEntryID" || key == "IORegistryEntryName" ||
           key == "IORegistryEntryLocation" || key == "IOObjectClass" || key == "IOObjectRetainCount" ||
           key == "IOServiceBusyState" || key == "IOServiceBusyTime" || key == "IOServiceState";
}

}  // namespace

std::optional<RegistryService> Registry::firstService(std::string_view className) const {
    auto all = services(className);
    if (all.empty()) return std::nullopt;
    return all.front();
}

std::optional<Value> Registry::property(const RegistryService& service, std::string_view key) const {
    auto all = properties(service);
    if (!all) return std::nullopt;
    if (const Value* value = find(*all, key)) return *value;
    return std::nullopt;
}

std::optional<Path> MachineRegistry::classFile(std::string_view className) const {
    // Class names are plain identifiers; anything else cannot name a file of ours.
    if (className.empty() || className.find_first_of("/\\.") != std::string_view::npos) return std::nullopt;
    return machine_.file("ioreg/" + std::string(className) + ".plist");
}

std::optional<Value::Array> MachineRegistry::entries(std::string_view className) const {
    const auto file = classFile(className);
    if (!file) return std::nullopt;
    auto text = readFile(*file);
    if (!text) return std::nullopt;
    auto root = parsePropertyList(*text);
    if (!root) return std::nullopt;
    if (root->isDictionary()) return Value::Array{std::move(*root)};
    if (auto* array = root->asArray()) return std::move(*array);
    return std::nullopt;
}

std::vector<RegistryService> MachineRegistry::services(std::string_view className) const {
    std::vector<RegistryService> out;
    auto all = entries(className);
    if (!all) return out;
    for (std::size_t i = 0; i < all->size(); ++i) out.push_back({std::string(className), i});
    return out;
}

std::optional<Value::Dictionary> MachineRegistry::properties(const RegistryService& service) const {
    auto all = entries(service.className);
    if (!all || service.index >= all->size()) return std::nullopt;
    auto* dict = (*all)[service.index].asDictionary();
    if (!dict) return std::nullopt;
    Value::Dictionary out;
    for (auto& [key, value] : *dict)
        if (!isEntryBookkeeping(key)) out.emplace(key, std::move(value));
    return out;
}

bool MachineRegistry::setProperty(const RegistryService& service, std::string_view key, Value value) const {
    const auto file = classFile(service.className);
    if (!file) return false;
    const FileLock lock(*file);
    if (!lock.held()) return false;
    auto text = readFile(*file);
    auto root = text ? parsePropertyList(*text) : std::nullopt;
    if (!root) return false;
    // The file keeps its shape: one entry stays one entry.
    Value* entry = root->isDictionary() && service.index == 0 ? &*root : nullptr;
    if (auto* array = root->asArray(); array && service.index < array->size()) entry = &(*array)[service.index];
    if (!entry || !entry->isDictionary()) return false;
    (*entry->asDictionary())[std::string(key)] = std::move(value);
    return writeFileAtomically(*file, writePropertyList(*root));
}

}  // namespace norvane
