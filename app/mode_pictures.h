// The wizard's six mode pictures, embedded in the program as raw 24-bit rows (drawn at build
// time by pictures/picture_generator.cpp).
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace comsetup {

inline constexpr QSize kModePictureSize{400, 134};

// The picture `name` (e.g. "mode_remote_com"); a null pixmap when it is not embedded.
QPixmap ModePicture(const QString& name);

} // namespace comsetup
