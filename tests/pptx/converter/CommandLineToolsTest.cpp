#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "pptx/TestDeck.h"
#include "pptx/converter/ConverterTestSupport.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The shared libraries the dynamic loader brings in for `tool` that belong to the widgets, the web engine, the
// multimedia stack, FFmpeg or QtPdf.
[[maybe_unused]] QStringList heavyLibraries(const QString& tool)
{
    const ToolRun listing = runTool(QStringLiteral("ldd"), {tool});
    EXPECT_EQ(listing.exitCode, 0) << listing.err.toStdString();
    static const QRegularExpression heavy(
        QStringLiteral("libQt6(Widgets|WebEngine\\w*|Multimedia\\w*|Pdf\\w*)\\.so|libav(codec|format|util)\\.so"));
    QStringList found;
    for (const QString& line : listing.out.split(QLatin1Char('\n'))) {
        if (heavy.match(line).hasMatch())
            found << line.trimmed().section(QLatin1Char(' '), 0, 0);
    }
    return found;
}

// A deck of one slide with one text box, written into `folder`; its path, or empty when it cannot be written.
QString writeOneSlideDeck(const QTemporaryDir& folder)
{
    TestDeck deck = TestDeck::minimal(1);
    deck.setSlideTree(1, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525 * 600, 9525 * 80),
                                             "<a:p><a:r><a:rPr lang=\"en\"/><a:t>One slide</a:t></a:r></a:p>"));
    const QString path = folder.filePath(QStringLiteral("deck.pptx"));
    return deck.writeTo(path.toStdString()) ? path : QString();
}

} // namespace

TEST(CommandLineTools, ImportAndDrawingLoadNoWidgetWebOrMediaLibraryAndStillConvertADeck)
{
    const QString import = QStringLiteral(PPTX_IMPORT_PATH);
    const QString render = QStringLiteral(RENDER_SCREENS_PATH);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Instrumented objects keep references an ordinary build drops, so only ordinary builds are held to this.
    EXPECT_EQ(heavyLibraries(import), QStringList());
    EXPECT_EQ(heavyLibraries(render), QStringList());
#endif

    // Usage on request: on standard output, with success, before any application object is made.
    for (const QString& tool : {import, render}) {
        const ToolRun help = runTool(tool, {QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0) << tool.toStdString();
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: "))) << help.out.toStdString();
    }

    // A one-slide deck goes through both: imported as a package, whose one screen is drawn to a PNG.
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString deckPath = writeOneSlideDeck(work);
    ASSERT_FALSE(deckPath.isEmpty());
    const ToolRun imported = runTool(import, {deckPath, work.filePath(QStringLiteral("packages"))});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    const QString package = imported.out.trimmed();
    ASSERT_TRUE(QDir(package).exists(QStringLiteral("docfile.qvd"))) << package.toStdString();
    const ToolRun drawn = runTool(render, {package, work.filePath(QStringLiteral("screens"))});
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err.toStdString();
    const QImage screen(work.filePath(QStringLiteral("screens/flow1-screen001.png")));
    ASSERT_FALSE(screen.isNull());
    EXPECT_EQ(screen.size(), QSize(1024, 748));
}

TEST(CommandLineTools, ReencodeChecksItsCommandLineWithoutFFmpegAndPdfOutputLoadsNoWindowOrMediaLibrary)
{
    const QString reencode = QStringLiteral(REENCODE_PATH);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_EQ(heavyLibraries(reencode), QStringList());
    EXPECT_EQ(heavyLibraries(QStringLiteral(RENDER_SCREENS_PDF_PATH)), QStringList());
    // The worker beside the front is where FFmpeg is loaded, and the check above would see it there.
    EXPECT_FALSE(heavyLibraries(QStringLiteral(REENCODE_WORKER_PATH)).isEmpty());
#endif

    const ToolRun help = runTool(reencode, {QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--preset <name>"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("The QuickTime movie to write."))) << help.out.toStdString();

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString missing = work.filePath(QStringLiteral("none.mp4"));
    const QString movie = work.filePath(QStringLiteral("out.mov"));
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("--preset"), QStringLiteral("huge"), missing, movie},
          QStringList{QStringLiteral("--preset"), QStringLiteral("small"), missing}, QStringList{missing, movie}}) {
        const ToolRun refused = runTool(reencode, wrong);
        EXPECT_EQ(refused.exitCode, 2) << wrong.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(refused.err.startsWith(QStringLiteral("usage: reencode --preset"))) << refused.err.toStdString();
    }
    const ToolRun unknownOption = runTool(reencode, {QStringLiteral("--bogus")});
    EXPECT_EQ(unknownOption.exitCode, 1);
    EXPECT_TRUE(unknownOption.err.contains(QStringLiteral("Unknown option 'bogus'")))
        << unknownOption.err.toStdString();

    // A valid command line reaches the re-encoder, which reports the input it cannot open.
    const ToolRun unreadable = runTool(reencode, {QStringLiteral("--preset"), QStringLiteral("small"), missing, movie});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_TRUE(unreadable.err.contains(QStringLiteral("none.mp4"))) << unreadable.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(movie));
}

