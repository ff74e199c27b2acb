#include "app/panel/qt/NoticesView.h"

#include <QVBoxLayout>

#include "app/onboarding/Onboarding.h"
#include "app/panel/UpdateCard.h"
#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/ModelWatch.h"
#include "app/panel/qt/UpdateCardView.h"
#include "app/visuals/qt/CardFrame.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

// A notice: a card whose content is a column with the notices' spacing.
class NoticeCard : public CardFrame {
public:
    NoticeCard() : CardFrame(card(14)) { content()->setSpacing(static_cast<int>(Notices::spacing)); }

protected:
    // A row of buttons at the leading edge.
    QHBoxLayout* buttonRow() {
        QHBoxLayout* row = nullptr;
        content()->addWidget(boxed(row, Notices::buttonSpacing));
        return row;
    }
    static PillButton* button(QHBoxLayout* row, const char* title, Pill pill, std::function<void()> tap) {
        auto* button = new PillButton(utf8(title), pill);
        QObject::connect(button, &QAbstractButton::clicked, button, std::move(tap));
        row->addWidget(button);
        return button;
    }
};

// A tour left before its end.
class TourNotice final : public NoticeCard {
public:
    TourNotice(Color accent, const std::function<void()>& show, const std::function<void()>& skip) {
        content()->addWidget(new TextLabel(utf8(Notices::tourTitle), caps()));
        content()->addWidget(new TextLabel(utf8(Notices::tourNote), note()));
        QHBoxLayout* row = buttonRow();
        continue_ = button(row, Notices::tourContinue, Notices::mainPill(accent), show);
        button(row, Notices::tourSkip, Notices::quietPill, skip);
        row->addStretch();
    }
    void setAccent(Color accent) { continue_->setPill(Notices::mainPill(accent)); }

private:
    PillButton* continue_;
};

// The helper's one-time setup.
class HelperNotice final : public NoticeCard {
public:
    explicit HelperNotice(AppModel& m) : note_(new TextLabel(QString(), note())) {
        content()->addWidget(new TextLabel(utf8(Notices::helperTitle), caps()));
        content()->addWidget(note_);
        QHBoxLayout* row = buttonRow();
        install_ = button(row, "", Notices::quietPill, [&m] { m.installHelper(); });
        button(row, Notices::helperNotNow, Notices::quietPill, [&m] { m.setHelperCard(false); });
        row->addStretch();
    }
    void set(const Notices::HelperSetup& setup, Color accent) {
        note_->setText(qs(setup.note));
        if (install_->text() != qs(setup.button)) {
            install_->setText(qs(setup.button));
            install_->setAccessibleName(qs(setup.button));
            install_->updateGeometry();
        }
        install_->setPill(Notices::mainPill(accent));
    }

private:
    TextLabel* note_;
    PillButton* install_;
};

// The last note about the energy mode, shown as it stands.
class EnergyNote final : public NoticeCard {
public:
    explicit EnergyNote(AppModel& m) : text_(new TextLabel(QString(), note())) {
        QHBoxLayout* row = nullptr;
        content()->addWidget(boxed(row, 6));
        row->addWidget(text_, 1, Qt::AlignTop);
        flexible(row, 0);
        button(row, Notices::noteOK, Notices::quietPill, [&m] { m.setLowPowerNote(std::nullopt); });
        row->setAlignment(Qt::AlignTop);
    }
    void set(const std::string& text) { text_->setText(qs(text)); }

private:
    TextLabel* text_;
};

// An app that did not quit when asked.
class StuckNotice final : public NoticeCard {
public:
    StuckNotice(AppModel& m, const Workspace& workspace) : note_(new TextLabel(QString(), note())) {
        content()->addWidget(note_);
        QHBoxLayout* row = buttonRow();
        force_ = button(row, Notices::forceQuit, Notices::dangerPill,
                        [&m, &workspace] { Notices::forceQuitStuck(m, workspace); });
        button(row, Notices::leaveIt, Notices::quietPill, [&m] { m.setStuck(std::nullopt); });
        row->addStretch();
    }
    void set(const Notices::Stuck& stuck) {
        note_->setText(qs(stuck.note));
        if (const QString tip = plainTip(stuck.help); force_->toolTip() != tip) force_->setToolTip(tip);
    }

private:
    TextLabel* note_;
    PillButton* force_;
};

}  // namespace

NoticesView::NoticesView(AppModel& model, MainQueue& queue, const PanelShell& shell, const Workspace& workspace,
                         Color accent, QWidget* parent)
    : QWidget(parent),
      m_(model),
      queue_(queue),
      shell_(shell),
      workspace_(workspace),
      accent_(accent),
      parts_(vbox(this, Notices::spacing)) {
    setAttribute(Qt::WA_TranslucentBackground);
    new ModelWatch(*this, m_, queue_, Notices::fields(), [this] { refresh(); });
    shellChanged();
}

NoticesView::~NoticesView() = default;

void NoticesView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refresh();
}

void NoticesView::shellChanged() {
    // The tour ends elsewhere too (in its own window).
    delete tourWatch_;
    tourWatch_ = shell_.tour ? new ModelWatch(*this, *shell_.tour, queue_, {ModelField::onboardingDone},
                                              [this] { refresh(); })
                             : nullptr;
    refresh();
}

Notices::Tour NoticesView::tour() const {
    return {shell_.tourOffered && shell_.tour, shell_.tour && shell_.tour->done()};
}

UpdateCardView* NoticesView::updateCard() const {
    return static_cast<UpdateCardView*>(parts_.find("update"));
}

void NoticesView::refresh() {
    shown_ = Notices::present(m_, tour());
    for (const Notices::Kind kind : shown_) {
        switch (kind) {
            case Notices::Kind::update:
                parts_.part<UpdateCardView>("update", [&] { return new UpdateCardView(m_, queue_, workspace_); })
                    ->set(UpdateCard::make(*m_.update(), m_.updateStage(), m_.runningVersion(), m_.updateBlocker(),
                                           accent_),
                          m_.updateStage().index());
                break;
            case Notices::Kind::tour:
                parts_
                    .part<TourNotice>("tour",
                                      [&] {
                                          return new TourNotice(
                                              accent_,
                                              [this] {
                                                  if (shell_.showTour) shell_.showTour();
                                              },
                                              [this] {
                                                  if (shell_.tour) shell_.tour->finish();
                                              });
                                      })
                    ->setAccent(accent_);
                break;
            case Notices::Kind::helperSetup:
                parts_.part<HelperNotice>("helper", [&] { return new HelperNotice(m_); })
                    ->set(Notices::helperSetup(m_.helperState()), accent_);
                break;
            case Notices::Kind::energyNote:
                parts_.part<EnergyNote>("note", [&] { return new EnergyNote(m_); })->set(*m_.lowPowerNote());
                break;
            case Notices::Kind::stuck:
                parts_.part<StuckNotice>("stuck", [&] { return new StuckNotice(m_, workspace_); })
                    ->set(Notices::stuck(*m_.stuck()));
                break;
        }
    }
    parts_.end();
    // The spacing to what follows belongs to the notices, so that none take no room.
    const int bottom = shown_.empty() ? 0 : static_cast<int>(Notices::spacing);
    if (layout()->contentsMargins().bottom() != bottom) layout()->setContentsMargins(0, 0, 0, bottom);
}

}  // namespace norvane
