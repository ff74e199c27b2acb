#pragma once
// The card of a permission step and the closing page's summary row, on Qt. Both follow
// the permission's state in place: the mark, the sentence and the label change, and the
// steps in System Settings and the restart link appear (fading in) or go with it.

#include <QAbstractButton>
#include <functional>

#include "app/onboarding/AccessCard.h"
#include "app/onboarding/qt/Illustrations.h"
#include "app/onboarding/qt/TourWidgets.h"
#include "app/visuals/qt/CardFrame.h"


namespace norvane {

// The colours the tour draws permissions in, and whether its pictures stand still.
struct AccessLook {
    Color accent;  // the restart link
    Color granted = grantedGreen;
    Color waiting = waitingAmber;
    bool still = false;
};

// An underlined text button in the accent: "Still not confirmed? Restart Norvane…".
class LinkButton final : public QAbstractButton {
public:
    LinkButton(const AccessCard::RestartLink& link, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    void setStyle(const TextStyle& style);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextStyle style_;
};

class AccessCardView final : public CardFrame {
public:
    // `relaunch` is what the restart link does; the queue must outlive the card.
    AccessCardView(MainQueue& queue, PermissionTexts texts, const Access& access, AccessLook look,
                   std::function<void()> relaunch, QWidget* parent = nullptr);
    void setAccess(const Access& access);
    // The app's tint, for the restart link.
    void setAccent(Color accent);
    // Why the last restart did not happen (nothing: it did), said under the link.
    void setRelaunchFailure(const std::optional<std::string>& reason);
    const AccessCard& shown() const { return shown_; }
    LinkButton* restartLink() const { return link_; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    PermissionTexts texts_;
    AccessLook look_;
    AccessCard shown_;
    AccessMarkView* mark_;
    TextLabel* sentence_;
    TextLabel* status_;
    QWidget* steps_;
    LinkButton* link_;
    TextLabel* failure_;
    std::optional<std::string> relaunchFailure_;
    FadeIn fade_;
};

class SummaryRowView final : public CardFrame {
public:
    SummaryRowView(MainQueue& queue, const SummaryRow& row, AccessLook look, QWidget* parent = nullptr);
    void setRow(const SummaryRow& row);

private:
    AccessMarkView* mark_;
    TextLabel* status_;
};

}  // namespace norvane
