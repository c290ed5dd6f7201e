// The capture, frame selection and page setup steps and their controls.
#include "controls/CheckListEdit.h"
#include "controls/RadioGroup.h"
#include "controls/ThumbnailList.h"
#include "core/Global.h"
#include "wizard/BaseWizardFrm.h"
#include "wizard/Step2Frm.h"
#include "wizard/Step3Frm.h"
#include "wizard/Step4Frm.h"
#include "wizard/Step6Frm.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace {

void SetUpModel(bool swfMode, int sceneCount = 1)
{
    IsSWFMode = swfMode;
    AppTitle = QStringLiteral("Tessory v1.0");
    StepForms.clear();
    MovieFileName.clear();
    MovieWidth = MovieHeight = 0;
    Scenes.clear();
    for (int i = 0; i < sceneCount; ++i)
        Scenes << TSceneInfo{swfMode ? QString() : QStringLiteral("Scene %1").arg(i + 1), 10, i * 10, {0}, QStringList(10)};
}

// Bits most significant first, as a movie's frame rectangle is stored.
class Bits {
public:
    void put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            if (m_used == 0)
                m_bytes.append('\0');
            if ((value >> i) & 1)
                m_bytes[m_bytes.size() - 1] = char(uchar(m_bytes.back()) | (0x80 >> m_used));
            m_used = (m_used + 1) % 8;
        }
    }
    QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_used = 0;
};

void appendLE(QByteArray &out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// An uncompressed movie: header with a rectangle of nbits-wide values, one
// ShowFrame and the End tag.
// tags: whole tags (header included) put before the first frame.
QByteArray PlainMovie(uint32_t xmax, uint32_t ymax, uint16_t frameCount, int nbits = 15, const QByteArray &tags = {})
{
    Bits rect;
    rect.put(uint32_t(nbits), 5);
    for (uint32_t v : {0u, xmax, 0u, ymax})
        rect.put(v, nbits);
    QByteArray body = rect.bytes();
    body.append('\0');           // frame rate fraction
    body.append(char(12));       // frame rate
    appendLE(body, frameCount, 2);
    body.append(tags);
    for (uint16_t i = 0; i < frameCount; ++i)
        appendLE(body, (1 << 6) | 0, 2); // ShowFrame
    appendLE(body, 0, 2);                // End
    QByteArray file("FWS");
    file.append(char(6));
    appendLE(file, uint32_t(8 + body.size()), 4);
    return file + body;
}

// A compressed movie whose compressed part is no zlib stream.
QByteArray DamagedCompressedMovie()
{
    QByteArray file("CWS");
    file.append(char(6));
    appendLE(file, 1000, 4);
    file.append(QByteArray(40, char(0xEE)));
    return file;
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(data);
    return path;
}

// The user's choice in a drop-down list.
void Choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QStringList ItemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// Types text key by key, each key carrying its character (also characters
// no key code names).
void TypeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        const int key = c.isLetter() || c.isDigit() ? c.toUpper().unicode() : 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

std::unique_ptr<TBaseWizardForm> MakeStep(int number)
{
    switch (number) {
    case 2: return std::make_unique<TStep2Form>();
    case 3: return std::make_unique<TStep3Form>();
    default: return std::make_unique<TStep4Form>();
    }
}

const char kSwfListHint[] =
    "Select the frames you want to export (Ctrl+click for multiple select).\n"
    "The symbols in the thumbnail captions are:\n"
    "+ (Plus Sign) - The frame has a frame label\n"
    "Number - Frame number in the file\n"
    "* (Asterisk) - The frame is a key frame";
const char kFlaListHint[] =
    "Select the frames you want to export (Ctrl+click for multiple select).\n"
    "The symbols in the thumbnail captions are:\n"
    "+ (Plus Sign) - The frame has a frame label\n"
    "First Number - Scene number\n"
    "Second Number - Frame number in the scene\n"
    "Third Number - Frame number in the file\n"
    "* (Asterisk) - The frame is a key frame";

} // namespace

class Steps234Test : public QObject {
    Q_OBJECT

    QStringList m_errors;
    ErrorSink m_previousSink;

private slots:
    void initTestCase()
    {
        m_previousSink = SetErrorSink([this](const QString &text) { m_errors << text; });
    }
    void cleanupTestCase() { SetErrorSink(m_previousSink); }
    void init()
    {
        m_errors.clear();
        OfferMovieToCaptureStep = nullptr;
    }

    void controlProperties_data();
    void controlProperties();
    void headerAndCaption_data();
    void headerAndCaption();
    void startState_data();
    void startState();

    void step2OpenSwfFile_data();
    void step2OpenSwfFile();
    void step2ValidMovieSetsStage();
    void step2StageSize_data();
    void step2StageSize();
    void step2RefusedMovie_data();
    void step2RefusedMovie();
    void step2StoresCleanAbsolutePath();
    void step2ErrorBoxReentry();
    void step2CaptureMethodSwitch();
    void step2RefusedEntry_data();
    void step2RefusedEntry();
    void step2OfferedMovie();
    void step2MovieNotice_data();
    void step2MovieNotice();

    void step3Filters_data();
    void step3Filters();
    void step3SceneChooser_data();
    void step3SceneChooser();
    void step3SceneClicks_data();
    void step3SceneClicks();
    void step3FilterValueControls_data();
    void step3FilterValueControls();
    void step3ApplyEnabling();
    void step3SelectedFramesKeys_data();
    void step3SelectedFramesKeys();
    void step3EnterPressesApply();
    void step3Selection_data();
    void step3Selection();
    void step3LabelsAndStoredSelection();
    void step3EmptyListSaysWhy_data();
    void step3EmptyListSaysWhy();

    void step4PageSizeList();
    void step4SpinEdits_data();
    void step4SpinEdits();
    void step4Orientation();
    void step4ManualWidthKeepsSize();

    void radioGroupItemIndex_data();
    void radioGroupItemIndex();
    void radioGroupUserClick();
    void checkListText_data();
    void checkListText();
    void checkListStatesFromText_data();
    void checkListStatesFromText();
    void checkListBounds_data();
    void checkListBounds();
};

// ---------------------------------------------------------------- controls

