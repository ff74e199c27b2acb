#include "app/analysis/Attention.h"

#include <set>
#include <string_view>

#include "platform/Text.h"

namespace norvane {

namespace {

constexpr double heavyImpact = 10.0;
constexpr double heavyShare = 0.25;
constexpr double sustainedAfter = 120;  // seconds

// The ids of the heavy apps of one sample.
std::set<std::string> heavyIds(const std::vector<AppUsage>& apps) {
    double total = 0;
    for (const AppUsage& app : apps)
        total += app.impact;
    std::set<std::string> ids;
    if (!(total > 0)) return ids;  // NaN too
    for (const AppUsage& app : apps) {
        if (!app.id.empty() && app.impact >= heavyImpact && app.impact / total >= heavyShare) ids.insert(app.id);
    }
    return ids;
}

struct Family {
    std::vector<WholeWord> words;  // in the order given
    std::string inUse;
    std::string background;
};

// The family table, built on first use and read-only after that.
const std::vector<Family>& families() {
    static const std::vector<Family> table = [] {
        struct Row {
            std::vector<std::string_view> words;
            std::string_view inUse;
            std::string_view background;
        };
        const Row rows[] = {
            {{"Spotify", "Music", "Podcasts", "TV", "VLC", "IINA", "QuickTime"},
             "Lower the video quality or pause",
             "Pause playback or quit it"},
            {{"Chrome", "Safari", "Firefox", "Arc", "Edge", "Brave", "Opera", "Yandex"},
             "Close the tabs you don't need",
             "Close it, or at least its heavy tabs"},
            {{"Xcode", "Android Studio", "IntelliJ", "PyCharm", "WebStorm", "Visual Studio Code", "Cursor"},
             "Builds and indexing cost the most",
             "Quit it between coding sessions"},
            {{"Simulator", "Docker", "OrbStack", "Parallels", "VMware", "UTM", "VirtualBox", "CrossOver"},
             "Stop the machines you aren't testing",
             "Shut it down while you don't need it"},
            {{"Zoom", "FaceTime", "Teams", "Webex", "Meet"},
             "Turn the camera off if you can",
             "Quit it after the call"},
            {{"Slack", "Discord", "Telegram", "WhatsApp", "Viber", "Messages", "Signal"},
             "Quit it when you're done with it",
             "Quit it and check messages later"},
            {{"Photoshop", "Lightroom", "Final Cut", "Premiere", "DaVinci", "Blender", "Figma", "Sketch"},
             "Leave exports and renders for wall power",
             "Quit it while you aren't editing"},
            {{"Steam", "Hades", "Cult Of The Lamb", "Dying Light", "Mafia"},
             "Games drain fast: lower the frame rate",
             "Quit it: games drain even in the background"},
        };
        std::vector<Family> built;
        for (const Row& row : rows) {
            Family family{{}, std::string(row.inUse), std::string(row.background)};
            for (const std::string_view word : row.words)
                family.words.emplace_back(word);
            built.push_back(std::move(family));
        }
        return built;
    }();
    return table;
}

}  // namespace

void Attention::update(const std::vector<AppUsage>& apps, Date now) {
    const std::set<std::string> heavy = heavyIds(apps);
    std::erase_if(above, [&](const auto& entry) { return !heavy.contains(entry.first); });
    for (const std::string& id : heavy)
        above.try_emplace(id, now);
}

bool Attention::sustained(const AppUsage& app, Date now) const {
    const auto found = above.find(app.id);
    return found != above.end() && now - found->second >= sustainedAfter;
}

std::string advice(const AppUsage& app, double share, bool inUse, bool sustained) {
    if (share < 0.05) return "Barely matters: quitting changes little";
    for (const Family& family : families()) {
        for (const WholeWord& word : family.words) {
            if (word.foundIn(app.name)) return inUse ? family.inUse : family.background;
        }
    }
    if (inUse) return "Quit it when you're done with it";
    if (sustained) return "Heavy for a while. Quit it if you can";
    if (share >= 0.25) return "Quit it if you don't need it now";
    return "Quit it when you're done with it";
}

}  // namespace norvane
