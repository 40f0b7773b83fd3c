#include "window/log_lines.h"

#include <algorithm>

namespace pathlux {

QString LogLineText(const Text& line) {
    std::u16string_view body(line);
    const bool ended = body.ends_with(u"\r\n");
    if (ended) {
        body.remove_suffix(2);
    }
    QString text(static_cast<qsizetype>(body.size()) + (ended ? 1 : 0), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char16_t c : body) {
        if (c < 0x20 && c != u'\t') {
            *out++ = QChar(static_cast<char16_t>(0x2400 + c));
        } else if (c == 0x7F) {
            *out++ = QChar(u'\u2421');
        } else if (c >= 0x80) {
            *out++ = QChar(u'\uFFFD');
        } else {
            *out++ = QChar(c);
        }
    }
    if (ended) {
        *out = u'\n';
    }
    return text;
}

LogLines::LogLines(int maxLines, int keptFromLine)
    : maxLines_(maxLines), keptFromLine_(keptFromLine) {}

void LogLines::Reset(const QString& shown) {
    text_ = shown;
    lines_ = static_cast<int>(text_.count(u'\n')) + 1;
    removeFront_ = 0;
    appendFrom_ = text_.size();
}

void LogLines::Rebase(const QString& shown) {
    const QString waiting = text_.sliced(appendFrom_);
    Reset(shown);
    // Line by line, so that the line rule is applied as each would have met it.
    qsizetype from = 0;
    while (from < waiting.size()) {
        const qsizetype lineFeed = waiting.indexOf(u'\n', from);
        const qsizetype end = lineFeed < 0 ? waiting.size() : lineFeed + 1;
        Append(waiting.sliced(from, end - from));
        from = end;
    }
}

void LogLines::Append(const QString& line) {
    if (lines_ > maxLines_) {
        qsizetype cut = 0;
        for (int i = 0; i < keptFromLine_; ++i) {
            cut = text_.indexOf(u'\n', cut) + 1;
        }
        text_.remove(0, cut);
        lines_ -= keptFromLine_;
        // The cut takes what is shown first; past that it eats into the text not yet shown.
        const qsizetype shownLeft = appendFrom_;
        removeFront_ += std::min(cut, shownLeft);
        appendFrom_ = std::max<qsizetype>(0, shownLeft - cut);
    }
    text_ += line;
    lines_ += static_cast<int>(line.count(u'\n'));
}

LogLines::Edit LogLines::TakeEdit() {
    Edit edit{removeFront_, text_.sliced(appendFrom_)};
    removeFront_ = 0;
    appendFrom_ = text_.size();
    return edit;
}

}  // namespace pathlux
