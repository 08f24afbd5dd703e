#include <QLocale>

#include <gtest/gtest.h>

#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"

TEST(ZoomMenuTitles, WrittenAndReadAsPercentages)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(1.5), "150%");
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(0.1), "10%");
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(0.34), "34%");
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(0.333), "33.3%") << "three significant digits";
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(0.76258), "76.3%");
    EXPECT_EQ(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(10), "1,000%");

    EXPECT_DOUBLE_EQ(*QVR_ZoomMenuGeneratorObject::zoomLevelFromString("150%"), 1.5);
    EXPECT_DOUBLE_EQ(*QVR_ZoomMenuGeneratorObject::zoomLevelFromString(" 33.3% "), 0.333);
    EXPECT_DOUBLE_EQ(
        *QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(QVR_ZoomMenuGeneratorObject::stringForFitToScreenTitle()),
        -1.0);
    for (const char* bad : {"", "%", "150", "abc%", "fit"})
        EXPECT_FALSE(QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(bad)) << bad;

    // Every offered title reads back as the level it names.
    const QStringList titles = QVR_ZoomMenuGeneratorObject::zoomLevelTitlesArray();
    ASSERT_EQ(titles.size(), 8);
    const double levels[] = {0.1, 0.25, 0.5, 0.75, 1.0, 1.5, 2.0};
    for (int i = 0; i < 7; ++i)
        EXPECT_DOUBLE_EQ(*QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(titles[i]), levels[i]);

    // Another locale writes its own digits and separators, and reads them back.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString german = QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(0.333);
    EXPECT_TRUE(german.startsWith("33,3")) << german.toStdString();
    EXPECT_DOUBLE_EQ(*QVR_ZoomMenuGeneratorObject::zoomLevelFromString(german), 0.333);
    QLocale::setDefault(previous);
}
