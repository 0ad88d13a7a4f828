// Paint of the ping graph in every style, and adding a value with automatic scaling.
// Run: graph_bench (the median rows are the figures that count).

#include "controls/graphtest.h"
#include "platform/application.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<TVexTrend> pingGraph(TVexTrend::TTrendStyle style, TVexTrend::TTrendOptions options)
{
    auto g = graphtest::pingGraph();
    g->setAutoScale(true);
    g->setStyle(style);
    g->setOptions(options);
    int sum = 0;
    for (int i = 0; i < 100; ++i) {
        const int rtt = 22 + (i * 7919) % 13 + (i % 17 == 5 ? 45 : 0);
        sum += rtt;
        g->AddValue(rtt);
        g->AddTwinValue(int(sum / (i + 1.0) + 0.5));
    }
    g->setGridYstep(g->MaxVal() / 8);
    return g;
}

// The drawing into the off-screen bitmap, created anew each time as a paint does.
void BM_RenderBitmap(benchmark::State& state)
{
    const auto style = TVexTrend::TTrendStyle(state.range(0));
    const auto options = state.range(1) ? TVexTrend::toTwin | TVexTrend::toValues
                                        : TVexTrend::TTrendOptions(TVexTrend::toTwin);
    auto g = pingGraph(style, options);
    for (auto _ : state) {
        QImage img = g->renderImage();
        benchmark::DoNotOptimize(img.constBits());
    }
}

// The whole paint event: bitmap, block copy of the client area and the frame.
void BM_PaintEvent(benchmark::State& state)
{
    auto g = pingGraph(TVexTrend::TTrendStyle(state.range(0)), TVexTrend::toTwin);
    QImage target(585, 181, QImage::Format_RGB32);
    for (auto _ : state) {
        g->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_AddValueAutoScale(benchmark::State& state)
{
    auto g = pingGraph(TVexTrend::tsLine, TVexTrend::toTwin);
    int v = 0;
    for (auto _ : state) {
        g->AddValue(20 + (v++ & 63));
        benchmark::DoNotOptimize(g->MaxVal());
    }
}

void styles(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"style", "labels"});
    for (int s : {TVexTrend::tsBar, TVexTrend::tsLine, TVexTrend::tsScatter, TVexTrend::ts3D,
                  TVexTrend::tsFilled})
        b->Args({s, 0});
    // The two styles that write numbers, with one per column.
    b->Args({TVexTrend::tsBar, 1});
    b->Args({TVexTrend::ts3D, 1});
}

} // namespace

BENCHMARK(BM_RenderBitmap)
    ->Apply(styles)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintEvent)
    ->ArgName("style")
    ->DenseRange(TVexTrend::tsBar, TVexTrend::tsFilled)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddValueAutoScale)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
