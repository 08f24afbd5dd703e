#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "../LibraryTestSupport.h"
#include "app/ViewerWindowHandle.h"
#include "service/OpenRequestUi.h"
#include "service/QVROpenRequest.h"

class ZERI_qvdFilePackage;

namespace lists_test {

struct FakeWindow : QVROpenRequestDelegate, ViewerWindowHandle {
    void scrollToPage(int, bool) override {}
    void showPresentationNotesIfAble() override { ++notesShown; }
    int notesShown = 0;
    void openRequesterWantsToDisplayLoadingView(QObject*) override {}
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        documents.push_back(model);
    }
    std::vector<std::shared_ptr<ZERI_TessarineModel>> documents;
};

// Windows of open requests, recorded; the creator answers at once, viewers are made on request.
class RecordingWindows : public OpenRequestUi {
public:
    bool showTemplateChooser() override
    {
        ++templateChooserShown;
        return true;
    }
    QVROpenRequestDelegate* creatorWindowForOpen() override { return &creator; }
    QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        for (const auto& shown : viewer.documents)
            if (shown == model)
                return &viewer;
        return nullptr;
    }
    QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        return &viewer;
    }
    QVROpenRequestDelegate* makeiPadPreviewWindow() override { return nullptr; }
    void closeWindowBeingPrepared(QVROpenRequestDelegate*) override {}
    QObject* makeLoadingView(const QString&) override { return nullptr; }
    std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override { return nullptr; }
    bool showPasswordPrompt(const QString&, std::function<void(const QString&)>, std::function<void()>) override
    {
        return false;
    }
    bool showRegisterWall(const QString&, std::function<void(bool)>) override { return false; }

    int templateChooserShown = 0;
    FakeWindow creator;
    FakeWindow viewer;
};

// The library test base with recorded windows, helpers to make local packages and to sign in.
class ListsTest : public library_test::LibraryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A local own package with a draft; `stamp` is its updated time stamp as stored.
    std::shared_ptr<ZERI_qvdFilePackage> makePackage(const QString& title, const QString& description = {},
                                                     const QString& stamp = {}, const QString& apiID = {});
    static QString stampForSecondsAgo(int seconds);
    void signIn(const QString& username);

    std::shared_ptr<RecordingWindows> m_windows = std::make_shared<RecordingWindows>();
};

} // namespace lists_test