TEST(CommandLineTools, ToolsThatDrawNoTextLeaveTheFontConfigurationUnreadAndOnesThatDoEndCleanly)
{
    // With this, fontconfig reports on standard output each configuration file it loads.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("FC_DEBUG"), QStringLiteral("1024"));
    const QString configLoaded = QStringLiteral("Loading config file");

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString deckPath = writeOneSlideDeck(work);
    ASSERT_FALSE(deckPath.isEmpty());
    const ToolRun imported =
        runTool(QStringLiteral(PPTX_IMPORT_PATH), {deckPath, work.filePath(QStringLiteral("packages"))}, environment);
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_FALSE(imported.out.contains(configLoaded)) << imported.out.toStdString();
    const QString package = imported.out.trimmed().split(QLatin1Char('\n')).last();
    ASSERT_TRUE(QDir(package).exists(QStringLiteral("docfile.qvd"))) << package.toStdString();

    // Drawing the text loads the configuration; the end of the program then frees it without fault.
    const QString render = QStringLiteral(RENDER_SCREENS_PATH);
    const ToolRun drawn = runTool(render, {package, work.filePath(QStringLiteral("screens"))}, environment);
    EXPECT_EQ(drawn.exitCode, 0) << drawn.err.toStdString();
    EXPECT_TRUE(drawn.out.contains(configLoaded)) << drawn.out.toStdString();
    const QImage screen(work.filePath(QStringLiteral("screens/flow1-screen001.png")));
    EXPECT_EQ(screen.size(), QSize(1024, 748));
    const QString pdf = work.filePath(QStringLiteral("document.pdf"));
    const ToolRun written = runTool(render, {QStringLiteral("--pdf"), package, pdf}, environment);
    EXPECT_EQ(written.exitCode, 0) << written.err.toStdString();
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}

// An import killed before its end (its process gone, as when the system stops it for memory) leaves its half-built
// document and its pictures; the next run removes both. An import still running is never touched.
TEST(CommandLineTools, TheNextRunRemovesWhatAKilledImportLeftBehind)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"TMPDIR", "XDG_DATA_HOME", "HOME"}) {
        const QString folder = work.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(QDir().mkpath(folder));
        environment.insert(QString::fromLatin1(name), folder);
    }
    const QString temporary = environment.value(QStringLiteral("TMPDIR"));
    // Long enough to be killed midway: one picture cropped at many sizes.
    TestDeck deck = TestDeck::minimal(1);
    deck.parts["ppt/media/big.png"] = pngBytes(1200, 1000).toStdString();
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/big.png");
    std::string tree;
    for (int i = 0; i < 400; ++i)
        tree += picture("rId2", TestDeck::xfrm(0, 0, emu(200 + i), emu(150)));
    deck.setSlideTree(1, tree);
    const QString bigDeck = work.filePath(QStringLiteral("big.pptx"));
    ASSERT_TRUE(deck.writeTo(bigDeck.toStdString()));

    const QDir killedOut(work.filePath(QStringLiteral("killed")));
    const auto leftovers = [&] {
        return killedOut.entryList(QDir::Dirs | QDir::NoDotAndDotDot) +
               QDir(temporary).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    QProcess killed;
    killed.setProcessEnvironment(environment);
    killed.start(QStringLiteral(PPTX_IMPORT_PATH), {bigDeck, killedOut.path()});
    ASSERT_TRUE(killed.waitForStarted());
    QDeadlineTimer deadline(30000);
    while (killedOut.entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty() && !deadline.hasExpired() &&
           killed.state() == QProcess::Running)
        QThread::msleep(5);
    ASSERT_EQ(killed.state(), QProcess::Running) << "the import ended before it could be killed";
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(10000));
    ASSERT_FALSE(leftovers().isEmpty()) << "a killed import leaves its work";

    const ToolRun next = runTool(QStringLiteral(PPTX_IMPORT_PATH),
                                 {writeOneSlideDeck(work), work.filePath(QStringLiteral("next"))}, environment);
    ASSERT_EQ(next.exitCode, 0) << next.err.toStdString();
    EXPECT_EQ(leftovers(), QStringList()) << "no document and no temporary folder of the killed import";
    EXPECT_TRUE(QDir(next.out.trimmed()).exists(QStringLiteral("docfile.qvd")));
}
