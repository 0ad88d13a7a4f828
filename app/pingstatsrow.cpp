#include "app/pingstatsrow.h"

#include "platform/strings.h"

#include <QFontMetrics>
#include <QLabel>

namespace pingstatsrow {

namespace {
// The font the label was described with, kept on the label the first time it is shrunk.
const char* const kDescribedFont = "tallowmereDescribedFont";
} // namespace

pingstatstext::Captions captions()
{
    const StringTable& t = StringTable::current();
    return {t.text(StringId::StatsSentReceivedLost),
            t.text(StringId::StatsLossRun),
            t.text(StringId::StatsLongestRun),
            t.text(StringId::StatsMinAvgMax),
            t.text(StringId::StatsMdev),
            t.text(StringId::StatsJitter),
            t.text(StringId::StatsPercentiles)};
}

void showFitted(QLabel* label, const QString& text)
{
    QVariant described = label->property(kDescribedFont);
    if (!described.isValid()) {
        described = label->font();
        label->setProperty(kDescribedFont, described);
    }
    QFont font = described.value<QFont>();
    const int room = label->contentsRect().width();
    while (font.pixelSize() > kMinPixelSize && QFontMetrics(font).horizontalAdvance(text) > room)
        font.setPixelSize(font.pixelSize() - 1);
    label->setFont(font);
    label->setText(text);
}

void show(QLabel* lossLine, QLabel* roundTripLine, const PingStatistics::Snapshot& s)
{
    const pingstatstext::Captions c = captions();
    showFitted(lossLine, pingstatstext::lossLine(s, c));
    showFitted(roundTripLine, pingstatstext::roundTripLine(s, c));
}

} // namespace pingstatsrow
