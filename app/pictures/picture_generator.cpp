// Draws the program's pictures at build time: the six mode pictures of the wizard (400 x 134,
// 24-bit, as raw 32-bit rows for the program and as PNG), the two glyphs of the progress dialog (18
// x 18, normal and disabled) and the application icon (32 x 32 in the 16 standard colours, also as
// a Windows .ico); the glyphs and the icon as raw RGBA rows for the program and as PNG. The icon
// is also drawn as PNG in the sizes desktop menus ask for (comsetup_<size>.png, 16 to 256).
//
// Usage: comsetup-picture-generator <output directory>
//
// Each mode picture shows what the mode connects: the PC, the converters (Ethernet on one
// side, RS232/485 on the other), the network and the serial devices. The mode-page pictures
// keep a quiet corner at the bottom right where the wizard's mode box lies on them; the
// settings-page pictures carry the mode's name there instead.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 134;
// The point-to-point pictures are shown 129 rows high: their frame ends there.
constexpr int kShownHeightPointToPoint = 129;
// Every picture is drawn once at its size and once at twice its size (for HiDPI screens),
// from the same drawing code, which works in the 1x coordinates.
int gScale = 1;

const QColor kSky(0xEE, 0xF3, 0xF9);
const QColor kInk(0x24, 0x33, 0x47);
const QColor kLan(0x1F, 0x7A, 0xC8);
const QColor kSerial(0xE0, 0x7A, 0x10);
const QColor kConverterBody(0x3B, 0x4C, 0x63);
const QColor kDeviceBody(0x5E, 0x8C, 0x4A);
const QColor kPcBody(0xC9, 0xD3, 0xDE);
const QColor kScreen(0x2C, 0x5D, 0x8F);

QFont Font(int pixels, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void Caption(QPainter& p, QPointF centre, const QString& text, const QColor& colour = kInk,
             int pixels = 9) {
    p.setFont(Font(pixels));
    p.setPen(colour);
    QRectF box(centre.x() - 60, centre.y() - 7, 120, 14);
    p.drawText(box, Qt::AlignCenter, text);
}

// A desktop PC: monitor on a stand, keyboard in front.
void DrawPc(QPainter& p, QPointF at) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPcBody);
    p.drawRoundedRect(QRectF(at.x(), at.y(), 52, 38), 3, 3);
    p.setBrush(kScreen);
    p.drawRect(QRectF(at.x() + 5, at.y() + 5, 42, 28));
    p.setPen(QPen(QColor(0x9F, 0xC8, 0xF0), 1));
    p.drawLine(QPointF(at.x() + 9, at.y() + 11), QPointF(at.x() + 30, at.y() + 11));
    p.drawLine(QPointF(at.x() + 9, at.y() + 16), QPointF(at.x() + 38, at.y() + 16));
    p.drawLine(QPointF(at.x() + 9, at.y() + 21), QPointF(at.x() + 25, at.y() + 21));
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPcBody);
    p.drawRect(QRectF(at.x() + 21, at.y() + 38, 10, 6));
    p.drawRoundedRect(QRectF(at.x() + 6, at.y() + 44, 40, 6), 2, 2);
}

// The converter: a small box with an Ethernet socket on the left and a 9-pin serial plug on
// the right, two status lights on the front.
void DrawConverter(QPainter& p, QPointF at, bool highlighted = false) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(highlighted ? QColor(0x2E, 0x6D, 0xA4) : kConverterBody);
    p.drawRoundedRect(QRectF(at.x(), at.y(), 46, 30), 4, 4);
    p.setBrush(QColor(0xDD, 0xDD, 0xDD));
    p.drawRect(QRectF(at.x() - 5, at.y() + 9, 7, 12)); // RJ45
    QPainterPath db9;
    db9.moveTo(at.x() + 44, at.y() + 7);
    db9.lineTo(at.x() + 52, at.y() + 9);
    db9.lineTo(at.x() + 52, at.y() + 21);
    db9.lineTo(at.x() + 44, at.y() + 23);
    db9.closeSubpath();
    p.drawPath(db9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x6F, 0xE0, 0x6F));
    p.drawEllipse(QPointF(at.x() + 10, at.y() + 24), 2, 2);
    p.setBrush(QColor(0xFF, 0xC0, 0x40));
    p.drawEllipse(QPointF(at.x() + 17, at.y() + 24), 2, 2);
    p.setPen(Qt::white);
    p.setFont(Font(7, true));
    p.drawText(QRectF(at.x(), at.y() + 2, 46, 12), Qt::AlignCenter, QStringLiteral("ETH-232"));
}

