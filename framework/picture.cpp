#include "framework/picture.h"

#include <QFont>
#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace fw {

QColor RGB(int r, int g, int b)
{
    return QColor(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
}

QString fontFamily(const QString& name)
{
    const QString n = name.toLower();
    if (n == QStringLiteral("times") || n == QStringLiteral("times new roman"))
        return QStringLiteral("Liberation Serif");
    if (n == QStringLiteral("courier") || n == QStringLiteral("courier new"))
        return QStringLiteral("Liberation Mono");
    if (n == QStringLiteral("helvetica") || n == QStringLiteral("arial") || n == QStringLiteral("system"))
        return QStringLiteral("Liberation Sans");
    return name;
}

Graphics::Graphics(QImage* target) : m_image(target), m_width(target->width()), m_height(target->height()) {}

Graphics::Graphics(QPainter* painter, int width, int height)
    : m_painter(painter), m_width(width), m_height(height)
{
}

template <class F> void Graphics::paint(F&& f)
{
    if (m_painter) {
        m_painter->save();
        f(*m_painter);
        m_painter->restore();
        return;
    }
    QPainter p(m_image);
    f(p);
}

void Graphics::FillRect(int x, int y, int width, int height)
{
    paint([&](QPainter& p) { p.fillRect(x, y, width, height, m_foreColor); });
}

void Graphics::DrawRect(int x, int y, int width, int height)
{
    paint([&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(m_foreColor);
        const int pw = std::max(1, m_penWidth), ph = std::max(1, m_penHeight);
        p.drawRect(x, y, width, ph);
        p.drawRect(x, y + height - ph, width, ph);
        p.drawRect(x, y, pw, height);
        p.drawRect(x + width - pw, y, pw, height);
    });
}

void Graphics::FillOval(int x, int y, int width, int height)
{
    paint([&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(m_foreColor);
        p.drawEllipse(x, y, width, height);
    });
}

void Graphics::DrawLine(int x1, int y1, int x2, int y2)
{
    paint([&](QPainter& p) {
        // A pen of PenWidth x PenHeight; its top-left corner follows the line.
        const int w = std::max(1, std::max(m_penWidth, m_penHeight));
        QPen pen(m_foreColor, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        if (w == 1) {
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            p.drawLine(x1, y1, x2, y2);
            p.drawPoint(x2, y2);
            return;
        }
        p.setPen(pen);
        const double off = (w - 1) / 2.0;
        p.drawLine(QPointF(x1 + off, y1 + off), QPointF(x2 + off, y2 + off));
    });
}

void Graphics::DrawString(const QString& text, int x, int y)
{
    paint([&](QPainter& p) {
        QFont font(fontFamily(m_textFont));
        font.setPixelSize(std::max(1, m_textSize));
        font.setBold(m_bold);
        p.setFont(font);
        p.setPen(m_foreColor);
        p.drawText(x, y, text);
    });
}

void Graphics::DrawPicture(const Picture* picture, int x, int y)
{
    if (!picture)
        return;
    paint([&](QPainter& p) { p.drawImage(x, y, picture->image()); });
}

Picture::Picture(int width, int height, int /*depth*/)
    : m_image(std::max(1, width), std::max(1, height), QImage::Format_ARGB32_Premultiplied)
{
    m_image.fill(Qt::white);
}

Picture::Picture(const QImage& image) : m_image(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)) {}

Graphics* Picture::Graphics()
{
    if (!m_graphics)
        m_graphics = std::make_unique<fw::Graphics>(&m_image);
    return m_graphics.get();
}

std::shared_ptr<Picture> NewPicture(int width, int height, int depth)
{
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return nullptr;
    return std::make_shared<Picture>(width, height, depth);
}

std::shared_ptr<Picture> openPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        return nullptr;
    return std::make_shared<Picture>(image);
}

} // namespace fw
