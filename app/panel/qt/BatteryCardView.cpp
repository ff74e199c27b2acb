#include "app/panel/qt/BatteryCardView.h"

#include <QPainter>
#include <QSignalBlocker>
#include <QStyleOptionSlider>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "app/panel/Panel.h"
#include "app/visuals/qt/Boxes.h"
#include "app/panel/qt/Spinner.h"
#include "app/panel/qt/StatsRows.h"
#include "app/visuals/qt/DotView.h"
#include "app/visuals/qt/Painting.h"
#include "app/visuals/qt/PillButton.h"
#include "app/visuals/qt/TextLabel.h"

namespace norvane {
namespace {

constexpr int sliderHeight = 20;
constexpr double trackHeight = 4, knobSide = 16;

// A row that holds a fixed-size widget at its leading edge.
QWidget* leading(QWidget* widget) {
    QHBoxLayout* row = nullptr;
    QWidget* box = boxed(row, 0);
    row->addWidget(widget);
    row->addStretch();
    return box;
}

PillButton* quietButton(const char* title) {
    return new PillButton(QString::fromUtf8(title), BatteryCard::quietPill);
}

// "Charge limit", the spinner while a request is under way, and the slider's reading.
class LimitHeader final : public QWidget {
public:
    explicit LimitHeader(MainQueue& queue)
        : spinner_(new Spinner(queue)), reading_(new TextLabel(QString(), BatteryCard::summaryStyle())) {
        auto* row = new QHBoxLayout(this);  // the style's own spacing
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(new TextLabel(QString::fromUtf8(BatteryCard::LimitSlider::title), StatsTab::labelStyle()), 0,
                       Qt::AlignVCenter);
        flexible(row, 4);
        row->addWidget(spinner_, 0, Qt::AlignVCenter);
        row->addWidget(reading_, 0, Qt::AlignVCenter);
    }
    void set(const BatteryCard::LimitSlider& slider) {
        spinner_->setVisible(slider.busy);
        reading_->setText(qs(slider.reading));
    }

private:
    Spinner* spinner_;
    TextLabel* reading_;
};

}  // namespace

LimitSliderView::LimitSliderView(Color accent) : QSlider(Qt::Horizontal), values_{100}, accent_(accent) {
    setFixedHeight(sliderHeight);
    setPageStep(1);
    setRange(0, 0);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(QString::fromUtf8(BatteryCard::LimitSlider::title));
    setCursor(Qt::PointingHandCursor);
}

void LimitSliderView::set(const BatteryCard::LimitSlider& slider, Color accent) {
    const QSignalBlocker quiet(this);
    values_ = slider.values;
    setRange(0, static_cast<int>(values_.size()) - 1);
    setValue(static_cast<int>(slider.position));
    valueText_ = qs(slider.accessibilityValue);
    // The description says the value in words too: the accessibility bus carries only the
    // number of a value.
    if (accessibleDescription() != valueText_) setAccessibleDescription(valueText_);
    if (slider.busy != busy_ || accent != accent_) {
        busy_ = slider.busy;
        accent_ = accent;
        if (busy_) setSliderDown(false);
        update();
    }
}

double LimitSliderView::stepValue(int step) const {
    if (values_.empty()) return 100;
    return static_cast<double>(values_[static_cast<std::size_t>(std::clamp(step, 0, static_cast<int>(values_.size()) - 1))]);
}

void LimitSliderView::mousePressEvent(QMouseEvent* event) {
    if (busy_) return event->accept();  // not while the last value is being applied
    QSlider::mousePressEvent(event);
}

void LimitSliderView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
            if (busy_) return event->accept();  // taken, so the page does not scroll instead
            break;
        default: break;
    }
    QSlider::keyPressEvent(event);
}

