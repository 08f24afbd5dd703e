#include "pptx/converter/QVRPowerPointConverter.h"

#include <cmath>
#include <deque>
#include <map>
#include <algorithm>
#include <utility>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QUuid>

#include "foundation/Tessutils.h"
#include "platform/SafeFolder.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "pptx/converter/PptxDeckContent.h"
#include "pptx/converter/PptxTextBuilder.h"
#include "pptx/reader/qvd_opc.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

Q_LOGGING_CATEGORY(lcPptxImport, "tess.pptx.import", QtWarningMsg)

const QString QVRPowerPointConverter::errorDomain = QStringLiteral("com.tessarine.QVRPowerPointConverter");

namespace {

int& unfinishedCount()
{
    static int count = 0;
    return count;
}

QVRPowerPointConverter::TypefaceLookup& typefaceLookup()
{
    static QVRPowerPointConverter::TypefaceLookup lookup;
    return lookup;
}

Error converterError(int code, const QString& message)
{
    return Error(QVRPowerPointConverter::errorDomain, code, message);
}

} // namespace

// One import, shared by the converter and every continuation still in flight (the worker's result, a scheduled
// screen, a picture set-up), so that whatever finishes last can clean up after a converter that is already gone.
class PptxConversionJob : public std::enable_shared_from_this<PptxConversionJob> {
public:
    enum class Step { Idle, Reading, Fonts, WaitingForFont, Building, FileWork, Done };

    explicit PptxConversionJob(QVRPowerPointConverter* owner)
        : m_owner(owner)
    {
        ++unfinishedCount();
    }
    ~PptxConversionJob() { Q_ASSERT(m_step == Step::Done || m_step == Step::Idle); }

    void start(const QString& deckPath);
    void cancel();
    // The converter went away: nothing is reported any more, and the import is cleaned up.
    void abandon()
    {
        m_owner = nullptr;
        cancel();
    }
    QString temporaryFolder() const { return m_folder; }

private:
    void readingFinished(std::optional<PptxDeckContent> content, const PptxDeckReading::Failure& failure);
    void progress(double fraction);
    void settleFonts();
    void fontAnswered(const QString& deckName, const QString& answer);
    void makeDocument();
    void scheduleScreen(size_t index);
    void buildScreen(size_t index);
    void setUpPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                      const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy, const QString& picturePath);
    // The deck's picture at `picturePath` stored for the first object showing it, or failed: the objects waiting for
    // it take the stored file (a second name for it, no bytes copied), or are left out.
    void pictureStored(const QString& picturePath, const QString& storedFile, const QString& failure);
    // Gives the object a second name of the stored file as its original picture, and crops it.
    void reusePicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                      const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy, const QString& storedFile);
    void cropPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                     const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy);
    void dropPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                     const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy, const QString& why);
    void pictureDone();
    void startQueuedPictures();
    void buildingProgress();
    void finishDocument();
    void fail(const Error& error);
    void cleanUp();
    // After a cancel: cleans up now, or once the file work still running for the document has stopped.
    bool stopIfCancelled()
    {
        if (!m_cancelled)
            return false;
        if (m_picturesRunning == 0)
            cleanUp();
        return true;
    }

    QPointer<QVRPowerPointConverter> m_owner;
    Step m_step = Step::Idle;
    bool m_cancelled = false;
    std::shared_ptr<std::atomic<bool>> m_readerCancelled = std::make_shared<std::atomic<bool>>(false);
    QString m_folder;
    double m_progress = 0;
    PptxDeckContent m_content;
    // Typefaces as written in the deck (latin, second) to the PostScript name used.
    std::map<std::pair<QString, QString>, QString> m_resolvedFonts;
    // The deck's name to the replacement chosen for it: final, asked once.
    std::map<QString, QString> m_fontReplacements;
    std::vector<std::pair<QString, QString>> m_fontsToSettle;
    size_t m_nextFont = 0;
    std::shared_ptr<ZERI_TessarineModel> m_model;
    std::shared_ptr<ZERI_qvdFilePackage> m_package;
    // Pictures are copied and cropped on workers while later screens are built.
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> m_copying;
    struct QueuedPicture {
        std::shared_ptr<ZERI_FlowScreenModel> screen;
        std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy;
        QString path;
    };
    // Waiting for a worker: a few pictures at a time keep the main thread's share of the work (one completion
    // each) spread out instead of arriving all at once.
    std::deque<QueuedPicture> m_pictureQueue;
    // Each picture of the deck is stored once, however many objects show it: by its extracted file, the file stored
    // for the first object (empty while that is under way) and the objects waiting for it.
    struct StoredPicture {
        QString storedFile;
        bool failed = false;
        std::vector<std::pair<std::shared_ptr<ZERI_FlowScreenModel>, std::shared_ptr<ZERI_MixedMediaObjectProxy>>>
            waiting;
    };
    std::map<QString, StoredPicture> m_storedPictures;
    int m_picturesRunning = 0;
    int m_picturesTotal = 0;
    int m_picturesDone = 0;
    size_t m_screensBuilt = 0;
};

