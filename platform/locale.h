#pragma once
// The user's language as the Windows language identifiers that the start-up step compares,
// and the parts of a locale's formats that the log lines use.

#include <QChar>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace userlocale {

// From LC_ALL, LC_MESSAGES, LANG (the first that is set and not empty); C, POSIX or nothing
// count as 1033 (English, United States).
uint16_t userDefaultLangID();
// The same mapping for one locale name such as "de_AT.UTF-8"; unknown languages give 1033.
uint16_t langIdForLocaleName(const QString& name);
// Three-letter abbreviation of a language identifier ("DEU" for 1031, "ENU" for 1033);
// empty for an identifier the table does not know.
QString abbreviatedLanguageName(uint16_t langId);

// The locale's time separator (":" in most, "." in Finnish), from its short time format.
QChar timeSeparator(const QLocale& locale);

} // namespace userlocale
