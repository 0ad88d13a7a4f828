#include "platform/logging.h"

Q_LOGGING_CATEGORY(lcNet, "tallowmere.net", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCopy, "tallowmere.copy", QtInfoMsg)
Q_LOGGING_CATEGORY(lcForms, "tallowmere.forms", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLang, "tallowmere.lang", QtInfoMsg)
