#pragma once

// Off-screen pictures and drawing. A Picture has one persistent Graphics, so
// colour, pen and font set in one drawing step stay for the next. A Graphics
// draws either into a picture or, during a paint event, onto a control.
// Any Int32 coordinates are safe: what lies off the surface is not drawn,
// and a rectangle or oval of zero or negative size draws nothing.

#include <QColor>
#include <QImage>
#include <QString>

#include <memory>

class QPainter;

namespace fw {

class Picture;

QColor RGB(int r, int g, int b);

// Font family for a framework font name: "Times" and "Courier" map to their
// metric-compatible Liberation fonts.
QString fontFamily(const QString& name);

class Graphics {
public:
    explicit Graphics(QImage* target);      // a picture's surface
    explicit Graphics(QPainter* painter, int width, int height);  // a paint event
    virtual ~Graphics() = default;
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;

    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor& c) { m_foreColor = c; }
    int PenWidth() const { return m_penWidth; }
    void setPenWidth(int w) { m_penWidth = w; }
    int PenHeight() const { return m_penHeight; }
    void setPenHeight(int h) { m_penHeight = h; }
    QString TextFont() const { return m_textFont; }
    void setTextFont(const QString& f) { m_textFont = f; }
    int TextSize() const { return m_textSize; }
    void setTextSize(int s) { m_textSize = s; }
    bool Bold() const { return m_bold; }
    void setBold(bool b) { m_bold = b; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    void FillRect(int x, int y, int width, int height);
    void DrawRect(int x, int y, int width, int height);
    void FillOval(int x, int y, int width, int height);
    void DrawLine(int x1, int y1, int x2, int y2);
    // Draws text with its baseline at y.
    void DrawString(const QString& text, int x, int y);
    // Draws a picture at its own size with its top-left corner at (x, y).
    void DrawPicture(const Picture* picture, int x, int y);

protected:
    // Called before each drawing step on a painter (a printed page starts
    // the page it has been asked for here).
    virtual void beforePainting() {}

private:
    template <class F> void paint(F&& f);
    QImage* m_image = nullptr;
    QPainter* m_painter = nullptr;
    int m_width = 0, m_height = 0;
    QColor m_foreColor = Qt::black;
    int m_penWidth = 1, m_penHeight = 1;
    QString m_textFont = QStringLiteral("System");
    int m_textSize = 12;
    bool m_bold = false;
};

class Picture {
public:
    Picture(int width, int height, int depth = 32);
    explicit Picture(const QImage& image);
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    // The picture's one drawing surface.
    fw::Graphics* Graphics();
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
    std::unique_ptr<fw::Graphics> m_graphics;
};

// A new picture filled white; nullptr for a size that cannot be made.
std::shared_ptr<Picture> NewPicture(int width, int height, int depth);
// Reads a picture file in any format Qt knows (by content); nullptr when
// unreadable.
std::shared_ptr<Picture> openPicture(const QString& path);

} // namespace fw
