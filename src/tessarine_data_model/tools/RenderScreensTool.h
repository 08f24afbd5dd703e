#pragma once

#include <functional>
#include <memory>

#include <QImage>
#include <QString>

class ZERI_FlowScreenModel;
class ZERI_TessarineModel;
class DocumentFilePackage;

// The part of render-screens that both drawing modes share: reading DOCUMENT (a document JSON file or a package
// folder, whose "assets" folder then holds the pictures), and writing one PNG per screen into OUTDIR, named
// "flow<F>-screen<SSS>.png" (1-based). Returns the tool's exit status: 0 all written, 1 unreadable document or
// folder, 2 some screen could not be drawn or written.
namespace RenderScreensTool {

using ScreenDrawer = std::function<QImage(const std::shared_ptr<ZERI_FlowScreenModel>&)>;

int run(const QString& documentPath, const QString& outDir, const ScreenDrawer& draw);

// DOCUMENT read as run() reads it; nullptr with `message` when it cannot be. A package folder's package is put
// in `package`, which the caller keeps while it uses the document (the document holds it weakly).
std::shared_ptr<ZERI_TessarineModel> readDocument(const QString& documentPath,
                                                  std::shared_ptr<DocumentFilePackage>* package, QString* message);

// Prints "render-screens: <message>" on standard error and returns 1.
int fail(const QString& message);

} // namespace RenderScreensTool
