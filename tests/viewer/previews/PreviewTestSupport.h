#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QDir>
#include <QImage>
#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/QVRScreenPreviewGenerator.h"
#include "viewer/previews/ViewerPreviewsLibrary.h"

namespace previewtest {

inline const QColor kBackground(30, 90, 160);
inline const QColor kShapeColour(200, 40, 40);
inline const QRectF kTextFrame(60, 420, 600, 250);
inline const QRectF kShapeFrame(500, 60, 300, 200);

// Fresh Application Support and temporary folders, the document packages made known to the model, and the
// preview library registered; restores everything on destruction.
class ScopedPreviewEnvironment {
public:
    ScopedPreviewEnvironment()
    {
        AppPaths::setApplicationSupportForTesting(m_support.path());
        AppPaths::setTemporaryForTesting(m_temporary.path());
        ZERI_qvdFilePackage::resetForTesting();
        ZERI_qvdFilePackage::registerWithDocumentModel();
        registerViewerPreviewsLibrary();
    }
    ~ScopedPreviewEnvironment()
    {
        QVRScreenPreviewGenerator::setStoreDataForTesting(nullptr);
        QVRScreenPreviewGenerator::setDrawProbeForTesting(nullptr);
        // Requests still running finish before the folders go.
        QTest::qWait(50);
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
        AppPaths::setTemporaryForTesting(QString());
    }

private:
    QTemporaryDir m_support;
    QTemporaryDir m_temporary;
};

// A screen with a shape at the top right and a text at the bottom left; `colour` invalid: no background colour.
inline std::shared_ptr<ZERI_FlowScreenModel> makeScreen(const QColor& colour = kBackground,
                                                        const QString& text = QStringLiteral("Quarterly figures"))
{
    auto screen = ZERI_FlowScreenModel::create();
    if (colour.isValid())
        screen->setBackgroundColor(colour);
    auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    shape->as<ZERI_MMObject_Shape>()->setShapeType(1);
    shape->as<ZERI_MMObject_Shape>()->setColor(kShapeColour);
    shape->object()->setFrame(kShapeFrame);
    screen->addMixedMediaObject(shape);
    auto label = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    label->as<ZERI_MMObject_Text>()->setText(text + QStringLiteral("\nsecond line of the text"));
    label->object()->setFrame(kTextFrame);
    screen->addMixedMediaObject(label);
    return screen;
}

// A document of `screens` such screens, saved into a package of its own.
inline std::shared_ptr<ZERI_TessarineModel> makeSavedDocument(int screens)
{
    auto document = ZERI_TessarineModel::create();
    for (int i = 0; i < screens; ++i)
        document->firstFlowmodel()->addFlowScreen(makeScreen(kBackground, QStringLiteral("Screen %1").arg(i + 1)));
    Error error;
    if (!ZERI_qvdFilePackage::saveModelToFile(document, &error))
        qWarning() << "cannot save the test document:" << error.message;
    return document;
}

inline std::shared_ptr<ZERI_qvdFilePackage> packageOf(const ZERI_TessarineModel& document)
{
    return std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document.filePackage());
}

inline QSet<QString> jpegFiles(const QString& folder)
{
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.jpg")}, QDir::Files);
    return QSet<QString>(names.begin(), names.end());
}

// Runs one request and waits for its blocks; the assets the block received.
struct Received {
    int calls = 0;
    std::shared_ptr<ZERI_ContentAsset> preview;
    std::shared_ptr<ZERI_ContentAsset> textless;
};

inline QVRScreenPreviewGenerator::PreviewAssetsBlock recordInto(std::shared_ptr<Received> received)
{
    return [received](const std::shared_ptr<ZERI_ContentAsset>& preview,
                      const std::shared_ptr<ZERI_ContentAsset>& textless) {
        ++received->calls;
        received->preview = preview;
        received->textless = textless;
    };
}

inline std::shared_ptr<Received> requestAndWait(QVRScreenPreviewGenerator& generator, int timeoutMs = 5000)
{
    auto received = std::make_shared<Received>();
    generator.retreiveOrGenerateScreenPreviews(recordInto(received));
    if (!QTest::qWaitFor([&] { return received->calls > 0; }, timeoutMs))
        qWarning() << "a preview request did not finish in time";
    return received;
}

// Mean absolute difference per channel (0 … 255) of two opaque pictures of the same size, over every other pixel
// of every other row; 255 for different sizes. Reads pixels one by one: converting whole pictures would hand the
// work to Qt's internal thread pool, which the thread checker cannot follow.
inline double meanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    double sum = 0;
    qint64 count = 0;
    for (int y = 0; y < a.height(); y += 2) {
        for (int x = 0; x < a.width(); x += 2) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            ++count;
        }
    }
    return sum / (3.0 * double(count));
}

// Collects the messages of the "tess.previews" category while alive.
class ScopedLogCapture {
public:
    ScopedLogCapture()
    {
        QMutexLocker lock(&mutex());
        active() = this;
        m_previous = qInstallMessageHandler(&ScopedLogCapture::handle);
    }
    ~ScopedLogCapture()
    {
        qInstallMessageHandler(m_previous);
        QMutexLocker lock(&mutex());
        active() = nullptr;
    }
    bool contains(const QString& text) const
    {
        QMutexLocker lock(&mutex());
        for (const QString& message : m_messages) {
            if (message.contains(text))
                return true;
        }
        return false;
    }
    int count(const QString& text) const
    {
        QMutexLocker lock(&mutex());
        int found = 0;
        for (const QString& message : m_messages)
            found += message.contains(text) ? 1 : 0;
        return found;
    }

private:
    static QMutex& mutex()
    {
        static QMutex m;
        return m;
    }
    static ScopedLogCapture*& active()
    {
        static ScopedLogCapture* capture = nullptr;
        return capture;
    }
    static void handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        QMutexLocker lock(&mutex());
        if (active() && context.category && QByteArray(context.category) == "tess.previews")
            active()->m_messages << message;
    }
    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
};

// Counts the drawings the render thread makes and the most that ever ran at once.
struct DrawingCounter {
    std::atomic<int> started{0};
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::function<void()> onStart;

    void install()
    {
        QVRScreenPreviewGenerator::setDrawProbeForTesting([this](bool starting) {
            if (starting) {
                ++started;
                const int now = ++running;
                int most = mostAtOnce.load();
                while (now > most && !mostAtOnce.compare_exchange_weak(most, now)) {
                }
                if (onStart)
                    onStart();
            } else {
                --running;
            }
        });
    }
};

} // namespace previewtest
