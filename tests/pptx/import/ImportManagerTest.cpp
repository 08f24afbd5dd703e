#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "app/QVRActionLog.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "pptx/TestDeck.h"
#include "ImportTestSupport.h"
#include "pptx/converter/ConverterTestSupport.h"
#include "pptx/import/QVRPowerpointImportManager.h"
#include "service/OpenRequestUi.h"
#include "service/QVROpenRequest.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

using namespace importtest;

namespace {

TEST_F(ImportManager, TheFirstChosenDeckOpensInACreatorWindowAndAChooserCancelEndsTheImport)
{
    TestDeck one = TestDeck::minimal(2);
    m_chooser.queuePaths(
        {write(one, QStringLiteral("one.pptx")), write(TestDeck::minimal(5), QStringLiteral("two.pptx"))});
    Completions done;
    QVRPowerpointImportManager::shared().importPowerpoint(nullptr, done.block());
    waitFor(done);
    ASSERT_EQ(m_chooser.requests.size(), 1u);
    EXPECT_EQ(m_chooser.requests[0].mode, FileChooserRequest::Mode::OpenFiles);
    EXPECT_EQ(m_chooser.requests[0].allowedExtensions, QStringList{QStringLiteral("pptx")});
    EXPECT_EQ(done.count, 1);
    ASSERT_TRUE(done.document) << done.error.description().toStdString();
    EXPECT_EQ(done.document->firstFlowmodel()->screenModels().size(), 2u) << "only the first file is imported";
    ASSERT_TRUE(processEventsUntil([&] { return !m_windows->creator.documents.empty(); }));
    EXPECT_EQ(m_windows->creator.documents.front(), done.document);
    EXPECT_EQ(events().count(QStringLiteral("Imported powerpoint")), 1);
    EXPECT_TRUE(m_alerts.requests.empty());

    Completions cancelled;
    QVRPowerpointImportManager::shared().importPowerpoint(nullptr, cancelled.block());
    waitFor(cancelled);
    EXPECT_EQ(cancelled.count, 1);
    EXPECT_FALSE(cancelled.document);
    EXPECT_EQ(cancelled.error.domain, QString::fromLatin1(QVRPowerpointImportManager::errorDomain));
    EXPECT_EQ(cancelled.error.code, QVRPowerpointImportManager::Cancelled);
}

TEST_F(ImportManager, EveryFailedImportIsShownToTheUser)
{
    QFile text(m_decks.filePath(QStringLiteral("notes.pptx")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a presentation");
    text.close();
    TestDeck damaged = TestDeck::minimal(2);
    damaged.parts["ppt/slides/slide2.xml"] = "<p:sld";

    struct Case {
        QString path;
        QString information;
        bool unsupportedLogged;
    };
    const std::vector<Case> cases = {
        {text.fileName(), UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_INFORMATION(), true},
        {write(damaged, QStringLiteral("damaged.pptx")), UFM::PPT_IMPORT_ERROR_DAMAGED_INFORMATION(), false},
        {m_decks.filePath(QStringLiteral("gone.pptx")), UFM::PPT_IMPORT_ERROR_DAMAGED_INFORMATION(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        m_alerts.requests.clear();
        const qsizetype before = events().count(QStringLiteral("Powerpoint unsupported file"));
        Completions done;
        QVRPowerpointImportManager::shared().importFile(c.path, nullptr, done.block());
        waitFor(done);
        EXPECT_EQ(done.count, 1);
        EXPECT_FALSE(done.document);
        EXPECT_EQ(done.error.domain, QVRPowerPointConverter::errorDomain);
        ASSERT_EQ(m_alerts.requests.size(), 1u);
        EXPECT_EQ(m_alerts.requests[0].messageText, UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_MESSAGE());
        EXPECT_EQ(m_alerts.requests[0].informativeText, c.information);
        EXPECT_EQ(events().count(QStringLiteral("Powerpoint unsupported file")) - before, c.unsupportedLogged ? 1 : 0);
        EXPECT_TRUE(m_folders.packageFolders().isEmpty());
    }
    EXPECT_FALSE(UFM::PPT_IMPORT_ERROR_DAMAGED_INFORMATION().isEmpty());
}

TEST_F(ImportManager, FontQuestionsAreAnsweredChosenPickedForTheRestOrCancelled)
{
    std::vector<std::pair<QString, QVRPowerpointImportManager::FontReplacementAnswer>> script;
    QStringList asked;
    QVRPowerpointImportManager::setFontReplacementPrompt(
        [&](QWidget*, const QString& name, QVRPowerpointImportManager::FontReplacementAnswerBlock answer) {
            asked.append(name);
            const auto reply = script.front().second;
            script.erase(script.begin());
            answer(reply);
        });
    const QString deck = fontsDeck(QStringLiteral("fonts.pptx"));

    // Choose for the first font, pick replacements at the second.
    script = {{{}, {false, false, QStringLiteral("Georgia")}}, {{}, {false, true, {}}}};
    Completions first;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, first.block());
    waitFor(first);
    ASSERT_TRUE(first.document) << first.error.description().toStdString();
    EXPECT_EQ(asked, (QStringList{QStringLiteral("Calibri"), QStringLiteral("Wingbats")}));

    // Pick replacements at once: nothing more is asked in that import; the next import asks again.
    asked.clear();
    script = {{{}, {false, true, {}}}};
    Completions second;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, second.block());
    waitFor(second);
    ASSERT_TRUE(second.document);
    EXPECT_EQ(asked, QStringList{QStringLiteral("Calibri")});

    // Cancel: the completion comes once with the manager's cancel, and nothing is left.
    script = {{{}, {true, false, {}}}};
    Completions third;
    QVRPowerpointImportManager::shared().importFile(deck, nullptr, third.block());
    waitFor(third);
    EXPECT_EQ(third.count, 1);
    EXPECT_FALSE(third.document);
    EXPECT_EQ(third.error.code, QVRPowerpointImportManager::Cancelled);
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    EXPECT_EQ(m_folders.packageFolders().size(), 2);
    EXPECT_TRUE(m_alerts.requests.empty());

    EXPECT_EQ(events(),
              (QStringList{QStringLiteral("Pptx font replacement chosen:Calibri"),
                           QStringLiteral("Pptx auto-choose fonts:Wingbats"), QStringLiteral("Imported powerpoint"),
                           QStringLiteral("Pptx auto-choose fonts:Calibri"), QStringLiteral("Imported powerpoint"),
                           QStringLiteral("Cancelled pptx import at font replacement:Calibri")}));
}

TEST_F(ImportManager, ANewerImportCancelsTheRunningOne)
{
    const QString big = write(TestDeck::minimal(30), QStringLiteral("big.pptx"));
    Completions older;
    Completions newer;
    QVRPowerpointImportManager::shared().importFile(big, nullptr, older.block());
    QVRPowerpointImportManager::shared().importFile(write(TestDeck::minimal(1), QStringLiteral("small.pptx")), nullptr,
                                                    newer.block());
    EXPECT_EQ(older.count, 1);
    EXPECT_EQ(older.error.code, QVRPowerpointImportManager::Cancelled);
    waitFor(newer);
    ASSERT_TRUE(newer.document);
    EXPECT_EQ(newer.document->firstFlowmodel()->screenModels().size(), 1u);
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
    EXPECT_EQ(older.count, 1);
    EXPECT_EQ(m_folders.packageFolders(), QStringList{newer.document->qvdID()});
    EXPECT_TRUE(m_folders.temporaryEntries().isEmpty());
}

} // namespace
