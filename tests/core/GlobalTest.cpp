#include "core/Global.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PictureFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TempImageBase = dir.path() + "/VELUMOR";
    }
    void TearDown() override { TempImageBase.clear(); }
    QTemporaryDir dir;
};
} // namespace

TEST_F(PictureFiles, NamesCarryAtLeastFourDigits)
{
    EXPECT_EQ(FrameImageFileName(0), dir.path() + "/VELUMOR0000.jpg");
    EXPECT_EQ(FrameImageFileName(7), dir.path() + "/VELUMOR0007.jpg");
    EXPECT_EQ(FrameImageFileName(12345), dir.path() + "/VELUMOR12345.jpg");
    EXPECT_EQ(ExportImageFileName(), dir.path() + "/VELUMOR.jpg");
}

TEST_F(PictureFiles, TakeExportedImageReplacesTheFramePicture)
{
    writeFile(FrameImageFileName(13), "old");
    writeFile(ExportImageFileName(), "new");
    TakeExportedImage(13);
    EXPECT_EQ(readFile(FrameImageFileName(13)), "new");
    EXPECT_FALSE(QFile::exists(ExportImageFileName()));

    // Without an export the frame loses its old picture and gets none.
    TakeExportedImage(13);
    EXPECT_FALSE(QFile::exists(FrameImageFileName(13)));
}

TEST_F(PictureFiles, DeleteTempImagesRemovesOnlyOurPictures)
{
    for (const char *name : {"VELUMOR.jpg", "VELUMOR0000.jpg", "VELUMOR12345.jpg", "VELUMORx.jpg"})
        writeFile(dir.path() + "/" + name, "x");
    for (const char *name : {"VELUMOR0001.jpeg", "other.jpg", "velumor0002.jpg", "VELUMOR.xml", "AVELUMOR.jpg"})
        writeFile(dir.path() + "/" + name, "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("VELUMORdir.jpg"));
    DeleteTempImages();
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    left.sort();
    EXPECT_EQ(left, (QStringList{"AVELUMOR.jpg", "VELUMOR.xml", "VELUMOR0001.jpeg", "VELUMORdir.jpg", "other.jpg",
                                 "velumor0002.jpg"}));
}

TEST(PictureFilesUnset, DeleteWithoutABaseTouchesNothing)
{
    QTemporaryDir dir;
    const QString keep = dir.path() + "/x.jpg";
    writeFile(keep, "x");
    TempImageBase.clear();
    DeleteTempImages();
    EXPECT_TRUE(QFile::exists(keep));
}

TEST(FrameNumbers, SceneFirstFramePlusIndex)
{
    Scenes = {TSceneInfo{"a", 10, 0, {}, QStringList(10, QString())},
              TSceneInfo{"b", 5, 10, {}, QStringList(5, QString())}};
    TFrame f;
    f.SceneIndex = 1;
    f.FrameIndex = 3;
    TempImageBase = "/t/VELUMOR";
    EXPECT_EQ(FrameImageFileName(f.FrameIndex + Scenes[f.SceneIndex].FirstFrame), "/t/VELUMOR0013.jpg");
    Scenes.clear();
    TempImageBase.clear();
}

TEST(Units, PixelsAtAResolutionRoundHalvesToEven)
{
    EXPECT_EQ(ScaledPixels(550, 72), 550);
    EXPECT_EQ(ScaledPixels(550, 150), 1146); // 1145.83
    EXPECT_EQ(ScaledPixels(400, 150), 833);  // 833.33
    EXPECT_EQ(ScaledPixels(36, 2), 1);       // 1.0
    EXPECT_EQ(ScaledPixels(9, 4), 0);        // 0.5 -> 0
    EXPECT_EQ(ScaledPixels(27, 4), 2);       // 1.5 -> 2
    EXPECT_EQ(ScaledPixels(45, 4), 2);       // 2.5 -> 2
}

TEST(ChangeFileExt, ReplacesOnlyTheNamesExtension)
{
    EXPECT_EQ(ChangeFileExt("/m/intro.swf", ".pdf"), "/m/intro.pdf");
    EXPECT_EQ(ChangeFileExt("/m/intro", ".pdf"), "/m/intro.pdf");
    EXPECT_EQ(ChangeFileExt("/m.v2/intro", ".pdf"), "/m.v2/intro.pdf");
    EXPECT_EQ(ChangeFileExt("/m/a.b.fla", ".pdf"), "/m/a.b.pdf");
    EXPECT_EQ(ChangeFileExt("/opt/Kavrel", ".so"), "/opt/Kavrel.so");
}

TEST(FrameSelectionTest, SetFramesTakesTheArrayAndClearsLabelsUntilExpanded)
{
    TFrameSelection sel;
    sel.LabelWidth = 40;
    TFrameArr frames(3);
    frames[1].LabelText = "stale";
    sel.SetFrames(frames);
    EXPECT_EQ(sel.FrameCount(), 3);
    EXPECT_TRUE(sel.GetFrame(1).LabelText.isEmpty());
    EXPECT_EQ(sel.LabelWidth, 0);

    int expanded = 0;
    TFrameSelection::SetLabelHooks([&](TFrameSelection &s) { s.LabelWidth = 7; }, [&](TFrameSelection &) { ++expanded; }, nullptr);
    sel.SetFrames(frames);
    EXPECT_EQ(sel.LabelWidth, 7);
    sel.ExpandFrameLabels();
    sel.MeasureFrameLabels(); // no hook: nothing happens
    EXPECT_EQ(expanded, 1);
    TFrameSelection::SetLabelHooks(nullptr, nullptr, nullptr);
}

TEST(ChildControls, EnabledRecursivelyButNotTheContainer)
{
    int argc = 1;
    char arg0[] = "test";
    char *argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QGroupBox group;
    auto *a = new QCheckBox(&group);
    auto *inner = new QGroupBox(&group);
    auto *b = new QCheckBox(inner);
    SetChildControlsEnabled(&group, false);
    EXPECT_TRUE(group.isEnabled());
    EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(inner->isEnabled());
    EXPECT_FALSE(b->isEnabled());
    SetChildControlsEnabled(&group, true);
    EXPECT_TRUE(a->isEnabled() && inner->isEnabled() && b->isEnabled());

    QStringList shown;
    auto old = SetErrorSink([&](const QString &t) { shown << t; });
    ShowErrorMessage("Invalid frame range.");
    SetErrorSink(old);
    EXPECT_EQ(shown, QStringList{"Invalid frame range."});
}
