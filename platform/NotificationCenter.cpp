#include "platform/NotificationCenter.h"

#include <cstdio>
#include <random>

#include "platform/FileLock.h"
#include "platform/PropertyList.h"

namespace norvane {
namespace {

constexpr std::string_view centerFile = "notifications/center.json";
constexpr std::string_view requestsFile = "notifications/requests.jsonl";

std::string_view text(const Value& center, std::string_view key) {
    const Value* value = center.find(key);
    return value && value->isString() ? std::string_view(*value->asString()) : std::string_view();
}

bool flag(const Value& center, std::string_view key) {
    const Value* value = center.find(key);
    return value && value->boolValue().value_or(false);
}

Value presentationValue(PresentationOptions options) {
    Value::Array names;
    if (options.banner) names.push_back(Value::string("banner"));
    if (options.list) names.push_back(Value::string("list"));
    if (options.sound) names.push_back(Value::string("sound"));
    return Value::array(std::move(names));
}

}  // namespace

void MachineNotificationCenter::add(const NotificationRequest& request) {
    const auto center = readJsonObject(machine_.file(centerFile));
    // The system drops what the user has not allowed; the request is recorded all the same.
    const bool delivered = center && text(*center, "authorization") == "authorized";
    const Notification notification{clock_(), request};

    Value::Dictionary record;
    record.emplace("identifier", Value::string(request.identifier));
    record.emplace("title", Value::string(request.content.title));
    record.emplace("body", Value::string(request.content.body));
    record.emplace("time", Value::real(notification.date.seconds));
    record.emplace("delivered", Value::boolean(delivered));
    if (delivered && flag(*center, "frontmost")) {
        // Without a delegate, or one that does not answer, it does not show while frontmost.
        PresentationOptions shown;
        if (NotificationCenterDelegate* delegate = delegate_.load())
            delegate->willPresent(*this, notification, [&shown](PresentationOptions options) { shown = options; });
        record.emplace("presentation", presentationValue(shown));
    }

    const auto line = writeJson(Value::dictionary(std::move(record)));
    const Path file = machine_.file(requestsFile);
    if (!line || !createDirectories(file.parent_path())) return;
    const FileLock lock(file);
    if (lock.held()) appendToFile(file, *line + "\n");
}

AuthorizationAnswer MachineNotificationCenter::requestAuthorization(AuthorizationOptions options) {
    const Path file = machine_.file(centerFile);
    const std::string unwritable = "The notification settings cannot be written.";
    if (!createDirectories(file.parent_path())) return {false, unwritable};
    const FileLock lock(file);
    if (!lock.held()) return {false, unwritable};
    auto center = readJsonObject(machine_.file(centerFile));
    if (!center) return {false, "The notification settings cannot be read."};
    if (const Value* error = center->find("error"); error && error->isString()) return {false, *error->asString()};

    const std::string_view status = text(*center, "authorization");
    if (status == "authorized") return {true, std::nullopt};
    if (status == "denied") return {false, std::nullopt};

    // Not determined yet: the user is asked, and the system keeps the answer.
    const bool granted = text(*center, "answer") != "deny";
    Value::Array asked;
    if (options.alert) asked.push_back(Value::string("alert"));
    if (options.sound) asked.push_back(Value::string("sound"));
    Value::Dictionary& settings = *center->asDictionary();
    settings["authorization"] = Value::string(granted ? "authorized" : "denied");
    settings["options"] = Value::array(std::move(asked));
    const auto json = writeJson(*center);
    if (!json || !writeFileAtomically(file, *json)) return {false, unwritable};
    return {granted, std::nullopt};
}

AuthorizationStatus MachineNotificationCenter::authorizationStatus() const {
    const auto center = readJsonObject(machine_.file(centerFile));
    if (!center) return AuthorizationStatus::notDetermined;
    const std::string_view status = text(*center, "authorization");
    if (status == "authorized") return AuthorizationStatus::authorized;
    if (status == "denied") return AuthorizationStatus::denied;
    if (status == "provisional") return AuthorizationStatus::provisional;
    if (status == "ephemeral") return AuthorizationStatus::ephemeral;
    return AuthorizationStatus::notDetermined;
}

std::string uuidString() {
    std::random_device random;
    unsigned char bytes[16];
    for (unsigned char& byte : bytes)
        byte = static_cast<unsigned char>(random());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);  // the RFC 4122 variant
    std::string out;
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        out += hex;
    }
    return out;
}

}  // namespace norvane
