// The decimal separator of the user's locale.
//
// The numeric field reads the separator afresh at every use (a locale change while the
// program runs takes effect at the next keystroke) and hands the same character to its
// number parsing and formatting, so reading and writing always agree. Tests pin it with
// an override.
#pragma once

#include <QChar>
#include <optional>

namespace comsetup {

// The separator in force now: the override if one is set, else the first character of the
// user's locale decimal point ('.' if the locale gives none, or for the C locale).
QChar DecimalSeparator();

// Sets (or, with std::nullopt, clears) the override. Returns the previous override.
std::optional<QChar> SetDecimalSeparatorOverride(std::optional<QChar> separator);

// Pins the separator for the lifetime of the object.
class ScopedDecimalSeparator {
public:
    explicit ScopedDecimalSeparator(QChar separator)
        : old_(SetDecimalSeparatorOverride(separator)) {}
    ~ScopedDecimalSeparator() { SetDecimalSeparatorOverride(old_); }
    ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
    ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

private:
    std::optional<QChar> old_;
};

} // namespace comsetup
