// The wizard's mode pictures.
#include "app/mode_pictures.h"

#include <QImage>
#include <QResource>

namespace comsetup {

QPixmap ModePicture(const QString& name) {
    const QResource resource(QStringLiteral(":/pictures/%1.rgb").arg(name));
    const int bytesPerLine = kModePictureSize.width() * 3;
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
        resource.size() != qint64{bytesPerLine} * kModePictureSize.height())
        return {};
    // The image reads the embedded rows in place; the pixmap takes its own copy.
    const QImage rows(resource.data(), kModePictureSize.width(), kModePictureSize.height(),
                      bytesPerLine, QImage::Format_RGB888);
    return QPixmap::fromImage(rows);
}

} // namespace comsetup
