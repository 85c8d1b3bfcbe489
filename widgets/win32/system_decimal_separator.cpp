// The user's current regional setting, asked of the system at every call.
#include "widgets/system_decimal_separator.h"

#include <windows.h>

namespace comsetup {

QChar SystemDecimalSeparator() {
    wchar_t buffer[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 0 && buffer[0])
        return QChar(static_cast<char16_t>(buffer[0]));
    return QChar('.');
}

} // namespace comsetup
