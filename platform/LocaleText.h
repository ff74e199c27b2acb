#pragma once
// Text that follows the user's language beyond dates: lists of names joined as the
// language joins them, and names ordered as the language orders them (ICU).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// One locale. Not for use from two threads at once; copies share nothing mutable.
class LocaleText {
public:
    // The locale that DateFormatter::userLocale() names.
    static LocaleText current();
    // The locale as ICU or POSIX names it ("en_GB", "de_DE.UTF-8").
    explicit LocaleText(const std::string& locale);
    LocaleText(const LocaleText& other);
    LocaleText& operator=(const LocaleText& other);
    LocaleText(LocaleText&&) noexcept;
    LocaleText& operator=(LocaleText&&) noexcept;
    ~LocaleText();

    // The items as the language lists them with "and": "A", "A and B", "A, B and C";
    // empty for none.
    std::string conjunction(const std::vector<std::string>& items) const;
    // The language's order ignoring case (accents still count): below 0 when `a` comes
    // first, 0 when they are the same but for case, above 0 otherwise.
    int compare(std::string_view a, std::string_view b) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace norvane
