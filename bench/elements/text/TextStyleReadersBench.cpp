// The four style readers as the inspector runs them after a selection change, over a text of 200,000 characters in
// 20,000 runs and 2,000 paragraphs (the whole text and its middle half); all four together should fit one 16 ms
// frame. Also prints the time to build the font pickers' catalogue from the document font list, cold and warm.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include <QGuiApplication>

#include "elements/text/FontList.h"
#include "elements/text/QVR_TextHelperUtils.h"
#include "foundation/Tessutils.h"
#include "tessarine_data_model/AttachedTextView.h"
#include "tessarine_data_model/QVR_TextStorage.h"

namespace {

class BenchTextView : public AttachedTextView {
public:
    explicit BenchTextView(const AttributedText& text)
        : m_storage(std::make_shared<QVR_TextStorage>(text))
    {
    }
    TextRange selectedRange() const override { return m_selection; }
    bool isEditable() const override { return true; }
    TextAttributes typingAttributes() const override { return {}; }
    void setTypingAttributes(const TextAttributes&) override {}
    QColor insertionPointColor() const override { return Qt::black; }
    std::shared_ptr<QVR_TextStorage> textStorage() const override { return m_storage; }
    QRectF usedRectForWidth(double) override { return {}; }
    TextRange m_selection;

private:
    std::shared_ptr<QVR_TextStorage> m_storage;
};

// Every run has the same colour, font and size, so those readers walk all of them; the runs differ in alignment
// inside paragraphs only, so the alignment reader walks every paragraph too.
AttributedText largeText()
{
    QString string;
    string.reserve(200000);
    for (int paragraph = 0; paragraph < 2000; ++paragraph)
        string += QString(99, QLatin1Char('x')) + QLatin1Char('\n');
    TextAttributes attributes;
    attributes.fontName = QStringLiteral("Courier");
    attributes.fontSize = 12;
    attributes.foregroundColor = Qt::black;
    attributes.alignment = TextAttributes::Left;
    AttributedText text(string, attributes);
    attributes.alignment = TextAttributes::Right;
    for (qsizetype start = 10; start < string.size(); start += 20) {
        if (start % 100 != 0)
            text.setAttributes(attributes, {start, 10});
    }
    return text;
}

void runReaders(benchmark::State& state, TextRange selection)
{
    static BenchTextView view(largeText());
    view.m_selection = selection;
    state.counters["runs"] = double(view.textStorage()->attributedString().runs().size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(QVR_TextHelperUtils::colorContextFromTextView(&view));
        benchmark::DoNotOptimize(QVR_TextHelperUtils::fontNameContextFromTextView(&view));
        benchmark::DoNotOptimize(QVR_TextHelperUtils::fontSizeContextFromTextView(&view));
        benchmark::DoNotOptimize(QVR_TextHelperUtils::textAlignmentContextFromTextView(&view));
    }
}

void BM_FourReadersWholeText(benchmark::State& state)
{
    runReaders(state, {0, 200000});
}
BENCHMARK(BM_FourReadersWholeText)->Unit(benchmark::kMillisecond);

void BM_FourReadersMiddleHalf(benchmark::State& state)
{
    runReaders(state, {50000, 100000});
}
BENCHMARK(BM_FourReadersMiddleHalf)->Unit(benchmark::kMillisecond);

double buildCatalogueMilliseconds()
{
    const auto start = std::chrono::steady_clock::now();
    FontList catalogue;
    catalogue.setList(FontList::documentFontsForNames(Tessutils::zeriDefaultFontList(), 16));
    benchmark::DoNotOptimize(catalogue.familyList());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double cold = buildCatalogueMilliseconds();
    const double warm = buildCatalogueMilliseconds();
    std::printf("Font catalogue from the document font list: cold %.2f ms, warm %.2f ms\n", cold, warm);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
