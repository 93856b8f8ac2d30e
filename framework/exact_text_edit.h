#pragma once

// A multi-line text editor that gives back exactly the text it was given or
// that was typed or pasted into it, every character.
//
// A QTextDocument keeps one kind of paragraph end: a carriage return, a line
// feed, CR LF and U+2029 all become the same break, and its plain text turns
// no-break spaces into blanks and U+2028 into line feeds. This editor reads
// the document's raw text instead, and remembers for each paragraph break the
// line end that made it, following every edit; a break typed with Return is a
// carriage return, the line end of the framework's text.

#include <QPlainTextEdit>
#include <QString>

#include <vector>

namespace fw {

class ExactTextEdit : public QPlainTextEdit {
public:
    explicit ExactTextEdit(QWidget* parent = nullptr);

    QString exactText() const;
    void setExactText(const QString& text);

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void contentsChanged(int position, int removed, int added);

    std::vector<QString> m_lineEnds;    // one per paragraph break, in order
    std::vector<QString> m_pastedEnds;  // those of the text being pasted
    QString m_raw;                      // the raw text after the last change
    bool m_setting = false;
};

} // namespace fw
