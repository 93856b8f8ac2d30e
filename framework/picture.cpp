#include "framework/picture.h"

#include <QFont>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace fw {
namespace {

// Coordinates may be anything an Int32 holds; sums like x + width are taken
// in 64 bits and shapes are cut to the surface before Qt sees them, so that
// nothing overflows and a shape far off the surface draws nothing.
struct Frame {
    std::int64_t left, top, right, bottom;  // right and bottom exclusive
};

// A picture is cut to its own size; a paint event's painter (which may be
// translated or scaled) only to a frame far larger than any screen or page.
Frame surfaceFrame(bool picture, int width, int height)
{
    constexpr std::int64_t far = 1 << 24;
    if (picture)
        return {0, 0, width, height};
    return {-far, -far, far, far};
}

// The part of the rectangle on the frame; empty for a non-positive size.
QRect visiblePart(const Frame& f, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h)
{
    if (w <= 0 || h <= 0)
        return {};
    const std::int64_t left = std::max(x, f.left), top = std::max(y, f.top);
    const std::int64_t right = std::min(x + w, f.right), bottom = std::min(y + h, f.bottom);
    if (left >= right || top >= bottom)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

} // namespace

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
        beforePainting();
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
    const QRect r = visiblePart(surfaceFrame(m_image, m_width, m_height), x, y, width, height);
    if (r.isEmpty())
        return;
    paint([&](QPainter& p) { p.fillRect(r, m_foreColor); });
}

void Graphics::DrawRect(int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    const Frame f = surfaceFrame(m_image, m_width, m_height);
    const std::int64_t pw = std::max(1, m_penWidth), ph = std::max(1, m_penHeight);
    const std::int64_t x0 = x, y0 = y, w = width, h = height;
    const QRect edges[] = {
        visiblePart(f, x0, y0, w, ph),
        visiblePart(f, x0, y0 + h - ph, w, ph),
        visiblePart(f, x0, y0, pw, h),
        visiblePart(f, x0 + w - pw, y0, pw, h),
    };
    if (std::all_of(std::begin(edges), std::end(edges), [](const QRect& r) { return r.isEmpty(); }))
        return;
    paint([&](QPainter& p) {
        for (const QRect& r : edges)
            if (!r.isEmpty())
                p.fillRect(r, m_foreColor);
    });
}

void Graphics::FillOval(int x, int y, int width, int height)
{
    const Frame f = surfaceFrame(m_image, m_width, m_height);
    if (visiblePart(f, x, y, width, height).isEmpty())
        return;
    paint([&](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(m_foreColor);
        p.drawEllipse(QRectF(double(x), double(y), double(width), double(height)));
    });
}

void Graphics::DrawLine(int x1, int y1, int x2, int y2)
{
    // A pen of PenWidth x PenHeight; its top-left corner follows the line.
    const int w = std::max(1, std::max(m_penWidth, m_penHeight));
    const Frame f = surfaceFrame(m_image, m_width, m_height);
    const std::int64_t left = std::min(x1, x2), top = std::min(y1, y2);
    const std::int64_t right = std::max(x1, x2), bottom = std::max(y1, y2);
    if (visiblePart(f, left - 1, top - 1, right - left + w + 2, bottom - top + w + 2).isEmpty())
        return;
    paint([&](QPainter& p) {
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
