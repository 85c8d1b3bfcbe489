// The lines of a multi-line text box: each line is one text block; the block after the last
// line break is empty unless the user typed into it.
#include "app/memo_lines.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace comsetup {

int MemoLines::Count() const {
    const QTextDocument* doc = memo_.document();
    const int blocks = doc->blockCount();
    return doc->lastBlock().length() <= 1 ? blocks - 1 : blocks;
}

QString MemoLines::Line(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return memo_.document()->findBlockByNumber(index).text();
}

void MemoLines::Replace(int index, const QString& line) {
    if (index < 0 || index >= Count())
        return;
    QTextCursor cursor(memo_.document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line);
}

void MemoLines::Add(const QString& line) {
    QTextDocument* doc = memo_.document();
    // A log being watched follows its new lines, unless the user has scrolled up to read.
    QScrollBar* bar = memo_.verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    QString text;
    if (doc->lastBlock().length() > 1)
        text += QChar::LineFeed; // finish the line the user left open
    text += line;
    text += QChar::LineFeed;
    cursor.insertText(text);
    if (following)
        bar->setValue(bar->maximum());
}

void MemoLines::Clear() {
    memo_.clear();
}

} // namespace comsetup
