// A new document from a 20-screen template (10 objects a screen, 20 image files): copy with linked files,
// retitle, round trip, trim, save. Floor: parsing the sample's text and writing it compact into the same folder.
// Target: at most 3 × the floor.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>

#include "library/themes/QVR_TemplateChooserViewController.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "support/BenchSupportFolder.h"
#include "support/QtBenchmarkMain.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kScreens = 20;
constexpr int kObjectsPerScreen = 10;
constexpr int kImageFiles = 20;

struct Template {
    QTemporaryDir support;
    std::shared_ptr<ZERI_TessarineModel> sample;
    QByteArray sampleText;

    Template()
    {
        storePackagesUnder(support.path());
        sample = ZERI_TessarineModel::create();
        sample->setIsThemeTessarine(true);
        sample->saveToFile();
        const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(sample->filePackage());
        QImage picture(64, 48, QImage::Format_RGB32);
        auto flow = sample->firstFlowmodel();
        for (int s = 0; s < kScreens; ++s) {
            auto screen = ZERI_FlowScreenModel::create();
            flow->addFlowScreen(screen);
            for (int o = 0; o < kObjectsPerScreen; ++o) {
                const bool image = o == 0;
                auto object = ZERI_MixedMediaObject::objectWithType(image ? ZERI_MixedMediaObject::Image
                                                                          : ZERI_MixedMediaObject::Text);
                object->object()->setFrame(QRectF(10 * o, 20 * o, 200, 60));
                if (image && s < kImageFiles) {
                    picture.fill(QColor::fromHsv(s * 17 % 360, 200, 200));
                    const QString path = package->assetsPath() + QStringLiteral("/image%1.png").arg(s);
                    picture.save(path);
                    auto asset = ZERI_ContentAsset::create();
                    asset->setExternalURL(QUrl::fromLocalFile(path));
                    object->object()->setOriginalImageAsset(asset);
                }
                screen->addMixedMediaObject(object);
            }
        }
        sample->saveToFile();
        sampleText = sample->jsonData();
    }
    ~Template()
    {
        ZERI_qvdFilePackage::resetForTesting();
        AppPaths::setApplicationSupportForTesting(QString());
    }
};

Template& shared()
{
    static Template s_template;
    return s_template;
}

void BM_NewDocumentFromTemplate(benchmark::State& state)
{
    Template& t = shared();
    for (auto _ : state) {
        const auto document = QVR_TemplateChooserViewController::newDocumentFromSample(t.sample, QStringLiteral("7"));
        if (!document) {
            state.SkipWithError("no document");
            break;
        }
        state.PauseTiming();
        std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage())->deletePackage();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_NewDocumentFromTemplate)->Unit(benchmark::kMillisecond);

// The floor: the same text parsed and written compact into the same folder.
void BM_ParseAndWriteFloor(benchmark::State& state)
{
    Template& t = shared();
    const QString target =
        std::dynamic_pointer_cast<ZERI_qvdFilePackage>(t.sample->filePackage())->path() + QStringLiteral("/floor.json");
    for (auto _ : state) {
        const QJsonDocument parsed = QJsonDocument::fromJson(t.sampleText);
        QSaveFile file(target);
        file.open(QIODevice::WriteOnly);
        file.write(parsed.toJson(QJsonDocument::Compact));
        file.commit();
    }
    QFile::remove(target);
}
BENCHMARK(BM_ParseAndWriteFloor)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return runQtBenchmarks<QApplication>(argc, argv);
}
