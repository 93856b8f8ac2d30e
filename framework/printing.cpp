#include "framework/printing.h"

#include "framework/controls.h"
#include "framework/core/nil.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageRanges>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace fw {
namespace {

PrinterDialogHook& dialogHook()
{
    static PrinterDialogHook hook;
    return hook;
}

// Margins that leave a printable area of at least 540 x 720 points on both
// Letter and A4 paper.
const QMarginsF kMargins(27, 36, 27, 36);

QStringList splitLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\r'));
    QStringList lines = text.split(QLatin1Char('\r'));
    // The end of the last line starts no line of its own.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The printer of the whole run: the next print starts from the last one's
// paper, orientation, margins and printer.
std::shared_ptr<QPrinter>& keptPrinterSlot()
{
    static std::shared_ptr<QPrinter> printer;
    return printer;
}

std::shared_ptr<QPrinter> keptPrinter()
{
    std::shared_ptr<QPrinter>& printer = keptPrinterSlot();
    if (!printer) {
        printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
        printer->setPageMargins(kMargins, QPageLayout::Point);
    }
    return printer;
}

} // namespace

PageGraphics::PageGraphics(std::shared_ptr<QPrinter> printer, std::unique_ptr<QPainter> painter, int width,
                           int height, bool reversed)
    : Graphics(painter.get(), width, height),
      m_printer(std::move(printer)),
      m_painter(std::move(painter)),
      m_reversed(reversed)
{
}

PageGraphics::~PageGraphics()
{
    Close();
}

void PageGraphics::NextPage()
{
    m_pagePending = true;
}

void PageGraphics::beforePainting()
{
    if (m_closed)
        return;
    if (m_pagePending && m_sheetUsed) {
        m_printer->newPage();
        ++m_pages;
    }
    m_pagePending = false;
    m_sheetUsed = true;
}

QPainter* PageGraphics::pagePainter()
{
    beforePainting();
    return m_painter.get();
}

bool PageGraphics::Close()
{
    if (m_closed)
        return m_printer->printerState() != QPrinter::Error;
    m_closed = true;
    const bool ended = m_painter->end();
    const bool ok = ended && m_printer->printerState() != QPrinter::Error &&
                    m_printer->printerState() != QPrinter::Aborted;
    // The next dialog shows the order chosen in this one.
    if (m_reversed)
        m_printer->setPageOrder(QPrinter::LastPageFirst);
    return ok;
}

std::shared_ptr<PageGraphics> OpenPrinterDialog(QString* error)
{
    if (error)
        error->clear();
    std::shared_ptr<QPrinter> printer = keptPrinter();
    // A job's own choices: every page, one copy.
    printer->setPrintRange(QPrinter::AllPages);
    printer->setPageRanges(QPageRanges());
    printer->setCopyCount(1);
    bool accepted = false;
    if (dialogHook()) {
        accepted = dialogHook()(*printer);
    } else {
        QPrintDialog dialog(printer.get(), nullptr);
        // The page range, the copies and the page order are honoured (see
        // StyledTextPrinter), duplex and colour mode by the print service;
        // a selection or a "current page" means nothing here.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return nullptr;

    // The sheets are drawn last to first here; the print service must not
    // turn them round a second time.
    const bool reversed = printer->pageOrder() == QPrinter::LastPageFirst;
    printer->setPageOrder(QPrinter::FirstPageFirst);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer.get())) {
        if (reversed)
            printer->setPageOrder(QPrinter::LastPageFirst);
        if (error) {
            const QString file = printer->outputFileName();
            *error = file.isEmpty() ? QStringLiteral("the printer \"%1\" could not be started").arg(printer->printerName())
                                    : QStringLiteral("the file \"%1\" could not be written").arg(file);
        }
        return nullptr;
    }
    // One unit is 1/72 inch; the origin is the printable area's top left.
    painter->scale(printer->resolution() / 72.0, printer->resolution() / 72.0);
    const QRectF area = printer->pageLayout().paintRect(QPageLayout::Point);
    const int width = int(std::floor(area.width()));
    const int height = int(std::floor(area.height()));
    return std::make_shared<PageGraphics>(std::move(printer), std::move(painter), width, height, reversed);
}

