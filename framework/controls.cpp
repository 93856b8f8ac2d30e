#include "framework/controls.h"

#include "framework/application.h"
#include "framework/exact_text_edit.h"
#include "framework/keys.h"
#include "framework/picture.h"
#include "framework/window.h"

#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

namespace fw {
namespace {

// The editor of a multi-line field. Without tab acceptance, Tab and
// Shift+Tab only move the focus: where there is no other field to go to
// (Qt then hands the key to the editor) no tab character is typed either.
class MultilineEditor : public ExactTextEdit {
public:
    using ExactTextEdit::ExactTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (tabChangesFocus() && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
            event->ignore();
            return;
        }
        ExactTextEdit::keyPressEvent(event);
    }
};

} // namespace

void setControlFont(QWidget* w, const QString& fontName, int size, bool bold, bool italic, bool underline)
{
    QFont font(fontFamily(fontName));
    font.setPixelSize(std::max(1, size));
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    w->setFont(font);
}

void setTextColor(QWidget* w, const QColor& color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    pal.setColor(QPalette::ButtonText, color);
    w->setPalette(pal);
}

QPoint RectControl::contentPos() const
{
    return m_self->pos() + parentContentPos();
}

QPoint RectControl::parentContentPos() const
{
    // The places of the boxes it sits in, up to the content area (the widget
    // whose parent is the framework window).
    QPoint pos;
    for (const QWidget* p = m_self->parentWidget(); p && p->parentWidget() && !p->isWindow(); p = p->parentWidget()) {
        if (dynamic_cast<const Window*>(p->parentWidget()))
            break;
        pos += p->pos();
    }
    return pos;
}

void RectControl::setBounds(int left, int top, int width, int height)
{
    m_self->setGeometry(QRect(QPoint(left, top) - parentContentPos(), QSize(width, height)));
}

void RectControl::Refresh(bool erase)
{
    Q_UNUSED(erase);
    m_self->update();
}

void RectControl::setTextFont(const QString& name)
{
    m_fontName = name;
    applyFont();
}

void RectControl::setTextSize(int size)
{
    m_textSize = size;
    applyFont();
}

void RectControl::setBold(bool on)
{
    m_bold = on;
    applyFont();
}

void RectControl::applyFont()
{
    setControlFont(m_self, m_fontName, m_textSize, m_bold);
}

EditField::EditField(QWidget* parent, bool multiline) : QWidget(parent), RectControl(this), m_multiline(multiline)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* editor = nullptr;
    if (multiline) {
        m_text = new MultilineEditor(this);
        m_text->setTabChangesFocus(true);
        m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        QObject::connect(m_text, &QPlainTextEdit::textChanged, this, [this] {
            if (TextChange)
                dispatch(TextChange);
        });
        editor = m_text;
    } else {
        m_line = new QLineEdit(this);
        m_line->setMaxLength(std::numeric_limits<int>::max());  // no length limit
        QObject::connect(m_line, &QLineEdit::textChanged, this, [this] {
            if (TextChange)
                dispatch(TextChange);
        });
        editor = m_line;
    }
    layout->addWidget(editor);
    setFocusProxy(editor);
    setFocusPolicy(Qt::StrongFocus);
    editor->setFocusPolicy(Qt::StrongFocus);
    setControlFont(this, QStringLiteral("Times"), 12);
}

QWidget* EditField::editor() const
{
    return m_line ? static_cast<QWidget*>(m_line) : m_text;
}

void EditField::setAccessibleLabel(const QString& text)
{
    setAccessibleName(text);
    editor()->setAccessibleName(text);
}

QString EditField::Text() const
{
    return m_line ? m_line->text() : static_cast<ExactTextEdit*>(m_text)->exactText();
}

void EditField::setText(const QString& text)
{
    if (m_line)
        m_line->setText(text);
    else
        static_cast<ExactTextEdit*>(m_text)->setExactText(text);
}

void EditField::setReadOnly(bool on)
{
    m_readOnly = on;
    if (m_line)
        m_line->setReadOnly(on);
    else
        m_text->setReadOnly(on);
    // Tab passes over a field that cannot be typed into; a click still
    // gives it the focus, to select and copy.
    const Qt::FocusPolicy policy = on ? Qt::ClickFocus : Qt::StrongFocus;
    setFocusPolicy(policy);
    editor()->setFocusPolicy(policy);
}

int EditField::SelStart() const
{
    if (m_line)
        return m_line->hasSelectedText() ? m_line->selectionStart() : m_line->cursorPosition();
    return m_text->textCursor().selectionStart();
}

void EditField::setSelStart(int pos)
{
    if (m_line) {
        m_line->setCursorPosition(std::clamp(pos, 0, int(m_line->text().size())));
    } else {
        QTextCursor c = m_text->textCursor();
        c.setPosition(std::clamp(pos, 0, m_text->document()->characterCount() - 1));
        m_text->setTextCursor(c);
    }
}

int EditField::SelLength() const
{
    if (m_line)
        return int(m_line->selectedText().size());
    const QTextCursor c = m_text->textCursor();
    return c.selectionEnd() - c.selectionStart();
}

void EditField::setSelLength(int length)
{
    const int start = SelStart();
    if (m_line) {
        m_line->setSelection(start, std::clamp(length, 0, int(m_line->text().size()) - start));
    } else {
        QTextCursor c = m_text->textCursor();
        c.setPosition(start);
        c.setPosition(std::clamp(start + length, 0, m_text->document()->characterCount() - 1),
                      QTextCursor::KeepAnchor);
        m_text->setTextCursor(c);
    }
}

void EditField::setTextColor(const QColor& color)
{
    fw::setTextColor(m_line ? static_cast<QWidget*>(m_line) : m_text, color);
}