// A serial device (a machine with a small display and keys); `height` 34 or less.
void DrawDevice(QPainter& p, QPointF at, const QString& label, qreal height = 34) {
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kDeviceBody);
    p.drawRoundedRect(QRectF(at.x(), at.y(), 40, height), 3, 3);
    p.setBrush(QColor(0xD8, 0xF0, 0xC8));
    p.drawRect(QRectF(at.x() + 4, at.y() + 4, 32, 11));
    p.setPen(kInk);
    p.setFont(Font(7, true));
    p.drawText(QRectF(at.x() + 4, at.y() + 4, 32, 11), Qt::AlignCenter, label);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0xF0, 0xF0));
    for (int k = 0; k < 3; ++k)
        p.drawRect(QRectF(at.x() + 6 + k * 10, at.y() + height - 12, 7, 6));
}

void Cable(QPainter& p, QPointF a, QPointF b, const QColor& colour, bool dashed = false) {
    QPen pen(colour, 2.2);
    pen.setCapStyle(Qt::RoundCap);
    if (dashed)
        pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.drawLine(a, b);
}

// The Ethernet network: a horizontal trunk with a cloud label.
void Network(QPainter& p, qreal x0, qreal x1, qreal y) {
    QPen pen(kLan, 3.0);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawLine(QPointF(x0, y), QPointF(x1, y));
    const qreal cx = (x0 + x1) / 2;
    p.setPen(QPen(kLan, 1.4));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(cx - 32, y - 10, 64, 20), 10, 10);
    p.setPen(kLan);
    p.setFont(Font(9, true));
    p.drawText(QRectF(cx - 32, y - 10, 64, 20), Qt::AlignCenter, QStringLiteral("Ethernet"));
}

QImage Canvas(int frameHeight = kHeight) {
    QImage image(kWidth * gScale, kHeight * gScale, QImage::Format_RGB888);
    QPainter p(&image);
    p.scale(gScale, gScale);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, Qt::white);
    sky.setColorAt(1, kSky);
    p.fillRect(QRectF(0, 0, kWidth, kHeight), sky);
    p.setPen(QPen(QColor(0xC4, 0xD0, 0xDE), 1));
    p.drawRect(QRectF(0.5, 0.5, kWidth - 1, frameHeight - 1));
    return image;
}

// Where the wizard puts its mode box (mode page) or where the mode's name goes (settings).
enum class Corner { ModeBox, Title };

void CornerText(QPainter& p, Corner corner, const QString& modeName, int boxTop) {
    if (corner == Corner::ModeBox) {
        // A quiet strip for the check box and its caption.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawRoundedRect(QRectF(234, boxTop - 3, 164, 23), 4, 4);
        return;
    }
    p.setPen(kInk);
    p.setFont(Font(11, true));
    p.drawText(QRectF(8, 6, 384, 16), Qt::AlignLeft | Qt::AlignVCenter, modeName);
}

QImage RemoteComPort(Corner corner) {
    QImage image = Canvas();
    QPainter p(&image);
    p.scale(gScale, gScale);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal lanY = 62;
    DrawPc(p, {26, 32});
    Caption(p, {60, 96}, QStringLiteral("PC: virtual COM port"));
    Network(p, 78, 232, lanY);
    Cable(p, {74, lanY}, {80, lanY}, kLan);
    DrawConverter(p, {244, 47});
    Caption(p, {267, 92}, QStringLiteral("converter"));
    Cable(p, {296, lanY}, {330, lanY}, kSerial);
    DrawDevice(p, {334, 45}, QStringLiteral("RS232"));
    Caption(p, {354, 92}, QStringLiteral("serial device"));
    p.setPen(kSerial);
    p.setFont(Font(8));
    p.drawText(QRectF(270, 30, 90, 14), Qt::AlignCenter, QStringLiteral("RS232/485"));
    CornerText(p, corner, QStringLiteral("Remote COM port"), 104);
    return image;
}

