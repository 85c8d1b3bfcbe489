// The decimal separator the system's regional settings give, asked afresh at every call; one
// implementation per platform (posix/, win32/system_decimal_separator.cpp). Internal to
// decimal_separator.cpp.
#pragma once

#include <QChar>

namespace comsetup {

QChar SystemDecimalSeparator();

} // namespace comsetup
