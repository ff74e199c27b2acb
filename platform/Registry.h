#pragma once
// The I/O registry: services found by class, with their properties.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileReading.h"
#include "platform/Machine.h"
#include "platform/Value.h"

namespace norvane {

struct RegistryService {
    std::string className;
    std::size_t index = 0;  // which of the class's services
    bool operator==(const RegistryService&) const = default;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual std::optional<RegistryService> firstService(std::string_view className) const;
    virtual std::vector<RegistryService> services(std::string_view className) const = 0;
    // All properties of the service as one dictionary, which does not change; null when they
    // cannot be read.
    virtual std::shared_ptr<const Value::Dictionary> properties(const RegistryService& service) const = 0;
    virtual std::optional<Value> property(const RegistryService& service, std::string_view key) const;
};

// The registry of a machine folder: `ioreg/<Class>.plist` holds the class's services in
// the XML form that `ioreg -a -r -c <Class>` prints (an array of entries, or one entry).
// Each read sees the file as it is now, as each registry read on a Mac sees live values (what
// was read is kept until the file changes: FileReading.h).
// Without a file, "IOBlockStorageDriver" is this machine's disks (blockStorageDrivers).
// A file that cannot be read (a truncated dump) has no services; with `logsUnreadable` (the
// application's registry) one line in the system log names it and why, once per state of it.
class MachineRegistry final : public Registry {
public:
    explicit MachineRegistry(Machine machine, bool logsUnreadable = false)
        : machine_(std::move(machine)), logsUnreadable_(logsUnreadable) {}
    std::optional<RegistryService> firstService(std::string_view className) const override;
    std::vector<RegistryService> services(std::string_view className) const override;
    std::shared_ptr<const Value::Dictionary> properties(const RegistryService& service) const override;
    // Changes one property of a service in its class file, as a driver changes its own
    // properties when a user client asks it to. False when the service is not there or
    // the file cannot be written; other writers of the file wait for each other.
    bool setProperty(const RegistryService& service, std::string_view key, Value value) const;
    // Why the class's file cannot be read, as the log names it ("cannot read FILE: REASON");
    // absent when it can, or when the folder has none (a Mac without such a service).
    std::optional<std::string> problem(std::string_view className) const;

private:
    std::optional<std::string> classFile(std::string_view className) const;
    struct ClassFile;
    static ClassFile readClassFile(const FileBytes& file);
    static std::shared_ptr<const ClassFile> classFileNow(const std::string& file);
    std::shared_ptr<const Value::Array> entries(std::string_view className) const;
    void unreadable(const std::string& file, const std::shared_ptr<const ClassFile>& read) const;
    Machine machine_;
    bool logsUnreadable_;
};

// One block-storage driver entry per whole disk of a /proc/diskstats text, its "Statistics"
// holding "Bytes (Read)" and "Bytes (Write)" (sectors of 512 bytes). Partitions, and the
// loop, RAM, compressed-RAM, device-mapper and software-RAID devices (whose traffic the
// disks under them count again), are left out.
Value::Array blockStorageDrivers(std::string_view diskstats);

}  // namespace norvane
