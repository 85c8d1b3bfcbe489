// Locale decimal separator, never cached: the override a test sets, or the system's
// (system_decimal_separator.h, one file per platform).
#include "widgets/decimal_separator.h"

#include "widgets/system_decimal_separator.h"

namespace comsetup {
namespace {

std::optional<QChar>& Override() {
    static std::optional<QChar> separator;
    return separator;
}

} // namespace

QChar DecimalSeparator() {
    if (Override())
        return *Override();
    return SystemDecimalSeparator();
}

std::optional<QChar> SetDecimalSeparatorOverride(std::optional<QChar> separator) {
    std::optional<QChar> old = Override();
    Override() = separator;
    return old;
}

} // namespace comsetup
