#include "app/panel/qt/NowTabView.h"

#include <QVBoxLayout>

#include "app/panel/RingRow.h"
#include "app/panel/TipCard.h"
#include "app/panel/TopApps.h"
#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/HeadlineView.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/panel/qt/RingRowView.h"
#include "app/panel/qt/TipCardView.h"
#include "app/panel/qt/TopAppsView.h"
#include "app/visuals/qt/AwakeCardView.h"

namespace norvane {
namespace {

std::vector<ModelField> joined(std::initializer_list<const std::vector<ModelField>*> lists) {
    std::vector<ModelField> out;
    for (const auto* list : lists)
        for (const ModelField field : *list)
            if (std::find(out.begin(), out.end(), field) == out.end()) out.push_back(field);
    return out;
}

}  // namespace

NowTabView::NowTabView(AppModel& model, MainQueue& queue, const PanelContext& context, Color accent, QWidget* parent)
    : QWidget(parent),
      m_(model),
      queue_(queue),
      context_(context),
      accent_(accent),
      tab_(NowTab::make(context.arguments)),
      tipShown_(model.tip() ? std::optional(model.tip()->id) : std::nullopt) {
    setAttribute(Qt::WA_TranslucentBackground);
    auto* page = vbox(this, NowTab::spacing);
    headline_ = new HeadlineView(m_, queue_, tab_, accent_, [this] { refreshTip(); });
    page->addWidget(headline_);
    ring_ = new RingRowView(m_, queue_, accent_);
    page->addWidget(ring_);
    awake_ = new AwakeCardView(m_, queue_, *context.workspace, AwakeCard::make(accent_, context.arguments, queue_.now()),
                               context.format, context.lists);
    awake_->setListOpenHandler([this](bool open) {
        tab_.awakeListOpen = open;
        refreshTip();
    });
    page->addWidget(awake_);
    apps_ = new TopAppsView(m_, queue_, *context.workspace, accent_);
    page->addWidget(apps_);
    tip_ = new TipCardView(m_, *context.workspace, [this] {
        tab_.tipOpen = !tab_.tipOpen;
        refreshTip();
    });
    page->addWidget(tip_);
    refreshTip();

    const std::vector<ModelField> ringFields{ModelField::battery, ModelField::hasBattery};
    new ModelWatch(*headline_, m_, queue_, joined({&NowTab::headlineFields(), &NowTab::limitFields()}),
                   [this] { headline_->refresh(); });
    new ModelWatch(*ring_, m_, queue_, joined({&ringFields, &RingRow::timeLeftFields(), &RingRow::energyFields()}),
                   [this] { ring_->refresh(); });
    const std::vector<ModelField> iconFields{ModelField::iconStyle};
    new ModelWatch(*apps_, m_, queue_, joined({&TopApps::fields(), &iconFields}), [this] { apps_->refresh(); });
    new ModelWatch(*this, m_, queue_, {ModelField::tip}, [this] {
        const auto now = m_.tip() ? std::optional(m_.tip()->id) : std::nullopt;
        tab_.tipChanged(tipShown_, now);
        tipShown_ = now;
        refreshTip();
    });
}

NowTabView::~NowTabView() = default;

void NowTabView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    headline_->setAccent(accent);
    ring_->setAccent(accent);
    apps_->setAccent(accent);
    awake_->setAccent(accent);
    refreshTip();
}

void NowTabView::refreshTip() {
    const bool shown = tab_.showsTip(m_);
    if (shown) tip_->set(TipCard::make(*m_.tip(), tab_.tipOpen), accent_);
    tip_->setVisible(shown);
}

}  // namespace norvane
