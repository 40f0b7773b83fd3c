#include "window/log_lines.h"

#include <gtest/gtest.h>

#include <random>

namespace pathlux {
namespace {

constexpr int kMaxLines = 30;
constexpr int kKeptFromLine = 20;

// The control as the log rule describes it, one line at a time.
void AppendToControl(QString& control, const QString& line) {
    if (control.count(u'\n') + 1 > kMaxLines) {
        qsizetype cut = 0;
        for (int i = 0; i < kKeptFromLine; ++i) {
            cut = control.indexOf(u'\n', cut) + 1;
        }
        control.remove(0, cut);
    }
    control += line;
}

// Lines appended in bursts of a given size, each burst shown as one edit: what is shown must be
// what the control would show had every line reached it on its own.
TEST(log_lines_test, BurstsShowWhatSingleLinesWould) {
    struct BurstCase {
        const char* legend;
        int burst;      // lines between edits
        int lines;      // in all
        bool ragged;    // lines of random length, some without a line break (the cap)
        QString start;  // what the control showed before
    };
    const BurstCase cases[] = {
        {"one line an edit", 1, 200, false, QString()},
        {"a second's burst", 7, 200, true, QString()},
        {"exactly the log's length", 30, 300, false, QString()},
        {"a flood: more than a log's worth an edit", 137, 2000, true, QString()},
        {"starting from text already shown", 5, 120, true, QStringLiteral("old\nlines\n")},
    };
    std::mt19937 random(42);
    for (const BurstCase& c : cases) {
        SCOPED_TRACE(c.legend);
        LogLines log(kMaxLines, kKeptFromLine);
        log.Reset(c.start);
        EXPECT_FALSE(log.HasEdit()) << "nothing appended is no edit";
        QString control = c.start;  // the reference
        QString shown = c.start;    // the control fed by edits
        for (int i = 0; i < c.lines; ++i) {
            QString line = QStringLiteral("line %1").arg(i);
            if (c.ragged) {
                line += QString(static_cast<qsizetype>(random() % 90), u'x');
            }
            if (!c.ragged || random() % 8 != 0) {
                line += u'\n';
            }
            log.Append(line);
            AppendToControl(control, line);
            if ((i + 1) % c.burst == 0 || i + 1 == c.lines) {
                ASSERT_TRUE(log.HasEdit());
                const LogLines::Edit edit = log.TakeEdit();
                shown.remove(0, edit.removeFront);
                shown += edit.append;
                ASSERT_EQ(shown, control) << "after the edit at line " << i;
            }
        }
    }
}

}  // namespace
}  // namespace pathlux
