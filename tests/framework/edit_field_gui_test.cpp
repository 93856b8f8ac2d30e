// Edit fields give back exactly the text set, typed or pasted: no-break
// spaces, U+2028 and U+2029, tabs, every kind of line end, characters
// outside the BMP and a 100 kB text, in single-line and multi-line fields,
// and after edits that add or remove line breaks.
#include "framework/controls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"';
    for (const QChar c : text) {
        if (c.unicode() >= 32 && c.unicode() < 127)
            *os << char(c.unicode());
        else
            *os << "\\u" << std::hex << int(c.unicode()) << std::dec;
    }
    *os << '"';
}

namespace {

struct Text {
    const char* name;
    QString text;
};

// A report-like text of about 100 kB with every kind of line end.
QString bigText()
{
    QString t;
    for (int i = 0; t.size() < 100'000; ++i)
        t += QStringLiteral("%1   50.00\u00A0mV\t1\u2028").arg(i, 3, 10, QLatin1Char('0')) +
             QStringList{QStringLiteral("\r"), QStringLiteral("\r\n"), QStringLiteral("\n"), QStringLiteral("\u2029")}[i % 4];
    return t;
}

const Text kTexts[] = {
    {"no-break space", QStringLiteral("12\u00A0mm")},
    {"line separator", QStringLiteral("first\u2028second")},
    {"paragraph separator", QStringLiteral("first\u2029second")},
    {"tab", QStringLiteral("a\tb\t")},
    {"carriage returns", QStringLiteral("a\rb\r")},
    {"CR LF", QStringLiteral("a\r\nb\r\n")},
    {"a lone line feed", QStringLiteral("a\nb")},
    {"every line end, blank lines between", QStringLiteral("\r\n\n\r\u2029x\r\r\n")},
    {"a CR then a LF from another line end", QStringLiteral("a\r\u2029\nb")},
    {"outside the BMP", QString::fromUtf8("\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E\xC2\xB5")},
    {"empty", QString()},
    {"100 kB", bigText()},
};

class EditFieldText : public ::testing::Test {
protected:
    QWidget parent;
    fw::EditField multi{&parent, true};
    fw::EditField single{&parent, false};

    void paste(fw::EditField& field, const QString& text)
    {
        QApplication::clipboard()->setText(text);
        if (field.multiline())
            field.textEdit()->paste();
        else
            field.lineEdit()->paste();
    }

    static void type(QWidget* editor, const QString& text)
    {
        for (const uint c : text.toUcs4()) {
            const QString one = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, one);
            QApplication::sendEvent(editor, &press);
        }
    }
};

TEST_F(EditFieldText, SetAndReadBackUnchanged)
{
    for (const Text& t : kTexts) {
        SCOPED_TRACE(t.name);
        for (fw::EditField* field : {&multi, &single}) {
            SCOPED_TRACE(field->multiline() ? "multi-line" : "single-line");
            field->setText(t.text);
            EXPECT_EQ(field->Text(), t.text);
            field->setText(QStringLiteral("replaced"));
            EXPECT_EQ(field->Text(), QStringLiteral("replaced"));
        }
    }
}

TEST_F(EditFieldText, PastedBetweenOtherTextUnchanged)
{
    for (const Text& t : kTexts) {
        SCOPED_TRACE(t.name);
        for (fw::EditField* field : {&multi, &single}) {
            SCOPED_TRACE(field->multiline() ? "multi-line" : "single-line");
            field->setText(QStringLiteral("[\r\n]"));
            // The caret after "[", before the CR LF that stays as it was.
            field->setSelStart(1);
            paste(*field, t.text);
            EXPECT_EQ(field->Text(), QStringLiteral("[") + t.text + QStringLiteral("\r\n]"));
        }
    }
}

TEST_F(EditFieldText, TypedCharactersKeptAndReturnEndsALineWithCR)
{
    multi.setText(QStringLiteral("a\r\nb\nc"));
    multi.textEdit()->moveCursor(QTextCursor::End);
    const QString typed = QString::fromUtf8("\xC2\xA0\xE2\x80\xA8\xF0\x9F\x98\x80z");
    type(multi.textEdit(), typed);
    QTest::keyClick(multi.textEdit(), Qt::Key_Return);
    EXPECT_EQ(multi.Text(), QStringLiteral("a\r\nb\nc") + typed + QStringLiteral("\r"));

    single.setText(QStringLiteral("x"));
    single.lineEdit()->end(false);
    type(single.lineEdit(), typed);
    EXPECT_EQ(single.Text(), QStringLiteral("x") + typed);
}

TEST_F(EditFieldText, EditsKeepTheOtherLineEnds)
{
    struct Case {
        const char* name;
        int caret;                       // before the key
        Qt::Key key;
        QString result;
    };
    const QString start = QStringLiteral("a\r\nb\nc\u2029d\re");
    const Case cases[] = {
        {"Delete joins b and c", 3, Qt::Key_Delete, QStringLiteral("a\r\nbc\u2029d\re")},
        {"Backspace joins a and b", 2, Qt::Key_Backspace, QStringLiteral("ab\nc\u2029d\re")},
        {"Return splits c from nothing", 5, Qt::Key_Return, QStringLiteral("a\r\nb\nc\r\u2029d\re")},
        {"Return at the start", 0, Qt::Key_Return, QStringLiteral("\ra\r\nb\nc\u2029d\re")},
        {"Delete of a letter between two breaks", 4, Qt::Key_Delete, QStringLiteral("a\r\nb\n\u2029d\re")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        multi.setText(start);
        multi.setSelStart(c.caret);
        QTest::keyClick(multi.textEdit(), c.key);
        EXPECT_EQ(multi.Text(), c.result);
    }

    // A selection across breaks replaced by pasted text with breaks of its own.
    multi.setText(start);
    multi.setSelStart(1);
    multi.setSelLength(4);  // "\r\nb\nc", in the document a break, b, a break, c
    paste(multi, QStringLiteral("X\nY\r\nZ"));
    EXPECT_EQ(multi.Text(), QStringLiteral("aX\nY\r\nZ\u2029d\re"));

    // Pasted over a selection that starts with a break: the pasted line end wins.
    multi.setText(start);
    multi.setSelStart(1);
    multi.setSelLength(2);  // the CR LF and b
    paste(multi, QStringLiteral("\nQ"));
    EXPECT_EQ(multi.Text(), QStringLiteral("a\nQ\nc\u2029d\re"));

    // A change of font re-lays the text out and keeps every line end.
    multi.setText(start);
    multi.textEdit()->setFont(QFont(QStringLiteral("Liberation Mono"), 20));
    multi.textEdit()->document()->setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 9));
    EXPECT_EQ(multi.Text(), start);
}

} // namespace
