#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "elements/audio/QVOAudioController.h"
#include "elements/audio/QVOAudioInfo.h"
#include "elements/audio/QVOMediaPlayerClip.h"
#include "platform/NotificationCenter.h"
#include "support/QtPrinters.h"

namespace {

// What the controller asked of one fake clip; outlives the clip, which the controller may drop.
struct ClipState {
    bool playing = false;
    double length = 4.0;
    double position = 0;
    int stops = 0;
    std::function<void()> finished;
};

// A clip whose clock the test sets.
class FakeClip : public QVOAudioClip {
public:
    explicit FakeClip(std::shared_ptr<ClipState> state)
        : m_state(std::move(state))
    {
    }
    void play() override { m_state->playing = true; }
    void pause() override { m_state->playing = false; }
    void stop() override
    {
        m_state->playing = false;
        m_state->position = 0;
        ++m_state->stops;
    }
    double duration() const override { return m_state->length; }
    double currentTime() const override { return m_state->position; }
    void setFinishedHandler(std::function<void()> handler) override { m_state->finished = std::move(handler); }

private:
    std::shared_ptr<ClipState> m_state;
};

struct Posted {
    QString name;
    QString id;
    QVariant progress;
};

// The controller with fake clips, and every audio notification it posts.
class AudioControllerTest : public ::testing::Test {
protected:
    AudioControllerTest()
        : controller([this](const QUrl& url) {
            clips.push_back(std::make_shared<ClipState>());
            clipURLs.push_back(url);
            return std::make_unique<FakeClip>(clips.back());
        })
    {
        for (const QString& name : {QVOAudioPlaybackDidStartNotification, QVOAudioPlaybackDidPauseNotification,
                                    QVOAudioPlaybackDidStopNotification, QVOAudioPlaybackDidMakeProgressNotification})
            observations.emplace_back(name, nullptr, [this](const Notification& notification) {
                posted.push_back({notification.name, notification.userInfo.value(QVOInternalIDKey).toString(),
                                  notification.userInfo.value(QVOAudioProgressKey)});
            });
    }
    std::vector<Posted> named(const QString& name) const
    {
        std::vector<Posted> result;
        for (const Posted& p : posted)
            if (p.name == name)
                result.push_back(p);
        return result;
    }
    std::vector<QString> transitions() const
    {
        std::vector<QString> result;
        for (const Posted& p : posted)
            if (p.name != QVOAudioPlaybackDidMakeProgressNotification)
                result.push_back(p.name.mid(QStringLiteral("QVOAudioPlayback").size()) + ":" + p.id);
        return result;
    }

    std::vector<std::shared_ptr<ClipState>> clips;
    std::vector<QUrl> clipURLs;
    std::vector<Posted> posted;
    std::vector<NotificationObservation> observations;
    QVOAudioController controller;
};

const QUrl kSong = QUrl::fromLocalFile("/media/song.m4a");
const QUrl kOther = QUrl::fromLocalFile("/media/other.m4a");

} // namespace

TEST_F(AudioControllerTest, ClicksToggleStartPauseAndResumeOfOneClip)
{
    controller.playAudioWithId("a", kSong);
    ASSERT_EQ(clips.size(), 1u);
    EXPECT_TRUE(clips[0]->playing);
    clips[0]->position = 1.5;
    controller.playAudioWithId("a", kSong);
    EXPECT_FALSE(clips[0]->playing);
    EXPECT_EQ(controller.audioInfoForId("a")->state(), QVOAudioInfo::Paused);
    // The third click resumes the same player where it paused: no new clip.
    controller.playAudioWithId("a", kOther);
    EXPECT_EQ(clips.size(), 1u);
    EXPECT_TRUE(clips[0]->playing);
    EXPECT_EQ(clips[0]->position, 1.5);
    EXPECT_EQ(transitions(),
              (std::vector<QString>{"DidStartNotification:a", "DidPauseNotification:a", "DidStartNotification:a"}));
    EXPECT_EQ(controller.audioInfoForURL(kSong), controller.audioInfoForId("a"));
}