namespace {

// The converter's workers: reading a deck never waits for the main thread.
WorkerThreads& readerPool()
{
    static WorkerThreads threads(std::max(2, QThread::idealThreadCount()), QStringLiteral("deck reader"),
                                 WorkerThreads::AtApplicationEnd::Stop);
    return threads;
}

std::pair<QString, QString> typefaceKey(const std::optional<PptxTextStyle>& style)
{
    const QString latin =
        style && !style->latinTypeface.isEmpty() ? style->latinTypeface : ZERI_MMObject_Text::defaultFontName();
    return {latin, style ? style->secondTypeface : QString()};
}

} // namespace

void PptxConversionJob::start(const QString& deckPath)
{
    m_folder = QDir(AppPaths::temporary()).filePath(Tessutils::generateUniversalID());
    if (!QDir().mkpath(m_folder)) {
        const QString folder = m_folder;
        m_folder.clear();
        fail(converterError(
            QVRPowerPointConverter::ReadFailed,
            QStringLiteral("Cannot make the folder \"%1\" for the presentation's pictures").arg(folder)));
        return;
    }
    m_step = Step::Reading;
    qCInfo(lcPptxImport).noquote() << "reading" << deckPath;
    auto self = shared_from_this();
    std::weak_ptr<PptxConversionJob> weakSelf = self;
    const auto readerCancelled = m_readerCancelled;
    const QString folder = m_folder;
    readerPool().post([self, weakSelf, readerCancelled, deckPath, folder]() mutable {
        PptxDeckReading::Failure failure;
        auto content = PptxDeckReading::read(
            deckPath, folder, *readerCancelled,
            [weakSelf](int done, int count) {
                MainThread::run(
                    [weakSelf, done, count] {
                        if (auto job = weakSelf.lock())
                            job->progress(0.5 * done / count);
                    },
                    false);
            },
            &failure);
        // The job travels back to the main thread with the result: it is released there, never here.
        MainThread::run([self = std::move(self), content = std::move(content),
                         failure]() mutable { self->readingFinished(std::move(content), failure); },
                        false);
    });
}

void PptxConversionJob::cancel()
{
    if (m_step == Step::Done)
        return;
    m_cancelled = true;
    m_readerCancelled->store(true);
    switch (m_step) {
    case Step::Idle:
    case Step::WaitingForFont:
        // Nothing runs for this import: clean up now (a late answer finds the import done).
        cleanUp();
        break;
    default:
        // Files being written into the document are stopped; its package goes once that work has ended. The
        // reader's result or the next scheduled step notices the cancel.
        m_picturesRunning -= int(m_pictureQueue.size());
        m_pictureQueue.clear();
        for (auto& [path, stored] : m_storedPictures) {
            m_picturesRunning -= int(stored.waiting.size());
            stored.waiting.clear();
        }
        for (const auto& proxy : std::vector(m_copying))
            MixedMediaObjectStorage::cancelSetupUsingDataItem(proxy);
        if (m_step == Step::FileWork && m_picturesRunning == 0)
            cleanUp();
        break;
    }
}

