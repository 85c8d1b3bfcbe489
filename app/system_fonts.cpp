// Fonts picked by name from those the system offers.
#include "app/system_fonts.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace comsetup {

QString FirstFamilyOffered(const QStringList& wanted, const QStringList& offered) {
    for (const QString& family : wanted)
        for (const QString& name : offered)
            if (name.compare(family, Qt::CaseInsensitive) == 0)
                return name;
    return {};
}

QFont WithOfferedFamily(QFont font) {
    const QStringList offered = QFontDatabase::families();
    if (!FirstFamilyOffered({font.family()}, offered).isEmpty())
        return font;
    // Windows' dialog faces first, then those of Linux systems (which Wine offers).
    const QString family =
        FirstFamilyOffered({QStringLiteral("Segoe UI"), QStringLiteral("Tahoma"),
                            QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                            QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                            QStringLiteral("Noto Sans")},
                           offered);
    if (!family.isEmpty())
        font.setFamily(family);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont MonospaceFont(const QFont& base) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (base.pointSizeF() > 0)
        font.setPointSizeF(base.pointSizeF());
    if (QFontInfo(font).fixedPitch())
        return font;
    // Windows' own first, then those of Linux systems (which Wine offers when it has no
    // Windows fonts).
    const QString family =
        FirstFamilyOffered({QStringLiteral("Consolas"), QStringLiteral("Lucida Console"),
                            QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono"),
                            QStringLiteral("Liberation Mono"), QStringLiteral("Noto Sans Mono")},
                           QFontDatabase::families());
    if (!family.isEmpty())
        font.setFamily(family);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

} // namespace comsetup
