#include "platform/Registry.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform/FileLock.h"
#include "platform/PropertyList.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"

namespace norvane {
namespace {

// Keys that `ioreg` adds about the entry itself; they are not properties of the service.
bool isEntryBookkeeping(std::string_view key) {
    return key == "IORegistryEntryChildren" || key == "IORegistryEntryID" || key == "IORegistryEntryName" ||
           key == "IORegistryEntryLocation" || key == "IOObjectClass" || key == "IOObjectRetainCount" ||
           key == "IOServiceBusyState" || key == "IOServiceBusyTime" || key == "IOServiceState";
}

// Linux names a partition after its disk: "sda" → "sda1", and with a "p" after a disk
// name that ends in a digit: "nvme0n1" → "nvme0n1p1", "mmcblk0" → "mmcblk0p2".
bool isPartition(std::string_view name, const std::set<std::string_view>& devices) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string_view disk = name;
    while (!disk.empty() && isDigit(disk.back())) disk.remove_suffix(1);
    if (disk.empty() || disk.size() == name.size()) return false;
    if (!isDigit(disk.back()) && devices.contains(disk)) return true;
    if (disk.size() < 2 || disk.back() != 'p' || !isDigit(disk[disk.size() - 2])) return false;
    disk.remove_suffix(1);
    return devices.contains(disk);
}

bool isVirtualDisk(std::string_view name) {
    for (const std::string_view prefix : {"loop", "ram", "zram", "dm-", "md"})
        if (name.starts_with(prefix)) return true;
    return false;
}

}  // namespace

Value::Array blockStorageDrivers(std::string_view diskstats) {
    struct Disk {
        std::string_view name;
        std::uint64_t readSectors, writtenSectors;
    };
    std::vector<Disk> disks;
    for (const auto line : splitNonEmpty(diskstats, '\n')) {
        // major minor name reads merged sectors-read ms writes merged sectors-written …
        const auto fields = splitNonEmpty(line, ' ');
        if (fields.size() < 10) continue;
        const auto read = parseUInt64(fields[5]);
        const auto written = parseUInt64(fields[9]);
        if (read && written) disks.push_back({fields[2], *read, *written});
    }
    std::set<std::string_view> names;
    for (const auto& disk : disks) names.insert(disk.name);
    Value::Array out;
    for (const auto& disk : disks) {
        if (isVirtualDisk(disk.name) || isPartition(disk.name, names)) continue;
        // Byte counts beyond the signed range wrap, as the registry's unsigned numbers do.
        const auto bytes = [](std::uint64_t sectors) { return Value::integer(static_cast<std::int64_t>(sectors * 512)); };
        out.push_back(Value::dictionary(
            {{"Statistics",
              Value::dictionary({{"Bytes (Read)", bytes(disk.readSectors)}, {"Bytes (Write)", bytes(disk.writtenSectors)}})}}));
    }
    return out;
}

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
    const int readError = errno;
    // Without a dump of its own the folder's disks are this machine's.
    if (!text && className == "IOBlockStorageDriver" && !fileExists(*file))
        if (const auto diskstats = machine_.readProc("diskstats")) return blockStorageDrivers(*diskstats);
    if (!text) {
        if (fileExists(*file)) unreadable(*file, std::filesystem::is_directory(*file) ? "it is a folder" : std::strerror(readError));
        return std::nullopt;
    }
    std::string problem;
    auto root = parsePropertyList(*text, problem);
    if (!root) {
        unreadable(*file, "not a property list: " + problem);
        return std::nullopt;
    }
    if (root->isDictionary()) return Value::Array{std::move(*root)};
    if (auto* array = root->asArray()) return std::move(*array);
    unreadable(*file, "it holds neither entries nor an entry");
    return std::nullopt;
}

void MachineRegistry::unreadable(const Path& file, std::string_view why) const {
    if (!logsUnreadable_) return;
    // Told once per state of the file, not on every read of it.
    static std::mutex mutex;
    static std::map<Path, std::optional<FileStamp>> told;
    const auto stamp = fileStamp(file);
    {
        const std::lock_guard lock(mutex);
        const auto [at, first] = told.try_emplace(file, stamp);
        if (!first && at->second == stamp) return;
        at->second = stamp;
    }
    systemLog(machine_, "Norvane: cannot read " + file.string() + ": " + std::string(why));
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