void Steps234Test::controlProperties_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<int>("stepNumber");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");

    const auto row = [](bool swf, int n, const char *control, const char *property, const QVariant &value) {
        QTest::addRow("%s %d %s.%s", swf ? "swf" : "fla", n, control, property)
            << swf << n << QString::fromLatin1(control) << QByteArray(property) << value;
    };
    // Step 2 (SWF mode only).
    row(true, 2, "lblSWFFile", "text", "S&WF File");
    row(true, 2, "cmbxSWFFile", "toolTip", "SWF file name");
    row(true, 2, "cmbxSWFFile", "editable", true);
    row(true, 2, "bitbtnSWFFileBrowse", "toolTip", "Open SWF file");
    row(true, 2, "bitbtnSWFFileBrowse", "text", "...");
    row(true, 2, "lblCaptureMethod", "text", "Capture &method");
    row(true, 2, "cmbxCaptureMethod", "toolTip", "Type of capture method to use");
    row(true, 2, "cmbxCaptureMethod", "currentIndex", 0);
    row(true, 2, "trbarPlayProgress", "toolTip", "Animation position");
    row(true, 2, "trbarPlayProgress", "minimum", 1);
    row(true, 2, "lblStart", "text", "Start frame");
    row(true, 2, "lblEnd", "text", "End frame");
    row(true, 2, "MediaPlayer", "toolTip", "Play / Stop / Reset the SWF file");
    row(true, 2, "btnPlay", "text", "Play");
    row(true, 2, "btnStop", "text", "Stop");
    row(true, 2, "btnEject", "text", "Eject");
    row(true, 2, "bitbtnCancel", "text", "Cancel");
    row(true, 2, "bitbtnCancel", "toolTip", "Cancel capturing frames");
    row(true, 2, "lblCapturingFrames", "text", "Capturing frames");
    row(true, 2, "opndlgOpenSWFFile", "windowTitle", "Open SWF File");
    row(true, 2, "opndlgOpenSWFFile", "fileMode", int(QFileDialog::ExistingFile));
    // Step 3, both modes.
    for (bool swf : {true, false}) {
        row(swf, 3, "tlThumbnailList", "Columns", 4);
        row(swf, 3, "tlThumbnailList", "MultiSelect", true);
        row(swf, 3, "tlThumbnailList", "ThumbnailSize", 100);
        row(swf, 3, "tlThumbnailList", "ShowSelection", true);
        row(swf, 3, "tlThumbnailList", "ScrollStyle", QVariant::fromValue(TThumbnailList::ssNormal));
        row(swf, 3, "tlThumbnailList", "ScrollColor", QColor(Qt::black));
        row(swf, 3, "tlThumbnailList", "ScrollWidth", 16);
        row(swf, 3, "tlThumbnailList", "size", QSize(457, 345));
        row(swf, 3, "tlThumbnailList", "toolTip", QString::fromLatin1(swf ? kSwfListHint : kFlaListHint));
        row(swf, 3, "cmbxScenes", "toolTip", "Select the scenes you want to view");
        row(swf, 3, "cmbxScenes", "readOnly", true);
        row(swf, 3, "cmbxScenes", "DropHeight", 100);
        row(swf, 3, "cmbxScenes", "DropFlat", true);
        row(swf, 3, "cmbxScenes", "DropSorted", false);
        row(swf, 3, "cmbxScenes", "DropDirection", QVariant::fromValue(TCheckListEdit::ddDown));
        row(swf, 3, "chbxShowCaptions", "text", "Sho&w captions");
        row(swf, 3, "chbxShowCaptions", "checked", true);
        row(swf, 3, "chbxShowCaptions", "toolTip", "Controls wheter thumbnail captions are displayed");
        row(swf, 3, "bitbtnSelectAll", "text", "S&elect All");
        row(swf, 3, "bitbtnSelectAll", "toolTip", "Select all frames");
        row(swf, 3, "bitbtnClearAll", "text", "Clea&r All");
        row(swf, 3, "bitbtnClearAll", "toolTip", "Deselect all frames");
        row(swf, 3, "cmbxFrameFilter", "toolTip", "Select the filter to apply to the frames");
        row(swf, 3, "spnedtFrameFilterVal", "minimum", 1);
        row(swf, 3, "spnedtFrameFilterVal", "maximum", 2147483647);
        row(swf, 3, "spnedtFrameFilterVal", "value", 10);
        row(swf, 3, "spnedtFrameFilterVal", "toolTip",
            "Select the number of frames (press Enter or Apply to apply the value)");
        row(swf, 3, "edtSelectedFrames", "toolTip",
            "Enter numbers of frames in the file and/or frame ranges separated by commas, for exapmpe 1,3,5-7 "
            "(press Enter or Apply to apply the value)");
        row(swf, 3, "bitbtnApplyFrameFilterVal", "text", "&Apply");
        row(swf, 3, "bitbtnApplyFrameFilterVal", "toolTip", "Apply the frames filter");
        row(swf, 3, "imgFrame", "size", QSize(341, 341));
        row(swf, 3, "imgFrame", "cursor", QVariant::fromValue(QCursor(Qt::PointingHandCursor)));
        row(swf, 3, "edtFrameLabel", "toolTip", "Edit the label of the currently selected frame");
        row(swf, 3, "lblFrameLabel", "text", "Frame &label");
        row(swf, 3, "bitbtnPreview", "text", "&Preview");
        row(swf, 3, "bitbtnPreview", "toolTip", "Click to see actual size preview");
        row(swf, 3, "lblThumbnails", "text", "Thumbnails");
        row(swf, 3, "lblDetails", "text", "Details");
        row(swf, 3, "lblScenes", "text", "&Scenes");
        row(swf, 3, "lblShow", "text", "S&how");
        row(swf, 3, "lblFrames", "text", "frames");
    }
    // Step 4, both modes.
    for (bool swf : {true, false}) {
        row(swf, 4, "rgOrientation", "Items", QStringList{"Portrait", "Landscape", "Auto"});
        row(swf, 4, "rgOrientation", "ItemIndex", 0);
        row(swf, 4, "rgOrientation", "Tag", 0);
        row(swf, 4, "chbxCenterPageContents", "checked", false);
        row(swf, 4, "pnlPagePreview", "size", QSize(225, 257));
        row(swf, 4, "cmbxPageSize", "currentIndex", -1);
    }
}

void Steps234Test::controlProperties()
{
    QFETCH(bool, swf);
    QFETCH(int, stepNumber);
    QFETCH(QString, control);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    SetUpModel(swf, 2);
    auto form = MakeStep(stepNumber);
    QObject *object = form->findChild<QObject *>(control);
    QVERIFY2(object, qPrintable(control));
    const QVariant actual = object->property(property.constData());
    QVERIFY2(actual.isValid(), property.constData());
    if (expected.metaType() == QMetaType::fromType<QCursor>())
        QCOMPARE(actual.value<QCursor>().shape(), expected.value<QCursor>().shape());
    else if (expected.metaType() == QMetaType::fromType<QColor>())
        QCOMPARE(actual.value<QColor>(), expected.value<QColor>());
    else if (expected.metaType().id() == QMetaType::Int && actual.metaType().flags() & QMetaType::IsEnumeration)
        QCOMPARE(actual.toInt(), expected.toInt());
    else
        QCOMPARE(actual, expected);
}

void Steps234Test::headerAndCaption_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<int>("stepNumber");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("caption");

    QTest::newRow("swf 2") << true << 2 << "SWF File Selection and Frame Capture"
                           << "Select SWF file, capture method and frames to capture."
                           << "Tessory v1.0 - step 2 of 7";
    for (bool swf : {true, false}) {
        QTest::addRow("%s 3", swf ? "swf" : "fla")
            << swf << 3 << "Frame Selection" << "Select the frames you want to export to the PDF file."
            << (swf ? "Tessory v1.0 - step 3 of 7" : "Tessory v1.0 - step 2 of 6");
        QTest::addRow("%s 4", swf ? "swf" : "fla")
            << swf << 4 << "Page Setup" << "Set page size, orientation, margins and spacing."
            << (swf ? "Tessory v1.0 - step 4 of 7" : "Tessory v1.0 - step 3 of 6");
    }
}

void Steps234Test::headerAndCaption()
{
    QFETCH(bool, swf);
    QFETCH(int, stepNumber);
    QFETCH(QString, title);
    QFETCH(QString, description);
    QFETCH(QString, caption);

    SetUpModel(swf, 2);
    auto form = MakeStep(stepNumber);
    QCOMPARE(form->findChild<QLabel *>("lblActionCaption")->text(), title);
    QCOMPARE(form->findChild<QLabel *>("lblActionDescription")->text(), description);
    QCOMPARE(form->windowTitle(), caption);
    QCOMPARE(StepForms.value(form->Tag() - 1), form.get());
}

void Steps234Test::startState_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<int>("stepNumber");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<QStringList>("enabled");

    QTest::newRow("swf 2") << true << 2
                           << QStringList{"pnlShock", "bitbtnCancel", "lblCapturingFrames", "MediaPlayer"}
                           << QStringList{"trbarPlayProgress", "spedtStartFrame", "spedtEndFrame", "lblCurFrame"}
                           << QStringList{"btnPlay", "btnStop", "btnEject", "trbarPlayProgress", "spedtStartFrame",
                                          "spedtEndFrame", "lblStart", "lblEnd", "bitbtnNext"}
                           << QStringList{"cmbxSWFFile", "cmbxCaptureMethod", "bitbtnBack"};
    QTest::newRow("swf 3") << true << 3 << QStringList{"lblScenes", "cmbxScenes"}
                           << QStringList{"tlThumbnailList", "spnedtFrameFilterVal", "lblFrames",
                                          "bitbtnApplyFrameFilterVal"}
                           << QStringList{"bitbtnNext", "bitbtnCreatePDF", "bitbtnPreview", "edtFrameLabel",
                                          "lblFrameLabel", "imgFrame"}
                           << QStringList{"bitbtnBack", "cmbxFrameFilter"};
    QTest::newRow("fla 3, two scenes")
        << false << 3 << QStringList{"spnedtFrameFilterVal", "lblFrames", "edtSelectedFrames",
                                     "bitbtnApplyFrameFilterVal"}
        << QStringList{"lblScenes", "cmbxScenes"}
        << QStringList{"bitbtnNext", "bitbtnCreatePDF", "bitbtnPreview", "edtFrameLabel"}
        << QStringList{"cmbxScenes", "bitbtnBack"};
    QTest::newRow("swf 4") << true << 4 << QStringList{} << QStringList{"pnlPagePreview", "rgOrientation"}
                           << QStringList{} << QStringList{"bitbtnBack", "bitbtnNext", "bitbtnCreatePDF"};
}

