// The lines of a multi-line text box, counted the way the download's log needs them: every
// added line ends with a line break, an empty box has no line, and text that the user typed
// after the last line break counts as one more line.
#pragma once

#include <QString>

class QPlainTextEdit;

namespace comsetup {

class MemoLines {
public:
    explicit MemoLines(QPlainTextEdit& memo) : memo_(memo) {}

    // Adds `line` as the last line (after a line break if the last line is unfinished).
    void Add(const QString& line);
    int Count() const;
    // The line at `index`; an empty text for an index out of range.
    QString Line(int index) const;
    // Replaces the line at `index` (nothing for an index out of range).
    void Replace(int index, const QString& line);
    void Clear();

private:
    QPlainTextEdit& memo_;
};

} // namespace comsetup
