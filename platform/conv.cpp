#include "platform/conv.h"

#include "platform/errors.h"
#include "platform/strings.h"

bool tryStrToInt(const QString& text, int32_t& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == n)
        return false;
    int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > int64_t(INT32_MAX) + 1)
            return false;
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX || signedValue < INT32_MIN)
        return false;
    value = int32_t(signedValue);
    return true;
}

int32_t StrToInt(const QString& text)
{
    int32_t value = 0;
    if (!tryStrToInt(text, value))
        throw EConvertError(StringTable::current().format(StringId::InvalidInteger, {text}));
    return value;
}