void PptxConversionJob::progress(double fraction)
{
    if (m_step == Step::Done || m_cancelled || fraction <= m_progress)
        return;
    m_progress = std::min(fraction, 1.0);
    if (m_owner && m_owner->m_onProgress)
        m_owner->m_onProgress(m_progress);
}

void PptxConversionJob::readingFinished(std::optional<PptxDeckContent> content, const PptxDeckReading::Failure& failure)
{
    if (stopIfCancelled())
        return;
    if (!content) {
        const int code = failure.readerCode == QVD_OPC_ERR_NOT_PPTX ? QVRPowerPointConverter::NotAPresentation
                                                                    : QVRPowerPointConverter::ReadFailed;
        fail(converterError(code, failure.message));
        return;
    }
    m_content = std::move(*content);
    for (const PptxSlide& slide : m_content.slides)
        for (const PptxSlideObject& object : slide.objects)
            m_picturesTotal += object.kind == PptxSlideObject::Picture ? 1 : 0;
    progress(0.5);
    // Every typeface of the deck in the order it is met, once.
    QSet<std::pair<QString, QString>> seen;
    auto note = [&](const std::optional<PptxTextStyle>& style) {
        const auto key = typefaceKey(style);
        if (!seen.contains(key)) {
            seen.insert(key);
            m_fontsToSettle.push_back(key);
        }
    };
    for (const PptxSlide& slide : m_content.slides)
        for (const PptxSlideObject& object : slide.objects)
            for (const PptxParagraph& paragraph : object.paragraphs)
                for (const PptxTextRun& run : paragraph.runs)
                    if (run.lineBreak || !run.text.isEmpty())
                        note(run.style ? run.style : paragraph.style);
    m_step = Step::Fonts;
    settleFonts();
}

void PptxConversionJob::settleFonts()
{
    while (m_nextFont < m_fontsToSettle.size()) {
        if (stopIfCancelled())
            return;
        const auto key = m_fontsToSettle[m_nextFont];
        const QString& name = key.first;
        if (auto stored = m_fontReplacements.find(name); stored != m_fontReplacements.end()) {
            m_resolvedFonts[key] = stored->second;
        } else if (const QString offered = QVRPowerPointConverter::offeredTypeface(name); !offered.isEmpty()) {
            m_resolvedFonts[key] = offered;
        } else if (const QString second =
                       key.second.isEmpty() ? QString() : QVRPowerPointConverter::offeredTypeface(key.second);
                   !second.isEmpty()) {
            m_resolvedFonts[key] = second;
        } else {
            const auto question = m_owner ? m_owner->m_fontNeedsReplacing : QVRPowerPointConverter::FontQuestion();
            if (!question) {
                fontAnswered(name, QString());
                continue;
            }
            m_step = Step::WaitingForFont;
            std::weak_ptr<PptxConversionJob> weakSelf = shared_from_this();
            auto answered = std::make_shared<bool>(false);
            question(name, [weakSelf, name, answered](const QString& answer) {
                if (*answered)
                    return;
                *answered = true;
                // Continue in a turn of its own, whether the answer came at once or from a dialog.
                MainThread::run(
                    [weakSelf, name, answer] {
                        auto job = weakSelf.lock();
                        if (!job || job->m_step != Step::WaitingForFont)
                            return;
                        job->m_step = Step::Fonts;
                        job->fontAnswered(name, answer);
                        job->settleFonts();
                    },
                    false);
            });
            return;
        }
        ++m_nextFont;
    }
    if (stopIfCancelled())
        return;
    makeDocument();
}

void PptxConversionJob::fontAnswered(const QString& deckName, const QString& answer)
{
    const QString replacement = answer.trimmed().isEmpty() ? ZERI_MMObject_Text::defaultFontName() : answer.trimmed();
    m_fontReplacements[deckName] = replacement;
    m_resolvedFonts[m_fontsToSettle[m_nextFont]] = replacement;
    ++m_nextFont;
}