void Steps234Test::startState()
{
    QFETCH(bool, swf);
    QFETCH(int, stepNumber);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, disabled);
    QFETCH(QStringList, enabled);

    SetUpModel(swf, 2);
    auto form = MakeStep(stepNumber);
    const auto widget = [&](const QString &name) {
        auto *w = form->findChild<QWidget *>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    };
    for (const QString &name : hidden)
        QVERIFY2(widget(name)->isHidden(), qPrintable(name));
    for (const QString &name : shown)
        QVERIFY2(!widget(name)->isHidden(), qPrintable(name));
    for (const QString &name : disabled)
        QVERIFY2(!widget(name)->isEnabled(), qPrintable(name));
    for (const QString &name : enabled)
        QVERIFY2(widget(name)->isEnabled(), qPrintable(name));
}

// ---------------------------------------------------------------- step 2

void Steps234Test::step2OpenSwfFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: no file is written
    QTest::addColumn<bool>("accepted");

    const QByteArray movie = PlainMovie(11000, 8000, 7);
    QTest::newRow("lower-case extension") << "movie.swf" << movie << true;
    QTest::newRow("upper-case extension") << "movie.SWF" << movie << true;
    QTest::newRow("mixed-case extension") << "movie.sWf" << movie << true;
    QTest::newRow("other extension") << "movie.swx" << movie << false;
    QTest::newRow("extension only inside the name") << "movie.swf.bak" << movie << false;
    QTest::newRow("missing file") << "missing.swf" << QByteArray() << false;
    QTest::newRow("not a movie at all") << "notes.swf" << QByteArray("plain text, not a movie") << false;
}

void Steps234Test::step2OpenSwfFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, accepted);

    SetUpModel(true);
    QTemporaryDir dir;
    const QString path = content.isEmpty() ? dir.filePath(name) : WriteFile(dir, name, content);
    TStep2Form form;
    QCOMPARE(form.OpenSwfFile(path, false), accepted);
    QCOMPARE(MovieFileName, accepted ? path : QString());
    QCOMPARE(form.step.cmbxSWFFile->count(), accepted ? 1 : 0);
    QCOMPARE(form.step.pnlShock->isHidden(), !accepted);
    QCOMPARE(form.bitbtnNext()->isEnabled(), accepted);
    QVERIFY(m_errors.isEmpty()); // the caller decides about messages
    QCOMPARE(form.OpenSwfFileError().isEmpty(), accepted);
}

void Steps234Test::step2ValidMovieSetsStage()
{
    SetUpModel(true);
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "movie.SWF", PlainMovie(11000, 8000, 7));
    const QString other = WriteFile(dir, "other.swf", PlainMovie(11000, 8000, 0));
    const QString folder = dir.filePath("folder.swf");
    QVERIFY(QDir().mkdir(folder));

    TStep2Form form;
    auto *output = new TStep6Form; // takes its place in the step array
    const std::unique_ptr<TStep6Form> outputOwner(output);
    const QSize minimum = form.size();
    QCOMPARE(minimum, QSize(500, 452));
    const int bottomGap = form.height() - form.step.spedtStartFrame->geometry().bottom();
    const int rightGap = form.width() - form.step.bitbtnSWFFileBrowse->geometry().right();

    QVERIFY(!form.OpenSwfFile(folder, false));
    QCOMPARE(form.OpenSwfFileError(), "\"" + folder + "\" is a folder, not a Flash movie.");
    QVERIFY(form.OpenSwfFile(good, false));
    QCOMPARE(MovieWidth, 550);
    QCOMPARE(output->GetPdfFileName(), dir.filePath("movie.pdf"));
    // The controls under the player move down with the window.
    QVERIFY(form.step.pnlShock->geometry().bottom() < form.step.trbarPlayProgress->geometry().top());
    QVERIFY(form.step.trbarPlayProgress->geometry().bottom() < form.step.spedtStartFrame->geometry().top());
    QCOMPARE(form.height() - form.step.spedtStartFrame->geometry().bottom(), bottomGap);
    QCOMPARE(form.width() - form.step.bitbtnSWFFileBrowse->geometry().right(), rightGap);

    // Frame controls follow the player's frame count.
    QCOMPARE(form.step.lblStartFrame->text(), QString("1"));
    QCOMPARE(form.step.lblEndFrame->text(), QString("7"));
    QCOMPARE(form.step.lblCurFrame->text(), QString("Frame 1"));
    QCOMPARE(form.step.trbarPlayProgress->maximum(), 7);
    QCOMPARE(form.step.trbarPlayProgress->value(), 1);
    QCOMPARE(form.step.spedtStartFrame->maximum(), 7);
    QCOMPARE(form.step.spedtStartFrame->value(), 1);
    QCOMPARE(form.step.spedtEndFrame->maximum(), 7);
    QCOMPARE(form.step.spedtEndFrame->value(), 7);
    QVERIFY(form.step.trbarPlayProgress->isEnabled());
    QVERIFY(form.step.spedtEndFrame->isEnabled());
    form.step.trbarPlayProgress->setValue(5);
    QCOMPARE(form.step.lblCurFrame->text(), QString("Frame 5"));

    // A header without a frame count still offers one frame.
    QVERIFY(form.OpenSwfFile(other, false));
    QCOMPARE(form.step.lblEndFrame->text(), QString("1"));
    QCOMPARE(form.step.spedtEndFrame->maximum(), 1);
    QCOMPARE(form.step.cmbxSWFFile->itemText(0), other);
    QCOMPARE(form.step.cmbxSWFFile->itemText(1), good);

    // No movie: back to the smallest window.
    form.ClearMovie();
    QVERIFY(MovieFileName.isEmpty());
    QCOMPARE(form.size(), minimum);
    QVERIFY(form.step.pnlShock->isHidden());
    QVERIFY(form.step.lblEndFrame->text().isEmpty());
    QVERIFY(!form.step.trbarPlayProgress->isEnabled());
    QVERIFY(!form.bitbtnNext()->isEnabled());
}

void Steps234Test::step2StageSize_data()
{
    QTest::addColumn<QByteArray>("movie");
    QTest::addColumn<QSize>("stage");

    QTest::newRow("550 x 400") << PlainMovie(11000, 8000, 1) << QSize(550, 400);
    QTest::newRow("twips round down") << PlainMovie(4019, 2039, 1) << QSize(200, 101);
    QTest::newRow("larger than any screen") << PlainMovie(2000000, 2000000, 1, 22) << QSize(100000, 100000);
    QTest::newRow("wide only") << PlainMovie(2000000, 3000, 1, 22) << QSize(100000, 150);
    QTest::newRow("tall only") << PlainMovie(3000, 2000000, 1, 22) << QSize(150, 100000);
}

void Steps234Test::step2StageSize()
{
    QFETCH(QByteArray, movie);
    QFETCH(QSize, stage);

    SetUpModel(true);
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "stage.swf", movie);
    TStep2Form form;
    const int extraWidth = form.width() - form.step.pnlShock->width();
    const int extraHeight = form.height() - form.step.pnlShock->height();
    const QRect screen = form.screen()->availableGeometry();
    const QSize room(screen.width() - extraWidth, screen.height() - extraHeight);

    QVERIFY(form.OpenSwfFile(path, false));
    // Pictures are captured at the stage's own size.
    QCOMPARE(QSize(MovieWidth, MovieHeight), stage);
    // The player shows it whole, aspect kept, never enlarged.
    const QSize shown = form.step.Shock->size();
    if (stage.width() <= room.width() && stage.height() <= room.height()) {
        QCOMPARE(shown, stage);
    } else {
        QVERIFY(shown.width() <= room.width() && shown.height() <= room.height());
        QVERIFY(shown.width() == room.width() || shown.height() == room.height());
        const double aspect = double(stage.width()) / stage.height();
        QVERIFY(std::abs(shown.width() - shown.height() * aspect) <= std::max(1.0, aspect));
    }
    QCOMPARE(form.size(), QSize(std::max(shown.width() + extraWidth, 500), std::max(shown.height() + extraHeight, 452)));
    // Centred in its panel, halves dropped.
    const QSize panel = form.step.pnlShock->size();
    QCOMPARE(form.step.Shock->pos(), QPoint((panel.width() - shown.width()) / 2, (panel.height() - shown.height()) / 2));
    QVERIFY(m_errors.isEmpty());
}

