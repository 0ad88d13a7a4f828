#pragma once
// Helpers for driving the copy tab.

#include "formfixture.h"

#include "controls/VexTrend.h"
#include "platform/memo.h"

#include <QLineEdit>
#include <QPushButton>

namespace copytab {

inline void setDestination(TForm1& f, const QString& text)
{
    f.Edit5->clear();
    QTest::keyClicks(f.Edit5, text);
}

inline int newest(const TVexTrend* graph)
{
    return graph->Values()[graph->Divisions() - 1];
}

inline int newestTwin(const TVexTrend* graph)
{
    return graph->TwinValues()[graph->Divisions() - 1];
}

inline QString lastLine(const TMemo* memo)
{
    return memo->Strings(memo->Count() - 1);
}

inline void copyOnce(TForm1& f)
{
    QTest::mouseClick(f.findChild<QPushButton*>(QStringLiteral("Button5")), Qt::LeftButton);
}

} // namespace copytab