void PptxConversionJob::makeDocument()
{
    m_step = Step::Building;
    m_model = ZERI_TessarineModel::create();
    Error error;
    if (!m_model->saveToFile(&error)) {
        m_model.reset();
        fail(converterError(QVRPowerPointConverter::ReadFailed,
                            QStringLiteral("The new document could not be saved: %1").arg(error.message)));
        return;
    }
    m_package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_model->filePackage());
    if (m_package) {
        m_package->metaData().setPackageType(ZERI_qvdFilePackage::OwnDocument);
        if (!m_package->saveMetadata()) {
            fail(converterError(QVRPowerPointConverter::ReadFailed,
                                QStringLiteral("The new document's details could not be saved")));
            return;
        }
    }
    qCInfo(lcPptxImport).noquote() << "pptx->Tessarine title:" << m_model->title();
    if (m_content.slides.empty()) {
        finishDocument();
        return;
    }
    scheduleScreen(0);
}

void PptxConversionJob::scheduleScreen(size_t index)
{
    auto self = shared_from_this();
    MainThread::run([self, index] { self->buildScreen(index); }, false);
}

void PptxConversionJob::buildScreen(size_t index)
{
    if (stopIfCancelled())
        return;
    qCDebug(lcPptxImport) << "Setting up screen:" << index;
    const PptxSlide& slide = m_content.slides[index];
    const auto screen = ZERI_FlowScreenModel::create();
    m_model->firstFlowmodel()->addFlowScreen(screen);
    if (!slide.backgroundColor.isEmpty()) {
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBHexString(slide.backgroundColor))
            screen->setBackgroundColor(*color);
    }
    for (const PptxSlideObject& source : slide.objects) {
        const QRectF frame = source.frame.value_or(QRectF());
        if (source.kind == PptxSlideObject::Text) {
            auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
            screen->addMixedMediaObject(proxy);
            proxy->object()->setFrame(frame);
            const auto text = proxy->as<ZERI_MMObject_Text>();
            text->setAttributedString(PptxTextBuilder::attributedText(
                source.paragraphs, m_content.declaredUtf8, [this](const std::optional<PptxTextStyle>& style) {
                    const auto found = m_resolvedFonts.find(typefaceKey(style));
                    return found != m_resolvedFonts.end() ? found->second : ZERI_MMObject_Text::defaultFontName();
                }));
            continue;
        }
        // The picture takes its place in the stacking order now; its files follow on workers.
        auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        screen->addMixedMediaObject(proxy);
        proxy->object()->setFrame(frame);
        ++m_picturesRunning;
        if (source.picturePath.isEmpty() || !QFileInfo(source.picturePath).isFile()) {
            dropPicture(screen, proxy, QStringLiteral("the picture was not extracted from the deck"));
            pictureDone();
        } else if (!(frame.width() > 0) || !(frame.height() > 0)) {
            dropPicture(screen, proxy, QStringLiteral("the picture has no size on the slide"));
            pictureDone();
        } else if (const auto stored = m_storedPictures.find(source.picturePath); stored == m_storedPictures.end()) {
            m_storedPictures[source.picturePath];
            m_pictureQueue.push_back({screen, proxy, source.picturePath});
            startQueuedPictures();
        } else if (stored->second.failed) {
            dropPicture(screen, proxy, QStringLiteral("the picture cannot be set up"));
            pictureDone();
        } else if (!stored->second.storedFile.isEmpty()) {
            reusePicture(screen, proxy, stored->second.storedFile);
        } else {
            stored->second.waiting.emplace_back(screen, proxy);
        }
    }
    ++m_screensBuilt;
    buildingProgress();
    if (m_screensBuilt < m_content.slides.size()) {
        scheduleScreen(m_screensBuilt);
        return;
    }
    m_step = Step::FileWork;
    if (m_picturesRunning == 0)
        finishDocument();
}

