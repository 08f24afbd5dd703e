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
#include "pptx/converter/PptxImportRecord.h"
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

// A copy of `from` as the new file `to`, both in `folder`, through no link.
bool copyInFolder(const SafeFolder& folder, const QString& from, const QString& to)
{
    const int in = folder.openForReading(from);
    if (in < 0)
        return false;
    const int out = folder.createNew(to);
    bool copied = out >= 0;
    char buffer[65536];
    while (copied) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        for (ssize_t written = 0; copied && written < got;) {
            const ssize_t put = ::write(out, buffer + written, size_t(got - written));
            copied = put > 0;
            written += std::max<ssize_t>(put, 0);
        }
    }
    ::close(in);
    if (out >= 0 && ::close(out) != 0)
        copied = false;
    if (!copied && out >= 0)
        folder.remove(to);
    return copied;
}

// A second name of `file` in its folder, for an asset of its own (deleting one never takes another's) while the bytes
// are on disk once; where the file system has no second names, a copy. Made in the folder opened once, so that a
// link put in the folder's place meanwhile is never followed. Empty when neither can be made.
QString secondNameFor(const QString& file)
{
    if (file.isEmpty())
        return {};
    const QFileInfo info(file);
    const QString name =
        QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('.') + info.suffix();
    const SafeFolder folder = SafeFolder::open(info.path());
    if (!folder.isOpen() || (!folder.link(info.fileName(), name) && !copyInFolder(folder, info.fileName(), name)))
        return {};
    return info.dir().filePath(name);
}

std::shared_ptr<ZERI_ContentAsset> assetForFile(const QString& file)
{
    if (file.isEmpty())
        return nullptr;
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(file));
    return asset;
}