TEST_F(AudioControllerTest, EveryRegisteredClipReportsProgressTenTimesASecond)
{
    EXPECT_FALSE(QTest::qWaitFor([&] { return !posted.empty(); }, 250)) << "nothing registered, nothing posted";

    controller.playAudioWithId("a", kSong);
    controller.playAudioWithId("b", kOther);
    clips[0]->position = 1.0;                // 1 s of 4
    clips[1]->length = 0;                    // duration not known yet
    controller.playAudioWithId("b", kOther); // paused clips keep reporting
    posted.clear();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.elapsed() >= 1000; }, 2000));
    const auto progress = named(QVOAudioPlaybackDidMakeProgressNotification);
    int forA = 0;
    int forB = 0;
    for (const Posted& p : progress) {
        ASSERT_EQ(p.progress.metaType(), QMetaType::fromType<float>());
        if (p.id == "a") {
            ++forA;
            EXPECT_FLOAT_EQ(p.progress.toFloat(), 0.25f);
        } else if (p.id == "b") {
            ++forB;
            EXPECT_EQ(p.progress.toFloat(), 0.0f); // never NaN
        }
    }
    EXPECT_GE(forA, 9);
    EXPECT_LE(forA, 11);
    EXPECT_GE(forB, 9);
    EXPECT_LE(forB, 11);
}

TEST_F(AudioControllerTest, AChangeOfScreenStopsEveryClipAndTheNextClickStartsAfresh)
{
    controller.playAudioWithId("a", kSong);
    controller.playAudioWithId("b", kOther);
    controller.playAudioWithId("b", kOther); // paused
    clips[0]->position = 2.0;
    posted.clear();
    NotificationCenter::defaultCenter().post("QVOViewerDidChangePageNotification", this);
    auto stops = transitions();
    std::sort(stops.begin(), stops.end());
    EXPECT_EQ(stops, (std::vector<QString>{"DidStopNotification:a", "DidStopNotification:b"}));
    EXPECT_EQ(clips[0]->stops, 1);
    EXPECT_EQ(clips[1]->stops, 1);
    EXPECT_EQ(controller.audioInfoForId("a"), nullptr);
    EXPECT_EQ(controller.audioInfoForId("b"), nullptr);

    controller.playAudioWithId("a", kSong);
    ASSERT_EQ(clips.size(), 3u);
    EXPECT_EQ(clips[2]->position, 0.0);
    EXPECT_EQ(transitions().back(), "DidStartNotification:a");
}

TEST_F(AudioControllerTest, AClipThatEndsIsReportedOnceUnderItsOwnIdEvenWhenTheFileIsShared)
{
    // Two objects play the same file; the first one ends.
    controller.playAudioWithId("first", kSong);
    controller.playAudioWithId("second", kSong);
    ASSERT_EQ(clips.size(), 2u);
    posted.clear();
    auto endFirst = clips[0]->finished;
    endFirst();
    endFirst(); // a repeated end of the same clip says nothing more
    EXPECT_EQ(transitions(), (std::vector<QString>{"DidStopNotification:first"}));
    EXPECT_EQ(controller.audioInfoForId("first"), nullptr);
    EXPECT_NE(controller.audioInfoForId("second"), nullptr);

    // A clip dropped by a change of screen that then reports its end stays silent.
    NotificationCenter::defaultCenter().post("QVOViewerDidChangePageNotification");
    posted.clear();
    clips[1]->finished();
    EXPECT_TRUE(transitions().empty());

    controller.playAudioWithId("first", kSong);
    EXPECT_EQ(clips.size(), 3u);
    EXPECT_EQ(transitions(), (std::vector<QString>{"DidStartNotification:first"}));
}