StaticText::StaticText(QWidget* parent) : QLabel(parent), RectControl(this)
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setControlFont(this, QStringLiteral("Times"), 12);
}

void StaticText::setText(const QString& text)
{
    QLabel::setText(text);
    nameControl();
}

void StaticText::setLabelFor(QWidget* control)
{
    m_control = control;
    auto* field = dynamic_cast<EditField*>(control);
    setBuddy(field ? field->editor() : control);
    nameControl();
}

void StaticText::nameControl()
{
    if (!m_control)
        return;
    if (auto* field = dynamic_cast<EditField*>(m_control.data()))
        field->setAccessibleLabel(text());
    else
        m_control->setAccessibleName(text());
}

void StaticText::setTextColor(const QColor& color)
{
    m_color = color;
    fw::setTextColor(this, color);
}

void StaticText::setTextAlign(Alignment a)
{
    Qt::Alignment h = Qt::AlignLeft;
    if (a == AlignCenter)
        h = Qt::AlignHCenter;
    else if (a == AlignRight)
        h = Qt::AlignRight;
    setAlignment(h | Qt::AlignTop);
}

PushButton::PushButton(QWidget* parent) : QPushButton(parent), RectControl(this)
{
    setAutoDefault(false);
    setFocusPolicy(Qt::NoFocus);
    setControlFont(this, QStringLiteral("Times"), 12);
    QObject::connect(this, &QPushButton::clicked, this, [this] {
        if (Action)
            dispatch(Action);
    });
}

BevelButton::BevelButton(QWidget* parent) : QPushButton(parent), RectControl(this)
{
    setAutoDefault(false);
    setFocusPolicy(Qt::NoFocus);
    setControlFont(this, QStringLiteral("Times"), 12);
    QObject::connect(this, &QPushButton::clicked, this, [this] {
        if (Action)
            dispatch(Action);
    });
}

CheckBox::CheckBox(QWidget* parent) : QCheckBox(parent), RectControl(this)
{
    setFocusPolicy(Qt::NoFocus);
    setControlFont(this, QStringLiteral("Times"), 12);
    QObject::connect(this, &QCheckBox::toggled, this, [this] {
        if (Action)
            dispatch(Action);
    });
}

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent), RectControl(this)
{
    setFocusPolicy(Qt::NoFocus);
    QObject::connect(this, &QSlider::valueChanged, this, [this] {
        if (ValueChanged)
            dispatch(ValueChanged);
    });
}

PopupMenu::PopupMenu(QWidget* parent) : QComboBox(parent), RectControl(this)
{
    setFocusPolicy(Qt::NoFocus);
    setControlFont(this, QStringLiteral("Times"), 12);
    setMaxVisibleItems(20);
    QObject::connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_adding && Change)
            dispatch(Change);
    });
}

void PopupMenu::AddRow(const QString& text)
{
    // Adding rows chooses none by itself; only ListIndex or the user do.
    m_adding = true;
    const bool first = count() == 0;
    addItem(text);
    if (first)
        setCurrentIndex(-1);
    m_adding = false;
}

void PopupMenu::DeleteAllRows()
{
    m_adding = true;
    clear();
    m_adding = false;
}

void PopupMenu::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}

void PopupMenu::setListIndex(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

GroupBox::GroupBox(QWidget* parent) : QGroupBox(parent), RectControl(this)
{
    setControlFont(this, QStringLiteral("Times"), 12);
}

Canvas::Canvas(QWidget* parent) : QWidget(parent), RectControl(this)
{
    setFocusPolicy(Qt::NoFocus);
}

void Canvas::setBackdrop(std::shared_ptr<Picture> picture)
{
    m_backdrop = std::move(picture);
    update();
}

void Canvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_erase)
        painter.fillRect(rect(), palette().window());
    if (m_backdrop)
        painter.drawImage(0, 0, m_backdrop->image());
    if (Paint) {
        Graphics g(&painter, width(), height());
        dispatch([&] { Paint(&g); });
    }
}

void Canvas::keyPressEvent(QKeyEvent* event)
{
    const QString key = keyText(event);
    bool handled = false;
    if (!key.isEmpty() && KeyDown) {
        // A key held down is pressed once: its repeats are swallowed.
        if (isKeyRepeat(event))
            return;
        dispatch([&] { handled = KeyDown(key); });
    }
    if (!handled)
        QWidget::keyPressEvent(event);
}

Line::Line(QWidget* parent) : QWidget(parent), RectControl(this)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Line::setPoints(int x1, int y1, int x2, int y2)
{
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
    place();
}

void Line::setLineColor(const QColor& c)
{
    m_color = c;
    update();
}

void Line::setBorderWidth(int w)
{
    m_width = std::max(1, w);
    place();
}

void Line::place()
{
    const int left = std::min(m_x1, m_x2), top = std::min(m_y1, m_y2);
    setGeometry(left, top, std::abs(m_x2 - m_x1) + m_width, std::abs(m_y2 - m_y1) + m_width);
    update();
}

void Line::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int left = std::min(m_x1, m_x2), top = std::min(m_y1, m_y2);
    if (m_width == 1) {
        painter.setPen(QPen(m_color, 1));
        painter.drawLine(m_x1 - left, m_y1 - top, m_x2 - left, m_y2 - top);
        painter.drawPoint(m_x2 - left, m_y2 - top);
        return;
    }
    painter.setPen(QPen(m_color, m_width, Qt::SolidLine, Qt::SquareCap));
    const double off = (m_width - 1) / 2.0;
    painter.drawLine(QPointF(m_x1 - left + off, m_y1 - top + off), QPointF(m_x2 - left + off, m_y2 - top + off));
}

} // namespace fw