void Steps234Test::step2RefusedMovie_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message"); // %1: the path

    const QByteArray movie = PlainMovie(11000, 8000, 3);
    QTest::newRow("zero bytes") << QByteArray() << "The file \"%1\" is not a Flash movie.";
    static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0";
    QTest::newRow("a PNG renamed")
        << QByteArray(png, sizeof png - 1)
        << "The file \"%1\" is not a Flash movie.";
    QTest::newRow("cut inside the header") << movie.left(10) << "The file \"%1\" is not a Flash movie.";
    QTest::newRow("below one pixel") << PlainMovie(19, 8000, 1) << "The movie \"%1\" has no stage to show (it is "
                                                                   "damaged or cut short).";
    QTest::newRow("damaged compressed data") << DamagedCompressedMovie() << "";
}

void Steps234Test::step2RefusedMovie()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    SetUpModel(true);
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "good.swf", PlainMovie(11000, 8000, 3));
    const QString bad = WriteFile(dir, "bad.swf", content);
    TStep2Form form;
    QVERIFY(form.OpenSwfFile(good, false));
    QComboBox *combo = form.step.cmbxSWFFile;
    AddToHistory(combo, bad);
    emit combo->activated(combo->currentIndex());

    // Refused in one sentence naming it, kept out of the history; the movie
    // before it stays.
    QCOMPARE(m_errors.size(), 1);
    if (message.isEmpty())
        QVERIFY2(m_errors[0].contains(QFileInfo(bad).fileName()), qPrintable(m_errors[0]));
    else
        QCOMPARE(m_errors[0], message.arg(bad));
    QCOMPARE(combo->findText(bad), -1);
    QCOMPARE(combo->currentText(), good);
    QCOMPARE(MovieFileName, good);
    QCOMPARE(form.step.Shock->Movie(), good);
    QCOMPARE(form.step.Shock->TotalFrames(), 3);
}

void Steps234Test::step2StoresCleanAbsolutePath()
{
    SetUpModel(true);
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "movie.swf", PlainMovie(11000, 8000, 3));
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path() + "/sub");
    const auto back = qScopeGuard([&] { QDir::setCurrent(before); });
    TStep2Form form;
    QVERIFY(form.OpenSwfFile("../sub/./../movie.swf", false));
    QCOMPARE(MovieFileName, QFileInfo(good).absoluteFilePath());
    QVERIFY(form.OpenSwfFile(good, false));
    QCOMPARE(form.step.cmbxSWFFile->count(), 1); // one movie, one entry
}

void Steps234Test::step2ErrorBoxReentry()
{
    // The real error box takes the focus, and the combo then reports the
    // same entry again while the first report is still being handled.
    SetUpModel(true);
    QTemporaryDir dir;
    TStep2Form form;
    QComboBox *combo = form.step.cmbxSWFFile;
    const QString gone = dir.filePath("gone.swf");
    AddToHistory(combo, gone);
    const ErrorSink outer = SetErrorSink([&](const QString &text) {
        m_errors << text;
        emit combo->activated(combo->currentIndex());
    });
    emit combo->activated(combo->currentIndex());
    SetErrorSink(outer);
    QCOMPARE(m_errors.size(), 1);
    QCOMPARE(combo->count(), 0);
}

void Steps234Test::step2CaptureMethodSwitch()
{
    SetUpModel(true);
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "movie.swf", PlainMovie(4000, 3000, 3));
    TStep2Form form;

    // Without a movie, Screen shows the media buttons, all disabled.
    Choose(form.step.cmbxCaptureMethod, "Screen");
    QVERIFY(!form.step.MediaPlayer->isHidden());
    QVERIFY(form.step.trbarPlayProgress->isHidden());
    QVERIFY(form.step.spedtStartFrame->isHidden());
    QVERIFY(form.step.lblCurFrame->isHidden());
    QVERIFY(!form.step.btnPlay->isEnabled());

    QVERIFY(form.OpenSwfFile(path, false));
    QVERIFY(form.step.btnPlay->isEnabled());
    QVERIFY(form.step.btnEject->isEnabled());
    QVERIFY(!form.step.btnStop->isEnabled());
    QVERIFY(!form.bitbtnNext()->isEnabled());
    QCOMPARE(MovieWidth, 200);

    Choose(form.step.cmbxCaptureMethod, "File Frames");
    QVERIFY(form.step.MediaPlayer->isHidden());
    QVERIFY(!form.step.trbarPlayProgress->isHidden());
    QVERIFY(form.step.trbarPlayProgress->isEnabled());
    QCOMPARE(form.step.lblEndFrame->text(), QString("3"));
    QVERIFY(form.bitbtnNext()->isEnabled());
    QCOMPARE(MovieFileName, path);

    // The player holds the movie and follows the track bar, stopped.
    QCOMPARE(form.step.Shock->Movie(), path);
    QCOMPARE(form.step.Shock->TotalFrames(), 3);
    form.step.Shock->Play();
    form.step.trbarPlayProgress->setValue(3);
    QCOMPARE(form.step.Shock->FrameNum(), 2);
    QVERIFY(!form.step.Shock->IsPlaying());
    QCOMPARE(form.step.lblCurFrame->text(), QString("Frame 3"));
    form.ResetMovie();
    QCOMPARE(form.step.Shock->FrameNum(), 0);
}

void Steps234Test::step2RefusedEntry_data()
{
    QTest::addColumn<bool>("movieLoaded");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter"); // else chosen from the list

    QTest::newRow("typed, movie loaded") << true << "nothere.swf" << true;
    QTest::newRow("typed, no movie") << false << "nothere.swf" << true;
    QTest::newRow("typed wrong extension") << true << "movie.swx" << true;
    QTest::newRow("stale history entry, movie loaded") << true << "gone.swf" << false;
    QTest::newRow("stale history entry, no movie") << false << "gone.swf" << false;
}

void Steps234Test::step2RefusedEntry()
{
    QFETCH(bool, movieLoaded);
    QFETCH(QString, typed);
    QFETCH(bool, byEnter);

    SetUpModel(true);
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "movie.swf", PlainMovie(11000, 8000, 7));
    WriteFile(dir, "movie.swx", PlainMovie(11000, 8000, 7));
    const QString refused = dir.filePath(typed);
    TStep2Form form;
    QComboBox *combo = form.step.cmbxSWFFile;
    if (movieLoaded)
        QVERIFY(form.OpenSwfFile(good, false));

    if (byEnter) {
        combo->setEditText(refused);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    } else {
        AddToHistory(combo, refused);
        emit combo->activated(combo->currentIndex());
    }

    QCOMPARE(m_errors, QStringList{"The file \"" + refused + "\" doesn't exist!"});
    QCOMPARE(combo->findText(refused), -1);
    if (movieLoaded) {
        QCOMPARE(combo->currentText(), good);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(MovieFileName, good);
        QVERIFY(form.bitbtnNext()->isEnabled());
    } else {
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->currentText().isEmpty());
        QVERIFY(MovieFileName.isEmpty());
        QVERIFY(form.step.pnlShock->isHidden());
        QVERIFY(!form.bitbtnNext()->isEnabled());
    }

    // An empty entry is no error.
    m_errors.clear();
    combo->setEditText(QString());
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QVERIFY(m_errors.isEmpty());
}

void Steps234Test::step2OfferedMovie()
{
    SetUpModel(true);
    QTemporaryDir dir;
    const QString good = WriteFile(dir, "dropped.swf", PlainMovie(11000, 8000, 2));
    {
        TStep2Form form;
        QVERIFY(OfferMovieToCaptureStep);
        QVERIFY(!OfferMovieToCaptureStep(dir.filePath("readme.txt"), true));
        QVERIFY(OfferMovieToCaptureStep(good, true));
        QCOMPARE(MovieFileName, good);
        QCOMPARE(CurrentWizardStep(), static_cast<QWidget *>(&form));
        QVERIFY(form.isVisible());
    }
    // The form is gone: the offer is refused instead of reaching it.
    QVERIFY(!OfferMovieToCaptureStep(good, false));
}

