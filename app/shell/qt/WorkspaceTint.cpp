#include "app/shell/qt/WorkspaceTint.h"

#include "app/visuals/WallpaperTint.h"

namespace norvane {

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
