// render-screens DOCUMENT OUTDIR
//
// Draws every screen of a document from the model, as previews and PDF pages are drawn, and writes one PNG per
// screen into OUTDIR (made when missing), named "flow<F>-screen<SSS>.png" (1-based). DOCUMENT is a document JSON
// file or a document package folder (its "docfile.qvd", assets in its "assets" folder). Runs without a display.
// Exit status: 0 all written, 1 bad arguments or unreadable document, 2 some screen could not be drawn or written.
//
// --scene and --pdf are run by the tools render-screens-scene and render-screens-pdf in this tool's folder, given
// the same arguments: this one links the model's drawing only.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include <QGuiApplication>

#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/tools/RenderScreensTool.h"

namespace {

constexpr const char* kUsage = "usage: render-screens DOCUMENT OUTDIR\n"
                               "       render-screens --scene DOCUMENT OUTDIR\n"
                               "       render-screens --pdf DOCUMENT OUT.pdf\n";

// Replaces this process with the mode's tool, found next to this one; returns only when it cannot be started.
int runModeTool(const char* tool, char** argv)
{
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        self = std::filesystem::absolute(argv[0], error);
    const std::filesystem::path path = self.parent_path() / tool;
    execv(path.c_str(), argv);
    std::fprintf(stderr, "render-screens: cannot start %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--scene") == 0)
        return runModeTool("render-screens-scene", argv);
    if (argc > 1 && std::strcmp(argv[1], "--pdf") == 0)
        return runModeTool("render-screens-pdf", argv);
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