void Steps234Test::step2MovieNotice_data()
{
    QTest::addColumn<QByteArray>("tags");
    QTest::addColumn<bool>("shown");

    const auto tag = [](int code, int length) {
        QByteArray t;
        appendLE(t, uint32_t(code << 6 | length), 2);
        return t + QByteArray(length, '\0');
    };
    QTest::newRow("no scripts") << QByteArray() << false;
    QTest::newRow("ActionScript 3 code") << tag(82, 8) << true;
    QTest::newRow("ActionScript 3 classes") << tag(76, 2) << true;
    QTest::newRow("a sprite's init script only") << tag(59, 3) << false;
}

void Steps234Test::step2MovieNotice()
{
    QFETCH(QByteArray, tags);
    QFETCH(bool, shown);

    SetUpModel(true);
    QTemporaryDir dir;
    TStep2Form form;
    form.show();
    // A movie with the notice first, so the one under test must also clear it.
    QVERIFY(form.OpenSwfFile(WriteFile(dir, "as3.swf", PlainMovie(11000, 8000, 2, 15, QByteArray::fromHex("8814") + QByteArray(8, '\0'))), false));
    QVERIFY(form.OpenSwfFile(WriteFile(dir, "movie.swf", PlainMovie(11000, 8000, 2, 15, tags)), false));
    auto *notice = form.findChild<QLabel *>("lblMovieNotice");
    QVERIFY(notice);
    QCOMPARE(notice->isVisible(), shown);
    if (!shown)
        return;
    QVERIFY(notice->text().startsWith("This movie is made by ActionScript 3"));
    // Along the player's bottom edge, its whole text in sight.
    QCOMPARE(notice->geometry().bottom(), form.step.pnlShock->height() - 1);
    QCOMPARE(notice->width(), form.step.pnlShock->width());
    QVERIFY(notice->height() >= notice->heightForWidth(notice->width()));
}

// ---------------------------------------------------------------- step 3

void Steps234Test::step3Filters_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<QStringList>("filters");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("swf") << true
                         << QStringList{"A Total of", "One Frame From Every", "Selected Frames", "All Frames"}
                         << "One Frame From Every";
    QTest::newRow("fla") << false
                         << QStringList{"Key Frames (*)", "A Total of", "One Frame From Every", "Selected Frames",
                                        "All Frames"}
                         << "Key Frames (*)";
}

void Steps234Test::step3Filters()
{
    QFETCH(bool, swf);
    QFETCH(QStringList, filters);
    QFETCH(QString, chosen);

    SetUpModel(swf, 3);
    TStep3Form form;
    QCOMPARE(ItemTexts(form.step.cmbxFrameFilter), filters);
    QCOMPARE(form.step.cmbxFrameFilter->currentText(), chosen);
}

void Steps234Test::step3SceneClicks_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("clicked"); // item index; its check mark flips
    QTest::addColumn<QString>("after");

    QTest::newRow("another scene joins") << "[1]" << 2 << "[1,2]";
    QTest::newRow("All drops the scenes") << "[1,3]" << 0 << "[All]";
    QTest::newRow("a scene drops All") << "[All]" << 3 << "[3]";
    QTest::newRow("the last one stays") << "[2]" << 2 << "[2]";
    QTest::newRow("All stays") << "[All]" << 0 << "[All]";
}

void Steps234Test::step3SceneClicks()
{
    QFETCH(QString, before);
    QFETCH(int, clicked);
    QFETCH(QString, after);

    SetUpModel(false, 3);
    TStep3Form form;
    TCheckListEdit *chooser = form.step.cmbxScenes;
    chooser->SetText(before);
    form.show();
    chooser->DropDown();
    auto *list = QApplication::activePopupWidget() ? QApplication::activePopupWidget()->findChild<QListWidget *>()
                                                   : nullptr;
    QVERIFY(list);
    list->setCurrentRow(clicked);
    QListWidgetItem *item = list->item(clicked);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    QCOMPARE(chooser->text(), after);

    // Closing shows the checked scenes' key frames (one each here).
    chooser->CloseUp();
    const int shown = after == "[All]" ? 3 : int(after.count(',')) + 1;
    QCOMPARE(form.step.tlThumbnailList->count(), shown);
}

void Steps234Test::step3SceneChooser_data()
{
    QTest::addColumn<int>("sceneCount");
    QTest::addColumn<int>("currentScene"); // -2: left as created
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("checked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");

    const QStringList three{"All", "1. Scene 1", "2. Scene 2", "3. Scene 3"};
    QTest::newRow("three scenes, as created") << 3 << -2 << three << 1 << "[1]" << true;
    QTest::newRow("three scenes, current 0") << 3 << 0 << three << 1 << "[1]" << true;
    QTest::newRow("three scenes, current 2") << 3 << 2 << three << 3 << "[3]" << true;
    QTest::newRow("three scenes, current beyond") << 3 << 3 << three << 0 << "[All]" << true;
    QTest::newRow("three scenes, negative") << 3 << -1 << three << 0 << "[All]" << true;
    QTest::newRow("one scene") << 1 << 0 << QStringList{"All", "1. Scene 1"} << 1 << "[1]" << false;
}

void Steps234Test::step3SceneChooser()
{
    QFETCH(int, sceneCount);
    QFETCH(int, currentScene);
    QFETCH(QStringList, items);
    QFETCH(int, checked);
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    SetUpModel(false, sceneCount);
    TStep3Form form;
    if (currentScene != -2)
        form.SetCurrentScene(currentScene);
    TCheckListEdit *chooser = form.step.cmbxScenes;
    QCOMPARE(chooser->Items(), items);
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(chooser->Checked(i), i == checked);
    QCOMPARE(chooser->text(), text);
    QCOMPARE(chooser->isEnabled(), enabled);

    // A text element that is a number names the item of that index.
    chooser->SetText("[1," + QString::number(items.size() - 1) + "]");
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(chooser->Checked(i), i == 1 || i == items.size() - 1);
}

void Steps234Test::step3FilterValueControls_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("selectedFrames");
    QTest::addColumn<bool>("spinShown");
    QTest::addColumn<bool>("editShown");
    QTest::addColumn<bool>("applyShown");
    QTest::addColumn<QString>("applyBeside"); // the button whose left edge Apply takes
    QTest::addColumn<bool>("applyEnabled");

    for (bool swf : {true, false}) {
        const char *mode = swf ? "swf" : "fla";
        QTest::addRow("%s total", mode) << swf << "A Total of" << "" << true << false << true << "bitbtnClearAll" << true;
        QTest::addRow("%s every", mode) << swf << "One Frame From Every" << "" << true << false << true
                                        << "bitbtnClearAll" << true;
        QTest::addRow("%s selected, empty", mode) << swf << "Selected Frames" << "" << false << true << true
                                                  << "bitbtnClearAll" << false;
        QTest::addRow("%s selected, text", mode) << swf << "Selected Frames" << "1,3,5-7" << false << true << true
                                                 << "bitbtnClearAll" << true;
        QTest::addRow("%s all", mode) << swf << "All Frames" << "1" << false << false << false << "" << false;
    }
    QTest::newRow("fla key frames") << false << "Key Frames (*)" << "1" << false << false << false << "" << false;
}

void Steps234Test::step3FilterValueControls()
{
    QFETCH(bool, swf);
    QFETCH(QString, filter);
    QFETCH(QString, selectedFrames);
    QFETCH(bool, spinShown);
    QFETCH(bool, editShown);
    QFETCH(bool, applyShown);
    QFETCH(QString, applyBeside);
    QFETCH(bool, applyEnabled);

    SetUpModel(swf, 2);
    TStep3Form form;
    auto &s = form.step;
    s.edtSelectedFrames->setText(selectedFrames);
    s.tlThumbnailList->addItem("_"); // a rebuild, if one runs, empties the list
    s.bitbtnApplyFrameFilterVal->setEnabled(!applyEnabled);
    Choose(s.cmbxFrameFilter, filter);

    QCOMPARE(!s.spnedtFrameFilterVal->isHidden(), spinShown);
    QCOMPARE(!s.lblFrames->isHidden(), spinShown);
    QCOMPARE(!s.edtSelectedFrames->isHidden(), editShown);
    QCOMPARE(!s.bitbtnApplyFrameFilterVal->isHidden(), applyShown);
    if (applyShown) {
        QCOMPARE(s.bitbtnApplyFrameFilterVal->x(), form.findChild<QWidget *>(applyBeside)->x());
        QCOMPARE(s.bitbtnApplyFrameFilterVal->isEnabled(), applyEnabled);
        QCOMPARE(s.tlThumbnailList->count(), 1); // waits for Apply
    } else {
        // Rebuilt at once: the placeholder is gone, the frames have captions.
        QVERIFY(s.tlThumbnailList->count() > 0);
        QVERIFY(!s.tlThumbnailList->Caption(0).isEmpty());
        QCOMPARE(s.lblSelectedNum->text(), QString("0 frames from %1 selected").arg(s.tlThumbnailList->count()));
    }
}

