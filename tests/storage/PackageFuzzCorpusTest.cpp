#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tessarine_data_model/fuzz/PackageFuzzTarget.h"

// Replays the package corpus (packages with links in every place, and the inputs fuzzing found) through the
// fuzzing harness: a package opened, cleaned, published, unpublished, copied or deleted never changes a file it
// reaches only through a link. Runs in the ASan/UBSan pass too.
TEST(PackageFuzzCorpus, NoCorpusPackageChangesAFileOutsideItself)
{
    const QDir folder(QStringLiteral(TESS_PACKAGE_FUZZ_CORPUS_DIR));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    EXPECT_GE(names.size(), 10);
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(tessfuzz::openAndCleanPackage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                  std::size_t(bytes.size())))
            << name.toStdString();
    }
}
