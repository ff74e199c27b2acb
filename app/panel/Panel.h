#pragma once
// The floating panel's root: which page shows under the header (Now, Stats or the
// settings screen over either), the accent colour handed to every page, the panel's
// width and paddings, and the height of its page area. Its own state is the page chosen
// and whether the settings screen is open; everything else comes from the model.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/model/AppModel.h"
#include "app/visuals/Segments.h"
#include "app/visuals/TextStyle.h"

namespace norvane {

// The Battery pane of System Settings, which the charge-limit control opens.
inline constexpr std::string_view batterySettings = "x-apple.systempreferences:com.apple.Battery-Settings.extension";

// Warning red at 20 % or less on battery, else the model's tint.
Color panelAccent(const Battery& battery, Color tint);

struct Panel {
    enum class Page { now, stats, settings };

    Tab tab = Tab::now;     // the page shown while the settings screen is closed
    bool settings = false;  // the settings screen covers the page

    // `--stats` picks the Stats page, `--settings` opens the settings screen.
    static Panel make(const std::vector<std::string>& arguments);

    Page page() const;
    // The page switch or a request: shows that page and closes the settings screen, also
    // when the page is the one already chosen. No page changes nothing.
    void choose(std::optional<Tab> page);
    // The gear opens and closes the settings screen over the chosen page.
    void toggleSettings() { settings = !settings; }
    // Takes the page that URL commands and intents ask for, and clears the request.
    void takeWantedTab(AppModel& m);

    // ---- Layout ----
    static constexpr double width = 344;
    static constexpr double padding = 14;  // leading, trailing and top; bottom on the Now page
    static constexpr double spacing = 10;  // between the header and the page
    // The bottom padding: the Stats page and the settings screen scroll to the panel's edge.
    double bottomPadding() const { return page() == Page::now ? padding : 0; }

    // The Now page is as tall as its content up to this: 420 with `--short`, else the
    // screen's visible height less 96, 804 without a screen; never below `leastNowHeight`,
    // so a tiny screen still shows the headline and the ring row.
    static double nowHeightCap(bool short_, std::optional<double> visibleHeight);
    static constexpr double leastNowHeight = 240;
    // The fixed height of the other pages' scroll area: 574, or room for all of it with
    // `--tall`; within a screen of that visible height no taller than the Now page's cap, so
    // a small screen shows the whole area and its content scrolls.
    static double pageHeight(Page page, bool tall, std::optional<double> visibleHeight = std::nullopt);

    // ---- Header ----
    static constexpr double headerSpacing = 8;
    static constexpr double headerPadding = 14;  // further in than the panel's own
    static constexpr double dotSide = 7;
    static constexpr const char* title = "Norvane";
    static TextStyle titleStyle();  // 12 points, semibold, monospaced, upper case
    static constexpr double gearSide = 24;
    static constexpr const char* gearLabel = "Settings";

    struct Header {
        Segments<std::optional<Tab>> pages;  // no selection while the settings screen is open
        Color gear;                          // the accent while the settings screen is open
        bool gearSelected = false;
    };
    Header header(Color accent) const;
};

}  // namespace norvane
