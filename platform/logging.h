#pragma once
// The program's diagnostic categories. A failure the program works around (an option the
// kernel refused, a module that could not be loaded, a reason behind an operator's message)
// is logged here as a warning, so nothing is dropped without a trace; the operator's texts
// are unaffected. Debug output is off unless QT_LOGGING_RULES turns it on.

#include <QLoggingCategory>

// Echo sessions, name look-ups and the workers that run them.
Q_DECLARE_LOGGING_CATEGORY(lcNet)
// Copies to shares and the deletion of their files; the timing of every copy at debug level.
Q_DECLARE_LOGGING_CATEGORY(lcCopy)
// Reading window descriptions and running their handlers.
Q_DECLARE_LOGGING_CATEGORY(lcForms)
// Language modules and the windows re-read from them.
Q_DECLARE_LOGGING_CATEGORY(lcLang)