void PptxConversionJob::setUpPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                     const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy,
                                     const QString& picturePath)
{
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setContentUrl(QUrl::fromLocalFile(picturePath));
    item->setType(1);
    m_copying.push_back(proxy);
    auto self = shared_from_this();
    MixedMediaObjectStorage::setupUsingDataItem(proxy, item, [self, screen, proxy, picturePath](const Error& error) {
        std::erase(self->m_copying, proxy);
        if (self->m_cancelled) {
            self->pictureStored(picturePath, {}, QStringLiteral("the import was cancelled"));
            self->pictureDone();
            return;
        }
        if (!error.isNull()) {
            self->pictureStored(picturePath, {}, error.message);
            self->dropPicture(screen, proxy, error.message);
            self->pictureDone();
            return;
        }
        const auto original = proxy->object()->originalImageAsset();
        self->pictureStored(picturePath, original ? original->localFilePath() : QString(), QString());
        self->cropPicture(screen, proxy);
    });
}

void PptxConversionJob::pictureStored(const QString& picturePath, const QString& storedFile, const QString& failure)
{
    const auto found = m_storedPictures.find(picturePath);
    if (found == m_storedPictures.end())
        return;
    StoredPicture& stored = found->second;
    stored.storedFile = storedFile;
    stored.failed = storedFile.isEmpty();
    const auto waiting = std::move(stored.waiting);
    stored.waiting.clear();
    for (const auto& [screen, proxy] : waiting) {
        if (m_cancelled) {
            pictureDone();
        } else if (stored.failed) {
            dropPicture(screen, proxy, failure.isEmpty() ? QStringLiteral("the picture cannot be set up") : failure);
            pictureDone();
        } else {
            reusePicture(screen, proxy, storedFile);
        }
    }
}

void PptxConversionJob::reusePicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                     const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy,
                                     const QString& storedFile)
{
    // A second name in the same folder: each asset keeps a file of its own (deleting one never takes another's),
    // and the bytes are on disk once.
    const QFileInfo stored(storedFile);
    const QString fileName =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('.') + stored.suffix();
    const QString name = stored.dir().filePath(fileName);
    // Linked in the folder opened once, so a link put in the folder's place meanwhile is never followed.
    const SafeFolder folder = SafeFolder::open(stored.path());
    if (!folder.isOpen() || !folder.link(stored.fileName(), fileName)) {
        // A file system without second names: the picture is stored again, as for its first object.
        setUpPicture(screen, proxy, storedFile);
        return;
    }
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(name));
    proxy->object()->setOriginalImageAsset(asset);
    cropPicture(screen, proxy);
}

void PptxConversionJob::cropPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy)
{
    auto self = shared_from_this();
    const QSizeF size = MixedMediaObjectStorage::originalImageSize(*proxy->object());
    const double zoom = size.width() > 0 ? proxy->object()->frame().width() / size.width() : 0.0;
    if (!std::isfinite(zoom) || !(zoom > 0)) {
        dropPicture(screen, proxy, QStringLiteral("the picture cannot be decoded"));
        pictureDone();
        return;
    }
    proxy->object()->setZoomScale(zoom);
    const bool started = MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
        proxy, [self, screen, proxy](const Error& cropError) {
            if (!cropError.isNull() && !self->m_cancelled)
                self->dropPicture(screen, proxy, cropError.message);
            self->pictureDone();
        });
    if (!started) {
        dropPicture(screen, proxy, QStringLiteral("the picture's file is gone"));
        pictureDone();
    }
}

void PptxConversionJob::dropPicture(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& proxy, const QString& why)
{
    qCWarning(lcPptxImport).noquote() << "leaving out a picture that cannot be set up:" << why;
    MixedMediaObjectStorage::removeAllAssets(proxy);
    screen->removeMixedMediaObject(proxy);
}

void PptxConversionJob::startQueuedPictures()
{
    static const int limit = std::max(2, QThread::idealThreadCount() / 2);
    while (!m_pictureQueue.empty() && m_picturesRunning - int(m_pictureQueue.size()) < limit) {
        QueuedPicture next = std::move(m_pictureQueue.front());
        m_pictureQueue.pop_front();
        setUpPicture(next.screen, next.proxy, next.path);
    }
}

