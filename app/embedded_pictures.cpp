// The program's embedded pictures.
#include "app/embedded_pictures.h"

#include <QImage>
#include <QResource>

#include <cstring>

namespace comsetup {

namespace {

// The embedded rows of `path` as an image of `size`, 4 bytes a pixel, that reads them in
// place; a null image when the resource is missing, compressed or of another size. Rows that
// do not lie on a 4-byte boundary, which QImage requires, are copied.
QImage EmbeddedRows(const QString& path, QSize size, QImage::Format format) {
    if (size.isEmpty())
        return {};
    const QResource resource(path);
    const int bytesPerLine = size.width() * 4;
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression ||
        resource.size() != qint64{bytesPerLine} * size.height())
        return {};
    const uchar* rows = resource.data();
    if (reinterpret_cast<quintptr>(rows) % 4 == 0)
        return QImage(rows, size.width(), size.height(), bytesPerLine, format);
    QImage copy(size, format);
    for (int y = 0; y < size.height(); ++y)
        std::memcpy(copy.scanLine(y), rows + qsizetype{y} * bytesPerLine, bytesPerLine);
    return copy;
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
        // Qt's own pixmap format for opaque pictures: the pixmap shares the rows.
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
