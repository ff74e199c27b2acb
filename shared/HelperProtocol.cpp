#include "shared/HelperProtocol.h"

namespace norvane {
namespace {

constexpr std::string_view setLowPowerSelector = "setLowPower:reply:";
constexpr std::string_view setPowerModeSelector = "setPowerMode:reply:";

}  // namespace

void HelperProxy::setLowPower(bool on, Reply reply) { send(setLowPowerSelector, Value::boolean(on), std::move(reply)); }

void HelperProxy::setPowerMode(std::int64_t mode, Reply reply) {
    send(setPowerModeSelector, Value::integer(mode), std::move(reply));
}

void HelperProxy::send(std::string_view selector, Value argument, Reply reply) {
    Value::Dictionary message;
    message.emplace("selector", Value::string(std::string(selector)));
    message.emplace("argument", std::move(argument));
    auto error = error_;
    connection_.send(
        Value::dictionary(std::move(message)),
        [reply = std::move(reply), error](const Value& answer) {
            const Value* text = answer.find("reply");
            if (text && text->isNull()) return reply(std::nullopt);
            if (text && text->isString()) return reply(*text->asString());
            error(XpcError{"The reply does not match the helper's interface.", std::nullopt});
        },
        error);
}

XpcExported exportHelper(HelperProtocol& object) {
    return [&object](const Value& request, std::function<void(Value)> send) {
        const Value* selector = request.find("selector");
        const Value* argument = request.find("argument");
        if (!selector || !selector->isString() || !argument) return false;
        auto reply = [send = std::move(send)](std::optional<std::string> text) {
            Value::Dictionary answer;
            answer.emplace("reply", text ? Value::string(std::move(*text)) : Value());
            send(Value::dictionary(std::move(answer)));
        };
        if (*selector->asString() == setLowPowerSelector && argument->isBoolean()) {
            object.setLowPower(*argument->boolValue(), std::move(reply));
            return true;
        }
        if (*selector->asString() == setPowerModeSelector && argument->isInteger()) {
            object.setPowerMode(*argument->integerValue(), std::move(reply));
            return true;
        }
        return false;
    };
}

}  // namespace norvane
