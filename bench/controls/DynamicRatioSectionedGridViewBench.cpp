#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

#include "controls/DynamicRatioSectionedGridView.h"
#include "support/QtBenchmarkMain.h"

namespace {

// A tile that paints a little, like a document tile: a filled card with a title.
class Tile : public QWidget {
public:
    explicit Tile(int number)
        : m_title(QStringLiteral("Document %1").arg(number))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xEA, 0xE8, 0xE2));
        painter.setPen(Qt::darkGray);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignBottom | Qt::AlignLeft, m_title);
    }

private:
    QString m_title;
};

class TileSource : public DynamicRatioSectionedGridViewDelegate {
public:
    explicit TileSource(int count)
    {
        for (int i = 0; i < count; ++i)
            tiles.push_back(new Tile(i));
    }
    std::vector<QPointer<QWidget>> tiles;
    int gridViewNumColumnsInSection(DynamicRatioSectionedGridView*, int) override { return 4; }
    double gridViewHorizontalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return 10; }
    double gridViewVerticalItemSpacingInSection(DynamicRatioSectionedGridView*, int) override { return 20; }
    int gridViewNumItemsInSection(DynamicRatioSectionedGridView*, int) override { return int(tiles.size()); }
    QWidget* gridViewViewForSection(DynamicRatioSectionedGridView*, int, int index) override
    {
        return tiles[size_t(index)];
    }
    QSizeF gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView*, int, int index) override
    {
        return index % 3 == 0 ? QSizeF(235, 260) : QSizeF(235, 200);
    }
};

struct GridPage {
    explicit GridPage(int count)
        : source(count)
    {
        scrollArea.resize(1000, 748);
        grid = new DynamicRatioSectionedGridView;
        grid->resize(970, 10);
        grid->setDelegate(&source);
        grid->reloadViews();
        scrollArea.setWidget(grid);
        scrollArea.show();
        QApplication::processEvents();
    }
    ~GridPage() { grid->setDelegate(nullptr); }
    TileSource source;
    QScrollArea scrollArea;
    DynamicRatioSectionedGridView* grid = nullptr;
};

// A reload after a width change (the lists window resized): every tile moves and changes size.
void BM_GridReload(benchmark::State& state)
{
    GridPage page(int(state.range(0)));
    bool wide = false;
    for (auto _ : state) {
        wide = !wide;
        page.grid->resize(wide ? 970 : 930, page.grid->height());
        page.grid->reloadViews();
        benchmark::DoNotOptimize(page.grid->height());
    }
}
BENCHMARK(BM_GridReload)->Arg(500)->Unit(benchmark::kMillisecond);

// A reload that takes in a fresh set of tiles (the document list rebuilt): reparenting, placing and showing them,
// and releasing the old ones. Making the tiles is the delegate's cost and is not timed.
void BM_GridReloadWithNewTiles(benchmark::State& state)
{
    GridPage page(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        TileSource fresh(int(state.range(0)));
        page.source.tiles.swap(fresh.tiles);
        state.ResumeTiming();
        page.grid->reloadViews();
        state.PauseTiming();
        // The turns that follow in a running application: pending events of the new tiles, then the old tiles go.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridReloadWithNewTiles)->Arg(500)->Unit(benchmark::kMillisecond);

// One scroll step of 40 points followed by a synchronous repaint of the visible area.
void BM_GridScrollStepRepaint(benchmark::State& state)
{
    GridPage page(int(state.range(0)));
    QScrollBar* bar = page.scrollArea.verticalScrollBar();
    int direction = 40;
    for (auto _ : state) {
        if (bar->value() + direction > bar->maximum() || bar->value() + direction < bar->minimum())
            direction = -direction;
        bar->setValue(bar->value() + direction);
        page.scrollArea.viewport()->repaint();
    }
}
BENCHMARK(BM_GridScrollStepRepaint)->Arg(500)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
