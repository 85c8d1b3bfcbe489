// The program's pictures, embedded as raw rows (drawn at build time by
// pictures/picture_generator.cpp): the wizard's six mode pictures, opaque, in the layout of
// Qt's RGB32 pixels, and the application icon and the progress dialog's glyphs, with alpha.
// They are shown without any decoding, and the mode pictures without a copy: a pixmap reads
// them where they lie in the program.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace comsetup {

inline constexpr QSize kModePictureSize{400, 134};
inline constexpr QSize kIconSize{32, 32};
inline constexpr QSize kGlyphSize{18, 18};

// The mode picture `name` (e.g. "mode_remote_com"); a null pixmap when it is not embedded.
QPixmap ModePicture(const QString& name);

// The picture `name` with alpha (e.g. "comsetup", "glyph_ok") of the given size; a null
// pixmap when it is not embedded at that size.
QPixmap AlphaPicture(const QString& name, QSize size);

} // namespace comsetup
