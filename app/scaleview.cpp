#include "app/scaleview.h"

#include "controls/VexTrend.h"

#include <QLabel>

namespace scaleview {

void show(TVexTrend* graph, const Labels& labels, const copymath::ScaleLabels& scale)
{
    // A step of 0 (a maximum of 4 or less) is ignored by the graph, which keeps its own.
    graph->setGridYstep(scale.gridStep);
    const QString texts[] = {scale.top, scale.threeQuarter, scale.half, scale.quarter};
    for (size_t i = 0; i < labels.size(); ++i)
        labels[i]->setText(texts[i]);
}

} // namespace scaleview
