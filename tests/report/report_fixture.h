#pragma once

// What the Output window tests share: answers for the save and print
// dialogs, the message boxes said during a test, files read back byte for
// byte, and a printed PDF read back line by line with pdftotext.

#include "framework/application.h"
#include "framework/dialogs.h"
#include "framework/printing.h"
#include "framework/window.h"
#include "report/window4.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

// Test messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace quorvel::test {

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// A printed line as pdftotext finds it: its page (from 1), its words joined
// by single blanks, and the top and bottom of its words in points.
struct PrintedLine {
    int page;
    QString text;
    double top, bottom, right;
};

// The lines of a PDF, page by page, top to bottom; empty when pdftotext is
// missing or fails.
inline std::vector<PrintedLine> readPdfLines(const QString& pdf, int* pages = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30'000) || p.exitCode() != 0)
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression tag(
        QStringLiteral(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    struct Word {
        int page;
        double left, top, right, bottom;
        QString text;
    };
    std::vector<Word> all;
    int page = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            ++page;
            continue;
        }
        QString word = m.captured(5);
        word.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
            .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        all.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                       m.captured(4).toDouble(), word});
    }
    // pdftotext may give a column of words apart from its line: order the
    // words by page, line and place on the line.
    std::stable_sort(all.begin(), all.end(), [](const Word& a, const Word& b) {
        if (a.page != b.page)
            return a.page < b.page;
        if (std::abs(a.top - b.top) >= 0.5)
            return a.top < b.top;
        return a.left < b.left;
    });
    std::vector<PrintedLine> lines;
    for (const Word& w : all) {
        if (!lines.empty() && lines.back().page == w.page && std::abs(lines.back().top - w.top) < 0.5) {
            lines.back().text += QLatin1Char(' ') + w.text;
            lines.back().bottom = std::max(lines.back().bottom, w.bottom);
            lines.back().right = std::max(lines.back().right, w.right);
        } else {
            lines.push_back({w.page, w.text, w.top, w.bottom, w.right});
        }
    }
    if (pages)
        *pages = page;
    return lines;
}

// A line of text as pdftotext gives it back: words joined by single blanks.
inline QString words(const QString& line)
{
    return line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

class OutputWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previousMsgBox = fw::setMsgBoxHook([this](const QString& text) { messages << text; });
        previousSave = fw::setSaveDialogHook([this](const QString& type, const QString& name) {
            offered << type + QLatin1Char('|') + name;
            return savePath;
        });
        previousPrint = fw::setPrinterDialogHook([this](QPrinter& printer) {
            ++printDialogs;
            if (pdfPath.isEmpty())
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdfPath);
            if (setUpPrinter)
                setUpPrinter(printer);
            return true;
        });
    }

    void TearDown() override
    {
        fw::Window::releaseAll();
        fw::resetKeptPrinter();
        fw::setMsgBoxHook(previousMsgBox);
        fw::setSaveDialogHook(previousSave);
        fw::setPrinterDialogHook(previousPrint);
    }

    static bool havePdfToText() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

    Window4* window() { return Window4::instance(); }
    void save() { window()->PushButton2()->click(); }
    void print() { window()->PushButton1()->click(); }

    QTemporaryDir dir;
    QString savePath;  // what the save dialog answers; empty: Cancel
    QString pdfPath;   // where the print dialog prints; empty: Cancel
    std::function<void(QPrinter&)> setUpPrinter;  // paper, copies, pages as chosen in the dialog
    QStringList messages, offered;
    int printDialogs = 0;
    std::function<void(const QString&)> previousMsgBox;
    fw::SaveDialogHook previousSave;
    fw::PrinterDialogHook previousPrint;
};

} // namespace quorvel::test
