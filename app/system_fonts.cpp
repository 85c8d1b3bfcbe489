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

namespace {

// Windows' dialog faces first, then those of Linux systems (which Wine offers).
const QStringList& SansFamilies() {
    static const QStringList families{QStringLiteral("Segoe UI"),
                                      QStringLiteral("Tahoma"),
                                      QStringLiteral("Microsoft Sans Serif"),
                                      QStringLiteral("Arial"),
                                      QStringLiteral("DejaVu Sans"),
                                      QStringLiteral("Liberation Sans"),
                                      QStringLiteral("Noto Sans")};
    return families;
}

} // namespace

bool DrawnFaceWillDo(const QString& asked, const QString& drawn) {
    return drawn.compare(asked, Qt::CaseInsensitive) == 0 ||
           !FirstFamilyOffered({drawn}, SansFamilies()).isEmpty();
}

QFont WithOfferedFamily(QFont font) {
    const QStringList offered = QFontDatabase::families();
    // Listed is not enough: Windows' dialog font is listed as another name for Tahoma, and
    // where Tahoma is missing (Wine without its own fonts) it is drawn in whatever face the
    // system finds first, a mathematical serif one among them.
    if (!FirstFamilyOffered({font.family()}, offered).isEmpty() &&
        DrawnFaceWillDo(font.family(), QFontInfo(font).family()))
        return font;
    const QString family = FirstFamilyOffered(SansFamilies(), offered);
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
