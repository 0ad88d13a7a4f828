#pragma once
// Opening an address (a web page, a mail to someone, a file) with the desktop's handler for
// it. xdg-open stands in for the shell's "open" verb; its exit status stands in for the
// shell's result.

#include <QString>

namespace shell {

// The code of a failure to start xdg-open at all (not installed, not executable), the
// status a shell gives a command it cannot find.
constexpr int kCannotStart = 127;

// Runs xdg-open on address and waits for it to hand the address over. Returns 0 on success,
// otherwise xdg-open's exit status (kCannotStart when it could not be started). A handler
// that is still busy after a few seconds counts as started; it goes on by itself.
int open(const QString& address);

// The same, and on failure throws TmError "ShellExecute "<shown>" Failed with Error: <code>",
// naming shown (the address as the user knows it) rather than the full address.
void openOrThrow(const QString& address, const QString& shown);

} // namespace shell