std::shared_ptr<ZERI_ContentAsset> secondNameOf(const QString& file)
{
    return assetForFile(secondNameFor(file));
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

    // Pictures. Each picture of the deck is stored in the document once, by its first object; each size it is
    // shown at is cropped once, by the first object of that size; every other object takes second names of those
    // files. Storing and cropping run on workers, a few at a time, so that a picture shown a thousand times costs
    // one copy and one crop per size, and a cancel waits for at most those few.
    struct PictureObject {
        std::shared_ptr<ZERI_FlowScreenModel> screen;
        std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy;
    };
    using FrameSize = std::pair<double, double>;
    void addPicture(const PictureObject& object, const QString& picturePath);
    void storePicture(const PictureObject& object, const QString& picturePath);
    void pictureStored(const PictureObject& object, const QString& picturePath, const Error& error);
    // The stored picture shown by `object`: cropped now when its size is new, else shared or waited for.
    void showStoredPicture(const PictureObject& object, const QString& picturePath);
    void cropPicture(const PictureObject& object, const QString& picturePath, const FrameSize& size);
    void pictureCropped(const PictureObject& object, const QString& picturePath, const FrameSize& size,
                        const Error& error);
    // Gives `object` second names of the files of the object that made its picture's crop.
    void shareCrop(const PictureObject& object, const QString& picturePath, const FrameSize& size);
    void dropPicture(const PictureObject& object, const QString& why);
    void pictureResolved();

    // File work (storing or cropping one picture) runs at most a few at a time; each call of `work` ends with
    // exactly one fileWorkEnded(), at once or from its completion.
    void queueFileWork(std::function<void()> work);
    void startFileWork();
    void fileWorkEnded();
    void finishWhenPicturesAreDone();
    void buildingProgress();
    void finishDocument();
    // False (the import has failed) when the package's details cannot be saved.
    bool setPackageType(int type);
    void fail(const Error& error);
    void cleanUp();
    // After a cancel: cleans up now, or once the file work still running for the document has stopped.
    bool stopIfCancelled()
    {
        if (!m_cancelled)
            return false;
        if (m_fileWorkRunning == 0)
            cleanUp();
        return true;
    }

    QPointer<QVRPowerPointConverter> m_owner;
    Step m_step = Step::Idle;
    bool m_cancelled = false;
    std::shared_ptr<std::atomic<bool>> m_readerCancelled = std::make_shared<std::atomic<bool>>(false);
    QString m_folder;
    // Notes the folder and the document for the next start, should this process be killed before the end.
    PptxImportRecord m_record;
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
    // Objects whose files are being copied into the document, so that a cancel can stop the copies.
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> m_copying;
    std::deque<std::function<void()>> m_fileWork;
    int m_fileWorkRunning = 0;
    bool m_startingFileWork = false;
    struct Crop {
        enum State { Making, Made, Failed } state = Making;
        PictureObject maker;
        // The maker is cropped from the stored picture's own file, and names a file of its own once done.
        bool borrowsStoredFile = false;
        QString failure;
        std::vector<PictureObject> waiting;
    };
    struct StoredPicture {
        enum State { Storing, Stored, Failed } state = Storing;
        QString storedFile; // the original in the document's assets
        QSizeF pixelSize;
        QString failure;
        std::vector<PictureObject> waiting; // for the original
        std::map<FrameSize, Crop> crops;
    };
    // By the extracted file.
    std::map<QString, StoredPicture> m_storedPictures;
    // Picture objects neither set up nor left out yet.
    int m_picturesPending = 0;
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
    m_record.begin(m_folder);
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
        // Files being written into the document are stopped and no more are started; its package goes once the
        // few still running have ended. The reader's result or the next scheduled step notices the cancel.
        m_fileWork.clear();
        m_storedPictures.clear();
        for (const auto& proxy : std::vector(m_copying))
            MixedMediaObjectStorage::cancelSetupUsingDataItem(proxy);
        if (m_step != Step::Reading && m_fileWorkRunning == 0)
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
    // Noted before its folder is made: a kill at any moment after leaves nothing the next start does not find.
    m_record.setDocumentPackage(QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(m_model->qvdID()));
    Error error;
    if (!m_model->saveToFile(&error)) {
        m_model.reset();
        fail(converterError(QVRPowerPointConverter::ReadFailed,
                            QStringLiteral("The new document could not be saved: %1").arg(error.message)));
        return;
    }
    m_package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_model->filePackage());
    // Kept out of the documents list until it is whole: opened from there while being built, it would be edited
    // beside the import's own copy, and a cancel would delete it under its window.
    if (!setPackageType(0))
        return;
    qCInfo(lcPptxImport).noquote() << "pptx->Tessarine title:" << m_model->title();
    // Slides larger than the document's screens (a widescreen deck, a tall one) are fitted into them.
    m_content.fitInto(m_model->firstFlowmodel()->viewSize());
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
                source.paragraphs, m_content.declaredUtf8,
                [this](const std::optional<PptxTextStyle>& style) {
                    const auto found = m_resolvedFonts.find(typefaceKey(style));
                    return found != m_resolvedFonts.end() ? found->second : ZERI_MMObject_Text::defaultFontName();
                },
                m_content.textScale * source.fontScale));
            continue;
        }
        // The picture takes its place in the stacking order now; its files follow on workers.
        auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        screen->addMixedMediaObject(proxy);
        proxy->object()->setFrame(frame);
        addPicture({screen, proxy}, source.picturePath);
    }
    ++m_screensBuilt;
    buildingProgress();
    if (m_screensBuilt < m_content.slides.size()) {
        scheduleScreen(m_screensBuilt);
        return;
    }
    m_step = Step::FileWork;
    finishWhenPicturesAreDone();
}

void PptxConversionJob::addPicture(const PictureObject& object, const QString& picturePath)
{
    ++m_picturesPending;
    const QRectF frame = object.proxy->object()->frame();
    if (picturePath.isEmpty() || !QFileInfo(picturePath).isFile()) {
        dropPicture(object, QStringLiteral("the picture was not extracted from the deck"));
        return;
    }
    if (!(frame.width() > 0) || !(frame.height() > 0)) {
        dropPicture(object, QStringLiteral("the picture has no size on the slide"));
        return;
    }
    const auto [found, isNew] = m_storedPictures.try_emplace(picturePath);
    StoredPicture& stored = found->second;
    if (isNew) {
        queueFileWork([this, object, picturePath] { storePicture(object, picturePath); });
        return;
    }
    switch (stored.state) {
    case StoredPicture::Storing:
        stored.waiting.push_back(object);
        break;
    case StoredPicture::Stored:
        showStoredPicture(object, picturePath);
        break;
    case StoredPicture::Failed:
        dropPicture(object, stored.failure);
        break;
    }
}