void resetKeptPrinter()
{
    keptPrinterSlot().reset();
}

PrinterDialogHook setPrinterDialogHook(PrinterDialogHook hook)
{
    PrinterDialogHook old = std::move(dialogHook());
    dialogHook() = std::move(hook);
    return old;
}

StyledTextPrinter::StyledTextPrinter(const QString& text, const QFont& font, PageGraphics* page, int width)
    : m_page(page)
{
    if (const QPrinter* printer = page ? page->printer() : nullptr) {
        // A PDF file makes no copies of its own: they are drawn here.
        if (!printer->supportsMultipleCopies() && printer->copyCount() > 1) {
            (printer->collateCopies() ? m_copies : m_pageCopies) = printer->copyCount();
        }
        if (printer->printRange() == QPrinter::PageRange) {
            for (const QPageRanges::Range& r : printer->pageRanges().toRangeList())
                m_ranges.emplace_back(r.from, r.to);
        }
        width = std::min(width, page->Width());
    }
    QFont f = font;
    // Unhinted outlines: the same glyph places on the page as in the layout.
    f.setHintingPreference(QFont::PreferNoHinting);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setUseDesignMetrics(true);
    const double lineWidth = std::max(1, width);
    for (const QString& paragraph : splitLines(text)) {
        auto layout = std::make_unique<QTextLayout>(paragraph, f);
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        double y = 0;
        int index = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(lineWidth);
            line.setPosition(QPointF(0, y));
            y += line.height();
            m_lines.push_back({m_layouts.size(), index++, line.height()});
        }
        layout->endLayout();
        m_layouts.push_back(std::move(layout));
    }
}

StyledTextPrinter::~StyledTextPrinter() = default;

bool StyledTextPrinter::wanted(int page) const
{
    if (m_ranges.empty())
        return true;
    return std::any_of(m_ranges.begin(), m_ranges.end(),
                       [page](const std::pair<int, int>& r) { return page >= r.first && page <= r.second; });
}

void StyledTextPrinter::drawLines(int x, int y, std::size_t from, std::size_t to)
{
    QPainter* painter = nn(m_page->pagePainter());
    painter->save();
    painter->setPen(Qt::black);
    double used = 0;
    for (std::size_t i = from; i < to; ++i) {
        const Line& entry = m_lines[i];
        const QTextLine line = m_layouts[entry.layout]->lineAt(entry.index);
        line.draw(painter, QPointF(x, y + used - line.y()));
        used += entry.height;
    }
    painter->restore();
}

void StyledTextPrinter::plan(int y, int height)
{
    m_planned = true;
    // Never below the foot of the printable area.
    height = std::min(height, m_page->Height() - y);
    std::vector<std::pair<std::size_t, std::size_t>> pages;
    for (std::size_t next = 0; next < m_lines.size();) {
        const std::size_t first = next;
        double used = 0;
        do {
            const double h = m_lines[next].height;
            if (used > 0 && used + h > height)
                break;
            used += h;
            ++next;
        } while (next < m_lines.size());
        pages.emplace_back(first, next);
    }
    // The sheets of one copy, then the copies.
    std::vector<std::pair<std::size_t, std::size_t>> copy;
    for (std::size_t p = 0; p < pages.size(); ++p)
        if (wanted(int(p) + 1))
            for (int i = 0; i < m_pageCopies; ++i)
                copy.push_back(pages[p]);
    for (int c = 0; c < m_copies; ++c)
        m_sheets.insert(m_sheets.end(), copy.begin(), copy.end());
    if (m_page->reversed())
        std::reverse(m_sheets.begin(), m_sheets.end());
}

void StyledTextPrinter::DrawBlock(int x, int y, int height)
{
    nn(m_page);
    if (!m_planned)
        plan(y, height);
    if (m_sheet >= m_sheets.size())
        return;
    const auto [from, to] = m_sheets[m_sheet++];
    drawLines(x, y, from, to);
}

std::shared_ptr<StyledTextPrinter> styledTextPrinter(const EditField* field, PageGraphics* page, int width)
{
    nn(field);
    return std::make_shared<StyledTextPrinter>(field->Text(), field->font(), nn(page), width);
}

} // namespace fw