void LimitSliderView::paintEvent(QPaintEvent*) {
    // The knob is drawn where the style places it, so that it sits under the pointer.
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect knob = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const double centre = knob.center().x() + 0.5;
    const double left = knobSide / 2, right = width() - knobSide / 2;
    const double x = std::clamp(centre, left, right);
    const double y = height() / 2.0;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() && !busy_ ? 1.0 : 0.4);
    painter.setPen(Qt::NoPen);
    const double r = trackHeight / 2;
    painter.setBrush(toQColor(Color::white(0.15)));
    painter.drawRoundedRect(QRectF(left, y - r, right - left, trackHeight), r, r);
    painter.setBrush(toQColor(accent_));
    painter.drawRoundedRect(QRectF(left, y - r, x - left, trackHeight), r, r);
    painter.setBrush(toQColor(Color::white()));
    painter.drawEllipse(QPointF(x, y), knobSide / 2, knobSide / 2);
}

void LimitSliderView::wheelEvent(QWheelEvent* event) {
    event->ignore();
}

BatteryCardView::BatteryCardView(AppModel& model, MainQueue& queue, const Workspace& workspace,
                                 const DateFormatter& format, StatsTab& tab, Color accent, QWidget* parent)
    : CardFrame(card(StatsTab::cardPadding), parent),
      m_(model),
      queue_(queue),
      workspace_(workspace),
      format_(format),
      tab_(tab),
      accent_(accent),
      chargerLine_(new TextLabel(QString(), note())),
      summary_(new TextLabel(QString(), BatteryCard::summaryStyle())),
      chart_(new DotView([](double, double) { return DotLayout{}; }, {0, DotColumns::height}, true)),
      trendNote_(new TextLabel(QString(), note())),
      limitBox_(column(BatteryCard::spacing)),
      limit_(limitBox_) {
    content()->setSpacing(static_cast<int>(BatteryCard::spacing));
    content()->addWidget(new TextLabel(QString::fromUtf8(BatteryCard::title), caps()));
    for (std::size_t r = 0; r < facts_.size(); ++r) {
        QHBoxLayout* row = nullptr;
        QWidget* box = boxed(row, 8);
        for (std::size_t f = 0; f < facts_[r].size(); ++f) {
            QVBoxLayout* fact = nullptr;
            QWidget* column = boxed(fact, BatteryCard::factSpacing);
            column->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // three equal shares
            facts_[r][f] = new TextLabel(QString(), BatteryCard::valueStyle());
            labels_[r][f] = new TextLabel(QString(), caps());
            fact->addWidget(facts_[r][f]);
            fact->addWidget(labels_[r][f]);
            row->addWidget(column, 1);
        }
        content()->addWidget(box);
        if (r == 2) third_ = box;
    }
    content()->addWidget(chargerLine_);
    content()->addWidget(new Divider(BatteryCard::divider));

    QVBoxLayout* trend = nullptr;
    content()->addWidget(boxed(trend, BatteryCard::trendSpacing));
    QHBoxLayout* title = nullptr;
    trend->addWidget(boxed(title, 4));
    title->addWidget(new TextLabel(QString::fromUtf8(BatteryCard::trendTitle), StatsTab::labelStyle()), 0,
                     Qt::AlignVCenter);
    title->addStretch();
    title->addWidget(summary_, 0, Qt::AlignVCenter);
    trend->addWidget(chart_);
    QHBoxLayout* axis = nullptr;
    trend->addWidget(boxed(axis, 0));
    axis->addWidget(new TextLabel(QString::fromUtf8(BatteryCard::trendStart), caps()));
    axis->addStretch();
    axis->addWidget(new TextLabel(QString::fromUtf8(BatteryCard::trendEnd), caps()));
    trend->addWidget(trendNote_);
    auto* save = quietButton(BatteryCard::save);
    save->setToolTip(QString::fromUtf8(BatteryCard::saveHelp));
    connect(save, &QAbstractButton::clicked, this, [this] { m_.saveBatteryReport(); });
    trend->addWidget(leading(save));

    content()->addWidget(new Divider(BatteryCard::divider));
    content()->addWidget(limitBox_->parentWidget());
    // Told of every change, not once after a step of the model: a request that starts and
    // ends between two refreshes still ends.
    limitWatch_ = m_.subscribe(BatteryCard::limitFields(), [this] { followModel(); });
    followModel();
    refreshFacts();
    refreshTrend();
    refreshLimit();
}

