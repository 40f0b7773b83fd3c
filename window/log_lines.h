// The log's text as its edit control keeps it, held in memory so that the lines of a burst reach
// the control as one edit: when the text holds more than maxLines lines (the empty one after the
// last line break counted), the lines before keptFromLine go, then the new line is appended.
#pragma once

#include <QString>

#include "nmea/text.h"

namespace pathlux {

// A log line as the edit control shows it: the closing CR LF becomes the line break; control
// characters show as their pictures (a zero byte would otherwise hide the rest of the line) and
// bytes above 0x7F as the replacement character.
QString LogLineText(const Text& line);

class LogLines {
  public:
    LogLines(int maxLines, int keptFromLine);

    // Starts again from the text the control shows now, with nothing waiting.
    void Reset(const QString& shown);
    // The control's text was changed by something else: it is the text shown now, and the lines
    // still waiting follow it, so that none is lost.
    void Rebase(const QString& shown);
    // One line as the control shows it, its line break included.
    void Append(const QString& line);

    // What turns the text the control showed into the current one: drop `removeFront`
    // characters from its start, then append `append`. Taking it counts the text as shown.
    struct Edit {
        qsizetype removeFront = 0;
        QString append;
    };
    bool HasEdit() const { return removeFront_ > 0 || appendFrom_ < text_.size(); }
    Edit TakeEdit();

  private:
    int maxLines_;
    int keptFromLine_;
    QString text_;
    int lines_ = 1;
    qsizetype removeFront_ = 0;  // of the text shown
    qsizetype appendFrom_ = 0;   // where the text not yet shown starts in text_
};

}  // namespace pathlux
