#pragma once

// The framework's controls, each a Qt widget with the framework's
// properties and events. Events are std::function members that a window
// binds to its handler methods; the framework calls them through
// dispatch(). Setting a check box's Value or a pop-up menu's ListIndex from
// code raises its event when the value changes, as a click does.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

#include <functional>
#include <memory>

class QLineEdit;
class QPlainTextEdit;

namespace fw {

class Graphics;
class Picture;

// Font of a control: family by framework name, size in pixels.
void setControlFont(QWidget* w, const QString& fontName, int size, bool bold = false,
                    bool italic = false, bool underline = false);
void setTextColor(QWidget* w, const QColor& color);

// Keyboard focus: only edit fields take it, editable ones from Tab and the
// mouse, read-only ones from the mouse alone (to select and copy), so Tab
// cycles through the fields that can be typed into. Buttons, check boxes,
// sliders and pop-up menus are worked with the mouse and never hold it.

// What every control placed on a window has.
class RectControl {
public:
    explicit RectControl(QWidget* self) : m_self(self) {}
    virtual ~RectControl() = default;

    // From the window's content area, also for a control placed in a group box.
    int Left() const { return contentPos().x(); }
    int Top() const { return contentPos().y(); }
    int Width() const { return m_self->width(); }
    int Height() const { return m_self->height(); }
    // Places the control, its position given from the content area's corner
    // also when it sits in a group box.
    void setBounds(int left, int top, int width, int height);
    // Setters are the widget's own setEnabled and setVisible.
    bool Enabled() const { return m_self->isEnabled(); }
    bool Visible() const { return m_self->isVisibleTo(m_self->parentWidget()); }
    void Refresh(bool erase = true);
    void SetFocus() { m_self->setFocus(Qt::OtherFocusReason); }
    // Text size in pixels, font name ("Times" by default), style.
    void setTextFont(const QString& name);
    void setTextSize(int size);
    void setBold(bool on);
    QString TextFont() const { return m_fontName; }
    int TextSize() const { return m_textSize; }
    bool Bold() const { return m_bold; }
    QWidget* widget() const { return m_self; }

    // Raised once when the window has made all its controls.
    std::function<void()> Open;

private:
    QPoint contentPos() const;
    QPoint parentContentPos() const;
    void applyFont();
    QWidget* m_self;
    QString m_fontName = QStringLiteral("Times");
    int m_textSize = 12;
    bool m_bold = false;
};

class EditField : public QWidget, public RectControl {
public:
    EditField(QWidget* parent, bool multiline);

    // Exactly the text set, typed or pasted, every character; a line typed
    // into a multi-line field ends in a carriage return (character 13).
    QString Text() const;
    void setText(const QString& text);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on);
    int SelStart() const;
    void setSelStart(int pos);
    int SelLength() const;
    void setSelLength(int length);
    bool multiline() const { return m_multiline; }
    void setTextColor(const QColor& color);
    QLineEdit* lineEdit() const { return m_line; }
    QPlainTextEdit* textEdit() const { return m_text; }
    // The line or text editor inside, which takes the focus and the keys.
    QWidget* editor() const;
    // The name assistive technology gives the field: its label's text.
    void setAccessibleLabel(const QString& text);

    // Raised for every change of the text, by the user or by code.
    std::function<void()> TextChange;

private:
    bool m_multiline;
    bool m_readOnly = false;
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_text = nullptr;
};

class StaticText : public QLabel, public RectControl {
public:
    enum Alignment { AlignDefault = 0, AlignLeft = 1, AlignCenter = 2, AlignRight = 3 };
    explicit StaticText(QWidget* parent);
    QString Text() const { return QLabel::text(); }
    void setText(const QString& text);
    QColor TextColor() const { return m_color; }
    void setTextColor(const QColor& color);
    void setTextAlign(Alignment a);
    void setMultiline(bool on) { setWordWrap(on); }
    // Makes this label the one that names the control beside it (a field or
    // a slider): the control's accessible name is the label's text, now and
    // after every change of it.
    void setLabelFor(QWidget* control);

private:
    void nameControl();
    QColor m_color = Qt::black;
    QPointer<QWidget> m_control;
};

class PushButton : public QPushButton, public RectControl {
public:
    explicit PushButton(QWidget* parent);
    QString Caption() const { return text(); }
    void setCaption(const QString& c) { setText(c); }
    void setDefaultButton(bool on) { setDefault(on); setAutoDefault(on); }
    void setCancelButton(bool on) { m_cancel = on; }
    bool CancelButton() const { return m_cancel; }
    std::function<void()> Action;

private:
    bool m_cancel = false;
};

class BevelButton : public QPushButton, public RectControl {
public:
    explicit BevelButton(QWidget* parent);
    QString Caption() const { return text(); }
    void setCaption(const QString& c) { setText(c); }
    std::function<void()> Action;
};

class CheckBox : public QCheckBox, public RectControl {
public:
    explicit CheckBox(QWidget* parent);
    bool Value() const { return isChecked(); }
    void setValue(bool on) { setChecked(on); }
    QString Caption() const { return text(); }
    void setCaption(const QString& c) { setText(c); }
    std::function<void()> Action;
};

class Slider : public QSlider, public RectControl {
public:
    explicit Slider(QWidget* parent);
    int Value() const { return value(); }
    void setValue(int v) { QSlider::setValue(v); }
    void setLiveScroll(bool on) { setTracking(on); }
    std::function<void()> ValueChanged;
};

class PopupMenu : public QComboBox, public RectControl {
public:
    explicit PopupMenu(QWidget* parent);
    void AddRow(const QString& text);
    void DeleteAllRows();
    int ListCount() const { return count(); }
    QString List(int index) const { return itemText(index); }
    // The chosen row; -1 when none.
    int ListIndex() const { return currentIndex(); }
    void setListIndex(int index);
    // The text of the chosen row.
    QString Text() const { return currentText(); }
    std::function<void()> Change;

protected:
    // A wheel turned over the closed menu changes nothing.
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_adding = false;
};

// A frame with a caption. The controls that a layout puts in it are its
// children, so assistive technology finds them in the group; it lies under
// the window's controls that overlap it.
class GroupBox : public QGroupBox, public RectControl {
public:
    explicit GroupBox(QWidget* parent);
    QString Caption() const { return title(); }
    void setCaption(const QString& c) { setTitle(c); }
};

class Canvas : public QWidget, public RectControl {
public:
    explicit Canvas(QWidget* parent);
    // Drawn under whatever Paint draws.
    void setBackdrop(std::shared_ptr<Picture> picture);
    const std::shared_ptr<Picture>& Backdrop() const { return m_backdrop; }
    void setAcceptFocus(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus); }
    void setEraseBackground(bool on) { m_erase = on; }

    std::function<void(Graphics*)> Paint;
    std::function<bool(const QString& key)> KeyDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::shared_ptr<Picture> m_backdrop;
    bool m_erase = true;
};

// A straight line from (X1, Y1) to (X2, Y2), in window coordinates.
class Line : public QWidget, public RectControl {
public:
    explicit Line(QWidget* parent);
    void setPoints(int x1, int y1, int x2, int y2);
    int X1() const { return m_x1; }
    int Y1() const { return m_y1; }
    int X2() const { return m_x2; }
    int Y2() const { return m_y2; }
    QColor LineColor() const { return m_color; }
    void setLineColor(const QColor& c);
    int BorderWidth() const { return m_width; }
    void setBorderWidth(int w);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void place();
    int m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0, m_width = 1;
    QColor m_color = Qt::black;
};

} // namespace fw
