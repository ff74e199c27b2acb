#pragma once
// The panel's accent from the desktop picture of the workspace, decoded with Qt.

#include "app/model/TintSource.h"
#include "app/visuals/qt/WorkspaceImages.h"

namespace norvane {

class WorkspaceTint final : public TintSource {
public:
    explicit WorkspaceTint(std::shared_ptr<const Workspace> workspace) : workspace_(std::move(workspace)) {}
    Color wallpaperTint() const override { return norvane::wallpaperTint(*workspace_); }

private:
    std::shared_ptr<const Workspace> workspace_;
};

}  // namespace norvane
