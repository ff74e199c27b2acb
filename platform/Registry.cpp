#include "platform/Registry.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform/FileLock.h"
#include "platform/FileReading.h"
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

std::optional<std::string> MachineRegistry::classFile(std::string_view className) const {
    // Class names are plain identifiers; anything else cannot name a file of ours.
    if (className.empty() || className.find_first_of("/\\.") != std::string_view::npos) return std::nullopt;
    return machine_.path({"ioreg/", className, ".plist"});
}

// A class file as read: its entries, each dictionary without what `ioreg` adds about the
// entry itself, or why the file cannot be read.
struct MachineRegistry::ClassFile {
    bool exists = false;
    std::optional<Value::Array> entries;
    std::string problem;  // empty when it is there and can be read, or is not there
};

MachineRegistry::ClassFile MachineRegistry::readClassFile(const FileBytes& file) {
    if (!file.exists) return {};
    if (!file.bytes) return {true, std::nullopt, "it is " + file.problem};
    std::string problem;
    auto root = parsePropertyList(*file.bytes, problem);
    if (!root) return {true, std::nullopt, "not a property list: " + problem};
    Value::Array entries;
    if (root->isDictionary()) entries.push_back(std::move(*root));
    else if (auto* array = root->asArray()) entries = std::move(*array);
    else return {true, std::nullopt, "it holds neither entries nor an entry"};
    for (Value& entry : entries)
        if (auto* properties = entry.asDictionary())
            std::erase_if(*properties, [](const auto& property) { return isEntryBookkeeping(property.first); });
    return {true, std::move(entries), {}};
}

std::shared_ptr<const MachineRegistry::ClassFile> MachineRegistry::classFileNow(const std::string& file) {
    static const FileReading<ClassFile> reading(&readClassFile);
    return reading(file);
}

std::optional<std::string> MachineRegistry::problem(std::string_view className) const {
    const auto file = classFile(className);
    if (!file) return std::nullopt;
    const auto read = classFileNow(*file);
    if (read->problem.empty()) return std::nullopt;
    return "cannot read " + *file + ": " + read->problem;
}

std::shared_ptr<const Value::Array> MachineRegistry::entries(std::string_view className) const {
    const auto file = classFile(className);
    if (!file) return nullptr;
    const auto read = classFileNow(*file);
    // Without a dump of its own the folder's disks are this machine's, read afresh.
    if (!read->exists && className == "IOBlockStorageDriver")
        if (const auto diskstats = machine_.readProc("diskstats"))
            return std::make_shared<const Value::Array>(blockStorageDrivers(*diskstats));
    if (!read->problem.empty()) unreadable(*file, read);
    if (!read->entries) return nullptr;
    return {read, &*read->entries};
}

void MachineRegistry::unreadable(const std::string& file, const std::shared_ptr<const ClassFile>& read) const {
    if (!logsUnreadable_) return;
    // Told once per state of the file (each state is read once), not on every read of it.
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const ClassFile>> told;
    {
        const std::lock_guard lock(mutex);
        auto& last = told[file];
        if (last == read) return;
        last = read;
    }
    systemLog(machine_, "Norvane: cannot read " + file + ": " + read->problem);
}

std::optional<RegistryService> MachineRegistry::firstService(std::string_view className) const {
    const auto all = entries(className);
    if (!all || all->empty()) return std::nullopt;
    return RegistryService{std::string(className), 0};
}

std::vector<RegistryService> MachineRegistry::services(std::string_view className) const {
    std::vector<RegistryService> out;
    const auto all = entries(className);
    if (!all) return out;
    for (std::size_t i = 0; i < all->size(); ++i) out.push_back({std::string(className), i});
    return out;
}

std::shared_ptr<const Value::Dictionary> MachineRegistry::properties(const RegistryService& service) const {
    const auto all = entries(service.className);
    if (!all || service.index >= all->size()) return nullptr;
    const auto* dict = (*all)[service.index].asDictionary();
    if (!dict) return nullptr;
    return {all, dict};
}

bool MachineRegistry::setProperty(const RegistryService& service, std::string_view key, Value value) const {
    const auto name = classFile(service.className);
    if (!name) return false;
    const Path file(*name);
    const FileLock lock(file);
    if (!lock.held()) return false;
    auto text = readFile(file);
    auto root = text ? parsePropertyList(*text) : std::nullopt;
    if (!root) return false;
    // The file keeps its shape: one entry stays one entry.
    Value* entry = root->isDictionary() && service.index == 0 ? &*root : nullptr;
    if (auto* array = root->asArray(); array && service.index < array->size()) entry = &(*array)[service.index];
    if (!entry || !entry->isDictionary()) return false;
    (*entry->asDictionary())[std::string(key)] = std::move(value);
    return writeFileAtomically(file, writePropertyList(*root));
}

}  // namespace norvane
