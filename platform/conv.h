#pragma once
// Number conversions that fail loudly, as the operator's typed text may be anything.

#include <QString>
#include <cstdint>

// Decimal integer with optional sign; leading blanks are skipped, anything else fails with
// EConvertError carrying the string table's message.
int32_t StrToInt(const QString& text);

// The same, without raising: false when the text is not a 32-bit decimal integer.
bool tryStrToInt(const QString& text, int32_t& value);
