#pragma once
// The panel's accent from the desktop picture of the workspace, decoded with Qt. With a
// cache, the picture's average is kept by the file's stamp, so it is decoded once per
// picture rather than at every start, and a later start knows its tint at once.

#include <optional>

#include "app/model/TintSource.h"
#include "app/shell/PictureAverageCache.h"
#include "app/visuals/qt/WorkspaceImages.h"

namespace norvane {

class WorkspaceTint final : public TintSource {
public:
    explicit WorkspaceTint(std::shared_ptr<const Workspace> workspace,
                           std::optional<PictureAverageCache> cache = std::nullopt)
        : workspace_(std::move(workspace)), cache_(std::move(cache)) {}
    // Settled without a picture, or with one whose average the cache holds for its stamp.
    Known knownTint() const override;
    Color wallpaperTint() const override;

private:
    std::shared_ptr<const Workspace> workspace_;
    std::optional<PictureAverageCache> cache_;
};

}  // namespace norvane
