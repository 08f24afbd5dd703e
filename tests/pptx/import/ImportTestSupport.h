#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <QTemporaryDir>

#include "app/QVRActionLog.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "pptx/TestDeck.h"
#include "pptx/converter/ConverterTestSupport.h"
#include "pptx/import/QVRPowerpointImportManager.h"
#include "service/OpenRequestUi.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace importtest {

// Stands in for the creator: records the documents it is given.
struct FakeCreatorWindow : QVROpenRequestDelegate {
    void openRequesterWantsToDisplayLoadingView(QObject*) override {}
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override
    {
        documents.push_back(model);
    }
    std::vector<std::shared_ptr<ZERI_TessarineModel>> documents;
};

class FakeWindows : public OpenRequestUi {
public:
    bool showTemplateChooser() override { return false; }
    QVROpenRequestDelegate* creatorWindowForOpen() override { return &creator; }
    QVROpenRequestDelegate* viewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        return nullptr;
    }
    QVROpenRequestDelegate* makeViewerWindowForModel(const std::shared_ptr<ZERI_TessarineModel>&) override
    {
        return nullptr;
    }
    QVROpenRequestDelegate* makeiPadPreviewWindow() override { return nullptr; }
    void closeWindowBeingPrepared(QVROpenRequestDelegate*) override {}
    // A plain widget the window receiving it takes.
    QObject* makeLoadingView(const QString&) override
    {
        auto* view = new QWidget;
        loadingViews.append(view);
        return view;
    }
    std::unique_ptr<ViewerDownloadPanel> makeDownloadPanel() override { return nullptr; }
    bool showPasswordPrompt(const QString&, std::function<void(const QString&)>,
                            std::function<void()> dismissed) override
    {
        dismissed();
        return true;
    }
    bool showRegisterWall(const QString&, std::function<void(bool)> onDone) override
    {
        onDone(false);
        return true;
    }

    FakeCreatorWindow creator;
    QList<QPointer<QWidget>> loadingViews;
};

struct Completions {
    int count = 0;
    std::shared_ptr<ZERI_TessarineModel> document;
    Error error;
    QVRPowerpointImportManager::Completion block()
    {
        return [this](const std::shared_ptr<ZERI_TessarineModel>& d, const Error& e) {
            ++count;
            document = d;
            error = e;
        };
    }
};

inline std::string typeface(const std::string& name)
{
    return "<a:rPr lang=\"en\"><a:latin typeface=\"" + name + "\"/></a:rPr>";
}

class ImportManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileChooser::setShared(&m_chooser);
        AlertPresenter::setShared(&m_alerts);
        m_log = std::make_unique<QVRActionLog>(m_decks.filePath(QStringLiteral("actionlog.json")),
                                               [](const QByteArray&, std::function<void(bool)>) {});
        QVRActionLog::setSharedForTesting(m_log.get());
        m_windows = std::make_shared<FakeWindows>();
        OpenRequestUi::registerUi(m_windows);
    }
    void TearDown() override
    {
        QVRPowerpointImportManager::shared().cancelCurrentImport();
        QVRPowerpointImportManager::setFontReplacementPrompt({});
        QVRPowerPointConverter::setOfferedTypefaceLookup({});
        processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; });
        OpenRequestUi::registerUi(nullptr);
        QVRActionLog::setSharedForTesting(nullptr);
        AlertPresenter::setShared(nullptr);
        FileChooser::setShared(nullptr);
    }
    QString write(const TestDeck& deck, const QString& name)
    {
        const QString path = m_decks.filePath(name);
        EXPECT_TRUE(deck.writeTo(path.toStdString()));
        return path;
    }
    QString fontsDeck(const QString& name)
    {
        TestDeck deck = TestDeck::minimal(1);
        deck.setSlideTree(1, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525),
                                                 para(run("a", typeface("Calibri")) + run("b", typeface("Wingbats")))));
        return write(deck, name);
    }
    // Names of the analytics events logged so far, with their "UnsupportedFont" when there is one.
    QStringList events() const
    {
        QStringList names;
        for (const auto& event : m_log->backlog()) {
            const QJsonObject object = event.toObject();
            const QString font = object.value(QStringLiteral("parameters"))
                                     .toObject()
                                     .value(QStringLiteral("UnsupportedFont"))
                                     .toString();
            names.append(object.value(QStringLiteral("name")).toString() + (font.isEmpty() ? QString() : ":" + font));
        }
        return names;
    }
    void waitFor(const Completions& completions)
    {
        ASSERT_TRUE(processEventsUntil([&] { return completions.count > 0; }));
        QCoreApplication::processEvents();
    }

    ConverterFolders m_folders;
    QTemporaryDir m_decks;
    RecordingFileChooser m_chooser;
    RecordingAlertPresenter m_alerts;
    std::unique_ptr<QVRActionLog> m_log;
    std::shared_ptr<FakeWindows> m_windows;
};

} // namespace importtest
