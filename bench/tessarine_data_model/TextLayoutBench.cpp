#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include <QGuiApplication>

#include "tessarine_data_model/TextLayout.h"
#include "support/QtBenchmarkMain.h"

namespace {

TextAttributes attributesOfSize(double size)
{
    TextAttributes attributes;
    attributes.fontName = QStringLiteral("HelveticaNeue");
    attributes.fontSize = size;
    return attributes;
}

// `paragraphs` lines of `line`; with `runPerParagraph` each paragraph (with its break) is a run of its own
// (neighbours differ in size so they never merge), else the whole text is one run.
AttributedText paragraphsText(int paragraphs, const QString& line, bool runPerParagraph)
{
    QString string;
    string.reserve(qsizetype(paragraphs) * (line.size() + 1));
    for (int i = 0; i < paragraphs; ++i)
        string += line + u'\n';
    AttributedText text(string, attributesOfSize(20));
    if (runPerParagraph) {
        const qsizetype each = line.size() + 1;
        for (int i = 1; i < paragraphs; i += 2)
            text.setAttributes(attributesOfSize(21), {qsizetype(i) * each, each});
    }
    return text;
}

double secondsToLayOut(const AttributedText& text, double width)
{
    const auto start = std::chrono::steady_clock::now();
    const TextLayout layout(text, width);
    benchmark::DoNotOptimize(layout.usedRect());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// 160,000 paragraphs of one letter, each its own run, against the same text as one run: the layout walks the runs
// alongside the paragraphs, so the two should cost about the same (at most twice).
void BM_ParagraphsEachTheirOwnRun(benchmark::State& state)
{
    const int paragraphs = int(state.range(0));
    const AttributedText ownRuns = paragraphsText(paragraphs, QStringLiteral("a"), true);
    const AttributedText oneRun = paragraphsText(paragraphs, QStringLiteral("a"), false);
    double own = 0;
    double one = 0;
    for (auto _ : state) {
        own += secondsToLayOut(ownRuns, 300);
        one += secondsToLayOut(oneRun, 300);
    }
    const double count = double(state.iterations());
    state.counters["own_runs_s"] = own / count;
    state.counters["one_run_s"] = one / count;
    state.counters["ratio"] = own / one;
    std::fprintf(stderr, "paragraphs=%d own_runs_s=%.3f one_run_s=%.3f ratio=%.2f (at most 2)\n", paragraphs,
                 own / count, one / count, own / one);
    if (own > 2 * one)
        state.SkipWithError("a run per paragraph costs more than twice one run");
}
BENCHMARK(BM_ParagraphsEachTheirOwnRun)->Arg(20000)->Arg(160000)->Unit(benchmark::kSecond)->Iterations(1);

// A text of 10,000 short styled paragraphs at the width of a text box: laid out whole (a text opened, a box resized),
// and again after each keystroke in its middle as the editor does it, from the layout before the keystroke. One
// frame is 16 ms.
void BM_KeystrokeLayoutOf10000Paragraphs(benchmark::State& state)
{
    AttributedText text = paragraphsText(10000, QStringLiteral("A paragraph of notes, a few words long."), true);
    const double whole = secondsToLayOut(text, 590) * 1000; // also warms the font and shaping caches
    auto layout = std::make_unique<TextLayout>(text, 590);
    const qsizetype middle = text.length() / 2;
    double total = 0;
    qint64 count = 0;
    for (auto _ : state) {
        // Typing and deleting keep the text at its size.
        if (count % 2 == 0)
            text.replaceCharacters({middle, 0}, QStringLiteral("b"));
        else
            text.replaceCharacters({middle, 1}, QString());
        const auto start = std::chrono::steady_clock::now();
        layout = std::make_unique<TextLayout>(text, 590, TextFrameAttributes(), std::move(*layout));
        benchmark::DoNotOptimize(layout->usedRect());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++count;
    }
    const double keystroke = total / double(std::max<qint64>(count, 1));
    state.counters["whole_layout_ms"] = whole;
    state.counters["keystroke_layout_ms"] = keystroke * 1000;
    std::fprintf(stderr, "whole_layout_ms=%.3f keystroke_layout_ms=%.3f (at most 16)\n", whole, keystroke * 1000);
    if (keystroke > 0.016)
        state.SkipWithError("a keystroke's layout takes more than a frame");
}
BENCHMARK(BM_KeystrokeLayoutOf10000Paragraphs)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
