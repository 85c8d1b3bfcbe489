// Fonts picked by name from those the system offers, rather than left to the toolkit's
// matching: where a family is missing (Windows fonts under Wine), that matching may end on a
// serif face, and the system's fixed-pitch font may be drawn with a proportional one.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace comsetup {

// The first of `wanted` that `offered` lists, as `offered` spells it (case is ignored); ""
// when it lists none of them.
QString FirstFamilyOffered(const QStringList& wanted, const QStringList& offered);

// Whether a font asked for in family `asked` and drawn in face `drawn` is drawn as meant: in
// the face asked for, or in one of the common sans-serif faces.
bool DrawnFaceWillDo(const QString& asked, const QString& drawn);

// `font` in a sans-serif family the system has when its own family is not one the font
// database lists, or is listed but drawn in another face that is not a sans-serif one
// (Windows' dialog font named by the system but missing under Wine, which the toolkit would
// draw in a serif face); `font` itself otherwise.
QFont WithOfferedFamily(QFont font);

// A fixed-pitch face in the size of `base`: the system's fixed font where that is drawn with
// fixed pitch, else the first of the common monospace families the system has.
QFont MonospaceFont(const QFont& base);

} // namespace comsetup
