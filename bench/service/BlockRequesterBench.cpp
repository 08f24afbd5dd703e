#include <benchmark/benchmark.h>

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/UserDefaults.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ZERI_APIBinding.h"
#include "support/fakeservice/FakeWebService.h"
#include "support/SpinUntil.h"
#include "support/MainThreadHeartbeat.h"
#include "support/QtBenchmarkMain.h"

namespace {

FakeWebService& service()
{
    static FakeWebService* instance = [] {
        auto* fake = new FakeWebService; // lives for the whole run
        fake->start();
        fake->setRecording(false);
        fake->addUser(QStringLiteral("bench"));
        CorvikBlockAPIBinding::setAPIURL(fake->baseUrl());
        CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
        CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
        return fake;
    }();
    return *instance;
}

// Runs the event loop until `done` holds; false when a minute passes first.
bool spinUntil(const std::function<bool()>& done)
{
    return ::spinUntil(done, 60 * 1000);
}

// Signs and sends 1,000 small requests at once and waits for every reply.
void BM_SignAndSend1000SmallRequests(benchmark::State& state)
{
    service();
    for (auto _ : state) {
        int replies = 0;
        for (int i = 0; i < 1000; ++i)
            ZERI_APIBinding::getHelpTessarinesList(QStringLiteral("En"),
                                                   [&](const QString&, const QString&) { ++replies; });
        if (!spinUntil([&] { return replies == 1000; })) {
            state.SkipWithError("replies did not arrive");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SignAndSend1000SmallRequests)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Saves a 20 MB document JSON and measures how long the main thread is held: the time the call itself takes
// and the longest gap between ticks of a 1-ms main-thread timer until the reply is in. The target is 20 ms.
void BM_LargeDocumentMainThreadStall(benchmark::State& state)
{
    FakeWebService& fake = service();
    const QString token = QStringLiteral("TOKEN-bench");
    FakeWebService::Document document;
    document.owner = QStringLiteral("bench");
    const QString id = fake.addDocument(document).id;
    const QString json = QStringLiteral("{\"tessarine\":{\"text\":\"") + QString(20 * 1024 * 1024, QLatin1Char('x')) +
                         QStringLiteral("\"}}");

    double worstCallMs = 0;
    double worstStallMs = 0;
    for (auto _ : state) {
        bool replied = false;
        MainThreadHeartbeat heartbeat(1);

        QElapsedTimer call;
        call.start();
        ZERI_APIBinding::tessarineUpdateWithAuthToken(token, id, json, std::nullopt, false, {}, {}, {}, {}, {}, {}, {},
                                                      {}, [&](const QString&, const QString&) { replied = true; });
        const double callMs = call.nsecsElapsed() / 1e6;
        heartbeat.noteGapMs(callMs);
        if (!spinUntil([&] { return replied; })) {
            state.SkipWithError("no reply");
            return;
        }
        worstCallMs = std::max(worstCallMs, callMs);
        worstStallMs = std::max(worstStallMs, heartbeat.longestGapMs());
    }
    state.counters["call_ms"] = worstCallMs;
    state.counters["max_main_thread_stall_ms"] = worstStallMs;
}
BENCHMARK(BM_LargeDocumentMainThreadStall)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QCoreApplication>(argc, argv, BenchSettings::Private);
}
