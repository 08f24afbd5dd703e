#include <benchmark/benchmark.h>

#include <chrono>

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTextDocument>

#include "foundation/Tessutils.h"
#include "library/share/QVR_TrackableEmailViewController.h"
#include "service/CorvikBlockAPIBinding.h"
#include "support/QtBenchmarkMain.h"
#include "support/SpinUntil.h"
#include "support/fakeservice/FakeWebService.h"

namespace {

constexpr double kFrameMs = 16.0;

FakeWebService& service()
{
    static FakeWebService* instance = [] {
        auto* fake = new FakeWebService; // lives for the whole run
        fake->start();
        fake->setRecording(false);
        const FakeWebService::User user = fake->addUser(QStringLiteral("bench"));
        CorvikBlockAPIBinding::setAPIURL(fake->baseUrl());
        CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
        CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
        Tessutils::setCorvikAuthToken(user.token);
        return fake;
    }();
    return *instance;
}

bool spinUntil(const std::function<bool()>& done)
{
    return ::spinUntil(done, 60 * 1000);
}

// 200 paragraphs, 50 of them with a link; every fifth link goes to the maker's own site.
QString longMessageHtml()
{
    QString html;
    for (int i = 0; i < 200; ++i) {
        html += QStringLiteral("<p>Paragraph %1 of the message, with some words to lay out and send along. ").arg(i);
        if (i % 4 == 0) {
            const int link = i / 4;
            const QString href = link % 5 == 0 ? QStringLiteral("https://www.tessarine.com/")
                                               : QStringLiteral("https://files.example/%1/doc.pdf").arg(link);
            html += QStringLiteral("<a href=\"%1\">link %2</a> and <b>bold</b> text.").arg(href).arg(link);
        }
        html += QStringLiteral("</p>");
    }
    return html;
}

// The main thread's part of Send, timed alone; the reply is awaited outside the timing.
void BM_SendLongMessageMainThreadWork(benchmark::State& state)
{
    service();
    QVR_TrackableEmailViewController composer;
    composer.setPrepopulatedSender(QStringLiteral("bench@example.com"));
    composer.setPrepopulatedRecipients(QStringLiteral("a@x.example"));
    composer.setPrepopulatedSubject(QStringLiteral("Bench"));
    composer.setPrepopulatedMessageHtml(longMessageHtml());
    composer.setNoTrackURLStrings(Tessutils::trackableEmail_standardNoTrackURLStrings());
    composer.setAfterSendBlock([] {});
    composer.view()->show();
    double worstMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        composer.sendBtnPressed();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        worstMs = std::max(worstMs, elapsed.count() * 1000);
        if (!spinUntil([&] { return composer.sendBtn()->isEnabled(); })) {
            state.SkipWithError("no reply");
            return;
        }
    }
    state.counters["worst_ms"] = worstMs;
    state.counters["frame_ms"] = kFrameMs;
    state.SetLabel(worstMs <= kFrameMs ? "fits one frame" : "OVER ONE FRAME");
}
BENCHMARK(BM_SendLongMessageMainThreadWork)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The no-track mark alone on a message of 2,000 links.
void BM_MarkTwoThousandLinks(benchmark::State& state)
{
    QString html;
    for (int i = 0; i < 2000; ++i) {
        const QString href = i % 3 == 0 ? QStringLiteral("HTTPS://WWW.TESSARINE.COM/")
                                        : QStringLiteral("https://files.example/%1/").arg(i);
        html +=
            QStringLiteral("<p><a href=\"%1\"><span style=\"font-size:16pt\">link %2</span></a></p>").arg(href).arg(i);
    }
    const QStringList noTrack = Tessutils::trackableEmail_standardNoTrackURLStrings();
    for (auto _ : state)
        benchmark::DoNotOptimize(QVR_TrackableEmailViewController::htmlInjectedWithNoTrackForURLStrings(html, noTrack));
}
BENCHMARK(BM_MarkTwoThousandLinks)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
