#pragma once
// Opening an address (a web page, a mail to someone, a file) with the desktop's handler for
// it. xdg-open stands in for the shell's "open" verb; its exit status stands in for the
// shell's result. The window never waits for it: xdg-open may take seconds to hand the
// address over, and its verdict arrives when it ends.

#include <QString>

namespace shell {

// The code of a failure to start xdg-open at all (not installed, not executable), the
// status a shell gives a command it cannot find.
constexpr int kCannotStart = 127;

// The message of a refused open, naming shown (the address as the user knows it).
QString failureText(const QString& shown, int code);

// Starts xdg-open on address and returns at once. Throws TmError with failureText() when it
// cannot be started; when it ends with another status than 0, the application's error
// handler shows failureText() with that status.
void open(const QString& address, const QString& shown);

// How many started opens have not ended yet.
int pendingOpens();

} // namespace shell