void PptxConversionJob::storePicture(const PictureObject& object, const QString& picturePath)
{
    auto item = std::make_shared<QVRDataFromURLDataItem>();
    item->setContentUrl(QUrl::fromLocalFile(picturePath));
    item->setType(1);
    m_copying.push_back(object.proxy);
    auto self = shared_from_this();
    MixedMediaObjectStorage::setupUsingDataItem(object.proxy, item, [self, object, picturePath](const Error& error) {
        std::erase(self->m_copying, object.proxy);
        if (!self->m_cancelled)
            self->pictureStored(object, picturePath, error);
        self->fileWorkEnded();
    });
}

void PptxConversionJob::pictureStored(const PictureObject& object, const QString& picturePath, const Error& error)
{
    StoredPicture& stored = m_storedPictures[picturePath];
    const auto original = object.proxy->object()->originalImageAsset();
    stored.storedFile = error.isNull() && original ? original->localFilePath() : QString();
    stored.pixelSize =
        stored.storedFile.isEmpty() ? QSizeF() : MixedMediaObjectStorage::originalImageSize(*object.proxy->object());
    if (!stored.pixelSize.isEmpty()) {
        stored.state = StoredPicture::Stored;
    } else {
        stored.state = StoredPicture::Failed;
        stored.failure = !error.isNull()               ? error.message
                         : stored.storedFile.isEmpty() ? QStringLiteral("the picture was not stored")
                                                       : QStringLiteral("the picture cannot be decoded");
    }
    std::vector<PictureObject> objects = std::exchange(stored.waiting, {});
    objects.insert(objects.begin(), object);
    for (const PictureObject& each : objects) {
        if (stored.state == StoredPicture::Stored)
            showStoredPicture(each, picturePath);
        else
            dropPicture(each, stored.failure);
    }
}

void PptxConversionJob::showStoredPicture(const PictureObject& object, const QString& picturePath)
{
    StoredPicture& stored = m_storedPictures[picturePath];
    const QSizeF frame = object.proxy->object()->frame().size();
    const double zoom = frame.width() / stored.pixelSize.width();
    if (!std::isfinite(zoom) || !(zoom > 0)) {
        dropPicture(object, QStringLiteral("the picture cannot be decoded"));
        return;
    }
    const FrameSize size{frame.width(), frame.height()};
    const auto [found, isNew] = stored.crops.try_emplace(size);
    Crop& crop = found->second;
    if (!isNew) {
        if (crop.state == Crop::Making)
            crop.waiting.push_back(object);
        else if (crop.state == Crop::Made)
            shareCrop(object, picturePath, size);
        else
            dropPicture(object, crop.failure);
        return;
    }
    crop.maker = object;
    // The object that stored the picture has it as its original already. The first of any other size is cropped
    // from that same file, so that the crops of every size share one decoding of it (decoded pictures are shared by
    // file), and takes a name of its own for it once its crop is made.
    if (!object.proxy->object()->originalImageAsset()) {
        object.proxy->object()->setOriginalImageAsset(assetForFile(stored.storedFile));
        crop.borrowsStoredFile = true;
    }
    object.proxy->object()->setZoomScale(zoom);
    queueFileWork([this, object, picturePath, size] { cropPicture(object, picturePath, size); });
}

void PptxConversionJob::cropPicture(const PictureObject& object, const QString& picturePath, const FrameSize& size)
{
    auto self = shared_from_this();
    const bool started = MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
        object.proxy, [self, object, picturePath, size](const Error& error) {
            if (!self->m_cancelled)
                self->pictureCropped(object, picturePath, size, error);
            self->fileWorkEnded();
        });
    if (!started) {
        pictureCropped(object, picturePath, size,
                       Error(QVRPowerPointConverter::errorDomain, QVRPowerPointConverter::ReadFailed,
                             QStringLiteral("the picture's file is gone")));
        fileWorkEnded();
    }
}

