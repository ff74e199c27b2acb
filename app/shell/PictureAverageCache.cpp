#include "app/shell/PictureAverageCache.h"

#include <cmath>
#include <string>

#include "platform/PropertyList.h"

namespace norvane {
namespace {

std::string stampText(const FileStamp& stamp) {
    return std::to_string(stamp.device) + ":" + std::to_string(stamp.inode) + ":" + std::to_string(stamp.size) + ":" +
           std::to_string(stamp.modified) + ":" + std::to_string(stamp.changed);
}

}  // namespace

std::optional<std::optional<Color>> PictureAverageCache::find(const Path& picture, const FileStamp& stamp) const {
    // Ours alone: a link or anything but a small regular file is read past, and the next
    // keep replaces it.
    const auto bytes = readUserFile(file_, maximumFileBytes, Links::refuse, UserFile::cache, log_);
    const auto root = bytes ? parseJson(*bytes) : std::nullopt;
    if (!root || !root->isDictionary()) return std::nullopt;
    const Value* path = root->find("picture");
    const Value* state = root->find("stamp");
    const Value* average = root->find("average");
    if (!path || path->asString() == nullptr || *path->asString() != picture.string() || !state ||
        state->asString() == nullptr || *state->asString() != stampText(stamp) || !average)
        return std::nullopt;
    if (average->isNull()) return std::optional<Color>();
    const auto* parts = average->asArray();
    if (!parts || parts->size() != 4) return std::nullopt;
    double c[4];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto value = (*parts)[i].doubleValue();
        if (!value || !std::isfinite(*value) || *value < 0 || *value > 1) return std::nullopt;
        c[i] = *value;
    }
    return std::optional(Color{c[0], c[1], c[2], c[3]});
}

void PictureAverageCache::keep(const Path& picture, const FileStamp& stamp, const std::optional<Color>& average) const {
    Value::Dictionary entry;
    entry.emplace("picture", Value::string(picture.string()));
    entry.emplace("stamp", Value::string(stampText(stamp)));
    entry.emplace("average", average ? Value::array({Value::real(average->red), Value::real(average->green),
                                                     Value::real(average->blue), Value::real(average->opacity)})
                                     : Value());
    const auto text = writeJson(Value::dictionary(std::move(entry)));
    if (!text || !createDirectories(file_.parent_path())) return;
    writeFileAtomically(file_, *text);
}

}  // namespace norvane