void BatteryCardView::setAccent(Color accent) {
    if (accent == accent_) return;
    accent_ = accent;
    refreshLimit();
}

void BatteryCardView::refreshFacts() {
    const BatteryCard card = BatteryCard::make(m_);
    const std::array<const BatteryCard::Facts*, 3> rows{&card.first, &card.second, card.third ? &*card.third : nullptr};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!rows[r]) continue;
        for (std::size_t f = 0; f < rows[r]->size(); ++f) {
            const auto& fact = (*rows[r])[f];
            facts_[r][f]->setText(qs(fact.value));
            labels_[r][f]->setText(qs(fact.label));
            setName(facts_[r][f]->parentWidget(), qs(fact.label + " " + fact.value));
        }
    }
    third_->setVisible(card.third.has_value());
    chargerLine_->setText(qs(card.chargerLine.value_or("")));
    chargerLine_->setVisible(card.chargerLine.has_value());
}

void BatteryCardView::refreshTrend() {
    const BatteryCard::Trend trend = BatteryCard::trend(m_, queue_.now(), format_);
    summary_->setText(qs(trend.summary.value_or("")));
    summary_->setVisible(trend.summary.has_value());
    const DotColumns columns{trend.levels};
    chart_->setLayout([columns](double width, double) { return columns.layout(width); }, {0, DotColumns::height});
    setName(chart_, qs(trend.accessibility), QAccessible::Chart);
    trendNote_->setText(qs(trend.note));
}

void BatteryCardView::refreshLimit() {
    const BatteryCard::Limit control = BatteryCard::limit(m_, tab_);
    if (const auto* slider = std::get_if<BatteryCard::LimitSlider>(&control)) {
        limit_.part<LimitHeader>("header", [this] { return new LimitHeader(queue_); })->set(*slider);
        limit_.part<LimitSliderView>("slider", [this] {
                  auto* view = new LimitSliderView(accent_);
                  connect(view, &QSlider::sliderPressed, this, [this] { send(tab_.edit(true, m_)); });
                  connect(view, &QSlider::sliderReleased, this, [this] { send(tab_.edit(false, m_)); });
                  connect(view, &QSlider::valueChanged, this, [this, view](int index) {
                      if (index >= 0 && static_cast<std::size_t>(index) < view->values().size())
                          send(tab_.move(static_cast<double>(view->values()[static_cast<std::size_t>(index)]), m_));
                  });
                  return view;
              })
            ->set(*slider, accent_);
        limit_.part<TextLabel>("note", [] { return new TextLabel(QString(), note()); })->setText(qs(slider->note));
    } else if (const auto* settings = std::get_if<BatteryCard::LimitSettings>(&control)) {
        limit_.part<TextLabel>("note", [] { return new TextLabel(QString(), note()); })->setText(qs(settings->note));
        limit_.part<QWidget>("open", [this] {
            auto* open = quietButton(BatteryCard::LimitSettings::open);
            connect(open, &QAbstractButton::clicked, this, [this] { workspace_.open(batterySettings); });
            return leading(open);
        });
    } else {
        limit_.part<TextLabel>("note", [] { return new TextLabel(QString(), note()); })
            ->setText(qs(std::get<BatteryCard::LimitNote>(control).note));
    }
    limit_.end();
}

void BatteryCardView::followModel() {
    const bool ready = std::holds_alternative<availability::Ready>(m_.limitAvailability());
    if (ready && (!wasReady_ || m_.limit() != lastLimit_ || (wasBusy_ && !m_.limitBusy()))) tab_.takeLimit(m_.limit());
    wasReady_ = ready;
    wasBusy_ = m_.limitBusy();
    lastLimit_ = m_.limit();
}

LimitSliderView* BatteryCardView::slider() const {
    return dynamic_cast<LimitSliderView*>(limit_.find("slider"));
}

void BatteryCardView::send(std::optional<std::int64_t> limit) {
    if (limit) m_.setLimit(*limit);
    refreshLimit();  // the reading follows the slider
}

}  // namespace norvane
