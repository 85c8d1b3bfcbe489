// The program's embedded pictures.
#include "app/embedded_pictures.h"

#include <QImage>
#include <QResource>

#include <cstring>
#include <utility>

namespace comsetup {

namespace {

// The embedded rows of `path` as an image of `size`, 4 bytes a pixel; a null image when the
// resource is missing or holds another number of bytes. Raw rows on a 4-byte boundary (which
// QImage requires) are read in place; others are unpacked or copied.
QImage EmbeddedRows(const QString& path, QSize size, QImage::Format format) {
    if (size.isEmpty())
        return {};
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    const int bytesPerLine = size.width() * 4;
    if (resource.compressionAlgorithm() == QResource::NoCompression &&
        reinterpret_cast<quintptr>(resource.data()) % 4 == 0) {
        if (resource.size() != qint64{bytesPerLine} * size.height())
            return {};
        return QImage(resource.data(), size.width(), size.height(), bytesPerLine, format);
    }
    const QByteArray rows = resource.uncompressedData();
    QImage image(size, format);
    // 4 bytes a pixel: the image's rows are exactly width * 4 bytes, with no padding.
    if (image.isNull() || rows.size() != image.sizeInBytes())
        return {};
    std::memcpy(image.bits(), rows.constData(), static_cast<size_t>(rows.size()));
    return image;
}

// The size each picture with alpha was drawn at: raw rows do not tell their width, and rows
// read at another width of the same pixel count would come out scrambled.
QSize AlphaPictureSize(QString name) {
    if (name.endsWith(QLatin1String("@2x"))) {
        name.chop(3);
        return AlphaPictureSize(name) * 2;
    }
    if (name == QLatin1String("comsetup"))
        return kIconSize;
    static const QLatin1String glyphs[] = {
        QLatin1String("glyph_ok"), QLatin1String("glyph_ok_disabled"),
        QLatin1String("glyph_cancel"), QLatin1String("glyph_cancel_disabled")};
    for (const QLatin1String& glyph : glyphs) {
        if (name == glyph)
            return kGlyphSize;
    }
    return {};
}

} // namespace

QPixmap ModePicture(const QString& name, qreal devicePixelRatio) {
    const bool doubled = devicePixelRatio > 1.0;
    const QString path =
        QStringLiteral(":/pictures/%1%2.rgb32").arg(name, doubled ? QStringLiteral("@2x") : "");
    const QSize size = doubled ? kModePictureSize * 2 : kModePictureSize;
    QPixmap picture;
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        // Qt's own pixmap format for opaque pictures: the pixmap takes the image as it is
        // (raw rows where they lie in the program).
        picture = QPixmap::fromImage(EmbeddedRows(path, size, QImage::Format_RGB32));
    } else {
        // The bytes read blue, green, red, 0xff: RGBX with red and blue swapped.
        picture =
            QPixmap::fromImage(EmbeddedRows(path, size, QImage::Format_RGBX8888).rgbSwapped());
    }
    if (doubled)
        picture.setDevicePixelRatio(2.0);
    return picture;
}

QIcon AlphaIcon(const QString& name, QSize size) {
    QIcon icon(AlphaPicture(name, size));
    QPixmap doubled = AlphaPicture(name + QStringLiteral("@2x"), size * 2);
    if (!doubled.isNull()) {
        doubled.setDevicePixelRatio(2.0);
        icon.addPixmap(doubled);
    }
    return icon;
}

QPixmap AlphaPicture(const QString& name, QSize size) {
    if (size != AlphaPictureSize(name))
        return {};
    // The pixmap takes its own copy, premultiplied.
    return QPixmap::fromImage(EmbeddedRows(QStringLiteral(":/pictures/%1.rgba").arg(name), size,
                                           QImage::Format_RGBA8888));
}

} // namespace comsetup
