#include "app/visuals/qt/TextLabel.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

namespace norvane {
namespace {

int up(double length) {
    return static_cast<int>(std::ceil(std::clamp(length, 0.0, 16384.0)));
}

// A wrapping text asks for at most this many average characters a line, as Qt's labels do.
constexpr double wrappedLineCharacters = 80;

// The widths a wrapping label keeps its layout for: the layouts around it ask about one or
// two (its own, and the width their size hint offers).
constexpr std::size_t keptWidths = 4;

// A wrapping text takes the width it is offered; one line keeps to its own.
QSizePolicy policy(bool wraps) {
    QSizePolicy out(wraps ? QSizePolicy::Expanding : QSizePolicy::Preferred,
                    wraps ? QSizePolicy::Preferred : QSizePolicy::Fixed);
    out.setHeightForWidth(wraps);
    return out;
}

}  // namespace

TextLabel::TextLabel(QString text, const TextStyle& style, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), style_(style), face_(style) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(text_);
    setSizePolicy(policy(style_.wraps));
}

template <class Change>
void TextLabel::reshape(Change&& change) {
    // What the layouts were told since the last new layout: the hints, and the heights at
    // the widths they asked about (every one of which `fits_` holds, unless one was dropped).
    const std::optional<QSize> hint = hint_, least = least_;
    std::vector<std::pair<int, int>> heights;
    for (const Fit& fit : fits_) heights.emplace_back(fit.width, up(fit.text.height()));
    const bool wrapping = style_.wraps, forgotten = forgotten_;
    change();
    hint_.reset();
    least_.reset();
    fits_.clear();
    forgotten_ = false;
    bool same = hint && least && !forgotten && style_.wraps == wrapping;
    same = same && sizeHint() == *hint && minimumSizeHint() == *least;
    for (const auto& [width, height] : heights) same = same && heightForWidth(width) == height;
    if (!same) updateGeometry();
    update();
}

void TextLabel::setText(const QString& text) {
    if (text == text_) return;
    reshape([&] { text_ = text; });
    setAccessibleName(text_);
}

void TextLabel::setStyle(const TextStyle& style) {
    if (style == style_) return;
    if (style.wraps != style_.wraps) setSizePolicy(policy(style.wraps));
    reshape([&] {
        style_ = style;
        face_ = TextFace(style_);
    });
}

void TextLabel::setAlignment(Qt::Alignment alignment) {
    if (alignment == alignment_) return;
    alignment_ = alignment;
    update();
}

void TextLabel::setElideMode(Qt::TextElideMode mode) {
    if (mode == elide_) return;
    elide_ = mode;
    update();
}

void TextLabel::setMaximumLines(int lines) {
    lines = std::max(lines, 0);
    if (lines == lines_) return;
    reshape([&] { lines_ = lines; });
}

WrappedText TextLabel::fitted(double width) const {
    WrappedText whole = face_.wrap(text_, width);
    if (lines_ == 0) return whole;
    // As many lines as one line is high when laid out.
    const double most = lines_ * face_.wrappedHeight(QStringLiteral("x"), width) + 0.5;
    if (whole.height() <= most) return whole;
    // The longest beginning that fits with its ellipsis.
    qsizetype fits = 0, over = text_.size();
    while (over - fits > 1) {
        const qsizetype middle = fits + (over - fits) / 2;
        if (face_.wrappedHeight(text_.left(middle).trimmed() + QStringLiteral("\u2026"), width) <= most)
            fits = middle;
        else
            over = middle;
    }
    if (fits > 0 && text_.at(fits - 1).isHighSurrogate()) --fits;  // never half a character
    return face_.wrap(text_.left(fits).trimmed() + QStringLiteral("\u2026"), width);
}

const TextLabel::Fit& TextLabel::fit(int width) const {
    const auto found = std::find_if(fits_.begin(), fits_.end(), [&](const Fit& fit) { return fit.width == width; });
    if (found != fits_.end()) return *found;
    if (fits_.size() == keptWidths) {
        fits_.erase(fits_.begin());
        forgotten_ = true;
    }
    fits_.push_back({width, fitted(width)});
    return fits_.back();
}

QSize TextLabel::sizeHint() const {
    if (hint_) return *hint_;
    double width = face_.advance(text_);
    if (style_.wraps) {
        // A short text asks for a narrower, taller shape, as Qt's labels do: a layout that
        // places it by this hint only ever lowers it to its height for the width given.
        width = std::min(width,
                         wrappedLineCharacters * QFontMetricsF(face_.font()).averageCharWidth() * face_.scale());
        double height = fitted(width).height();
        const double line = face_.height();
        for (const auto& [lines, share] : {std::pair{4.0, 2.0}, std::pair{2.0, 4.0}})
            if (height < lines * line && width > 1) height = fitted(width / share).height();
        hint_ = QSize(up(width), up(height));
    } else {
        hint_ = QSize(up(width), up(face_.height()));
    }
    return *hint_;
}

QSize TextLabel::minimumSizeHint() const {
    if (!least_) {
        if (style_.wraps)
            least_ = QSize(0, up(face_.height()));
        else
            least_ = QSize(std::min(up(face_.advance(QStringLiteral("\u2026"))), up(face_.advance(text_))),
                           up(face_.height()));
    }
    return *least_;
}

int TextLabel::heightForWidth(int width) const {
    if (!style_.wraps) return sizeHint().height();
    return up(fit(width).text.height());
}

QString TextLabel::shownText() const {
    return style_.wraps ? fit(width()).text.shown() : face_.elided(text_, width(), elide_);
}

void TextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (style_.wraps) return face_.drawWrapped(painter, rect(), fit(width()).text);
    face_.draw(painter, rect(), static_cast<int>(alignment_), text_, elide_);
}

}  // namespace norvane