void Steps234Test::step3ApplyEnabling()
{
    SetUpModel(true);
    TStep3Form form;
    auto &s = form.step;
    QPushButton *apply = s.bitbtnApplyFrameFilterVal;

    apply->setEnabled(false);
    s.spnedtFrameFilterVal->setValue(25);
    QVERIFY(apply->isEnabled());
    apply->click(); // rebuilds, which disables Apply again
    QVERIFY(!apply->isEnabled());

    Choose(s.cmbxFrameFilter, "Selected Frames");
    s.edtSelectedFrames->setText("4");
    QVERIFY(apply->isEnabled());
    s.edtSelectedFrames->clear();
    QVERIFY(!apply->isEnabled());
    s.edtSelectedFrames->setText("2-9");
    QVERIFY(apply->isEnabled());
}

void Steps234Test::step3SelectedFramesKeys_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");

    QTest::newRow("digits, comma, dash") << "1,3,5-7" << "1,3,5-7";
    QTest::newRow("letters and spaces") << "1a2 ,b3-x4" << "12,3-4";
    QTest::newRow("other punctuation") << "1.2;3+4\"5" << "12345";
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("1\u0663\u00b2") << "1";
}

void Steps234Test::step3SelectedFramesKeys()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    SetUpModel(true);
    TStep3Form form;
    QLineEdit *edit = form.step.edtSelectedFrames;
    Choose(form.step.cmbxFrameFilter, "Selected Frames");
    TypeText(edit, typed);
    QCOMPARE(edit->text(), kept);

    // Backspace and the cursor keys still edit.
    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(edit->text(), kept.chopped(1));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    TypeText(edit, "9");
    QCOMPARE(edit->text(), "9" + kept.chopped(1).mid(1));
}

void Steps234Test::step3EnterPressesApply()
{
    SetUpModel(true);
    TStep3Form form;
    auto &s = form.step;
    QPushButton *apply = s.bitbtnApplyFrameFilterVal;
    QSignalSpy applied(apply, &QPushButton::clicked);

    Choose(s.cmbxFrameFilter, "Selected Frames");
    s.edtSelectedFrames->setText("2-4");
    QTest::keyClick(s.edtSelectedFrames, Qt::Key_Return);
    QCOMPARE(applied.count(), 1);
    QVERIFY(!apply->isEnabled());
    QTest::keyClick(s.edtSelectedFrames, Qt::Key_Enter); // Apply is disabled now
    QCOMPARE(applied.count(), 1);

    Choose(s.cmbxFrameFilter, "A Total of");
    QTest::keyClick(s.spnedtFrameFilterVal, Qt::Key_Return);
    QCOMPARE(applied.count(), 2);
    // A typed value is applied.
    s.spnedtFrameFilterVal->selectAll();
    QTest::keyClicks(s.spnedtFrameFilterVal, "37");
    QTest::keyClick(s.spnedtFrameFilterVal, Qt::Key_Return);
    QCOMPARE(applied.count(), 3);
    QCOMPARE(s.spnedtFrameFilterVal->value(), 37);
}

void Steps234Test::step3Selection_data()
{
    QTest::addColumn<QList<int>>("select");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("none") << QList<int>{} << "0 frames from 3 selected" << false;
    QTest::newRow("one") << QList<int>{1} << "1 frame from 3 selected" << true;
    QTest::newRow("two") << QList<int>{0, 2} << "2 frames from 3 selected" << true;
    QTest::newRow("all") << QList<int>{0, 1, 2} << "3 frames from 3 selected" << true;
}

void Steps234Test::step3Selection()
{
    QFETCH(QList<int>, select);
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    SetUpModel(false, 2);
    TStep3Form form;
    auto &s = form.step;
    s.tlThumbnailList->addItems({"_", "_", "_"});
    s.lblFrameNum->setText("stale");
    s.edtFrameLabel->setText("stale");
    for (int i : select)
        s.tlThumbnailList->item(i)->setSelected(true);
    form.tlThumbnailListClick(); // no selection change (none) still refreshes

    QCOMPARE(s.lblSelectedNum->text(), text);
    QCOMPARE(form.bitbtnNext()->isEnabled(), enabled);
    QCOMPARE(form.bitbtnCreatePDF()->isEnabled(), enabled);
    QCOMPARE(s.bitbtnPreview->isEnabled(), enabled);
    QCOMPARE(s.edtFrameLabel->isEnabled(), enabled);
    QCOMPARE(s.lblFrameLabel->isEnabled(), enabled);
    QCOMPARE(s.imgFrame->isEnabled(), enabled);
    QCOMPARE(s.imgFrame->toolTip().isEmpty(), !enabled);
    if (!enabled) {
        QVERIFY(s.lblFrameNum->text().isEmpty());
        QVERIFY(s.edtFrameLabel->text().isEmpty());
    }

    // A rebuild starts over: the filter's frames (FLA mode starts on the key
    // frames: one in scene 1), none selected.
    form.LoadThumbnails();
    QCOMPARE(s.tlThumbnailList->count(), 1);
    QCOMPARE(s.tlThumbnailList->Caption(0), QString("1. F 1/1 *"));
    QCOMPARE(s.lblSelectedNum->text(), QString("0 frames from 1 selected"));
    QVERIFY(!form.bitbtnNext()->isEnabled());
}

void Steps234Test::step3EmptyListSaysWhy_data()
{
    QTest::addColumn<bool>("swf");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("why"); // empty: the list has thumbnails

    QTest::newRow("nothing captured") << true << 0 << "All Frames" << "No frames are captured yet";
    QTest::newRow("scene without frames") << false << 0 << "All Frames" << "The chosen scenes have no frames";
    QTest::newRow("no key frame") << false << 10 << "Key Frames (*)" << "No frame matches the filter";
    QTest::newRow("thumbnails shown") << true << 10 << "All Frames" << "";
}

void Steps234Test::step3EmptyListSaysWhy()
{
    QFETCH(bool, swf);
    QFETCH(int, frames);
    QFETCH(QString, filter);
    QFETCH(QString, why);

    SetUpModel(swf);
    Scenes[0].FrameCount = frames;
    Scenes[0].FrameLabels = QStringList(frames);
    Scenes[0].KeyFrames.clear();
    TStep3Form form;
    TThumbnailList *list = form.step.tlThumbnailList;
    form.show();
    Choose(form.step.cmbxFrameFilter, filter);
    QCOMPARE(list->count() > 0, why.isEmpty());
    if (why.isEmpty())
        return;
    QVERIFY2(list->EmptyText().startsWith(why), qPrintable(list->EmptyText()));

    // The reason is drawn where the thumbnails would be.
    const QImage said = list->viewport()->grab().toImage();
    list->SetEmptyText(QString());
    QVERIFY(said != list->viewport()->grab().toImage());
}

