// The embedded pictures: every picture the windows show is there at its size with real
// content, names or sizes that are not embedded give a null pixmap, and the embedded rows show
// the same pixels as the PNG files drawn beside them at build time.
#include "app_fixture.h"

#include "app/embedded_pictures.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QResource>
#include <QSet>
#include <QStringList>

#include <string>

namespace comsetup {
namespace {

const QStringList kModePictures = {"mode_remote_com",          "mode_point_to_point",
                                   "mode_point_to_multipoint", "page_remote_com",
                                   "page_point_to_point",      "page_point_to_multipoint"};
const QStringList kGlyphs = {"glyph_ok", "glyph_ok_disabled", "glyph_cancel",
                             "glyph_cancel_disabled"};

int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

TEST(EmbeddedPictures, ModePicturesAreOpaqueFullSizeAndEachItsOwn) {
    QList<QImage> seen;
    for (const QString& name : kModePictures) {
        SCOPED_TRACE(name.toStdString());
        const QPixmap picture = ModePicture(name);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), kModePictureSize);
        EXPECT_EQ(picture.size(), QSize(400, 134));
        EXPECT_FALSE(picture.hasAlphaChannel());
        const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
        // A drawing (sky, devices, cables, captions), not a flat or garbled fill.
        EXPECT_GE(DistinctColours(image), 16);
        for (const QImage& other : seen)
            EXPECT_NE(image, other);
        seen << image;
    }
}

TEST(EmbeddedPictures, GlyphsAndIconHaveTransparencyAroundAnOpaqueDrawing) {
    QStringList names = kGlyphs;
    names << "comsetup";
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QSize size = name == "comsetup" ? kIconSize : kGlyphSize;
        const QPixmap picture = AlphaPicture(name, size);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), size);
        EXPECT_TRUE(picture.hasAlphaChannel());
        const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
        int clear = 0, opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                clear += alpha == 0;
                opaque += alpha == 255;
            }
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0); // corners stay clear
        EXPECT_GT(clear, image.width() * image.height() / 4);
        EXPECT_GT(opaque, 8);
    }
    EXPECT_EQ(kGlyphSize, QSize(18, 18));
    // Normal and disabled glyphs differ, so a disabled button looks disabled.
    EXPECT_NE(AlphaPicture("glyph_ok", kGlyphSize).toImage(),
              AlphaPicture("glyph_ok_disabled", kGlyphSize).toImage());
    EXPECT_NE(AlphaPicture("glyph_cancel", kGlyphSize).toImage(),
              AlphaPicture("glyph_cancel_disabled", kGlyphSize).toImage());
}

// HiDPI: every picture is also there drawn at twice its size, shown at the same logical size.
TEST(EmbeddedPictures, EveryPictureIsThereAtTwiceItsSizeForHiDpiScreens) {
    for (const QString& name : kModePictures) {
        SCOPED_TRACE(name.toStdString());
        const QPixmap doubled = ModePicture(name, 2.0);
        ASSERT_FALSE(doubled.isNull());
        EXPECT_EQ(doubled.size(), kModePictureSize * 2);
        EXPECT_EQ(doubled.deviceIndependentSize().toSize(), kModePictureSize);
        EXPECT_EQ(ModePicture(name, 1.0).toImage(), ModePicture(name).toImage());
    }
    QStringList names = kGlyphs;
    names << "comsetup";
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QSize size = name == "comsetup" ? kIconSize : kGlyphSize;
        EXPECT_FALSE(AlphaPicture(name + "@2x", size * 2).isNull());
        EXPECT_TRUE(AlphaPicture(name + "@2x", size).isNull());
        const QIcon icon = AlphaIcon(name, size);
        EXPECT_EQ(icon.pixmap(size, 1.0).size(), size);
        EXPECT_EQ(icon.pixmap(size, 2.0).size(), size * 2);
    }
}

// The point-to-point pictures are shown 129 rows high: their frame closes within those rows.
TEST(EmbeddedPictures, PointToPointFramesCloseWithinTheRowsShown) {
    for (const QString& name :
         {QStringLiteral("mode_point_to_point"), QStringLiteral("page_point_to_point")}) {
        for (const qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(name.toStdString() + " x" + std::to_string(ratio));
            const QImage image = ModePicture(name, ratio).toImage();
            const int lastShown = static_cast<int>(129 * ratio) - 1;
            const QRgb frame = image.pixel(image.width() / 2, 0); // the top edge's colour
            int onFrame = 0;
            for (int x = 0; x < image.width(); ++x)
                onFrame += image.pixel(x, lastShown) == frame;
            EXPECT_GT(onFrame, image.width() * 9 / 10);
        }
    }
}

