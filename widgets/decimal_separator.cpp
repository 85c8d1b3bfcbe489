// Locale decimal separator, never cached: QLocale::system() queries the platform backend
// on every call, so a changed locale is seen at the next use.
#include "widgets/decimal_separator.h"

#include <QLocale>

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
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QChar('.') : point.front();
}

std::optional<QChar> SetDecimalSeparatorOverride(std::optional<QChar> separator) {
    std::optional<QChar> old = Override();
    Override() = separator;
    return old;
}

} // namespace comsetup