void PptxConversionJob::pictureCropped(const PictureObject& object, const QString& picturePath, const FrameSize& size,
                                       const Error& error)
{
    const StoredPicture& stored = m_storedPictures[picturePath];
    Crop& crop = m_storedPictures[picturePath].crops[size];
    bool made = error.isNull() && object.proxy->object()->croppedImageAsset();
    if (crop.borrowsStoredFile) {
        const auto original = object.proxy->object()->originalImageAsset();
        const QString own = made ? secondNameFor(stored.storedFile) : QString();
        if (own.isEmpty()) {
            // Left out without its original: the file is the stored picture's, which others still show.
            object.proxy->object()->setOriginalImageAsset(nullptr);
            made = false;
        } else {
            original->setExternalURL(QUrl::fromLocalFile(own));
        }
    }
    crop.state = made ? Crop::Made : Crop::Failed;
    crop.failure = error.isNull() ? QStringLiteral("the picture cannot be cropped") : error.message;
    if (made)
        pictureResolved();
    else
        dropPicture(object, crop.failure);
    for (const PictureObject& each : std::exchange(crop.waiting, {})) {
        if (made)
            shareCrop(each, picturePath, size);
        else
            dropPicture(each, crop.failure);
    }
}

void PptxConversionJob::shareCrop(const PictureObject& object, const QString& picturePath, const FrameSize& size)
{
    const ZERI_MixedMediaObject& maker = *m_storedPictures[picturePath].crops[size].maker.proxy->object();
    const auto fileOf = [](const std::shared_ptr<ZERI_ContentAsset>& asset) {
        return asset ? asset->localFilePath() : QString();
    };
    const auto original = secondNameOf(fileOf(maker.originalImageAsset()));
    const auto cropped = secondNameOf(fileOf(maker.croppedImageAsset()));
    const QString retinaFile = fileOf(maker.retinaCroppedImageAsset());
    const auto retina = retinaFile.isEmpty() ? nullptr : secondNameOf(retinaFile);
    if (!original || !cropped || (!retinaFile.isEmpty() && !retina)) {
        for (const auto& made : {original, cropped, retina})
            if (made)
                QFile::remove(made->localFilePath());
        dropPicture(object, QStringLiteral("the picture cannot be stored again"));
        return;
    }
    ZERI_MixedMediaObject& model = *object.proxy->object();
    model.setOriginalImageAsset(original);
    model.setZoomScale(maker.zoomScale());
    model.setCroppedImageAsset(cropped);
    model.setRetinaCroppedImageAsset(retina);
    pictureResolved();
}

void PptxConversionJob::dropPicture(const PictureObject& object, const QString& why)
{
    qCWarning(lcPptxImport).noquote() << "leaving out a picture that cannot be set up:" << why;
    MixedMediaObjectStorage::removeAllAssets(object.proxy);
    object.screen->removeMixedMediaObject(object.proxy);
    pictureResolved();
}

void PptxConversionJob::pictureResolved()
{
    --m_picturesPending;
    ++m_picturesDone;
    buildingProgress();
    finishWhenPicturesAreDone();
}

void PptxConversionJob::queueFileWork(std::function<void()> work)
{
    m_fileWork.push_back(std::move(work));
    startFileWork();
}

void PptxConversionJob::startFileWork()
{
    // Decoding and cropping a large picture takes much memory: a few at a time, however many wait.
    static const int limit = std::clamp(QThread::idealThreadCount() / 2, 1, 4);
    if (m_startingFileWork)
        return;
    m_startingFileWork = true;
    while (!m_cancelled && m_step != Step::Done && !m_fileWork.empty() && m_fileWorkRunning < limit) {
        auto work = std::move(m_fileWork.front());
        m_fileWork.pop_front();
        ++m_fileWorkRunning;
        work();
    }
    m_startingFileWork = false;
}

void PptxConversionJob::fileWorkEnded()
{
    --m_fileWorkRunning;
    if (m_step == Step::Done)
        return;
    if (stopIfCancelled())
        return;
    startFileWork();
    finishWhenPicturesAreDone();
}

void PptxConversionJob::finishWhenPicturesAreDone()
{
    if (m_step == Step::FileWork && !m_cancelled && m_picturesPending == 0 && m_fileWorkRunning == 0 &&
        m_fileWork.empty())
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
    if (!setPackageType(ZERI_qvdFilePackage::OwnDocument))
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

bool PptxConversionJob::setPackageType(int type)
{
    if (!m_package)
        return true;
    m_package->metaData().setPackageType(type);
    if (m_package->saveMetadata())
        return true;
    fail(converterError(QVRPowerPointConverter::ReadFailed,
                        QStringLiteral("The new document's details could not be saved")));
    return false;
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
    m_fileWork.clear();
    m_storedPictures.clear();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    m_record.end();
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