// The rows are embedded compressed: raw, they were 6.5 MB of the program and a minute of its
// build. All but what the start-up shows (the first page's three, the window icon), read in
// place, take less than the 197 KB of the same pictures as PNG files. The Windows exe packs
// those too (its size counts there, 2 ms of start-up does not).
#if defined(Q_OS_WIN)
constexpr bool kStartUpPicturesRaw = false;
#else
constexpr bool kStartUpPicturesRaw = true;
#endif
TEST(EmbeddedPictures, PicturesNotShownAtStartUpAreEmbeddedCompressed) {
    QStringList paths;
    for (const QString& name : kModePictures) {
        const bool raw = kStartUpPicturesRaw && name.startsWith("mode_");
        EXPECT_EQ(QResource(":/pictures/" + name + ".rgb32").compressionAlgorithm() ==
                      QResource::NoCompression,
                  raw)
            << name.toStdString();
        if (!raw)
            paths << ":/pictures/" + name + ".rgb32";
        paths << ":/pictures/" + name + "@2x.rgb32";
    }
    for (const QString& name : kGlyphs)
        paths << ":/pictures/" + name + ".rgba"
              << ":/pictures/" + name + "@2x.rgba";
    for (const QString icon : {":/pictures/comsetup.rgba", ":/pictures/comsetup@2x.rgba"}) {
        if (kStartUpPicturesRaw)
            EXPECT_EQ(QResource(icon).compressionAlgorithm(), QResource::NoCompression);
        else
            paths << icon;
    }
    qint64 embedded = 0, unpacked = 0;
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QResource resource(path);
        ASSERT_TRUE(resource.isValid());
        EXPECT_NE(resource.compressionAlgorithm(), QResource::NoCompression);
        embedded += resource.size();
        unpacked += resource.uncompressedSize();
    }
    EXPECT_GT(unpacked, 5'800'000);
    EXPECT_LT(embedded, 197'000);
}

TEST(EmbeddedPictures, NamesOrSizesNotEmbeddedGiveANullPixmap) {
    EXPECT_TRUE(ModePicture("mode_nonexistent").isNull());
    EXPECT_TRUE(ModePicture("").isNull());
    EXPECT_TRUE(ModePicture("glyph_ok").isNull()); // embedded, but not as a mode picture
    EXPECT_TRUE(ModePicture("comsetup").isNull());
    EXPECT_TRUE(AlphaPicture("glyph_nonexistent", kGlyphSize).isNull());
    EXPECT_TRUE(AlphaPicture("", kGlyphSize).isNull());
    EXPECT_TRUE(AlphaPicture("mode_remote_com", kModePictureSize).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", kIconSize).isNull());
    EXPECT_TRUE(AlphaPicture("comsetup", kGlyphSize).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(18, 17)).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(17, 18)).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(0, 0)).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(-18, -18)).isNull());
}

// The embedded rows carry no size of their own: a size with the same number of pixels (9 x 36
// for an 18 x 18 glyph) would unpack to the same byte count and show a garbled picture.
TEST(EmbeddedPictures, ASizeWithTheSamePixelCountIsNotTheEmbeddedSize) {
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(9, 36)).isNull());
    EXPECT_TRUE(AlphaPicture("glyph_ok", QSize(36, 9)).isNull());
    EXPECT_TRUE(AlphaPicture("comsetup", QSize(16, 64)).isNull());
}

#ifdef COMSETUP_PICTURE_DIR
QImage DrawnBeside(const QString& name) {
    const QString path = QStringLiteral(COMSETUP_PICTURE_DIR "/%1.png").arg(name);
    EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    return QImage(path);
}

TEST(EmbeddedPictures, EmbeddedRowsShowThePixelsOfTheDrawnPngFiles) {
    for (const QString& name : kModePictures) {
        SCOPED_TRACE(name.toStdString());
        const QImage png = DrawnBeside(name);
        ASSERT_FALSE(png.isNull());
        EXPECT_EQ(ModePicture(name).toImage().convertToFormat(QImage::Format_RGB32),
                  png.convertToFormat(QImage::Format_RGB32));
    }
    QStringList names = kGlyphs;
    names << "comsetup";
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QImage png = DrawnBeside(name);
        ASSERT_FALSE(png.isNull());
        // Compared premultiplied, as a pixmap holds them: the embedded rows are not.
        EXPECT_EQ(AlphaPicture(name, png.size())
                      .toImage()
                      .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  png.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

// The icon drawn for desktop menus (installed in the hicolor theme): every size is the
// window's icon, the same squares at whole multiples of 32, clear around the drawing.
TEST(EmbeddedPictures, MenuIconsAreTheWindowIconInEverySize) {
    const QImage windowIcon = DrawnBeside("comsetup").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(windowIcon.size(), kIconSize);
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage icon = DrawnBeside(QStringLiteral("comsetup_%1").arg(size))
                                .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(icon.pixel(size - 1, size - 1)), 0);
        // The converter's body in the middle, as in the window's icon.
        EXPECT_EQ(icon.pixel(size / 2, size * 17 / 32), windowIcon.pixel(16, 17));
        if (size % 32 == 0) {
            EXPECT_EQ(icon,
                      windowIcon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        }
    }
}
#endif

} // namespace
} // namespace comsetup