void Steps234Test::step3LabelsAndStoredSelection()
{
    SetUpModel(true);
    Scenes[0].FrameLabels[3] = QStringLiteral("intro");
    TFrameSelection selection;
    FrameSelection = &selection;
    const auto restore = qScopeGuard([] { FrameSelection = nullptr; });
    TStep3Form form;
    auto &s = form.step;
    Choose(s.cmbxFrameFilter, "All Frames");
    QCOMPARE(s.tlThumbnailList->count(), 10);
    QCOMPARE(s.tlThumbnailList->Caption(3), QString("+ F 4"));

    // The focused frame's label edits its scene's label and the "+ " mark.
    s.tlThumbnailList->setCurrentRow(3);
    QCOMPARE(s.edtFrameLabel->text(), QString("intro"));
    s.edtFrameLabel->setText(QString());
    form.edtFrameLabelExit();
    QCOMPARE(s.tlThumbnailList->Caption(3), QString("F 4"));
    QVERIFY(Scenes[0].FrameLabels[3].isEmpty());
    s.tlThumbnailList->setCurrentRow(6);
    s.edtFrameLabel->setText("end");
    QTest::keyClick(s.edtFrameLabel, Qt::Key_Return);
    QCOMPARE(s.tlThumbnailList->Caption(6), QString("+ F 7"));
    QCOMPARE(s.lblFrameNum->text(), QString("+ F 7"));
    QCOMPARE(Scenes[0].FrameLabels[6], QString("end"));

    s.tlThumbnailList->setCurrentRow(-1);
    form.bitbtnSelectAllClick();
    QCOMPARE(s.lblSelectedNum->text(), QString("10 frames from 10 selected"));
    QCOMPARE(s.lblFrameNum->text(), QString("F 1")); // no focus: the first selected
    form.bitbtnClearAllClick();
    QCOMPARE(s.lblSelectedNum->text(), QString("0 frames from 10 selected"));
    QVERIFY(!form.bitbtnNext()->isEnabled());

    // The selection goes to the sheet in list order, whatever the click order.
    s.tlThumbnailList->SetSelected(8, true);
    s.tlThumbnailList->SetSelected(1, true);
    form.StoreSelection();
    QCOMPARE(selection.FrameCount(), 2);
    QCOMPARE(selection.GetFrame(0).FrameIndex, 1);
    QCOMPARE(selection.GetFrame(1).FrameIndex, 8);
    QVERIFY(selection.GetFrame(1).FileName != selection.GetFrame(0).FileName);
    // Clearing all does not empty the stored selection behind a disabled Next.
    form.bitbtnClearAllClick();
    form.StoreSelection();
    QCOMPARE(selection.FrameCount(), 2);
}

// ---------------------------------------------------------------- step 4

void Steps234Test::step4PageSizeList()
{
    SetUpModel(true);
    TStep4Form form;
    const QStringList expected{
        "A0", "A1", "A2", "A3", "A4", "A5", "A6", "A7", "A8", "A9", "A10",
        "B0", "B1", "B2", "B3", "B4", "B5", "B6", "B7", "B8", "B9", "B10",
        "C0", "C1", "C2", "C3", "C4", "C5", "C6", "C7", "DL", "Executive", "Folio",
        "ISOB0", "ISOB1", "ISOB2", "ISOB3", "ISOB4", "ISOB5", "ISOB6", "ISOB7", "ISOB8", "ISOB9", "ISOB10",
        "Ledger", "Legal", "Letter", "Photo Paper 9x13 cm", "Photo Paper 10x15 cm", "Photo Paper 13x18 cm",
        "Statement", "Tabloid"};
    QCOMPARE(ItemTexts(form.step.cmbxPageSize), expected);
    QCOMPARE(int(PageSizes().size()), expected.size());

    // Every entry fills its own size; only Ledger is stored wider than high.
    for (int i = 0; i < expected.size(); ++i) {
        Choose(form.step.cmbxPageSize, expected[i]);
        const TPageSize &size = PageSizes()[i];
        QCOMPARE(QString::fromLatin1(size.Name), expected[i]);
        QCOMPARE(form.step.spedtPageWidth->value(), size.Width);
        QCOMPARE(form.step.spedtPageHeight->value(), size.Height);
        QCOMPARE(size.Width > size.Height, expected[i] == "Ledger");
    }
    const auto find = [](const char *name) {
        for (const TPageSize &s : PageSizes())
            if (QByteArray(s.Name) == name)
                return QSize(s.Width, s.Height);
        return QSize();
    };
    QCOMPARE(find("A4"), QSize(210, 297));
    QCOMPARE(find("B0"), QSize(1030, 1456));
    QCOMPARE(find("C7"), QSize(81, 114));
    QCOMPARE(find("DL"), QSize(110, 220));
    QCOMPARE(find("ISOB10"), QSize(31, 44));
    QCOMPARE(find("Letter"), QSize(216, 279));
    QCOMPARE(find("Photo Paper 10x15 cm"), QSize(100, 150));
    QCOMPARE(find("Tabloid"), QSize(279, 432));
}

void Steps234Test::step4SpinEdits_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("minimum");

    for (const char *name : {"spedtPageWidth", "spedtPageHeight"})
        QTest::newRow(name) << name << 10;
    for (const char *name : {"spedtPageLeftMargin", "spedtPageTopMargin", "spedtPageRightMargin",
                             "spedtPageBottomMargin", "spedtImageSpace", "spedtTextSpace"})
        QTest::newRow(name) << name << 0;
}

void Steps234Test::step4SpinEdits()
{
    QFETCH(QString, control);
    QFETCH(int, minimum);

    SetUpModel(true);
    TStep4Form form;
    QList<QWidget *> causes;
    form.OnPageMetricsChange = [&](QWidget *cause) { causes << cause; };
    auto *spin = form.findChild<QSpinBox *>(control);
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->value(), minimum);
    QCOMPARE(spin->maximum(), 2147483647);
    QCOMPARE(spin->singleStep(), 5);

    // Every change refreshes the preview with the spin edit as the cause.
    spin->stepUp();
    QCOMPARE(spin->value(), minimum + 5);
    QCOMPARE(causes, QList<QWidget *>{spin});
    form.step.chbxCenterPageContents->setChecked(true);
    QCOMPARE(causes.size(), 2);
    QCOMPARE(causes.last(), static_cast<QWidget *>(form.step.chbxCenterPageContents));
}

void Steps234Test::step4Orientation()
{
    SetUpModel(true);
    TStep4Form form;
    auto &s = form.step;
    QList<QWidget *> causes;
    form.OnPageMetricsChange = [&](QWidget *cause) { causes << cause; };
    const auto page = [&] { return QSize(s.spedtPageWidth->value(), s.spedtPageHeight->value()); };
    // left, top, right, bottom
    const auto margins = [&] {
        return QList<int>{s.spedtPageLeftMargin->value(), s.spedtPageTopMargin->value(),
                          s.spedtPageRightMargin->value(), s.spedtPageBottomMargin->value()};
    };
    const auto pick = [&](int item) { s.rgOrientation->Button(item)->click(); };

    Choose(s.cmbxPageSize, "A4");
    QCOMPARE(page(), QSize(210, 297));
    QCOMPARE(causes, QList<QWidget *>{s.cmbxPageSize}); // once, for both values
    s.spedtPageLeftMargin->setValue(1);
    s.spedtPageTopMargin->setValue(2);
    s.spedtPageRightMargin->setValue(3);
    s.spedtPageBottomMargin->setValue(4);

    // Portrait while portrait: only a refresh.
    causes.clear();
    pick(TStep4Form::opAuto);
    pick(TStep4Form::opPortrait);
    QCOMPARE(page(), QSize(210, 297));
    QCOMPARE(margins(), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(causes, (QList<QWidget *>{s.rgOrientation, s.rgOrientation}));

    // Landscape: a quarter turn clockwise, one refresh.
    causes.clear();
    pick(TStep4Form::opLandscape);
    QCOMPARE(page(), QSize(297, 210));
    QCOMPARE(margins(), (QList<int>{4, 1, 2, 3}));
    QCOMPARE(s.rgOrientation->Tag(), int(TStep4Form::opLandscape));
    QCOMPARE(causes, QList<QWidget *>{s.rgOrientation});

    Choose(s.cmbxPageSize, "A5");
    QCOMPARE(page(), QSize(210, 148));

    // Auto keeps the page and the remembered orientation.
    pick(TStep4Form::opAuto);
    QCOMPARE(page(), QSize(210, 148));
    QCOMPARE(s.rgOrientation->Tag(), int(TStep4Form::opLandscape));
    Choose(s.cmbxPageSize, "A4");
    QCOMPARE(page(), QSize(297, 210));

    // Back to portrait turns everything back.
    pick(TStep4Form::opPortrait);
    QCOMPARE(page(), QSize(210, 297));
    QCOMPARE(margins(), (QList<int>{1, 2, 3, 4}));
    QCOMPARE(s.rgOrientation->Tag(), int(TStep4Form::opPortrait));

    // From Auto straight to what is remembered: nothing turns.
    pick(TStep4Form::opAuto);
    pick(TStep4Form::opPortrait);
    QCOMPARE(page(), QSize(210, 297));
}

void Steps234Test::step4ManualWidthKeepsSize()
{
    SetUpModel(false, 2);
    TStep4Form form;
    QList<QWidget *> causes;
    form.OnPageMetricsChange = [&](QWidget *cause) { causes << cause; };
    Choose(form.step.cmbxPageSize, "Letter");
    causes.clear();
    form.step.spedtPageWidth->setValue(250);
    QCOMPARE(form.step.cmbxPageSize->currentText(), QString("Letter"));
    QCOMPARE(form.step.spedtPageHeight->value(), 279);
    QCOMPARE(causes, QList<QWidget *>{form.step.spedtPageWidth});
}

// ---------------------------------------------------------------- radio group

void Steps234Test::radioGroupItemIndex_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("clicks");

    QTest::newRow("none to first") << -1 << 0 << 0 << 1;
    QTest::newRow("change") << 0 << 2 << 2 << 1;
    QTest::newRow("same") << 1 << 1 << 1 << 0;
    QTest::newRow("beyond the end") << 0 << 7 << 2 << 1;
    QTest::newRow("beyond the end when last") << 2 << 7 << 2 << 0;
    QTest::newRow("below -1") << 1 << -5 << -1 << 1;
    QTest::newRow("to none") << 2 << -1 << -1 << 1;
}

