#pragma once
// The scale beside a trend graph as the window shows it: four labels, top first, and the
// graph's horizontal grid step. The Ping tab and both graphs of the copy tab use it.

#include "app/copymath.h"

#include <array>

class QLabel;
class TVexTrend;

namespace scaleview {

using Labels = std::array<QLabel*, 4>; // top, three quarters, half, quarter

void show(TVexTrend* graph, const Labels& labels, const copymath::ScaleLabels& scale);

} // namespace scaleview
