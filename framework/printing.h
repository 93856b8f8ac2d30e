#pragma once

// Printing. The print dialog gives the page graphics of a printer: units of
// 1/72 inch from the top-left corner of the printable area. A styled-text
// printer lays a field's text out at a given width (at most the printable
// width), one printed line per line of the text (longer ones wrapped), and
// draws it block by block: whole lines only, a block never taller than the
// printable height, so no line is ever cut at the foot or edge of a page.
//
// A block stands for one page. The printer honours the dialog's page range
// (pages outside it are laid out but not drawn), its page order (with
// "Reverse" the sheets come out last to first) and, when the printer does
// not make copies itself (a PDF file), its copy count: collated copies print
// the whole text again, uncollated ones repeat each page. The pages are laid
// out when the first block is drawn, at that block's place and height.
//
// One printer serves the whole run, so paper size, orientation, margins,
// printer or file, page order and collation stay as the last print dialog
// left them; each dialog opens on every page and one copy.
//
// NextPage asks for a new page; it starts when something is next drawn on a
// sheet that has something on it already, so the page asked for after the
// last block, or after a page left out, never comes out as an empty sheet.

#include "framework/picture.h"

#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QPrinter;
class QTextLayout;

namespace fw {

class EditField;

class PageGraphics : public Graphics {
public:
    PageGraphics(std::shared_ptr<QPrinter> printer, std::unique_ptr<QPainter> painter, int width, int height,
                 bool reversed = false);
    ~PageGraphics() override;

    void NextPage();
    // Ends the print job; false when the printer reported a failure.
    bool Close();
    // The painter to draw the current page with (a page asked for starts now).
    QPainter* pagePainter();
    // Sheets begun so far.
    int pageCount() const { return m_pages; }
    QPrinter* printer() const { return m_printer.get(); }
    // Whether the dialog asked for the last page first.
    bool reversed() const { return m_reversed; }

protected:
    void beforePainting() override;

private:
    std::shared_ptr<QPrinter> m_printer;
    std::unique_ptr<QPainter> m_painter;
    bool m_reversed = false;
    bool m_pagePending = false;
    bool m_sheetUsed = false;
    bool m_closed = false;
    int m_pages = 1;
};

// Shows the print dialog (no page setup, no parent window). Gives nullptr
// when it is cancelled, or when the printer cannot start: then error, when
// given, gets the reason (it stays empty for a cancel).
std::shared_ptr<PageGraphics> OpenPrinterDialog(QString* error = nullptr);

// Tests answer the print dialog: the hook gets the printer as the dialog
// would, may set it up (a PDF file, say), and returns false for Cancel.
using PrinterDialogHook = std::function<bool(QPrinter&)>;
PrinterDialogHook setPrinterDialogHook(PrinterDialogHook hook);
// Tests start each case from a new printer, as a new run does.
void resetKeptPrinter();

class StyledTextPrinter {
public:
    // Line ends are carriage returns (line feeds are taken too); the one
    // that ends the last line starts no line of its own.
    StyledTextPrinter(const QString& text, const QFont& font, PageGraphics* page, int width);
    ~StyledTextPrinter();
    StyledTextPrinter(const StyledTextPrinter&) = delete;
    StyledTextPrinter& operator=(const StyledTextPrinter&) = delete;

    // Draws the next lines that fit whole into height (and into the page
    // below y), the first with its top at y; at least one line, so a line
    // taller than a block still goes.
    void DrawBlock(int x, int y, int height);
    // The framework's EOF: every sheet of every copy has been drawn.
    bool isEOF() const { return m_planned ? m_sheet >= m_sheets.size() : m_lines.empty(); }
    // Lines laid out, and the height of each (page units).
    std::size_t lineCount() const { return m_lines.size(); }

private:
    struct Line {
        std::size_t layout;
        int index;
        double height;
    };
    // Whether the page-th block (from 1) of a copy is to be printed.
    bool wanted(int page) const;
    // Lays the text out in pages of that height and lists the sheets to
    // print, in the order they come out.
    void plan(int y, int height);
    void drawLines(int x, int y, std::size_t from, std::size_t to);

    PageGraphics* m_page;
    std::vector<std::unique_ptr<QTextLayout>> m_layouts;
    std::vector<Line> m_lines;
    std::vector<std::pair<std::size_t, std::size_t>> m_sheets;  // lines [from, to) of each sheet
    std::size_t m_sheet = 0;     // the next sheet to draw
    bool m_planned = false;
    int m_copies = 1;            // collated copies this printer makes
    int m_pageCopies = 1;        // times each page is printed in a row
    std::vector<std::pair<int, int>> m_ranges;  // pages to print; empty: all
};

// The framework's EditField.styledTextPrinter: a printer for the field's
// current text in its own font.
std::shared_ptr<StyledTextPrinter> styledTextPrinter(const EditField* field, PageGraphics* page, int width);

} // namespace fw
