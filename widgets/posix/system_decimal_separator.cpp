// The process locale the environment names (LC_ALL, then LC_NUMERIC, then LANG), read at
// every call, so a changed setting is seen at the next use.
#include "widgets/system_decimal_separator.h"

#include <QLocale>
#include <QString>

namespace comsetup {

QChar SystemDecimalSeparator() {
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const QString name = qEnvironmentVariable(variable);
        if (name.isEmpty())
            continue;
        if (name == QLatin1String("C") || name.startsWith(QLatin1String("C.")) ||
            name == QLatin1String("POSIX"))
            return QChar('.');
        // "de_DE.UTF-8@euro" -> "de_DE"
        const QString language = name.section(QLatin1Char('.'), 0, 0).section('@', 0, 0);
        const QString point = QLocale(language).decimalPoint();
        return point.isEmpty() ? QChar('.') : point.front();
    }
    return QChar('.');
}

} // namespace comsetup