void Steps234Test::radioGroupItemIndex()
{
    QFETCH(int, start);
    QFETCH(int, set);
    QFETCH(int, index);
    QFETCH(int, clicks);

    TRadioGroup group;
    group.setObjectName("rgTest");
    group.SetItems({"One", "Two", "Three"});
    QCOMPARE(group.ItemIndex(), -1);
    group.SetItemIndex(start);
    QSignalSpy click(&group, &TRadioGroup::Click);
    group.SetItemIndex(set);
    QCOMPARE(group.ItemIndex(), index);
    QCOMPARE(click.count(), clicks);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(group.Button(i)->isChecked(), i == index);
        QCOMPARE(group.Button(i)->objectName(), QString("rgTest_item%1").arg(i));
        QCOMPARE(group.Button(i)->text(), group.Items()[i]);
    }
    QVERIFY(!group.Button(3));
    QCOMPARE(group.property("ItemIndex").toInt(), index);
}

void Steps234Test::radioGroupUserClick()
{
    TRadioGroup group;
    group.SetItems({"Portrait", "Landscape", "Auto"});
    group.SetItemIndex(0);
    group.SetTag(1);
    QCOMPARE(group.property("Tag").toInt(), 1);
    QSignalSpy click(&group, &TRadioGroup::Click);

    group.Button(2)->click();
    QCOMPARE(group.ItemIndex(), 2);
    QCOMPARE(click.count(), 1);
    group.Button(2)->click(); // the chosen one again
    QCOMPARE(group.ItemIndex(), 2);
    QVERIFY(group.Button(2)->isChecked());
    QCOMPARE(click.count(), 1);
    group.Button(0)->click();
    QCOMPARE(group.ItemIndex(), 0);
    QVERIFY(!group.Button(2)->isChecked());
    QCOMPARE(click.count(), 2);

    // New items keep a choice that still fits, and report nothing.
    group.SetItems({"A", "B"});
    QCOMPARE(group.ItemIndex(), 0);
    QVERIFY(group.Button(0)->isChecked());
    group.SetItemIndex(1);
    group.SetItems({"Only"});
    QCOMPARE(group.ItemIndex(), -1);
    QVERIFY(!group.Button(0)->isChecked());
    QCOMPARE(click.count(), 3);
    QCOMPARE(group.Tag(), 1);
}

// ---------------------------------------------------------------- check-list edit

void Steps234Test::checkListText_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<bool>("shorten"); // items starting with a digit show only their number
    QTest::addColumn<QStringList>("chars"); // start, end, delimiter
    QTest::addColumn<QString>("text");

    const QStringList scenes{"All", "1. Intro", "2. Main"};
    const QStringList plain{"[", "]", ","};
    QTest::newRow("nothing checked") << scenes << QList<int>{} << true << plain << "[]";
    QTest::newRow("no items") << QStringList{} << QList<int>{} << false << plain << "[]";
    QTest::newRow("scenes shortened") << scenes << QList<int>{1, 2} << true << plain << "[1,2]";
    QTest::newRow("all shortened") << scenes << QList<int>{0} << true << plain << "[All]";
    QTest::newRow("not shortened") << scenes << QList<int>{1, 2} << false << plain << "[1. Intro,2. Main]";
    QTest::newRow("own characters") << scenes << QList<int>{0, 2} << true << QStringList{"<", ">", ";"} << "<All;2>";
    QTest::newRow("item order, not check order") << scenes << QList<int>{2, 0} << true << plain << "[All,2]";
}

void Steps234Test::checkListText()
{
    QFETCH(QStringList, items);
    QFETCH(QList<int>, checked);
    QFETCH(bool, shorten);
    QFETCH(QStringList, chars);
    QFETCH(QString, text);

    TCheckListEdit edit;
    QVERIFY(edit.isReadOnly());
    QCOMPARE(edit.TextStartChar(), QString("["));
    QCOMPARE(edit.TextEndChar(), QString("]"));
    QCOMPARE(edit.TextDelimiter(), QString(","));
    if (shorten)
        edit.OnCheckListItemToText = [](QString &aText) {
            if (!aText.isEmpty() && aText.front().isDigit())
                aText = aText.left(aText.indexOf('.'));
        };
    edit.SetItems(items);
    edit.SetTextStartChar(chars[0]);
    edit.SetTextEndChar(chars[1]);
    edit.SetTextDelimiter(chars[2]);
    for (int i : checked)
        edit.SetChecked(i, true);
    QCOMPARE(edit.text(), text);

    // Unchecking everything, or dropping the items, leaves the brackets.
    for (int i : checked)
        edit.SetChecked(i, false);
    QCOMPARE(edit.text(), chars[0] + chars[1]);
    for (int i : checked)
        edit.SetChecked(i, true);
    edit.ClearItems();
    QCOMPARE(edit.text(), chars[0] + chars[1]);
}

void Steps234Test::checkListStatesFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byIndex"); // elements that are numbers name items by index
    QTest::addColumn<QList<bool>>("checked");

    QTest::newRow("by index") << "[1,2]" << true << QList<bool>{false, true, true};
    QTest::newRow("all by name") << "[All]" << true << QList<bool>{true, false, false};
    QTest::newRow("names ignore case") << "[all,2. MAIN]" << false << QList<bool>{true, false, true};
    QTest::newRow("unknown elements") << "[7,x,1]" << true << QList<bool>{false, true, false};
    QTest::newRow("without brackets") << "2" << true << QList<bool>{false, false, true};
    QTest::newRow("empty") << "[]" << true << QList<bool>{false, false, false};
}

void Steps234Test::checkListStatesFromText()
{
    QFETCH(QString, text);
    QFETCH(bool, byIndex);
    QFETCH(QList<bool>, checked);

    TCheckListEdit edit;
    edit.SetItems({"All", "1. Intro", "2. Main"});
    edit.SetChecked(0, true); // replaced by what the text names
    if (byIndex)
        edit.OnTextToCheckListItem = [&edit](QString &aItem) {
            bool ok = false;
            const int index = aItem.toInt(&ok);
            if (ok && index >= 0 && index < edit.Items().size())
                aItem = edit.Items()[index];
        };
    edit.SetText(text);
    QCOMPARE(edit.text(), text);
    for (int i = 0; i < checked.size(); ++i)
        QCOMPARE(edit.Checked(i), checked[i]);
}

void Steps234Test::checkListBounds_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("item count") << 3;
    QTest::newRow("negative") << -1;
    QTest::newRow("far beyond") << 100;
}

void Steps234Test::checkListBounds()
{
    QFETCH(int, index);
    TCheckListEdit edit;
    edit.SetItems({"All", "1. Intro", "2. Main"});
    const auto message = [](auto &&call) {
        try {
            call();
        } catch (const std::out_of_range &e) {
            return QString::fromLatin1(e.what());
        }
        return QString();
    };
    QCOMPARE(message([&] { (void)edit.Checked(index); }), QString("Index out of bounds"));
    QCOMPARE(message([&] { edit.SetChecked(index, true); }), QString("Index out of bounds"));
    QCOMPARE(edit.text(), QString("[]"));
}

QTEST_MAIN(Steps234Test)
#include "Steps234Test.moc"
