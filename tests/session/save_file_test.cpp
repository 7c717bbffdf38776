// The editor's one way of writing a file: the whole new content or the old file, never half,
// and the file's place in the player's folders kept as it was (a link stays a link).
#include "session/save_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using qeltx::session::saveFile;

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(SaveFile, ReplacesTheWholeContentAndLeavesNothingBesideIt) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("Mode.txt"));
    ASSERT_EQ(saveFile(path, "BANK, a longer old content"), std::nullopt);
    ASSERT_EQ(saveFile(path, "PRESET"), std::nullopt);
    EXPECT_EQ(contentOf(path), QByteArray("PRESET"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Mode.txt")});
}

// Players keep their documents in a synced folder through a link, or link one file there: the
// new content goes to the link's target, and the link stays.
TEST(SaveFile, AFileThatIsALinkStaysALinkAndItsTargetGetsTheContent) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("synced"));
    const QString target = QDir(dir.path()).filePath(QStringLiteral("synced/style.txt"));
    const QString link = QDir(dir.path()).filePath(QStringLiteral("style.txt"));
    ASSERT_EQ(saveFile(target, "3"), std::nullopt);
    ASSERT_TRUE(QFile::link(target, link));

    ASSERT_EQ(saveFile(link, "5"), std::nullopt);

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(contentOf(target), QByteArray("5"));
    EXPECT_EQ(contentOf(link), QByteArray("5"));
}

TEST(SaveFile, AFileKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("pedal.json"));
    ASSERT_EQ(saveFile(path, "old"), std::nullopt);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(path, ownerOnly));
    ASSERT_EQ(saveFile(path, "new"), std::nullopt);
    EXPECT_EQ(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_EQ(contentOf(path), QByteArray("new"));
}

TEST(SaveFile, AFolderThatDoesNotExistIsAReason) {
    QTemporaryDir dir;
    const auto problem = saveFile(QDir(dir.path()).filePath(QStringLiteral("no/such/folder/report.txt")), "text");
    ASSERT_TRUE(problem.has_value());
    EXPECT_FALSE(problem->isEmpty());
}

}  // namespace
