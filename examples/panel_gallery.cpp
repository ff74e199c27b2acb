// Writes a PNG of the panel's notices, of the update card in each stage and of a shortcut
// row in each state of its recording, so a reviewer can see what a user would see. Runs
// without a display (Qt's offscreen platform) on the machine folder in use, with a model
// of its own on virtual time; usage: norvane_panel_gallery [folder], default "gallery".

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLocale>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstdio>

#include "app/onboarding/Onboarding.h"
#include "app/panel/qt/HotkeyRow.h"
#include "app/panel/qt/NoticesView.h"
#include "app/panel/qt/UpdateCardView.h"
#include "app/visuals/qt/WorkspaceImages.h"
#include "app/visuals/qt/CardFrame.h"
#include "examples/Gallery.h"
// The model's own state is set the way the tests set it.
#include "tests/model/ModelProbe.h"

using namespace norvane;
using namespace norvane::gallery;

namespace {

// The panel's content width: the notices and the settings' cards take all of it.
constexpr int contentWidth = 316;

void saveAtWidth(Gallery& g, QWidget* widget, const QString& name) {
    widget->setFixedWidth(contentWidth);
    widget->ensurePolished();
    if (widget->layout()) widget->layout()->activate();
    g.save(widget, name, QSize(contentWidth, widget->heightForWidth(contentWidth) > 0
                                                 ? widget->heightForWidth(contentWidth)
                                                 : widget->sizeHint().height()));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!examples::takes(argc, argv, 1, "norvane_panel_gallery [FOLDER]")) return 2;
    const auto where = place(argc, argv, "norvane_panel_gallery");
    if (!where) return 1;
    const QString& folder = where->folder;
    const Machine& machine = where->machine;
    const MachineWorkspace workspace(machine);
    const Color tint = wallpaperTint(workspace);
    Gallery g(folder);

    QTemporaryDir scratch;
    const Path place(scratch.path().toStdString());
    VirtualQueue queue(Date{1'796'724'000});
    System system = System::onMachine(machine, {}, std::make_shared<FolderBundle>(place / "Norvane.app"),
                                      std::make_shared<UserDefaults>(place / "defaults.plist"),
                                      std::make_shared<RecordingHotkeys>(), std::make_shared<FixedTint>());
    system.formatter = DateFormatter("en_US", "UTC");
    system.localeText = LocaleText("en_US");
    system.calendar = Calendar("UTC");
    system.processes = std::make_shared<FakeProcesses>();
    AppModel m(std::move(system), queue);
    ModelProbe probe(m);
    probe.battery(onBattery(72));

    // The update card in each stage, for a copy that can replace itself and for one that cannot.
    const AvailableUpdate offer{"1.5.0",
                                60,
                                {"Charts redraw faster, the keep-awake card remembers its last timer, and the "
                                 "settings gain keyboard shortcuts for both actions. Sleep stretches now name what "
                                 "woke the Mac, night after night, so a restless week stands out at a glance."},
                                std::nullopt};
    const auto update = [&](const UpdateStage& stage, const QString& name,
                            std::optional<std::string> blocker = std::nullopt) {
        auto* card = new UpdateCardView(m, queue, workspace);
        card->set(UpdateCard::make(offer, stage, "1.4.2 (57)", blocker, tint), stage.index());
        saveAtWidth(g, card, "update-" + name);
    };
    update(update_stage::Idle{}, "idle");
    update(update_stage::Idle{}, "idle-blocked", "Move Norvane to the Applications folder first, then it can update itself.");
    update(update_stage::Downloading{0.425}, "downloading");
    update(update_stage::Checking{}, "checking");
    update(update_stage::Ready{place / "new/Norvane.app"}, "ready");
    update(update_stage::Installing{}, "installing");
    update(update_stage::Failed{"The download stopped after 12 MB: the server closed the connection before the "
                                "archive was complete. Check the network and try again."},
           "failed");

    // The other notices, one at a time; app names and notes from outside show as written.
    Onboarding tour(AccessProbe::rehearsal(queue), std::make_shared<UserDefaults>(place / "tour.plist"));
    PanelShell shell{&tour, true, true, {}, {}};
    const auto notice = [&](const QString& name) {
        auto* view = new NoticesView(m, queue, shell, workspace, tint);
        saveAtWidth(g, view, "notice-" + name);
    };
    notice("tour");
    tour.finish();
    m.setLowPowerNote("The energy mode was not changed: the helper did not answer within 10 seconds.");
    notice("energy-mode");
    m.setLowPowerNote(std::nullopt);
    m.setStuck(AppUsage{"/Applications/Pages.app", "Pages — “Quarterly <b>report</b>”", 12, 1});
    notice("app-did-not-quit");
    m.setStuck(std::nullopt);
    probe.helperState(helper_state::NeedsApproval{});
    m.setHelperCard(true);
    notice("helper-setup");
    m.setHelperCard(false);

    // A shortcut row: idle, recording, after a press that cannot be a shortcut, recorded.
    const auto shortcut = [&](const QString& name, const std::function<void(HotkeyRow&)>& state) {
        auto* card = new CardFrame(norvane::card(14));
        auto* row = new HotkeyRow(m, queue, HotkeyAction::panel, tint);
        card->content()->addWidget(row);
        state(*row);
        saveAtWidth(g, card, "hotkey-row-" + name);
    };
    shortcut("idle", [](HotkeyRow&) {});
    shortcut("recording", [](HotkeyRow& row) { row.record(); });
    // Presses reach the row through the application's events, as typed keys do.
    const auto type = [](HotkeyRow& row, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&row, &press);
    };
    shortcut("refused", [&](HotkeyRow& row) {
        row.record();
        type(row, Qt::Key_K, Qt::NoModifier, "k");
    });
    shortcut("recorded", [&](HotkeyRow& row) {
        row.record();
        type(row, Qt::Key_Space, Qt::ControlModifier | Qt::MetaModifier, " ");
    });
    return g.failed() ? 1 : 0;
}