TEST_F(AudioControllerTest, StopAudioWithIdRemovesTheClipSilently)
{
    controller.playAudioWithId("a", kSong);
    posted.clear();
    controller.pauseAudioWithId("a");
    EXPECT_FALSE(clips[0]->playing);
    controller.resumeAudioWithId("a");
    EXPECT_TRUE(clips[0]->playing);
    controller.stopAudioWithId("a");
    EXPECT_EQ(clips[0]->stops, 1);
    EXPECT_EQ(controller.audioInfoForId("a"), nullptr);
    EXPECT_TRUE(transitions().empty());
}

namespace {

// 16-bit mono PCM tone.
bool writeSineWav(const QString& path, double seconds, int sampleRate = 22050)
{
    const int samples = int(seconds * sampleRate);
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(8000 * std::sin(2 * M_PI * 440 * i / sampleRate)), pcm.data() + 2 * i);
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + pcm.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(pcm.size());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header + pcm) == header.size() + pcm.size();
}

} // namespace

TEST(AudioControllerPlayback, ARealClipPlaysToItsEndAndReportsTheStop)
{
    if (QMediaDevices::audioOutputs().isEmpty())
        GTEST_SKIP() << "no audio output on this machine: real playback not checked";
    QTemporaryDir dir;
    ASSERT_TRUE(writeSineWav(dir.filePath("tone.wav"), 2.0));
    QVOAudioController controller;
    std::vector<QString> stops;
    NotificationObservation observation(QVOAudioPlaybackDidStopNotification, nullptr, [&](const Notification& n) {
        stops.push_back(n.userInfo.value(QVOInternalIDKey).toString());
    });
    controller.playAudioWithId("tone", QUrl::fromLocalFile(dir.filePath("tone.wav")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !stops.empty(); }, 2500));
    EXPECT_EQ(stops, std::vector<QString>{"tone"});
}

TEST(AudioControllerPlayback, ARealClipReportsProgressAndItsEndEvenWithoutAnOutputDevice)
{
    // GStreamer plays to a null sink when there is no device, so the player's end-of-media path and the
    // clock are checked on headless machines too, without a tight time bound.
    QTemporaryDir dir;
    ASSERT_TRUE(writeSineWav(dir.filePath("short.wav"), 0.6));
    QVOAudioController controller;
    std::vector<QString> stops;
    float lastProgress = 0;
    NotificationObservation stopObservation(QVOAudioPlaybackDidStopNotification, nullptr, [&](const Notification& n) {
        stops.push_back(n.userInfo.value(QVOInternalIDKey).toString());
    });
    NotificationObservation progressObservation(QVOAudioPlaybackDidMakeProgressNotification, nullptr,
                                                [&](const Notification& n) {
                                                    lastProgress = n.userInfo.value(QVOAudioProgressKey).toFloat();
                                                    EXPECT_FALSE(std::isnan(lastProgress));
                                                });
    controller.playAudioWithId("short", QUrl::fromLocalFile(dir.filePath("short.wav")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !stops.empty(); }, 15000));
    EXPECT_EQ(stops, std::vector<QString>{"short"});
    EXPECT_GT(lastProgress, 0.0f);
    EXPECT_EQ(controller.audioInfoForId("short"), nullptr);

    // A picture under a sound's name, and a sound cut off in its header, stop as well rather than play forever.
    QFile picture(dir.filePath("picture.m4a"));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(2000, 'x'));
    picture.close();
    QFile whole(dir.filePath("short.wav"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    QFile cut(dir.filePath("cut.wav"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.read(20));
    cut.close();
    for (const QString name : {"picture.m4a", "cut.wav"}) {
        stops.clear();
        controller.playAudioWithId(name, QUrl::fromLocalFile(dir.filePath(name)));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !stops.empty(); }, 15000)) << name.toStdString();
        EXPECT_EQ(controller.audioInfoForId(name), nullptr) << name.toStdString();
    }
}
