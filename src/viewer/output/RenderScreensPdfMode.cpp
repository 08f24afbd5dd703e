// render-screens --pdf DOCUMENT OUT.pdf (render-screens hands these arguments, unchanged, to render-screens-pdf)
//
// Writes the document as the export command does, gallery pages included, so that exports can be checked and
// timed from the command line. Exit status 0, or 1 with the error's message.

#include <QGuiApplication>

#include "foundation/FontDatabaseTeardown.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/tools/RenderScreensTool.h"
#include "viewer/output/ViewerOutput.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const FontDatabaseTeardown cheapTeardown;
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4 || arguments[1] != QLatin1String("--pdf"))
        return RenderScreensTool::fail(QStringLiteral("usage: render-screens --pdf DOCUMENT OUT.pdf"));
    QString message;
    std::shared_ptr<DocumentFilePackage> package;
    const auto document = RenderScreensTool::readDocument(arguments[2], &package, &message);
    if (!document)
        return RenderScreensTool::fail(message);
    int status = 0;
    ViewerOutput::exportDocumentToPDF(document, arguments[3], true, [&](const Error& error) {
        status = error.isNull() ? 0 : RenderScreensTool::fail(error.message);
        QCoreApplication::exit(status);
    });
    return app.exec() == 0 ? status : 1;
}
