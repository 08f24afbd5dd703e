#include "tessarine_data_model/fuzz/DocumentFuzzTarget.h"

#include <QByteArray>

#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace tessfuzz {

bool readAndDrawDocument(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    Error error;
    const auto document = ZERI_TessarineModel::initWithJsonData(bytes, &error, QStringLiteral("fuzz input"));
    if (!document)
        return true;
    for (const auto& flow : document->flowModels()) {
        for (const auto& screen : flow->screenModels()) {
            // Drawn as render-screens draws it; a refused size gives a null image, which is an answer too.
            const QImage image = ModelDrawing::renderScreen(*screen);
            if (!image.isNull())
                (void)image.pixel(0, 0);
        }
    }
    // Written back as the application saves it: what was read must be writable, and what was written must read
    // back to a document that writes the same (a draft the next open cannot read loses every edit).
    const QByteArray written = document->jsonData();
    Error againError;
    const auto again = ZERI_TessarineModel::initWithJsonData(written, &againError, QStringLiteral("fuzz input saved"));
    return again && again->jsonData() == written;
}

} // namespace tessfuzz
