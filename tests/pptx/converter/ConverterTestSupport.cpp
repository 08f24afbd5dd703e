#include "pptx/converter/ConverterTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QUrl>

#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "support/TestPictures.h"

ConverterFolders::ConverterFolders()
{
    AppPaths::setApplicationSupportForTesting(m_support.path());
    AppPaths::setTemporaryForTesting(m_temporary.path());
    ZERI_qvdFilePackage::setPackagesFolder(QString());
    ZERI_qvdFilePackage::registerWithDocumentModel();
}

ConverterFolders::~ConverterFolders()
{
    processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; });
    ZERI_qvdFilePackage::setPackagesFolder(QString());
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}

QString ConverterFolders::packagesFolder() const
{
    return ZERI_qvdFilePackage::tessarinesFolder();
}

QStringList ConverterFolders::packageFolders() const
{
    return QDir(packagesFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

QStringList ConverterFolders::temporaryEntries() const
{
    return QDir(m_temporary.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

ImportOutcome importDeck(const QString& deckPath, const std::function<QString(const QString&)>& answerFor)
{
    ImportOutcome outcome;
    auto converter = std::make_unique<QVRPowerPointConverter>();
    converter->setInputFileURL(QUrl::fromLocalFile(deckPath));
    converter->setOnDone(
        [&](const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error, QVRPowerPointConverter*) {
            ++outcome.doneCount;
            outcome.document = document;
            outcome.error = error;
        });
    converter->setOnProgress([&](double fraction) { outcome.progress.push_back(fraction); });
    converter->setFontNeedsReplacing([&](const QString& name, const QVRPowerPointConverter::FontAnswer& answer) {
        outcome.fontsAsked.append(name);
        answer(answerFor ? answerFor(name) : QString());
    });
    converter->startConverting();
    processEventsUntil([&] { return outcome.doneCount > 0 && QVRPowerPointConverter::unfinishedImportCount() == 0; });
    // A second report would come within a few turns.
    QCoreApplication::processEvents();
    return outcome;
}

QByteArray pngBytes(int width, int height)
{
    return pngBytes(QSize(width, height), Qt::darkCyan);
}

std::string run(const std::string& text, const std::string& rPr)
{
    return "<a:r>" + rPr + "<a:t>" + text + "</a:t></a:r>";
}

std::string para(const std::string& body, const std::string& pPr)
{
    return "<a:p>" + pPr + body + "</a:p>";
}

std::string picture(const std::string& embed, const std::string& xfrm)
{
    return "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"p\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill>"
           "<a:blip r:embed=\"" +
           embed + "\"/></p:blipFill><p:spPr>" + xfrm + "</p:spPr></p:pic>";
}

long long emu(double px)
{
    return static_cast<long long>(px * 9525);
}

std::vector<std::vector<std::shared_ptr<ZERI_MMObject_Text>>> textObjects(const ZERI_TessarineModel& document)
{
    std::vector<std::vector<std::shared_ptr<ZERI_MMObject_Text>>> result;
    for (const auto& screen : document.firstFlowmodel()->screenModels()) {
        result.emplace_back();
        for (const auto& object : screen->mixedMediaObjects())
            if (auto text = object->as<ZERI_MMObject_Text>())
                result.back().push_back(text);
    }
    return result;
}
