#pragma once
// There is no registry on this system: the start-up step that opens the program's key is
// kept as a call that does nothing and reports nothing.

#include <QString>

namespace registry {
inline void openOrCreateMachineKey(const QString& /*key*/) {}
} // namespace registry
