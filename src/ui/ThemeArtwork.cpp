#include "ui/ThemeArtwork.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/tables/ColourThemes.h"

// Resources of a static library are linked only when something asks for them.
static void LoadArtworkResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(kestrane);
        return true;
    }();
    (void)loaded;
}

namespace kestrane {

namespace {

constexpr char kMarkResource[] = ":/kestrane/kestrane-mark.svg";
constexpr char kIconResource[] = ":/kestrane/kestrane-icon.svg";
constexpr char kWordMark[] = "KESTRANE";
constexpr char kTagLine[] = "SOLAR  MONITOR";

QColor ToQColor(Rgb c) {
    return QColor(c.red, c.green, c.blue);
}

// The one-colour mark in the given colour on a transparent square.
QImage TintedMark(int size, const QColor& colour) {
    LoadArtworkResources();
    QImage mark(size, size, QImage::Format_ARGB32_Premultiplied);
    mark.fill(Qt::transparent);
    QPainter painter(&mark);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer(QString(kMarkResource)).render(&painter, QRectF(0, 0, size, size));
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(mark.rect(), colour);
    return mark;
}

QFont LogoFont(int pixelSize, int weight, qreal letterSpacing) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setLetterSpacing(QFont::AbsoluteSpacing, letterSpacing);
    return font;
}

}  // namespace

QPixmap ThemeLogo(int colourIndex) {
    const ColourTheme* theme = ThemeFor(colourIndex);
    if (theme == nullptr) return {};
    const QColor background = ToQColor(theme->background);
    const QColor drawing = ToQColor(theme->logoDrawing);

    QImage logo(kLogoWidth, kLogoHeight, QImage::Format_RGB888);
    logo.fill(background);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.drawImage(QPoint(3, 2), TintedMark(34, drawing));

    painter.setPen(drawing);
    painter.setFont(LogoFont(17, QFont::Black, 1.2));
    const QRect word(41, 3, kLogoWidth - 43, 21);
    painter.drawText(word, Qt::AlignHCenter | Qt::AlignBottom, QString::fromLatin1(kWordMark));
    painter.fillRect(QRect(44, 25, kLogoWidth - 49, 1), drawing);
    painter.setFont(LogoFont(7, QFont::DemiBold, 1.6));
    painter.drawText(QRect(41, 27, kLogoWidth - 43, 9), Qt::AlignHCenter | Qt::AlignVCenter,
                     QString::fromLatin1(kTagLine));
    painter.end();
    return QPixmap::fromImage(logo);
}

QIcon ApplicationIcon() {
    // Rendered at each size, so the icon needs no image-format plugin.
    LoadArtworkResources();
    QSvgRenderer renderer{QString(kIconResource)};
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace kestrane
