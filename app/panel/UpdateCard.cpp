#include "app/panel/UpdateCard.h"

#include <cinttypes>
#include <cstdio>

#include "app/update/Updates.h"
#include "app/visuals/DotProgress.h"

namespace norvane {
namespace {

template <class... Overloads>
struct Visitor : Overloads... {
    using Overloads::operator()...;
};

}  // namespace

bool UpdateCard::present(const AppModel& m) {
    return m.update() && !(m.updateLater() && std::holds_alternative<update_stage::Idle>(m.updateStage()));
}

std::string UpdateCard::percent(double fraction) {
    const std::int64_t whole = DotProgress::wholePercent(fraction);
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 "%%", whole);
    return text;
}

UpdateCard UpdateCard::make(const AvailableUpdate& offer, const UpdateStage& stage, const std::string& runningVersion,
                            const std::optional<std::string>& blocker, Color accent) {
    UpdateCard card{"You have " + runningVersion, "Norvane " + offer.version + " is available", {}, {}, false, {}, {}};
    const Pill main{accent, Color::black()};
    std::visit(Visitor{
                   [&](const update_stage::Idle&) {
                       if (!offer.notes.empty()) card.text = offer.notes.front();
                       card.buttons.push_back(blocker ? Button{"Download", main, Action::downloadPage}
                                                      : Button{"Update", main, Action::download});
                       card.buttons.push_back({"What's new", quietPill, Action::changelog});
                       card.buttons.push_back({"Later", quietPill, Action::later});
                       card.blocker = blocker;
                   },
                   [&](const update_stage::Downloading& downloading) {
                       card.bar = Bar{downloading.fraction, accent};
                       card.text = "Downloading \u00b7 " + percent(downloading.fraction);
                   },
                   [&](const update_stage::Checking&) {
                       card.bar = Bar{1, accent};
                       card.text = "Checking that the download is a genuine copy of Norvane";
                   },
                   [&](const update_stage::Ready&) {
                       card.bar = Bar{1, done};
                       card.text = "Downloaded and checked. Norvane closes for a moment and opens again as " +
                                   offer.version + ".";
                       card.buttons.push_back({"Install and relaunch", main, Action::install});
                   },
                   [&](const update_stage::Installing&) {
                       card.bar = Bar{1, done};
                       card.text = "Installing";
                   },
                   [&](const update_stage::Failed& failed) {
                       card.text = failed.message;
                       card.failure = true;
                       card.buttons.push_back({"Try again", main, Action::download});
                       card.buttons.push_back({"Download by hand", quietPill, Action::downloadPage});
                   },
               },
               stage);
    return card;
}

void UpdateCard::perform(Action action, AppModel& m, const Workspace& workspace) {
    switch (action) {
        case Action::download:
            return m.downloadUpdate();
        case Action::install:
            return m.installUpdate();
        case Action::later:
            return m.setUpdateLater(true);
        case Action::downloadPage:
            workspace.open(Updates::downloadPage);
            return;
        case Action::changelog:
            workspace.open(Updates::changelog);
            return;
    }
}

TextStyle UpdateCard::titleStyle() {
    return {.size = 13, .weight = FontWeight::medium, .wraps = true};
}

TextStyle UpdateCard::failureStyle() {
    return {.size = 11, .color = error, .wraps = true};
}

const std::vector<ModelField>& UpdateCard::fields() {
    static const std::vector<ModelField> fields{ModelField::update, ModelField::updateLater, ModelField::updateStage};
    return fields;
}

}  // namespace norvane
