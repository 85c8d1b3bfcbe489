// What the numeric field's value handling and its key handling share (range_edit.cpp,
// range_edit_keys.cpp): text conversions, the separator and sign checks. Internal to the field.
#pragma once

#include "widgets/base_conv.h"
#include "widgets/decimal_separator.h"
#include "widgets/key_codes.h"
#include "widgets/range_edit.h"

#include <QString>

#include <cstdint>
#include <string>

namespace comsetup::range_edit_detail {

inline std::string Std(const QString& s) {
    return s.toStdString();
}
inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The locale separator as the one-byte character the decimal texts use. A separator
// outside ASCII could never survive the field's character filter, so '.' stands in.
inline char Separator() {
    const QChar c = DecimalSeparator();
    return c.unicode() > 0 && c.unicode() < 128 ? static_cast<char>(c.unicode()) : '.';
}

// Texts that are a sign or a separator without digits: GetValue/GetFloatValue keep the
// last value for them.
inline bool IsBareSign(const QString& t) {
    return t == QLatin1String("-") || t == QLatin1String("-.") || t == QLatin1String("-,") ||
           t == QLatin1String(",") || t == QLatin1String(".");
}

inline bool HasSeparator(const QString& t) {
    return t.contains('.') || t.contains(',');
}
inline bool HasSeparator(const std::string& t) {
    return t.find_first_of(".,") != std::string::npos;
}
inline bool HasMisplacedMinus(const QString& t) {
    return t.indexOf('-') > 0;
}

// After formatting with the locale separator, puts back the character the user typed.
inline void RestoreTypedSeparator(std::string& s, char separator, char typed) {
    if (typed == '\0' || !HasSeparator(s))
        return;
    const std::size_t at = s.find(separator);
    if (at != std::string::npos)
        s[at] = typed;
}

inline bool IsSeparatorKey(std::uint16_t key) {
    return key == vk::Decimal || key == vk::OemPeriod || key == vk::OemComma;
}

} // namespace comsetup::range_edit_detail
