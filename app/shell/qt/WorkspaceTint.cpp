#include "app/shell/qt/WorkspaceTint.h"

#include "app/visuals/WallpaperTint.h"

namespace norvane {

TintSource::Known WorkspaceTint::knownTint() const {
    const auto accent = workspace_->accentColor();
    const auto picture = workspace_->desktopPicture();
    if (!picture) return {norvane::wallpaperTint(accent, std::nullopt), true};
    if (const auto stamp = fileStamp(*picture); cache_ && stamp)
        if (const auto kept = cache_->find(*picture, *stamp)) return {norvane::wallpaperTint(accent, *kept), true};
    return {norvane::wallpaperTint(accent, std::nullopt), false};
}

Color WorkspaceTint::wallpaperTint() const {
    std::optional<Color> average;
    if (const auto picture = workspace_->desktopPicture()) {
        const auto stamp = fileStamp(*picture);
        if (!cache_ || !stamp) {
            average = pictureAverage(*picture);
        } else if (const auto kept = cache_->find(*picture, *stamp)) {
            average = *kept;
        } else {
            average = pictureAverage(*picture);
            cache_->keep(*picture, *stamp, average);
        }
    }
    return norvane::wallpaperTint(workspace_->accentColor(), average);
}

}  // namespace norvane
