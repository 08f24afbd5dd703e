// render-screens DOCUMENT OUTDIR
//
// Draws every screen of a document from the model, as previews and PDF pages are drawn, and writes one PNG per
// screen into OUTDIR (made when missing), named "flow<F>-screen<SSS>.png" (1-based). DOCUMENT is a document JSON
// file or a document package folder (its "docfile.qvd", assets in its "assets" folder). Runs without a display.
// Exit status: 0 all written, 1 bad arguments or unreadable document, 2 some screen could not be drawn or written.

#include <QGuiApplication>

#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/tools/RenderScreensTool.h"

#ifdef TESS_RENDER_SCREENS_SCENE_MODE
// --scene: draws through the element views' scene instead (linked in by the element views' library).
int renderScreensSceneMode(int argc, char** argv);
#endif

#ifdef TESS_RENDER_SCREENS_PDF_MODE
// --pdf: writes the document as the export does (linked in by the viewer's library).
int renderScreensPdfMode(int argc, char** argv);
#endif

int main(int argc, char** argv)
{
#ifdef TESS_RENDER_SCREENS_PDF_MODE
    if (argc > 1 && qstrcmp(argv[1], "--pdf") == 0)
        return renderScreensPdfMode(argc, argv);
#endif
#ifdef TESS_RENDER_SCREENS_SCENE_MODE
    if (argc > 1 && qstrcmp(argv[1], "--scene") == 0)
        return renderScreensSceneMode(argc, argv);
#endif
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return RenderScreensTool::fail(QStringLiteral("usage: render-screens DOCUMENT OUTDIR"));
    return RenderScreensTool::run(arguments[1], arguments[2], [](const std::shared_ptr<ZERI_FlowScreenModel>& screen) {
        return ModelDrawing::renderScreen(*screen);
    });
}