QImage PointToPoint(Corner corner) {
    QImage image = Canvas(kShownHeightPointToPoint);
    QPainter p(&image);
    p.scale(gScale, gScale);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal y = corner == Corner::ModeBox ? 44 : 60;
    DrawDevice(p, {10, y - 17}, QStringLiteral("RS232"));
    Cable(p, {50, y}, {70, y}, kSerial);
    DrawConverter(p, {76, y - 15});
    Network(p, 128, 268, y);
    DrawConverter(p, {276, y - 15});
    Cable(p, {328, y}, {348, y}, kSerial);
    DrawDevice(p, {350, y - 17}, QStringLiteral("RS232"));
    Caption(p, {99, y + 26}, QStringLiteral("converter"));
    Caption(p, {299, y + 26}, QStringLiteral("converter"));
    Caption(p, {30, y + 28}, QStringLiteral("device"));
    Caption(p, {370, y + 28}, QStringLiteral("device"));
    // The note stays left of the mode box's strip on the mode page.
    p.setFont(Font(8));
    p.setPen(kInk);
    const QRectF note =
        corner == Corner::ModeBox ? QRectF(12, y + 40, 210, 14) : QRectF(100, y + 40, 200, 14);
    p.drawText(note, Qt::AlignCenter, QStringLiteral("one serial line through the network"));
    CornerText(p, corner, QStringLiteral("Tunnel Point to Point"), 84);
    return image;
}

QImage PointToMultipoint(Corner corner) {
    QImage image = Canvas();
    QPainter p(&image);
    p.scale(gScale, gScale);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal top = corner == Corner::ModeBox ? 8 : 26;
    // The master converter on the left, three client converters on the right.
    const qreal masterY = top + 44;
    DrawDevice(p, {8, masterY - 17}, QStringLiteral("HOST"));
    Cable(p, {48, masterY}, {64, masterY}, kSerial);
    DrawConverter(p, {70, masterY - 15}, true);
    Caption(p, {93, masterY + 25}, QStringLiteral("master"));
    QPen trunk(kLan, 3.0);
    trunk.setCapStyle(Qt::RoundCap);
    p.setPen(trunk);
    p.drawLine(QPointF(122, masterY), QPointF(180, masterY));
    p.drawLine(QPointF(180, top + 8), QPointF(180, top + 80));
    for (int k = 0; k < 3; ++k) {
        const qreal y = top + 8 + k * 36;
        p.setPen(trunk);
        p.drawLine(QPointF(180, y), QPointF(238, y));
        DrawConverter(p, {244, y - 15});
        Cable(p, {296, y}, {318, y}, kSerial);
        DrawDevice(p, {322, y - 15}, QStringLiteral("RS485"), 30);
    }
    p.setPen(kLan);
    p.setFont(Font(8, true));
    p.drawText(QRectF(126, masterY - 16, 54, 14), Qt::AlignCenter, QStringLiteral("broadcast"));
    CornerText(p, corner, QStringLiteral("Tunnel Point to Multipoint"), 108);
    return image;
}

QImage Glyph(bool ok, bool disabled) {
    QImage image(18 * gScale, 18 * gScale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(gScale, gScale);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = disabled ? QColor(0xA0, 0xA0, 0xA0)
                          : ok     ? QColor(0x1E, 0x9E, 0x3A)
                                   : QColor(0xD0, 0x2A, 0x2A);
    QPen pen(colour, 2.6);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    if (ok) {
        QPainterPath tick;
        tick.moveTo(3.5, 9.5);
        tick.lineTo(7.5, 13.5);
        tick.lineTo(14.5, 4.5);
        p.drawPath(tick);
    } else {
        p.drawLine(QPointF(4.5, 4.5), QPointF(13.5, 13.5));
        p.drawLine(QPointF(13.5, 4.5), QPointF(4.5, 13.5));
    }
    return image;
}

// The 16 standard colours of a 4-bit icon.
const QRgb kPalette16[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                             0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                             0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};

// The icon's drawing on a 32 x 32 grid: a converter with its network and serial plugs.
void DrawIconArt(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x00, 0x00, 0x80));
    p.drawRect(4, 9, 24, 15);
    p.setBrush(QColor(0xC0, 0xC0, 0xC0));
    p.drawRect(0, 13, 4, 7);  // Ethernet socket
    p.drawRect(28, 12, 4, 9); // serial plug
    p.setBrush(QColor(0x00, 0xFF, 0x00));
    p.drawRect(7, 19, 3, 2);
    p.setBrush(QColor(0xFF, 0xFF, 0x00));
    p.drawRect(12, 19, 3, 2);
    p.setBrush(QColor(0xFF, 0xFF, 0xFF));
    p.drawRect(7, 12, 18, 3);
    p.setBrush(QColor(0x00, 0xFF, 0xFF));
    p.drawRect(14, 2, 4, 7); // network line up
    p.setBrush(QColor(0xFF, 0x00, 0x00));
    p.drawRect(14, 24, 4, 6); // serial line down
}

