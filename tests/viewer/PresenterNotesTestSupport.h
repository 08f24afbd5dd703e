#pragma once

#include <memory>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "ViewerTestSupport.h"
#include "app/QVRWindowManager.h"
#include "controls/ControlsArtwork.h"
#include "platform/UserDefaults.h"
#include "viewer/QVRPresentationNotesViewController.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/QVRViewerWindow.h"
#include "viewer/QVR_TessarineViewerView.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace notestest {

inline const QColor kScreenColours[] = {QColor(220, 30, 30), QColor(30, 200, 40), QColor(30, 60, 220),
                                        QColor(240, 220, 20)};

// The viewer environment, a defaults store of its own and a notes clock the test moves by hand.
class PresenterNotesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(env.started());
        registerViewerPreviewsLibrary();
        ControlsArtwork::registerNamedImages();
        UserDefaults::setStoreFileForTesting(m_defaults.filePath(QStringLiteral("defaults.conf")));
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.2);
        QVRPresentationNotesViewController::setClockForTesting([this] { return clockMs; });
    }
    void TearDown() override
    {
        for (const QPointer<QVRViewerWindow>& window : m_windows)
            delete window.data();
        QApplication::processEvents();
        QVRPresentationNotesViewController::setClockForTesting({});
        QVR_TessarineViewerView::setTransitionDurationForTesting(0.0);
        UserDefaults::setStoreFileForTesting(QString());
    }

    // A saved document of four screens in distinct colours, each with notes "Notes 1" to "Notes 4".
    std::shared_ptr<ZERI_TessarineModel> makeDocument(std::optional<double> flowDuration = std::nullopt)
    {
        auto document = viewertest::saveDocumentWith(nullptr, QStringLiteral("Title"));
        const auto flow = document->firstFlowmodel();
        for (int i = 1; i < 4; ++i)
            flow->addFlowScreen(ZERI_FlowScreenModel::create());
        for (int i = 0; i < 4; ++i) {
            flow->screenModels()[std::size_t(i)]->setBackgroundColor(kScreenColours[i]);
            flow->screenModels()[std::size_t(i)]->setPresenterNotes(QStringLiteral("Notes %1").arg(i + 1));
        }
        flow->setAutoAdvanceSlideDuration(flowDuration);
        return document;
    }

    QVRViewerWindow* open(const std::shared_ptr<ZERI_TessarineModel>& document)
    {
        auto* window =
            qobject_cast<QVRViewerWindow*>(QVRWindowManager::sharedInstance().makeViewerWindowForModel(document));
        EXPECT_NE(window, nullptr);
        if (!window)
            return nullptr;
        m_windows.append(window);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    static QVRViewerViewController* controller(QVRViewerWindow* window)
    {
        return window->windowController()->tessarineViewerViewController();
    }

    static bool settles(QVR_TessarineViewerView* player, int page)
    {
        return QTest::qWaitFor([&] { return player->currentPage() == page && !player->isAnimating(); }, 3000);
    }

    // The colour in the middle of a preview's picture, once it has one.
    static QColor pictureColour(TessarineBackgroundedScreenPreview* preview)
    {
        if (!preview || !QTest::qWaitFor([&] { return !preview->currentPreviewImage().isNull(); }, 5000))
            return {};
        const QImage picture = preview->currentPreviewImage();
        return picture.pixelColor(picture.width() / 2, picture.height() / 2);
    }

    static bool near(const QColor& a, const QColor& b)
    {
        return a.isValid() && std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
               std::abs(a.blue() - b.blue()) <= 8;
    }

    viewertest::ScopedViewerEnvironment env;
    qint64 clockMs = 1'000'000;

private:
    QTemporaryDir m_defaults;
    QList<QPointer<QVRViewerWindow>> m_windows;
};

} // namespace notestest
