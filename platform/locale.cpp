#include "platform/locale.h"

#include <QRegularExpression>

namespace userlocale {

namespace {

struct LocaleRow
{
    const char* name; // language_TERRITORY, or a bare language for its main country
    uint16_t id;
    const char* abbreviation;
};

// The identifiers and abbreviations of the common Windows locales.
constexpr LocaleRow kLocales[] = {
    {"de_DE", 1031, "DEU"}, {"de_CH", 2055, "DES"}, {"de_AT", 3079, "DEA"}, {"de_LU", 4103, "DEL"},
    {"de_LI", 5127, "DEC"}, {"de_BE", 2067, "NLB"}, {"de", 1031, "DEU"},    {"en_US", 1033, "ENU"},
    {"en_GB", 2057, "ENG"}, {"en_AU", 3081, "ENA"}, {"en_CA", 4105, "ENC"}, {"en_NZ", 5129, "ENZ"},
    {"en_IE", 6153, "ENI"}, {"en", 1033, "ENU"},    {"fr_FR", 1036, "FRA"}, {"fr_BE", 2060, "FRB"},
    {"fr_CA", 3084, "FRC"}, {"fr_CH", 4108, "FRS"}, {"fr", 1036, "FRA"},    {"it_IT", 1040, "ITA"},
    {"it", 1040, "ITA"},    {"es_ES", 3082, "ESN"}, {"es", 3082, "ESN"},    {"nl_NL", 1043, "NLD"},
    {"nl_BE", 2067, "NLB"}, {"nl", 1043, "NLD"},    {"pt_BR", 1046, "PTB"}, {"pt_PT", 2070, "PTG"},
    {"pt", 2070, "PTG"},    {"sv_SE", 1053, "SVE"}, {"sv", 1053, "SVE"},    {"da_DK", 1030, "DAN"},
    {"da", 1030, "DAN"},    {"nb_NO", 1044, "NOR"}, {"fi_FI", 1035, "FIN"}, {"fi", 1035, "FIN"},
    {"pl_PL", 1045, "PLK"}, {"pl", 1045, "PLK"},    {"cs_CZ", 1029, "CSY"}, {"cs", 1029, "CSY"},
    {"ru_RU", 1049, "RUS"}, {"ru", 1049, "RUS"},    {"ja_JP", 1041, "JPN"}, {"ja", 1041, "JPN"},
    {"zh_CN", 2052, "CHS"}, {"tr_TR", 1055, "TRK"}, {"hu_HU", 1038, "HUN"}, {"el_GR", 1032, "ELL"},
};

} // namespace

uint16_t langIdForLocaleName(const QString& raw)
{
    QString name = raw;
    // Drop ".charset" and "@modifier".
    name = name.section(u'.', 0, 0).section(u'@', 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return 1033;
    const QString language = name.section(u'_', 0, 0);
    for (const LocaleRow& row : kLocales) {
        if (name == QLatin1String(row.name))
            return row.id;
    }
    for (const LocaleRow& row : kLocales) {
        if (language == QLatin1String(row.name))
            return row.id;
    }
    return 1033;
}

uint16_t userDefaultLangID()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(var);
        if (!value.isEmpty())
            return langIdForLocaleName(value);
    }
    return 1033;
}

QString abbreviatedLanguageName(uint16_t langId)
{
    for (const LocaleRow& row : kLocales) {
        if (row.id == langId)
            return QString::fromLatin1(row.abbreviation);
    }
    return {};
}

QChar timeSeparator(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hour = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hour >= 0) {
        for (qsizetype i = hour; i < format.size(); ++i) {
            const QChar c = format[i];
            if (c == u'h' || c == u'H')
                continue;
            if (!c.isLetterOrNumber() && !c.isSpace() && c != u'\'')
                return c;
            break;
        }
    }
    return u':';
}

} // namespace userlocale
