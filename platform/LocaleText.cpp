#include "platform/LocaleText.h"

#include <unicode/coll.h>
#include <unicode/listformatter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/DateFormatter.h"

namespace norvane {

struct LocaleText::Impl {
    std::unique_ptr<icu::ListFormatter> list;  // absent when ICU has no data for the locale
    std::unique_ptr<icu::Collator> collator;   // likewise

    Impl() = default;
    Impl(const Impl& other)
        : list(other.list ? new icu::ListFormatter(*other.list) : nullptr),
          collator(other.collator ? other.collator->clone() : nullptr) {}
};

LocaleText LocaleText::current() { return LocaleText(DateFormatter::userLocale()); }

LocaleText::LocaleText(const std::string& locale) : impl_(std::make_unique<Impl>()) {
    const icu::Locale icuLocale = icu::Locale::createCanonical(locale.c_str());
    UErrorCode status = U_ZERO_ERROR;
    impl_->list.reset(icu::ListFormatter::createInstance(icuLocale, ULISTFMT_TYPE_AND, ULISTFMT_WIDTH_WIDE, status));
    if (U_FAILURE(status)) impl_->list.reset();
    status = U_ZERO_ERROR;
    impl_->collator.reset(icu::Collator::createInstance(icuLocale, status));
    if (U_FAILURE(status)) impl_->collator.reset();
    // Secondary strength: base letters and accents count, case does not.
    if (impl_->collator) impl_->collator->setStrength(icu::Collator::SECONDARY);
}

LocaleText::LocaleText(const LocaleText& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}

LocaleText& LocaleText::operator=(const LocaleText& other) {
    if (this != &other) impl_ = std::make_unique<Impl>(*other.impl_);
    return *this;
}

LocaleText::LocaleText(LocaleText&&) noexcept = default;
LocaleText& LocaleText::operator=(LocaleText&&) noexcept = default;
LocaleText::~LocaleText() = default;

std::string LocaleText::conjunction(const std::vector<std::string>& items) const {
    std::vector<icu::UnicodeString> texts;
    texts.reserve(items.size());
    for (const auto& item : items) texts.push_back(icu::UnicodeString::fromUTF8(item));
    icu::UnicodeString joined;
    UErrorCode status = U_ZERO_ERROR;
    if (impl_->list) impl_->list->format(texts.data(), static_cast<int32_t>(texts.size()), joined, status);
    if (!impl_->list || U_FAILURE(status)) {
        // Without the locale's data, plain English.
        joined.remove();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i > 0) joined += i + 1 == texts.size() ? u" and " : u", ";
            joined += texts[i];
        }
    }
    std::string out;
    joined.toUTF8String(out);
    return out;
}

int LocaleText::compare(std::string_view a, std::string_view b) const {
    const auto left = icu::UnicodeString::fromUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())));
    const auto right = icu::UnicodeString::fromUTF8(icu::StringPiece(b.data(), static_cast<int32_t>(b.size())));
    if (!impl_->collator) return left.caseCompare(right, U_FOLD_CASE_DEFAULT);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result = impl_->collator->compare(left, right, status);
    if (U_FAILURE(status)) return left.caseCompare(right, U_FOLD_CASE_DEFAULT);
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

}  // namespace norvane
