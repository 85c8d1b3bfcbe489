// Locale decimal separator, never cached.
//
// Windows: the user's current regional setting, asked of the system at every call.
// Other Unix systems: the process locale the environment names (LC_ALL, then LC_NUMERIC,
// then LANG), read at every call, so a changed setting is seen at the next use.
// Elsewhere: Qt's view of the system locale.
#include "widgets/decimal_separator.h"

#include <QLocale>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace comsetup {
namespace {

std::optional<QChar>& Override() {
    static std::optional<QChar> separator;
    return separator;
}

#if !defined(Q_OS_WIN)
QChar FirstOr(const QString& text, QChar fallback) {
    return text.isEmpty() ? fallback : text.front();
}
#endif

QChar SystemSeparator() {
#if defined(Q_OS_WIN)
    wchar_t buffer[8] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 0 && buffer[0])
        return QChar(static_cast<char16_t>(buffer[0]));
    return QChar('.');
#elif defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const QString name = qEnvironmentVariable(variable);
        if (name.isEmpty())
            continue;
        if (name == QLatin1String("C") || name.startsWith(QLatin1String("C.")) ||
            name == QLatin1String("POSIX"))
            return QChar('.');
        // "de_DE.UTF-8@euro" -> "de_DE"
        const QString language = name.section(QLatin1Char('.'), 0, 0).section('@', 0, 0);
        return FirstOr(QLocale(language).decimalPoint(), QChar('.'));
    }
    return QChar('.');
#else
    return FirstOr(QLocale::system().decimalPoint(), QChar('.'));
#endif
}

} // namespace

QChar DecimalSeparator() {
    if (Override())
        return *Override();
    return SystemSeparator();
}

std::optional<QChar> SetDecimalSeparatorOverride(std::optional<QChar> separator) {
    std::optional<QChar> old = Override();
    Override() = separator;
    return old;
}

} // namespace comsetup
