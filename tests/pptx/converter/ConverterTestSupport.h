#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include "platform/Error.h"
#include "pptx/converter/QVRPowerPointConverter.h"

class ZERI_TessarineModel;
class ZERI_MMObject_Text;

// Points the package store and the temporary folder at fresh folders for one test and waits, at the end, until no
// import of the test is still running.
class ConverterFolders {
public:
    ConverterFolders();
    ~ConverterFolders();
    QString packagesFolder() const;
    QString temporaryFolder() const { return m_temporary.path(); }
    // Package folders now in the store, and entries now in the temporary folder.
    QStringList packageFolders() const;
    QStringList temporaryEntries() const;

private:
    QTemporaryDir m_support;
    QTemporaryDir m_temporary;
};

// What one import reported.
struct ImportOutcome {
    int doneCount = 0;
    std::shared_ptr<ZERI_TessarineModel> document;
    Error error;
    std::vector<double> progress;
    QStringList fontsAsked;
};

// Processes events until `condition` holds or `timeoutMs` passed; returns the condition.
bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// Imports `deckPath` and waits for the end (onDone, or every worker of a cancelled import finished). Each font
// question is answered with `answerFor(name)` right away.
ImportOutcome importDeck(const QString& deckPath, const std::function<QString(const QString&)>& answerFor = {});

// A PNG of the size, and bytes that are no picture at all.
QByteArray pngBytes(int width, int height);

// Small deck pieces.
std::string run(const std::string& text, const std::string& rPr = "<a:rPr lang=\"en\"/>");
std::string para(const std::string& body, const std::string& pPr = {});
std::string picture(const std::string& embed, const std::string& xfrm);
long long emu(double px);

// All text objects of a document, screen by screen.
std::vector<std::vector<std::shared_ptr<ZERI_MMObject_Text>>> textObjects(const ZERI_TessarineModel& document);
