#include "framework/exact_text_edit.h"

#include <QMimeData>
#include <QTextDocument>

#include <algorithm>

namespace fw {
namespace {

// Characters that a text document turns into a paragraph break.
bool breaksParagraph(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::ParagraphSeparator ||
           c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;  // frame marks
}

// The text with one line feed per line end, and the line ends in order;
// CR LF is one line end, as the document takes it.
QString splitLineEnds(const QString& text, std::vector<QString>* ends)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!breaksParagraph(c)) {
            shown += c;
            continue;
        }
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            ends->push_back(QStringLiteral("\r\n"));
            ++i;
        } else {
            ends->push_back(QString(c));
        }
        shown += QLatin1Char('\n');
    }
    return shown;
}

qsizetype breaksIn(const QString& raw, qsizetype from, qsizetype to)
{
    return std::count(raw.begin() + from, raw.begin() + to, QChar::ParagraphSeparator);
}

} // namespace

ExactTextEdit::ExactTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int removed, int added) { contentsChanged(position, removed, added); });
}

QString ExactTextEdit::exactText() const
{
    const QString raw = document()->toRawText();
    QString text;
    text.reserve(raw.size() + qsizetype(m_lineEnds.size()));
    std::size_t next = 0;
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator)
            text += next < m_lineEnds.size() ? m_lineEnds[next++] : QStringLiteral("\r");
        else
            text += c;
    }
    return text;
}

void ExactTextEdit::setExactText(const QString& text)
{
    std::vector<QString> ends;
    const QString shown = splitLineEnds(text, &ends);
    m_setting = true;
    setPlainText(shown);
    m_setting = false;
    m_lineEnds = std::move(ends);
    m_raw = document()->toRawText();
}

void ExactTextEdit::insertFromMimeData(const QMimeData* source)
{
    // The document takes the pasted text's line ends as breaks; keep what they were.
    m_pastedEnds.clear();
    if (source && source->hasText())
        splitLineEnds(source->text(), &m_pastedEnds);
    QPlainTextEdit::insertFromMimeData(source);
    m_pastedEnds.clear();
}

void ExactTextEdit::contentsChanged(int position, int removed, int added)
{
    if (m_setting)
        return;
    const QString raw = document()->toRawText();
    if (raw == m_raw) {
        m_pastedEnds.clear();
        return;  // a change of format only
    }
    const qsizetype oldSize = m_raw.size(), newSize = raw.size();
    // The change as the document reports it, when it adds up; the counts
    // may take in the document's final break, which the raw text lacks.
    qsizetype from = position, oldEnd = qsizetype(position) + removed, newEnd = qsizetype(position) + added;
    oldEnd = std::min(oldEnd, oldSize);
    newEnd = std::min(newEnd, newSize);
    if (from < 0 || from > oldEnd || from > newEnd || oldSize - oldEnd != newSize - newEnd ||
        QStringView(m_raw).left(from) != QStringView(raw).left(from)) {
        // Otherwise the span between what stayed at both ends.
        from = 0;
        const qsizetype shorter = std::min(oldSize, newSize);
        while (from < shorter && m_raw[from] == raw[from])
            ++from;
        qsizetype tail = 0;
        while (tail < oldSize - from && tail < newSize - from && m_raw[oldSize - 1 - tail] == raw[newSize - 1 - tail])
            ++tail;
        oldEnd = oldSize - tail;
        newEnd = newSize - tail;
    }
    // A span reported wider than the change: what stayed at its ends keeps
    // its line ends. Pasted text takes its own, all of them.
    if (m_pastedEnds.empty()) {
        while (from < oldEnd && from < newEnd && m_raw[from] == raw[from])
            ++from;
        while (oldEnd > from && newEnd > from && m_raw[oldEnd - 1] == raw[newEnd - 1])
            --oldEnd, --newEnd;
    }
    const qsizetype first = breaksIn(m_raw, 0, from);
    const qsizetype gone = breaksIn(m_raw, from, oldEnd);
    const qsizetype come = breaksIn(raw, from, newEnd);
    std::vector<QString> fresh;
    if (std::size_t(come) == m_pastedEnds.size())
        fresh = m_pastedEnds;
    else
        fresh.assign(std::size_t(come), QStringLiteral("\r"));
    const auto at = m_lineEnds.begin() + std::min<qsizetype>(first, qsizetype(m_lineEnds.size()));
    const auto last = at + std::min<qsizetype>(gone, m_lineEnds.end() - at);
    m_lineEnds.insert(m_lineEnds.erase(at, last), fresh.begin(), fresh.end());
    m_pastedEnds.clear();
    m_raw = raw;
}

} // namespace fw
