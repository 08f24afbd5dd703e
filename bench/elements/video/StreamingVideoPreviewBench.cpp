#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTimer>

#include "elements/video/VimeoVideoPreviewHelperClass.h"
#include "elements/video/YouTubeVideoPreviewHelper.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"
#include "support/fakeservice/FakeHttp.h"

namespace {

QStringList mixedLinks()
{
    const QStringList kinds = {
        QStringLiteral("https://www.youtube.com/watch?v=Ab3_-x9Zq%1&t=10"),
        QStringLiteral("https://youtu.be/Zz9_-x9Zq%1"),
        QStringLiteral("https://www.youtube.com/embed/Ab3_-x9Zq%1"),
        QStringLiteral("Ab3_-x9Zq%1"),
        QStringLiteral("https://vimeo.com/7697%1"),
        QStringLiteral("https://player.vimeo.com/video/12%1"),
        QStringLiteral("https://vimeo.com/channels/staff/%1"),
        QStringLiteral("https://example.org/some/page/%1.html"),
    };
    QStringList links;
    for (int i = 0; i < 10000; ++i)
        links << kinds[i % kinds.size()].arg(i % 100, 2, 10, QLatin1Char('0'));
    return links;
}

// Ids of 10,000 mixed links through both sites' helpers, against the bare match of the same two patterns,
// precompiled, in the same run. The "ratio" counter is helpers / bare; the target is at most 1.5.
void BM_VideoIdsFromMixedLinks(benchmark::State& state)
{
    const QStringList links = mixedLinks();
    QRegularExpression first(QStringLiteral(R"(youtu\.?be[^\/]*\/(?:[^\?]*\?v=)?([a-zA-Z0-9-_]*))"),
                             QRegularExpression::CaseInsensitiveOption);
    QRegularExpression second(QStringLiteral(R"((?:vimeo\.?com?\/(?:video\/)?|^)([0-9]+))"),
                              QRegularExpression::CaseInsensitiveOption);
    first.optimize();
    second.optimize();

    double helperNs = 0;
    double bareNs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qsizetype found = 0;
        for (const QString& link : links)
            found += YouTubeVideoPreviewHelper::videoIdFromURLString(link).size() +
                     VimeoVideoPreviewHelperClass::videoIdFromURLString(link).size();
        helperNs += clock.nsecsElapsed();
        benchmark::DoNotOptimize(found);

        clock.restart();
        found = 0;
        for (const QString& link : links)
            found += first.match(link).captured(1).size() + second.match(link).captured(1).size();
        bareNs += clock.nsecsElapsed();
        benchmark::DoNotOptimize(found);
    }
    state.counters["helpers_ms"] = helperNs / 1e6 / state.iterations();
    state.counters["bare_regex_ms"] = bareNs / 1e6 / state.iterations();
    state.counters["ratio"] = bareNs > 0 ? helperNs / bareNs : 0;
}
BENCHMARK(BM_VideoIdsFromMixedLinks)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// 50 validations and 50 second-site lookups at once against a site that answers each request after 200 ms.
// "max_main_thread_gap_ms" is the longest time the main thread was held; the target is 16 ms.
void BM_ValidationsKeepTheMainThreadFree(benchmark::State& state)
{
    QByteArray image;
    {
        QBuffer buffer(&image);
        buffer.open(QIODevice::WriteOnly);
        QImage picture(480, 360, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        picture.save(&buffer, "JPEG");
    }
    FakeHttpServer site([&](const FakeHttpRequest& request) {
        if (request.path.startsWith(QLatin1String("/api/")))
            return FakeHttpReply::raw(200, "application/json", "[{\"thumbnail_large\":\"http://127.0.0.1/t.jpg\"}]")
                .delayed(200);
        return FakeHttpReply::raw(200, "image/jpeg", image).delayed(200);
    });
    if (!site.start()) {
        state.SkipWithError("no port for the fake site");
        return;
    }
    const QUrl base(QStringLiteral("http://127.0.0.1:%1").arg(site.port()));
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(base, base);

    double worstGapMs = 0;
    double worstCallsMs = 0;
    for (auto _ : state) {
        int answers = 0;
        QEventLoop loop;
        auto answered = [&] {
            if (++answers == 100)
                loop.quit();
        };
        MainThreadHeartbeat heartbeat(1);
        QElapsedTimer calls;
        calls.start();
        for (int i = 0; i < 50; ++i) {
            YouTubeVideoPreviewHelper::validateVideoId(QStringLiteral("Ab3_-x9Zq%1").arg(i, 2, 10, QLatin1Char('0')),
                                                       [&](bool, const QByteArray&) { answered(); });
            VimeoVideoPreviewHelperClass::previewImageURLStringFromVideoId(QString::number(1000 + i),
                                                                           [&](const QString&) { answered(); });
        }
        const double callsMs = calls.nsecsElapsed() / 1e6;
        heartbeat.noteGapMs(callsMs);
        worstCallsMs = std::max(worstCallsMs, callsMs);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        if (answers < 100) {
            state.SkipWithError("answers did not arrive");
            break;
        }
        worstGapMs = std::max(worstGapMs, heartbeat.longestGapMs());
    }
    StreamingVideoPreviewHelper::setSiteBaseURLsForTesting(QUrl(), QUrl());
    state.counters["max_main_thread_gap_ms"] = worstGapMs;
    state.counters["calls_ms"] = worstCallsMs;
}
// The same heartbeat over an idle event loop for as long: what the machine itself adds to the gaps.
void BM_IdleMainThreadBaseline(benchmark::State& state)
{
    double worstGapMs = 0;
    for (auto _ : state) {
        MainThreadHeartbeat heartbeat(1);
        QEventLoop loop;
        QTimer::singleShot(3400, &loop, &QEventLoop::quit);
        loop.exec();
        worstGapMs = std::max(worstGapMs, heartbeat.longestGapMs());
    }
    state.counters["max_main_thread_gap_ms"] = worstGapMs;
}
BENCHMARK(BM_IdleMainThreadBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK(BM_ValidationsKeepTheMainThreadFree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QGuiApplication>(argc, argv);
}