// The icon as the desktop's menus show it, `size` pixels square: the same drawing scaled, so
// whole multiples of 32 keep its crisp squares and smaller sizes blend the edges.
QImage MenuIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size % 32 != 0);
    p.scale(size / 32.0, size / 32.0);
    DrawIconArt(p);
    p.end();
    return image;
}

// The program's icon: the drawing at 32 x 32 reduced to the 16 standard colours (index 0 with
// a clear mask is transparent).
QImage Icon() {
    QImage art(32, 32, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    QPainter p(&art);
    DrawIconArt(p);
    p.end();
    QVector<QRgb> table(std::begin(kPalette16), std::end(kPalette16));
    QImage indexed(32, 32, QImage::Format_Indexed8);
    indexed.setColorTable(table);
    indexed.fill(0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb c = art.pixel(x, y);
            if (qAlpha(c) < 128)
                continue;
            int best = 0, bestDistance = 1 << 30;
            for (int i = 0; i < 16; ++i) {
                const int dr = qRed(c) - qRed(kPalette16[i]),
                          dg = qGreen(c) - qGreen(kPalette16[i]),
                          db = qBlue(c) - qBlue(kPalette16[i]);
                const int d = dr * dr + dg * dg + db * db;
                if (d < bestDistance)
                    best = i, bestDistance = d;
            }
            indexed.setPixel(x, y, static_cast<uint>(best));
        }
    return indexed;
}

void Append16(std::vector<char>& out, unsigned v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Append32(std::vector<char>& out, unsigned v) {
    Append16(out, v & 0xFFFF);
    Append16(out, v >> 16);
}

// A Windows icon file with one 32 x 32, 4-bit image; art pixels equal to `clear` (and outside
// the drawing) are transparent through the AND mask.
std::vector<char> IcoFile(const QImage& indexed, const QImage& art) {
    std::vector<char> bmp;
    Append32(bmp, 40);
    Append32(bmp, 32);
    Append32(bmp, 64); // colour rows + mask rows
    Append16(bmp, 1);
    Append16(bmp, 4);
    Append32(bmp, 0);
    Append32(bmp, 0);
    Append32(bmp, 0);
    Append32(bmp, 0);
    Append32(bmp, 16);
    Append32(bmp, 0);
    for (QRgb c : kPalette16) {
        bmp.push_back(static_cast<char>(qBlue(c)));
        bmp.push_back(static_cast<char>(qGreen(c)));
        bmp.push_back(static_cast<char>(qRed(c)));
        bmp.push_back(0);
    }
    for (int y = 31; y >= 0; --y) // bottom-up, 16 bytes per row (4 bits a pixel)
        for (int x = 0; x < 32; x += 2)
            bmp.push_back(
                static_cast<char>((indexed.pixelIndex(x, y) << 4) | indexed.pixelIndex(x + 1, y)));
    for (int y = 31; y >= 0; --y) { // AND mask, 1 = transparent, 4 bytes per row
        for (int byte = 0; byte < 4; ++byte) {
            unsigned bits = 0;
            for (int bit = 0; bit < 8; ++bit)
                if (qAlpha(art.pixel(byte * 8 + bit, y)) == 0)
                    bits |= 0x80u >> bit;
            bmp.push_back(static_cast<char>(bits));
        }
    }
    std::vector<char> ico;
    Append16(ico, 0);
    Append16(ico, 1); // icon
    Append16(ico, 1); // one image
    ico.push_back(32);
    ico.push_back(32);
    ico.push_back(16); // colours
    ico.push_back(0);
    Append16(ico, 1);
    Append16(ico, 4);
    Append32(ico, static_cast<unsigned>(bmp.size()));
    Append32(ico, 6 + 16);
    ico.insert(ico.end(), bmp.begin(), bmp.end());
    return ico;
}

bool Save(const QImage& image, const QString& path) {
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// A mode picture as PNG (to look at) and as raw rows of 4 bytes a pixel, top row first: blue,
// green, red, 0xff, which is how Qt's RGB32 pixels lie in memory on a little-endian machine
// (what the program embeds: a pixmap can show it in place, without decoding or converting).
bool SaveModePicture(const QImage& image, const QDir& out, const QString& name) {
    bool ok = Save(image, out.filePath(name + ".png"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QFile raw(out.filePath(name + ".rgb32"));
    if (!raw.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(raw.fileName()));
        return false;
    }
    std::vector<char> row(static_cast<size_t>(rgb.width()) * 4);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* pixel = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x, pixel += 3) {
            row[x * 4 + 0] = static_cast<char>(pixel[2]);
            row[x * 4 + 1] = static_cast<char>(pixel[1]);
            row[x * 4 + 2] = static_cast<char>(pixel[0]);
            row[x * 4 + 3] = static_cast<char>(0xff);
        }
        ok &= raw.write(row.data(), static_cast<qint64>(row.size())) ==
              static_cast<qint64>(row.size());
    }
    return ok;
}

// A glyph or icon as PNG (to look at) and as raw RGBA rows, 4 bytes a pixel (red, green, blue,
// alpha, not premultiplied), top row first (what the program embeds: shown without decoding).
bool SaveIconPicture(const QImage& image, const QDir& out, const QString& name) {
    bool ok = Save(image, out.filePath(name + ".png"));
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QFile raw(out.filePath(name + ".rgba"));
    if (!raw.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(raw.fileName()));
        return false;
    }
    for (int y = 0; y < rgba.height(); ++y) {
        const auto row = reinterpret_cast<const char*>(rgba.constScanLine(y));
        ok &= raw.write(row, rgba.width() * 4) == rgba.width() * 4;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts need the application, not a display
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    ok &= SaveModePicture(RemoteComPort(Corner::ModeBox), out, "mode_remote_com");
    ok &= SaveModePicture(PointToPoint(Corner::ModeBox), out, "mode_point_to_point");
    ok &= SaveModePicture(PointToMultipoint(Corner::ModeBox), out, "mode_point_to_multipoint");
    ok &= SaveModePicture(RemoteComPort(Corner::Title), out, "page_remote_com");
    ok &= SaveModePicture(PointToPoint(Corner::Title), out, "page_point_to_point");
    ok &= SaveModePicture(PointToMultipoint(Corner::Title), out, "page_point_to_multipoint");
    ok &= SaveIconPicture(Glyph(true, false), out, "glyph_ok");
    ok &= SaveIconPicture(Glyph(true, true), out, "glyph_ok_disabled");
    ok &= SaveIconPicture(Glyph(false, false), out, "glyph_cancel");
    ok &= SaveIconPicture(Glyph(false, true), out, "glyph_cancel_disabled");

    const QImage icon = Icon();
    QImage iconWithAlpha = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (icon.pixelIndex(x, y) == 0)
                iconWithAlpha.setPixel(x, y, qRgba(0, 0, 0, 0));
    ok &= SaveIconPicture(iconWithAlpha, out, "comsetup");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        ok &= Save(MenuIcon(size), out.filePath(QStringLiteral("comsetup_%1.png").arg(size)));
    const std::vector<char> ico = IcoFile(icon, iconWithAlpha);

    // Twice the size for HiDPI screens (the icon with alpha only; its colours are the 16).
    gScale = 2;
    ok &= SaveModePicture(RemoteComPort(Corner::ModeBox), out, "mode_remote_com@2x");
    ok &= SaveModePicture(PointToPoint(Corner::ModeBox), out, "mode_point_to_point@2x");
    ok &= SaveModePicture(PointToMultipoint(Corner::ModeBox), out, "mode_point_to_multipoint@2x");
    ok &= SaveModePicture(RemoteComPort(Corner::Title), out, "page_remote_com@2x");
    ok &= SaveModePicture(PointToPoint(Corner::Title), out, "page_point_to_point@2x");
    ok &= SaveModePicture(PointToMultipoint(Corner::Title), out, "page_point_to_multipoint@2x");
    ok &= SaveIconPicture(Glyph(true, false), out, "glyph_ok@2x");
    ok &= SaveIconPicture(Glyph(true, true), out, "glyph_ok_disabled@2x");
    ok &= SaveIconPicture(Glyph(false, false), out, "glyph_cancel@2x");
    ok &= SaveIconPicture(Glyph(false, true), out, "glyph_cancel_disabled@2x");
    ok &= SaveIconPicture(MenuIcon(64), out, "comsetup@2x");
    gScale = 1;
    QFile icoFile(out.filePath("comsetup.ico"));
    if (!icoFile.open(QIODevice::WriteOnly) ||
        icoFile.write(ico.data(), static_cast<qint64>(ico.size())) !=
            static_cast<qint64>(ico.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(icoFile.fileName()));
        ok = false;
    }
    return ok ? 0 : 1;
}
