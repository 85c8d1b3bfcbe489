// The program's embedded pictures.
#include "app/embedded_pictures.h"

#include <QImage>
#include <QResource>

namespace comsetup {

namespace {

// The embedded rows of `path` as an image of `size` that reads them in place; a null image
// when the resource is missing, compressed or of another size.
QImage EmbeddedRows(const QString& path, QSize size, int bytesPerPixel, QImage::Format format) {
    const QResource resource(path);
    const int bytesPerLine = size.width() * bytesPerPixel;
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
        resource.size() != qint64{bytesPerLine} * size.height())
        return {};
    return QImage(resource.data(), size.width(), size.height(), bytesPerLine, format);
}

} // namespace

QPixmap ModePicture(const QString& name) {
    // The pixmap takes its own copy of the rows.
    return QPixmap::fromImage(EmbeddedRows(QStringLiteral(":/pictures/%1.rgb").arg(name),
                                           kModePictureSize, 3, QImage::Format_RGB888));
}

QPixmap AlphaPicture(const QString& name, QSize size) {
    return QPixmap::fromImage(EmbeddedRows(QStringLiteral(":/pictures/%1.rgba").arg(name), size, 4,
                                           QImage::Format_RGBA8888));
}

} // namespace comsetup
