// The program's pictures, embedded as compressed raw rows (drawn at build time by
// pictures/picture_generator.cpp): the wizard's six mode pictures, opaque, in the layout of
// Qt's RGB32 pixels, and the application icon and the progress dialog's glyphs, with alpha.
// Showing one only unpacks its rows (zstd, zlib where Qt lacks zstd), or, for what the
// start-up shows (the wizard's first page, the window icon), embedded raw, reads them in
// place: no image format is decoded and none of Qt's image format plugins is looked for.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace comsetup {

inline constexpr QSize kModePictureSize{400, 134};
inline constexpr QSize kIconSize{32, 32};
inline constexpr QSize kGlyphSize{18, 18};

// Each picture is embedded at its size and at twice it ("name@2x") for HiDPI screens.

// The mode picture `name` (e.g. "mode_remote_com"); a null pixmap when it is not embedded.
// For a device pixel ratio above 1, the picture drawn at twice the size, with ratio 2 (it
// shows at the same logical size, sharply).
QPixmap ModePicture(const QString& name, qreal devicePixelRatio = 1.0);

// The picture `name` with alpha (e.g. "comsetup", "glyph_ok", "glyph_ok@2x") of the given
// size in pixels; a null pixmap when it is not embedded at that size.
QPixmap AlphaPicture(const QString& name, QSize size);

// A picture with alpha as an icon: its size and its twice-the-size drawing (ratio 2).
QIcon AlphaIcon(const QString& name, QSize size);

} // namespace comsetup
