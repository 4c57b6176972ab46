#include "core/platform/program_folder.h"

#include "support/test_support.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vellicar;

TEST(ProgramFolder, WritableExecutableFolderIsUsed) {
    QTemporaryDir tmp;
    const platform::ProgramFolder f =
        platform::resolveProgramFolder(tmp.path(), tmp.path() + QStringLiteral("/data"));
    EXPECT_EQ(f.folder, tmp.path());
    EXPECT_FALSE(f.standIn);
    EXPECT_FALSE(QDir(tmp.path() + QStringLiteral("/data")).exists());
}

TEST(ProgramFolder, MissingExecutableFolderFallsBackAndCopiesNothingMissing) {
    QTemporaryDir tmp;
    const QString data = tmp.path() + QStringLiteral("/data");
    const platform::ProgramFolder f =
        platform::resolveProgramFolder(tmp.path() + QStringLiteral("/gone"), data);
    EXPECT_EQ(f.folder, data);
    EXPECT_TRUE(f.standIn);
    EXPECT_TRUE(QDir(data + QStringLiteral("/databases")).exists());
    EXPECT_TRUE(f.error.isEmpty());
}
