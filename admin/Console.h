#pragma once

#include <QIODevice>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace kesola {

// Where kesola-admin writes. A file or a pipe gets UTF-8 on both platforms, so a scheduled task's log has one
// encoding whatever wrote it. A Windows console gets the console's own code page (cp932 on a Japanese Windows),
// which it shows as it shows every other program's output; its code page is left as it was for the commands that
// follow. A Linux terminal takes UTF-8.
class ConsoleStreams {
  public:
    ConsoleStreams();
    QTextStream& out() { return out_; }
    QTextStream& err() { return err_; }

  private:
    std::unique_ptr<QIODevice> outDevice_;
    std::unique_ptr<QIODevice> errDevice_;
    QTextStream out_;
    QTextStream err_;
};

// The device for stdout or stderr: ConsoleLinux.cpp and ConsoleWindows.cpp, one of which the build chooses.
std::unique_ptr<QIODevice> openStandardStream(std::FILE* stream);

}  // namespace kesola
