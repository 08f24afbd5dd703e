#include <gtest/gtest.h>

#include <QTest>

#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "support/QtPrinters.h"

TEST(RecordingDialogs, RecordRequestsAnswerFromTheScriptAndUnregisterWhenDestroyed)
{
    {
        RecordingAlertPresenter alerts;
        AlertPresenter::setShared(&alerts);
        alerts.queueButton(1);
        AlertRequest request;
        request.messageText = "DELETE_TEXT";
        request.buttons = {"Delete", "Cancel"};
        EXPECT_EQ(AlertPresenter::shared().runModal(request).button, 1);
        EXPECT_EQ(AlertPresenter::shared().runModal(request).button, 0); // then the default

        int shownAnswer = -2;
        AlertPresenter::shared().show(request, nullptr, [&](const AlertResponse& r) { shownAnswer = r.button; });
        EXPECT_EQ(shownAnswer, -2); // like a dialog, answers later
        ASSERT_TRUE(QTest::qWaitFor([&] { return shownAnswer == 0; }, 5000));
        ASSERT_EQ(alerts.requests.size(), 3u);
        EXPECT_EQ(alerts.requests[0].messageText, "DELETE_TEXT");
    }
    // The destroyed presenter unregistered itself: the fallback answers "closed" without blocking.
    EXPECT_EQ(AlertPresenter::shared().runModal(AlertRequest{}).button, -1);

    {
        RecordingFileChooser files;
        FileChooser::setShared(&files);
        files.queuePaths({"/a.png", "/b.png"});
        FileChooserRequest request;
        request.mode = FileChooserRequest::Mode::OpenFiles;
        request.allowedExtensions = {"png"};
        EXPECT_EQ(FileChooser::shared().runModal(request).paths, (QStringList{"/a.png", "/b.png"}));
        EXPECT_FALSE(FileChooser::shared().runModal(request).accepted());
        EXPECT_EQ(files.requests.size(), 2u);
    }
    EXPECT_FALSE(FileChooser::shared().runModal(FileChooserRequest{}).accepted());
}