void PptxConversionJob::pictureDone()
{
    --m_picturesRunning;
    ++m_picturesDone;
    if (m_step == Step::Done)
        return;
    if (stopIfCancelled())
        return;
    startQueuedPictures();
    buildingProgress();
    if (m_step == Step::FileWork && m_picturesRunning == 0)
        finishDocument();
}

void PptxConversionJob::buildingProgress()
{
    const double total = double(m_content.slides.size()) + m_picturesTotal;
    if (total > 0)
        progress(0.5 + 0.5 * (double(m_screensBuilt) + m_picturesDone) / total);
}

void PptxConversionJob::finishDocument()
{
    if (stopIfCancelled())
        return;
    Error error;
    if (!m_model->saveToFile(&error)) {
        fail(converterError(QVRPowerPointConverter::ReadFailed,
                            QStringLiteral("The new document could not be saved: %1").arg(error.message)));
        return;
    }
    progress(1.0);
    auto document = std::move(m_model);
    m_package.reset();
    cleanUp();
    QPointer<QVRPowerPointConverter> owner = m_owner;
    if (owner && owner->m_onDone)
        owner->m_onDone(document, Error(), owner);
}

void PptxConversionJob::fail(const Error& error)
{
    qCWarning(lcPptxImport).noquote() << "import failed:" << error.description();
    cleanUp();
    QPointer<QVRPowerPointConverter> owner = m_owner;
    if (owner && owner->m_onDone)
        owner->m_onDone(nullptr, error, owner);
}

void PptxConversionJob::cleanUp()
{
    if (m_step == Step::Done)
        return;
    m_step = Step::Done;
    if (m_package) {
        m_model->setDontSave(true);
        Error error;
        if (!m_package->deletePackage(&error))
            qCWarning(lcPptxImport).noquote() << "cannot delete the half-built document:" << error.description();
    } else if (m_model && m_model->filePackage()) {
        std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_model->filePackage())->deletePackage();
    }
    m_package.reset();
    m_model.reset();
    m_content = PptxDeckContent();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    --unfinishedCount();
}

// QVRPowerPointConverter

QVRPowerPointConverter::QVRPowerPointConverter(QObject* parent)
    : QObject(parent)
{
    qvd_opc_init();
}

QVRPowerPointConverter::~QVRPowerPointConverter()
{
    if (m_job)
        m_job->abandon();
}

void QVRPowerPointConverter::startConverting()
{
    Q_ASSERT(MainThread::isMainThread());
    // A converter converts once; one cancelled before it started never starts.
    if (m_started || m_cancelled)
        return;
    m_started = true;
    const QString path = m_inputFileURL.isLocalFile() ? m_inputFileURL.toLocalFile() : m_inputFileURL.path();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        const Error error = converterError(InputMissing, QStringLiteral("The file \"%1\" does not exist").arg(path));
        if (m_onDone)
            m_onDone(nullptr, error, this);
        return;
    }
    m_job = std::make_shared<PptxConversionJob>(this);
    m_job->start(path);
}

void QVRPowerPointConverter::cancel()
{
    m_cancelled = true;
    if (m_job)
        m_job->cancel();
}

QString QVRPowerPointConverter::temporaryFolder() const
{
    return m_job ? m_job->temporaryFolder() : QString();
}

void QVRPowerPointConverter::setOfferedTypefaceLookup(TypefaceLookup lookup)
{
    typefaceLookup() = std::move(lookup);
}

QString QVRPowerPointConverter::offeredTypeface(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (typefaceLookup())
        return typefaceLookup()(name);
    static const QSet<QString> offered = [] {
        const QStringList list = Tessutils::zeriDefaultFontList();
        return QSet<QString>(list.begin(), list.end());
    }();
    return offered.contains(name) ? name : QString();
}

int QVRPowerPointConverter::unfinishedImportCount()
{
    return unfinishedCount();
}
