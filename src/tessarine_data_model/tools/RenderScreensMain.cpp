// render-screens DOCUMENT OUTDIR
//
// Draws every screen of a document from the model, as previews and PDF pages are drawn, and writes one PNG per
// screen into OUTDIR (made when missing), named "flow<F>-screen<SSS>.png" (1-based). DOCUMENT is a document JSON
// file or a document package folder (its "docfile.qvd", assets in its "assets" folder). Runs without a display.
// Exit status: 0 all written, 1 bad arguments or unreadable document, 2 some screen could not be drawn or written.
//
// --scene and --pdf are run by the tools render-screens-scene and render-screens-pdf in this tool's folder, given
// the same arguments: this one links the model's drawing only.

#include <cstdio>
#include <cstring>

#include <QGuiApplication>

#include "foundation/FontDatabaseTeardown.h"
#include "platform/SiblingProgram.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/tools/RenderScreensTool.h"

namespace {

constexpr const char* kUsage = "usage: render-screens DOCUMENT OUTDIR\n"
                               "       render-screens --scene DOCUMENT OUTDIR\n"
                               "       render-screens --pdf DOCUMENT OUT.pdf\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--scene") == 0)
        return SiblingProgram::exec("render-screens-scene", argv, "render-screens");
    if (argc > 1 && std::strcmp(argv[1], "--pdf") == 0)
        return SiblingProgram::exec("render-screens-pdf", argv, "render-screens");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const FontDatabaseTeardown cheapTeardown;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return RenderScreensTool::fail(QStringLiteral("usage: render-screens DOCUMENT OUTDIR"));
    return RenderScreensTool::run(arguments[1], arguments[2], [](const std::shared_ptr<ZERI_FlowScreenModel>& screen) {
        return ModelDrawing::renderScreen(*screen);
    });
}
