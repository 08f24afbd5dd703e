#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include "support/QtPrinters.h"
#include "tessarine_data_model/VideoAssetCompressorPreset.h"

TEST(VideoAssetCompressorPreset, SharedPresetsHaveTheirExactDictionaryAndAreMadeOnce)
{
    const QJsonObject small = VideoAssetCompressorPreset::small480p()->dictionaryRepresentation();
    EXPECT_EQ(small, QJsonObject({{"bitrate", 2048000},
                                  {"output_height", 480},
                                  {"output_width", 0},
                                  {"human_readable_description", "Small (480p)"}}));
    EXPECT_EQ(VideoAssetCompressorPreset::small480p(), VideoAssetCompressorPreset::small480p());

    EXPECT_EQ(VideoAssetCompressorPreset::medium720p()->bitrate(), 4096000);
    EXPECT_EQ(VideoAssetCompressorPreset::medium720p()->outputHeight(), 720);
    EXPECT_EQ(VideoAssetCompressorPreset::medium720p()->humanReadableName(), "Medium (720p)");
    EXPECT_EQ(VideoAssetCompressorPreset::large1080p()->bitrate(), 8192000);
    EXPECT_EQ(VideoAssetCompressorPreset::large1080p()->outputHeight(), 1080);
    EXPECT_EQ(VideoAssetCompressorPreset::large1080p()->humanReadableName(), "Large (1080p)");
    EXPECT_FALSE(VideoAssetCompressorPreset::large1080p()->maxKeyFrameInterval().has_value());
    EXPECT_EQ(
        VideoAssetCompressorPreset::small480p()->JSONRepresentation(),
        R"j({"bitrate":2048000,"human_readable_description":"Small (480p)","output_height":480,"output_width":0})j");
}

TEST(VideoAssetCompressorPreset, ReadsNumbersAndNumericTextsAlikeAndTreatsOtherKindsAsMissing)
{
    const auto fromText = VideoAssetCompressorPreset::initWithDict(
        {{"bitrate", "4096000"}, {"output_height", "720"}, {"max_keyframe_interval", "30 frames"}});
    const auto fromNumber = VideoAssetCompressorPreset::initWithDict(
        {{"bitrate", 4096000}, {"output_height", 720}, {"max_keyframe_interval", 30}});
    EXPECT_EQ(fromText->dictionaryRepresentation(), fromNumber->dictionaryRepresentation());
    EXPECT_EQ(fromText->bitrate(), 4096000);
    EXPECT_EQ(fromText->maxKeyFrameInterval(), 30);
    EXPECT_EQ(fromText->outputWidth(), 0);

    const auto confused = VideoAssetCompressorPreset::initWithDict({{"bitrate", QJsonArray{1}},
                                                                    {"output_width", QJsonObject{}},
                                                                    {"output_height", QJsonValue::Null},
                                                                    {"video_profile_level", QJsonValue::Null},
                                                                    {"human_readable_description", ""}});
    EXPECT_FALSE(confused->bitrate().has_value());
    EXPECT_EQ(confused->outputWidth(), 0);
    EXPECT_EQ(confused->outputHeight(), 0);
    EXPECT_TRUE(confused->videoProfileLevel().isEmpty());
    EXPECT_TRUE(confused->humanReadableName().isEmpty());

    // A text that does not begin with digits is still a value: 0, not "no bit rate".
    EXPECT_EQ(VideoAssetCompressorPreset::initWithDict({{"bitrate", "fast"}})->bitrate(), 0);
}

TEST(VideoAssetCompressorPreset, UnparsableJsonTextGivesAnEmptyPresetNotNone)
{
    for (const char* text : {"", "{\"bitrate\": 20", "[1,2]", "null"}) {
        const auto preset = VideoAssetCompressorPreset::initWithJsonString(QString::fromLatin1(text));
        ASSERT_TRUE(preset) << text;
        EXPECT_EQ(preset->dictionaryRepresentation(), QJsonObject({{"output_height", 0}, {"output_width", 0}}));
    }
}

TEST(VideoAssetCompressorPreset, RoundTripKeepsEveryFieldWithSizesInSinglePrecision)
{
    VideoAssetCompressorPreset preset;
    preset.setBitrate(1500000);
    preset.setOutputWidth(1080.7);
    preset.setOutputHeight(720);
    preset.setMaxKeyFrameInterval(48);
    preset.setVideoProfileLevel("H264_High_AutoLevel");
    preset.setHumanReadableName("Custom");

    const auto back = VideoAssetCompressorPreset::initWithJsonString(QString::fromUtf8(preset.JSONRepresentation()));
    EXPECT_EQ(back->bitrate(), 1500000);
    EXPECT_EQ(back->outputWidth(), double(1080.7f));
    EXPECT_EQ(back->outputHeight(), 720);
    EXPECT_EQ(back->maxKeyFrameInterval(), 48);
    EXPECT_EQ(back->videoProfileLevel(), "H264_High_AutoLevel");
    EXPECT_EQ(back->humanReadableName(), "Custom");
    EXPECT_EQ(back->dictionaryRepresentation(), preset.dictionaryRepresentation());
}
