// The layout and output steps, and the small dialogs around them.
#include "core/Global.h"
#include "sheet/PDFCreator.h"
#include "sheet/PagePreviewFrm.h"
#include "wizard/FontDialog.h"
#include "wizard/FrameLabelPatternEditorFrm.h"
#include "wizard/ImagePreviewFrm.h"
#include "wizard/ProgressFrm.h"
#include "wizard/Step5Frm.h"
#include "wizard/Step6Frm.h"
#include "wizard/Step7Frm.h"
#include "wizard/WizardForms.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
void setUpModel(bool swf)
{
    IsSWFMode = swf;
    AppTitle = QStringLiteral("Tessory v1.0");
    StepForms.clear();
    Scenes.clear();
    if (swf)
        Scenes << TSceneInfo();
    else
        Scenes << TSceneInfo{QStringLiteral("Scene 1"), 10, 0, {0}, QStringList(10, QString())};
}

QStringList itemTexts(const QComboBox *combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QString headerText(const QWidget *form, const char *name)
{
    const auto *label = form->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing>");
}

bool showActive(QWidget *w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

const QStringList kNonKeyPatterns = {"Frame <N>", "<S> Frame <NS>", "<ST> Frame <L>", "<L>", "<F> Frame <N>"};
const QStringList kKeyPatterns = {"Frame <N> *", "<S> Frame <NS> *", "<ST> Frame <L> *", "<L> *", "<F> Frame <N> *"};
} // namespace


namespace {
// A control's visible text (label, button or group caption) and hint; a
// null expectation is not checked.
void checkTextAndHint(QWidget *w, const QString &text, const QString &hint)
{
    if (!text.isNull()) {
        QString actual;
        if (auto *label = qobject_cast<QLabel *>(w))
            actual = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            actual = button->text();
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            actual = group->title();
        QCOMPARE(actual, text);
    }
    if (!hint.isNull())
        QCOMPARE(w->toolTip(), hint);
}
} // namespace

class Steps56DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        Forms = TWizardForms();
        StepForms.clear();
        delete PDFCreator;
        PDFCreator = nullptr;
        MovieWidth = MovieHeight = 0;
    }

    // ---- Layout step -------------------------------------------------------

    void step5PerMode_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QStringList>("resolutions");
        QTest::newRow("SWF mode") << true << 5 << QStringList{"30", "50", "72", "100", "150"};
        QTest::newRow("FLA mode") << false << 4 << QStringList{"30", "50", "72", "100", "150", "200", "300", "600"};
    }
    void step5PerMode()
    {
        QFETCH(bool, swf);
        QFETCH(int, tag);
        QFETCH(QStringList, resolutions);
        setUpModel(swf);
        auto form = std::make_unique<TStep5Form>();
        auto &s = form->step;
        QCOMPARE(form->objectName(), QStringLiteral("TStep5Form"));
        QCOMPARE(form->Tag(), tag);
        QCOMPARE(StepForms.value(tag - 1), form.get());
        QCOMPARE(headerText(form.get(), "lblActionCaption"), QStringLiteral("Layout Setup"));
        QCOMPARE(headerText(form.get(), "lblActionDescription"),
                 QStringLiteral("Set image quality, image labels and images per page."));

        QCOMPARE(itemTexts(s.cmbxImageResolution), resolutions);
        QCOMPARE(s.cmbxImageResolution->currentText(), QStringLiteral("72"));
        QCOMPARE(itemTexts(s.cmbxImageQuality),
                 (QStringList{"10", "20", "30", "40", "50", "60", "70", "80", "90", "100"}));
        QCOMPARE(s.cmbxImageQuality->currentText(), QStringLiteral("70"));
        QVERIFY(!s.cmbxImageResolution->isEditable());

        QCOMPARE(itemTexts(s.cmbxNonKeyFrameLabel), kNonKeyPatterns);
        QCOMPARE(s.cmbxNonKeyFrameLabel->currentIndex(), 0);
        QVERIFY(s.cmbxNonKeyFrameLabel->isEditable());
        QCOMPARE(itemTexts(s.cmbxKeyFrameLabel), kKeyPatterns);
        QCOMPARE(s.cmbxKeyFrameLabel->currentIndex(), 0);
        // The key pattern row exists in FLA mode only.
        QCOMPARE(s.lblKeyFrameLabel->isHidden(), swf);
        QCOMPARE(s.cmbxKeyFrameLabel->isHidden(), swf);
        QCOMPARE(s.bitbtnEditKeyFrameLabel->isHidden(), swf);
        QVERIFY(!s.lblNonKeyFrameLabel->isHidden());

        QVERIFY(s.chbxLabelFrames->isChecked());
        QVERIFY(!s.chbxEmbedFontSubset->isChecked());
        QVERIFY(!s.chbxSetFramesPerPage->isChecked());
        QVERIFY(s.cmbxNonKeyFrameLabel->isEnabled());
        QVERIFY(!s.spedtColumnsPerPage->isEnabled());
        QVERIFY(!s.spedtRowsPerPage->isEnabled());
        QCOMPARE(s.spedtColumnsPerPage->minimum(), 1);
        QCOMPARE(s.spedtColumnsPerPage->maximum(), 2147483647);
        QCOMPARE(s.spedtRowsPerPage->minimum(), 1);
        QCOMPARE(s.spedtRowsPerPage->maximum(), 2147483647);
        QCOMPARE(s.spedtColumnsPerPage->value(), 1);
        QCOMPARE(s.pnlPagePreview->size(), QSize(225, 257));
        // The check boxes sit on the group captions, outside the groups.
        QVERIFY(!s.grbxLabelFrames->isAncestorOf(s.chbxLabelFrames));
        QVERIFY(!s.grbxFramesPerPage->isAncestorOf(s.chbxSetFramesPerPage));
        QCOMPARE(s.chbxLabelFrames->y(), s.grbxLabelFrames->y());
        QCOMPARE(s.chbxSetFramesPerPage->y(), s.grbxFramesPerPage->y());

        QCOMPARE(form->fntdlgImageLabelsFont->objectName(), QStringLiteral("fntdlgImageLabelsFont"));
        QCOMPARE(form->fntdlgImageLabelsFont->Font.family(), QStringLiteral("Arial"));
        QCOMPARE(form->fntdlgImageLabelsFont->Font.pointSize(), 12);
        QVERIFY(!form->fntdlgImageLabelsFont->Font.bold());
        QCOMPARE(form->fntdlgImageLabelsFont->Color, 0);
        QCOMPARE(form->fntdlgImageLabelsFont->Charset, 1);
    }

    void step5Texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("resolution") << "cmbxImageResolution" << QString()
                                    << "Resolution of the images (lower values reduce PDF file size and creation time)";
        QTest::newRow("quality") << "cmbxImageQuality" << QString()
                                 << "Quality of the images (lower values reduce PDF file size and creation time)";
        QTest::newRow("size") << "lblPDFFileSize" << QString() << "Estimated size of the PDF file";
        QTest::newRow("labels box") << "chbxLabelFrames" << "" << "Put image labels";
        QTest::newRow("labels group") << "grbxLabelFrames" << "      Image &labels" << QString();
        QTest::newRow("non-key") << "cmbxNonKeyFrameLabel" << QString() << "Pattern of non-key frame labels";
        QTest::newRow("non-key label") << "lblNonKeyFrameLabel" << "Non-ke&y pattern" << QString();
        QTest::newRow("key") << "cmbxKeyFrameLabel" << QString() << "Pattern of key frame labels";
        QTest::newRow("key label") << "lblKeyFrameLabel" << "&Key pattern" << QString();
        QTest::newRow("edit non-key") << "bitbtnEditNonKeyFrameLabel" << "..." << "Edit pattern of non-key frame labels";
        QTest::newRow("edit key") << "bitbtnEditKeyFrameLabel" << "..." << "Edit pattern of key frame labels";
        QTest::newRow("font") << "bitbtnImageLabelsFont" << "F&ont..." << "Font for the image labels";
        QTest::newRow("embed") << "chbxEmbedFontSubset" << "&Embed font subset" << "Embed subsetted font for the image labels";
        QTest::newRow("per page box") << "chbxSetFramesPerPage" << "" << "Set columns and rows per page (uncheck for auto)";
        QTest::newRow("per page group") << "grbxFramesPerPage" << "      Set i&mages per page" << QString();
        QTest::newRow("columns") << "spedtColumnsPerPage" << QString() << "Columns per page";
        QTest::newRow("columns label") << "lblColumnsPerPage" << "Colu&mns" << QString();
        QTest::newRow("rows") << "spedtRowsPerPage" << QString() << "Rows per page";
        QTest::newRow("rows label") << "lblRowsPerPage" << "Ro&ws" << QString();
        QTest::newRow("dpi") << "lblDpi" << "dpi" << QString();
        QTest::newRow("estimate") << "lblEstFileSize" << "Est. file size" << QString();
    }
    void step5Texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        setUpModel(false);
        TStep5Form form;
        QWidget *w = form.findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        checkTextAndHint(w, text, hint);
        if (QTest::currentTestFailed())
            return;
        if (name == QLatin1String("lblPDFFileSize"))
            QVERIFY(qobject_cast<QLabel *>(w)->alignment() & Qt::AlignRight);
        if (name.startsWith(QLatin1String("bitbtnEdit")))
            QVERIFY(qobject_cast<QToolButton *>(w)->autoRaise());
    }

    void step5GroupSwitch_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("startsChecked");
        QTest::addColumn<QStringList>("inside");
        QTest::newRow("image labels") << "chbxLabelFrames" << true
                                      << QStringList{"cmbxNonKeyFrameLabel", "bitbtnEditNonKeyFrameLabel",
                                                     "cmbxKeyFrameLabel", "bitbtnEditKeyFrameLabel",
                                                     "bitbtnImageLabelsFont", "chbxEmbedFontSubset",
                                                     "lblNonKeyFrameLabel"};
        QTest::newRow("images per page") << "chbxSetFramesPerPage" << false
                                         << QStringList{"spedtColumnsPerPage", "spedtRowsPerPage", "lblColumnsPerPage",
                                                        "lblRowsPerPage"};
    }
    void step5GroupSwitch()
    {
        QFETCH(QString, box);
        QFETCH(bool, startsChecked);
        QFETCH(QStringList, inside);
        setUpModel(false);
        TStep5Form form;
        auto *check = form.findChild<QCheckBox *>(box);
        QVERIFY(check);
        QCOMPARE(check->isChecked(), startsChecked);
        for (bool on : {!startsChecked, startsChecked, !startsChecked}) {
            check->click();
            QCOMPARE(check->isChecked(), on);
            QVERIFY(check->isEnabled());
            for (const QString &name : inside) {
                QWidget *w = form.findChild<QWidget *>(name);
                QVERIFY2(w, qPrintable(name));
                QVERIFY2(w->isEnabled() == on, qPrintable(name));
            }
        }
        // Setting the box from code (as the settings do) switches the group too.
        check->setChecked(!check->isChecked());
        QCOMPARE(form.findChild<QWidget *>(inside.first())->isEnabled(), check->isChecked());
    }

    void step5AltKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("labelsToggle");
        QTest::addColumn<bool>("perPageToggles");
        QTest::newRow("Alt+L") << int(Qt::Key_L) << int(Qt::AltModifier) << true << false;
        QTest::newRow("Alt+M") << int(Qt::Key_M) << int(Qt::AltModifier) << false << true;
        QTest::newRow("Ctrl+Alt+L") << int(Qt::Key_L) << int(Qt::AltModifier | Qt::ControlModifier) << false << false;
        QTest::newRow("Shift+Alt+M") << int(Qt::Key_M) << int(Qt::AltModifier | Qt::ShiftModifier) << false << false;
        QTest::newRow("L alone") << int(Qt::Key_L) << int(Qt::NoModifier) << false << false;
    }
    void step5AltKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, labelsToggle);
        QFETCH(bool, perPageToggles);
        setUpModel(false);
        TStep5Form form;
        auto &s = form.step;
        QVERIFY(showActive(&form));
        s.cmbxImageQuality->setFocus();
        QTest::keyClick(s.cmbxImageQuality, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(s.chbxLabelFrames->isChecked(), !labelsToggle);
        QCOMPARE(s.chbxSetFramesPerPage->isChecked(), perPageToggles);
        // The group follows its box, and the box has the focus.
        QCOMPARE(s.spedtColumnsPerPage->isEnabled(), perPageToggles);
        QCOMPARE(s.bitbtnImageLabelsFont->isEnabled(), !labelsToggle);
        if (labelsToggle)
            QCOMPARE(QApplication::focusWidget(), s.chbxLabelFrames);
        else if (perPageToggles)
            QCOMPARE(QApplication::focusWidget(), s.chbxSetFramesPerPage);
        else
            QCOMPARE(QApplication::focusWidget(), s.cmbxImageQuality);
    }

    void step5EditPattern_data()
    {
        QTest::addColumn<bool>("keyPattern");
        QTest::addColumn<QString>("edited");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("changes");
        QTest::newRow("non-key, changed") << false << "Shot <N>" << true << true;
        QTest::newRow("non-key, unchanged") << false << "Frame <N>" << true << false;
        QTest::newRow("non-key, cancelled") << false << "Shot <N>" << false << false;
        QTest::newRow("key, changed") << true << "Key <N> *" << true << true;
        QTest::newRow("key, unchanged") << true << "Frame <N> *" << true << false;
    }
    void step5EditPattern()
    {
        QFETCH(bool, keyPattern);
        QFETCH(QString, edited);
        QFETCH(bool, confirm);
        QFETCH(bool, changes);
        setUpModel(false);
        TStep5Form form;
        TFrameLabelPatternEditorForm editor;
        Forms.patternEditor = &editor;
        QComboBox *combo = keyPattern ? form.step.cmbxKeyFrameLabel : form.step.cmbxNonKeyFrameLabel;
        const QStringList before = itemTexts(combo);

        QString offered, caption, hint;
        QTimer::singleShot(0, &editor, [&] {
            offered = editor.PatternText();
            caption = editor.ui.lblPatternDescrption->text();
            hint = editor.ui.rchedtPattern->toolTip();
            editor.SetPatternText(edited);
            (confirm ? editor.ui.bitbtnOK : editor.ui.bitbtnCancel)->click();
        });
        (keyPattern ? form.step.bitbtnEditKeyFrameLabel : form.step.bitbtnEditNonKeyFrameLabel)->click();

        QCOMPARE(offered, before.first());
        QCOMPARE(caption, keyPattern ? QStringLiteral("Pattern of &key frame labels")
                                     : QStringLiteral("Pattern of non-ke&y frame labels"));
        QCOMPARE(hint, keyPattern ? QStringLiteral("Edit pattern of key frame labels")
                                  : QStringLiteral("Edit pattern of non-key frame labels"));
        QCOMPARE(itemTexts(combo), changes ? QStringList{edited} + before : before);
        QCOMPARE(combo->currentText(), changes ? edited : before.first());
    }

    void step5TypedPattern()
    {
        setUpModel(true);
        TStep5Form form;
        QComboBox *combo = form.step.cmbxNonKeyFrameLabel;
        QVERIFY(showActive(&form));
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), QStringLiteral("Pic <N>"));
        QCOMPARE(combo->count(), 5); // typing alone adds nothing
        form.step.cmbxImageQuality->setFocus();
        QCOMPARE(itemTexts(combo), QStringList{"Pic <N>"} + kNonKeyPatterns);
        QCOMPARE(combo->currentIndex(), 0);
        // Choosing an older pattern from the list moves it to the top.
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(itemTexts(combo), (QStringList{"Frame <N>", "Pic <N>"} + kNonKeyPatterns.mid(1)));
        QCOMPARE(combo->currentIndex(), 0);
        // Leaving it unchanged adds nothing.
        form.step.cmbxImageQuality->setFocus();
        QCOMPARE(combo->count(), 6);
    }

    // ---- Output step -------------------------------------------------------

    void step6Texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hint");
        QTest::newRow("directory") << "edtPDFDirectory" << QString() << "PDF file directory";
        QTest::newRow("directory label") << "lblPDFDirectory" << "PDF directory" << QString();
        QTest::newRow("file") << "edtPDFFile" << QString() << "PDF file name";
        QTest::newRow("file label") << "lblPDFFile" << "PDF fi&le" << QString();
        QTest::newRow("file browse") << "bitbtnPDFFileBrowse" << "..." << "Save PDF file as";
        QTest::newRow("view") << "chbxViewFile" << "&View the file when finished" << "View the PDF file when finished";
        QTest::newRow("front") << "cmbxInputFile" << QString() << "PDF file to be inserted in front of the final file";
        QTest::newRow("front label") << "lblInputFile" << "Front PDF f&ile" << QString();
        QTest::newRow("front browse") << "bitbtnInputFileBrowse" << "..." << "Select front PDF file";
        QTest::newRow("files group") << "grbxFiles" << "Files and directories" << QString();
        QTest::newRow("information group") << "grbxFileInformation" << "File Information" << QString();
        QTest::newRow("title") << "cmbxFileTitle" << QString() << "Title";
        QTest::newRow("title label") << "lblFileTitle" << "&Title" << QString();
        QTest::newRow("author") << "cmbxFileAuthor" << QString() << "Author";
        QTest::newRow("author label") << "lblFileAuthor" << "&Author" << QString();
        QTest::newRow("subject") << "cmbxFileSubject" << QString() << "Subject";
        QTest::newRow("subject label") << "lblFileSubject" << "S&ubject" << QString();
        QTest::newRow("keywords") << "cmbxFileKeywords" << QString() << "Enter keywords separated by spaces";
        QTest::newRow("keywords label") << "lblFileKeywords" << "&Keywords" << QString();
        QTest::newRow("security box") << "chbxSecurity" << "" << "Set file security";
        QTest::newRow("security group") << "grbxSecurity" << "      &Security" << QString();
        QTest::newRow("encryption") << "cmbxEncryption" << QString() << "Type of file encryption";
        QTest::newRow("encryption label") << "lblEncryption" << "&Encryption" << QString();
        QTest::newRow("password") << "medtPassword1" << QString() << "File password";
        QTest::newRow("password label") << "lblPassword1" << "&Password" << QString();
        QTest::newRow("repeat") << "medtPassword2" << QString() << "Repeat file password";
        QTest::newRow("repeat label") << "lblPassword2" << "&Repeat password" << QString();
        QTest::newRow("show password") << "chbxShowPassword" << "Sh&ow password" << "Show file password";
        QTest::newRow("permissions group") << "grbxPermissions" << "Permissons" << QString();
        QTest::newRow("printing") << "chbxPermitPrinting" << "Printin&g" << "Permit file printing";
        QTest::newRow("changing") << "chbxPermitChanging" << "C&hanging" << "Permit file changing";
        QTest::newRow("copying") << "chbxPermitCopying" << "Cop&ying" << "Permit file copying";
    }
    void step6Texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, hint);
        setUpModel(true);
        TStep6Form form;
        QWidget *w = form.findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        checkTextAndHint(w, text, hint);
        if (QTest::currentTestFailed())
            return;
    }

    void step6PerMode_data()
    {
        QTest::addColumn<bool>("swf");
        QTest::addColumn<int>("tag");
        QTest::newRow("SWF mode") << true << 6;
        QTest::newRow("FLA mode") << false << 5;
    }
    void step6PerMode()
    {
        QFETCH(bool, swf);
        QFETCH(int, tag);
        setUpModel(swf);
        TStep6Form form;
        auto &s = form.step;
        QCOMPARE(form.objectName(), QStringLiteral("TStep6Form"));
        QCOMPARE(form.Tag(), tag);
        QCOMPARE(headerText(&form, "lblActionCaption"), QStringLiteral("PDF File Setup"));
        QCOMPARE(headerText(&form, "lblActionDescription"),
                 QStringLiteral("Set PDF file name, information and security"));

        QVERIFY(s.chbxViewFile->isChecked());
        QVERIFY(!s.chbxSecurity->isChecked());
        QVERIFY(!s.cmbxEncryption->isEnabled());
        QVERIFY(s.chbxPermitPrinting->isChecked());
        QVERIFY(s.chbxPermitChanging->isChecked());
        QVERIFY(s.chbxPermitCopying->isChecked());
        QVERIFY(!s.chbxShowPassword->isChecked());
        QCOMPARE(itemTexts(s.cmbxEncryption), (QStringList{"40 bit", "128 bit"}));
        QCOMPARE(s.cmbxEncryption->currentIndex(), 0);
        QCOMPARE(itemTexts(s.cmbxInputFile), QStringList{QString()});
        QVERIFY(!s.cmbxInputFile->isEditable());
        for (QComboBox *info : {s.cmbxFileTitle, s.cmbxFileAuthor, s.cmbxFileSubject, s.cmbxFileKeywords})
            QVERIFY2(info->isEditable(), qPrintable(info->objectName()));
        QCOMPARE(s.medtPassword1->echoMode(), QLineEdit::Password);
        QCOMPARE(s.medtPassword2->echoMode(), QLineEdit::Password);
        QVERIFY(s.edtPDFDirectory->isReadOnly());
        QVERIFY(!(s.edtPDFDirectory->focusPolicy() & Qt::TabFocus));
        QCOMPARE(s.lblPassword2->buddy(), s.medtPassword2);
        QVERIFY(!s.grbxSecurity->isAncestorOf(s.chbxSecurity));
        QCOMPARE(s.chbxSecurity->y(), s.grbxSecurity->y());

        QFileDialog *dialog = form.svdlgSavePDFFile;
        QVERIFY(dialog);
        QCOMPARE(dialog->objectName(), QStringLiteral("svdlgSavePDFFile"));
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("pdf"));
        QCOMPARE(dialog->nameFilters(), QStringList{"Adobe PDF Files (*.pdf)"});
    }

    void step6GetPdfFileName_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("other extension") << "/home/ann/" << "frames.txt" << "/home/ann/frames.pdf";
        QTest::newRow("no extension") << "/home/ann/" << "frames" << "/home/ann/frames.pdf";
        QTest::newRow("pdf already") << "/home/ann/" << "frames.pdf" << "/home/ann/frames.pdf";
        QTest::newRow("dots in the name") << "/home/ann/" << "my.movie.swf" << "/home/ann/my.movie.pdf";
        QTest::newRow("dots in folders") << "/srv/v1.2/out.d/" << "frames" << "/srv/v1.2/out.d/frames.pdf";
        QTest::newRow("dots in folders and name") << "/srv/v1.2/" << "a.b" << "/srv/v1.2/a.pdf";
        QTest::newRow("no directory") << "" << "intro.swf" << "intro.pdf";
    }
    void step6GetPdfFileName()
    {
        QFETCH(QString, directory);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        setUpModel(true);
        TStep6Form form;
        form.step.edtPDFDirectory->setText(directory);
        QTest::keyClicks(form.step.edtPDFFile, file);
        QCOMPARE(form.GetPdfFileName(), expected);
    }

    void step6SetPdfFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "/home/ann/intro.pdf" << "/home/ann/" << "intro.pdf";
        QTest::newRow("dotted folder") << "/srv/v1.2/my.intro.pdf" << "/srv/v1.2/" << "my.intro.pdf";
        QTest::newRow("root") << "/intro.pdf" << "/" << "intro.pdf";
        QTest::newRow("bare name") << "intro.pdf" << "" << "intro.pdf";
    }
    void step6SetPdfFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, directory);
        QFETCH(QString, file);
        setUpModel(false);
        TStep6Form form;
        form.SetPdfFileName(path);
        QCOMPARE(form.step.edtPDFDirectory->text(), directory);
        QCOMPARE(form.step.edtPDFFile->text(), file);
        QCOMPARE(form.GetPdfFileName(), path);
    }

    void step6ShowPassword()
    {
        setUpModel(true);
        TStep6Form form;
        auto &s = form.step;
        s.chbxSecurity->setChecked(true);
        for (bool show : {true, false, true}) {
            s.chbxShowPassword->click();
            QCOMPARE(s.chbxShowPassword->isChecked(), show);
            QCOMPARE(s.medtPassword2->isHidden(), show);
            QCOMPARE(s.lblPassword2->isHidden(), show);
            QCOMPARE(s.medtPassword1->echoMode(), show ? QLineEdit::Normal : QLineEdit::Password);
        }
    }

    void step6Security()
    {
        setUpModel(true);
        TStep6Form form;
        auto &s = form.step;
        const QList<QWidget *> inside = {s.cmbxEncryption,     s.medtPassword1,      s.medtPassword2,
                                         s.chbxShowPassword,   s.chbxPermitPrinting, s.chbxPermitChanging,
                                         s.chbxPermitCopying,  s.lblPassword2};
        for (bool on : {true, false, true}) {
            s.chbxSecurity->click();
            QCOMPARE(s.chbxSecurity->isChecked(), on);
            QVERIFY(s.chbxSecurity->isEnabled());
            for (QWidget *w : inside)
                QVERIFY2(w->isEnabled() == on, qPrintable(w->objectName()));
        }
        // Unrelated controls stay usable.
        QVERIFY(s.edtPDFFile->isEnabled());
    }

    void step6AltS_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("toggles");
        QTest::newRow("Alt+S") << int(Qt::AltModifier) << true;
        QTest::newRow("Ctrl+Alt+S") << int(Qt::AltModifier | Qt::ControlModifier) << false;
    }
    void step6AltS()
    {
        QFETCH(int, modifiers);
        QFETCH(bool, toggles);
        setUpModel(true);
        TStep6Form form;
        auto &s = form.step;
        QVERIFY(showActive(&form));
        s.edtPDFFile->setText(QStringLiteral("sheet.pdf"));
        s.edtPDFFile->setFocus();
        QTest::keyClick(s.edtPDFFile, Qt::Key_S, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(s.chbxSecurity->isChecked(), toggles);
        QCOMPARE(s.cmbxEncryption->isEnabled(), toggles);
        if (toggles) {
            QCOMPARE(s.edtPDFFile->text(), QStringLiteral("sheet.pdf")); // the key never reached the edit
            QCOMPARE(QApplication::focusWidget(), s.chbxSecurity);
            QTest::keyClick(s.chbxSecurity, Qt::Key_S, Qt::AltModifier);
            QVERIFY(!s.chbxSecurity->isChecked());
        }
    }

    void step6FrontFileHistory()
    {
        setUpModel(true);
        TStep6Form form;
        QComboBox *front = form.step.cmbxInputFile;
        AddToHistory(front, QStringLiteral("/p/a.pdf"));
        AddToHistory(front, QStringLiteral("/p/b.pdf"));
        QCOMPARE(itemTexts(front), (QStringList{"", "/p/b.pdf", "/p/a.pdf"}));
        // Choosing an older file moves it up behind the empty entry.
        QTest::keyClick(front, Qt::Key_End);
        QCOMPARE(itemTexts(front), (QStringList{"", "/p/a.pdf", "/p/b.pdf"}));
        QCOMPARE(front->currentText(), QStringLiteral("/p/a.pdf"));
        // The empty first entry means no front file.
        QTest::keyClick(front, Qt::Key_Home);
        QCOMPARE(front->currentIndex(), 0);
        QCOMPARE(front->currentText(), QString());
        QCOMPARE(itemTexts(front), (QStringList{"", "/p/a.pdf", "/p/b.pdf"}));
    }

    void step6InformationHistory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("byDropDown");
        for (const char *name : {"cmbxFileTitle", "cmbxFileAuthor", "cmbxFileSubject", "cmbxFileKeywords"}) {
            QTest::addRow("%s, focus out", name) << name << false;
            QTest::addRow("%s, drop-down", name) << name << true;
        }
    }
    void step6InformationHistory()
    {
        QFETCH(QString, name);
        QFETCH(bool, byDropDown);
        setUpModel(false);
        TStep6Form form;
        auto *combo = form.findChild<QComboBox *>(name);
        QVERIFY(combo);
        AddToHistory(combo, QStringLiteral("older"));
        combo->setEditText(QStringLiteral("Annual report"));
        QCOMPARE(combo->count(), 1); // typing alone adds nothing
        if (byDropDown) {
            QTest::keyClick(combo, Qt::Key_F4);
            combo->hidePopup();
        } else {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(combo, &out);
        }
        QCOMPARE(itemTexts(combo), (QStringList{"Annual report", "older"}));
        QCOMPARE(combo->currentText(), QStringLiteral("Annual report"));
    }

    void step6Browse_data()
    {
        QTest::addColumn<bool>("frontFile");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("title");
        QTest::newRow("PDF file") << false << "sheet" << "sheet.pdf" << "Save PDF file as";
        QTest::newRow("front file") << true << "cover.pdf" << "cover.pdf" << "Select front PDF file";
    }
    void step6Browse()
    {
        QFETCH(bool, frontFile);
        QFETCH(QString, typed);
        QFETCH(QString, chosen);
        QFETCH(QString, title);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        setUpModel(true);
        TStep6Form form;
        form.SetPdfFileName(dir.filePath(QStringLiteral("old.txt")));
        QString seenTitle, seenPreset;
        bool seenNoPrompt = false;
        QTimer::singleShot(0, form.svdlgSavePDFFile, [&] {
            QFileDialog *dialog = form.svdlgSavePDFFile;
            seenTitle = dialog->windowTitle();
            seenPreset = dialog->selectedFiles().value(0);
            seenNoPrompt = dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectFile(dir.filePath(typed));
            static_cast<QDialog *>(dialog)->accept(); // as its own Save button does
            if (dialog->isVisible())
                dialog->reject(); // refused: the checks below report it
        });
        (frontFile ? form.step.bitbtnInputFileBrowse : form.step.bitbtnPDFFileBrowse)->click();
        QCOMPARE(seenTitle, title);
        QCOMPARE(seenNoPrompt, frontFile);
        const QString path = dir.filePath(chosen);
        if (frontFile) {
            QCOMPARE(itemTexts(form.step.cmbxInputFile), (QStringList{QString(), path}));
            QCOMPARE(form.step.cmbxInputFile->currentText(), path);
            QCOMPARE(form.GetPdfFileName(), dir.filePath(QStringLiteral("old.pdf")));
        } else {
            // The dialog starts from the name the PDF would get.
            QCOMPARE(seenPreset, dir.filePath(QStringLiteral("old.pdf")));
            QCOMPARE(form.step.edtPDFDirectory->text(), dir.path() + QLatin1Char('/'));
            QCOMPARE(form.step.edtPDFFile->text(), chosen);
            QCOMPARE(itemTexts(form.step.cmbxInputFile), QStringList{QString()});
        }
    }

    void step6NextNeedsTheFile()
    {
        setUpModel(true);
        TStep6Form step6;
        TStep7Form step7;
        PDFCreator = new TPDFCreator(nullptr);
        ShowWizardStep(&step6);
        step6.bitbtnNext()->click();
        // No layout, no file: the wizard stays on the output step.
        QVERIFY(step6.isVisible());
        QVERIFY(!step7.isVisible());
        step6.hide();
    }

    // ---- Progress window ---------------------------------------------------

    void progressEndsAndCancels_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "cancel";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("Enter") << "enter";
        QTest::newRow("worker closes it") << "close";
    }
    void progressEndsAndCancels()
    {
        QFETCH(QString, how);
        QWidget step;
        step.resize(300, 200);
        QVERIFY(showActive(&step));
        TProgressForm progress;
        QCOMPARE(progress.size(), QSize(300, 68));
        QCOMPARE(progress.ui.prbarProgressBar->geometry(), QRect(11, 26, 197, 16));
        QCOMPARE(progress.ui.bitbtnCancel->geometry(), QRect(218, 23, 72, 23));
        QCOMPARE(progress.ui.bitbtnCancel->text(), QStringLiteral("Cancel"));
        QVERIFY(progress.ui.bitbtnCancel->isDefault());

        for (int round = 0; round < 2; ++round) {
            progress.show();
            QVERIFY(!progress.Cancelled);
            QCOMPARE(progress.ui.prbarProgressBar->value(), 0);
            QVERIFY(!step.isEnabled());
            progress.SetProgress(70);
            QCOMPARE(progress.ui.prbarProgressBar->value(), 70);
            if (how == QLatin1String("cancel"))
                progress.ui.bitbtnCancel->click();
            else if (how == QLatin1String("esc"))
                QTest::keyClick(&progress, Qt::Key_Escape);
            else if (how == QLatin1String("enter"))
                QTest::keyClick(&progress, Qt::Key_Return);
            else
                progress.close();
            QVERIFY(!progress.isVisible());
            QVERIFY(progress.Cancelled);
            QVERIFY(step.isEnabled());
            // The next piece of work starts afresh.
            step.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&step));
        }
    }

    void progressLetsEventsThrough()
    {
        TProgressForm progress;
        progress.show();
        bool ran = false;
        QTimer::singleShot(0, &progress, [&] { ran = true; });
        progress.SetProgress(42);
        QVERIFY(ran);
        QCOMPARE(progress.ui.prbarProgressBar->value(), 42);
        progress.close();
    }

    void progressStaysInPlace()
    {
        TProgressForm progress;
        progress.show();
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        const QPoint where = progress.pos();
        progress.move(where + QPoint(40, 30));
        QTRY_COMPARE(progress.pos(), where);
        progress.close();
        // Hidden, it can be placed anywhere.
        progress.move(where + QPoint(40, 30));
        QCOMPARE(progress.pos(), where + QPoint(40, 30));
    }

    // ---- Image preview -----------------------------------------------------

    void imagePreviewSkeleton()
    {
        TImagePreviewForm preview;
        QCOMPARE(preview.objectName(), QStringLiteral("TImagePreviewForm"));
        QCOMPARE(preview.windowTitle(), QStringLiteral("Actual size preview"));
        QVERIFY(preview.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(preview.windowType(), Qt::Tool);
        QCOMPARE(preview.minimumSize(), QSize(200, 200));
        QCOMPARE(preview.size(), QSize(442, 200));
        QCOMPARE(preview.ui.srbxImage->frameShape(), QFrame::NoFrame);
        QVERIFY(preview.ui.imgImage->hasScaledContents());
        QCOMPARE(preview.ui.bitbtnClose->text(), QStringLiteral("&Close"));
        QCOMPARE(preview.ui.bitbtnClose->toolTip(), QStringLiteral("Close the preview"));
        QVERIFY(preview.ui.bitbtnClose->isDefault());
    }

    void imagePreviewArrange_data()
    {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QTest::addColumn<QSize>("movie");
        QTest::addColumn<QPoint>("stored");
        QTest::addColumn<QSize>("client");   // empty: the screen's size, frame included
        QTest::addColumn<QPoint>("shownAt");
        QTest::newRow("fits") << QSize(320, 240) << QPoint(10, 20) << QSize(320, 281) << QPoint(10, 20);
        QTest::newRow("stored off to the right")
            << QSize(320, 240) << QPoint(screen.width() + 100, 20) << QSize(320, 281) << QPoint(0, 20);
        QTest::newRow("stored below") << QSize(320, 240) << QPoint(10, screen.height() + 5) << QSize(320, 281)
                                      << QPoint(10, 0);
        QTest::newRow("stored left and above") << QSize(320, 240) << QPoint(-50, -60) << QSize(320, 281) << QPoint(0, 0);
        QTest::newRow("never smaller than its minimum") << QSize(100, 50) << QPoint(10, 20) << QSize(200, 200)
                                                        << QPoint(10, 20);
        QTest::newRow("bigger than the screen") << QSize(screen.width() * 2, screen.height() * 2) << QPoint(10, 20)
                                                << QSize() << QPoint(0, 0);
    }
    void imagePreviewArrange()
    {
        QFETCH(QSize, movie);
        QFETCH(QPoint, stored);
        QFETCH(QSize, client);
        QFETCH(QPoint, shownAt);
        MovieWidth = movie.width();
        MovieHeight = movie.height();
        TImagePreviewForm preview;
        preview.move(stored);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        if (client.isValid())
            QCOMPARE(preview.size(), client);
        else
            QCOMPARE(preview.frameGeometry().size(), QGuiApplication::primaryScreen()->geometry().size());
        QCOMPARE(preview.pos(), shownAt);
        QCOMPARE(preview.ui.imgImage->size(), movie);
        preview.close();
    }

    void imagePreviewPictures()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString good = dir.filePath(QStringLiteral("VELUMOR0001.jpg"));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(good, "JPG"));
        const QString bad = dir.filePath(QStringLiteral("VELUMOR0002.jpg"));
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a picture");
        }
        MovieWidth = 320;
        MovieHeight = 240;
        TImagePreviewForm preview;

        // Hidden, the file is only noted.
        preview.SetImageFile(good);
        QCOMPARE(preview.ImageFile, good);
        QVERIFY(!preview.HasPicture());

        preview.show();
        QVERIFY(preview.HasPicture());
        QVERIFY(preview.ui.imgImage->isVisible());
        QVERIFY(!preview.ui.lblImageError->isVisible());
        // Shown stretched to the movie's size, not the file's.
        QCOMPARE(preview.ui.imgImage->size(), QSize(320, 240));

        preview.SetImageFile(bad);
        QVERIFY(!preview.HasPicture());
        QVERIFY(!preview.ui.imgImage->isVisible());
        QVERIFY(preview.ui.lblImageError->isVisible());

        preview.SetImageFile(dir.filePath(QStringLiteral("missing.jpg")));
        QVERIFY(!preview.HasPicture());
        QVERIFY(preview.ui.lblImageError->isVisible());

        preview.SetImageFile(good);
        QVERIFY(preview.HasPicture());
        QVERIFY(!preview.ui.lblImageError->isVisible());
        preview.ui.bitbtnClose->click();
        QVERIFY(!preview.isVisible());
        QCOMPARE(preview.ImageFile, good);
    }

    void imagePreviewCentres_data()
    {
        QTest::addColumn<QSize>("movie");
        QTest::addColumn<bool>("centred");
        QTest::newRow("small picture") << QSize(100, 80) << true;
        QTest::newRow("picture larger than the window") << QSize(1000, 800) << false;
    }
    void imagePreviewCentres()
    {
        QFETCH(QSize, movie);
        QFETCH(bool, centred);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("p.png"));
        QImage picture(10, 10, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(file));
        MovieWidth = movie.width();
        MovieHeight = movie.height();
        TImagePreviewForm preview;
        preview.SetImageFile(file);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.resize(420, 330);
        QWidget *viewport = preview.ui.srbxImage->viewport();
        if (centred) {
            QTRY_COMPARE(preview.ui.imgImage->pos(), QPoint((viewport->width() - movie.width()) / 2,
                                                            (viewport->height() - movie.height()) / 2));
            QVERIFY(preview.ui.imgImage->x() > 0);
        } else {
            QTRY_COMPARE(preview.ui.imgImage->pos(), QPoint(0, 0));
        }
        preview.close();
    }

    // ---- Label pattern editor ----------------------------------------------

    void patternEditorSkeleton()
    {
        TFrameLabelPatternEditorForm editor;
        auto &ui = editor.ui;
        QCOMPARE(editor.windowTitle(), QStringLiteral("Image Labels Pattern Editor"));
        QCOMPARE(ui.lstvwFlags->toolTip(), QStringLiteral("Choose a flag to insert"));
        QCOMPARE(ui.lstvwFlags->columnCount(), 3);
        const QStringList headers = {"Flag", "Descrption", "Modes"};
        const QList<int> widths = {50, 170, 60};
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(ui.lstvwFlags->headerItem()->text(c), headers[c]);
            QCOMPARE(ui.lstvwFlags->columnWidth(c), widths[c]);
        }
        const QList<QStringList> rows = {{"<F>", "File name", "All"},
                                         {"<L>", "Frame label", "All"},
                                         {"<N>", "Frame number in the file", "All"},
                                         {"<NS>", "Frame number in the scene", "FLA files"},
                                         {"<S>", "Scene number", "FLA files"},
                                         {"<ST>", "Scene title", "FLA files"}};
        QCOMPARE(ui.lstvwFlags->topLevelItemCount(), rows.size());
        for (int r = 0; r < rows.size(); ++r)
            for (int c = 0; c < 3; ++c)
                QCOMPARE(ui.lstvwFlags->topLevelItem(r)->text(c), rows[r][c]);
        QCOMPARE(ui.lstvwFlags->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(ui.lstvwFlags->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(ui.bitbtnInsert->text(), QStringLiteral("&Insert"));
        QCOMPARE(ui.bitbtnInsert->toolTip(), QStringLiteral("Insert the selected flag"));
        QCOMPARE(ui.bitbtnDelete->text(), QStringLiteral("&Delete"));
        QCOMPARE(ui.bitbtnDelete->toolTip(), QStringLiteral("Delete the selected flag"));
        QCOMPARE(ui.bitbtnOK->text(), QStringLiteral("&OK"));
        QVERIFY(ui.bitbtnOK->isDefault());
        QCOMPARE(ui.bitbtnCancel->text(), QStringLiteral("&Cancel"));
        QCOMPARE(ui.rchedtPattern->lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(ui.lblPatternDescrption->buddy(), ui.rchedtPattern);
    }

    void patternEditorOkNeedsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("pattern") << "Frame <N>" << true;
        QTest::newRow("one blank") << " " << true;
    }
    void patternEditorOkNeedsText()
    {
        QFETCH(QString, text);
        QFETCH(bool, okEnabled);
        TFrameLabelPatternEditorForm editor;
        editor.SetPatternText(QStringLiteral("x"));
        editor.SetPatternText(text);
        QCOMPARE(editor.PatternText(), text);
        QCOMPARE(editor.ui.bitbtnOK->isEnabled(), okEnabled);
    }

    void patternEditorErasingDisablesOk()
    {
        TFrameLabelPatternEditorForm editor;
        QWidget *focused = nullptr;
        int caret = -1;
        bool okAfterErasing = true, openAfterEnter = false;
        QTimer::singleShot(0, &editor, [&] {
            focused = editor.focusWidget();
            caret = editor.ui.rchedtPattern->textCursor().position();
            QTest::keyClick(editor.ui.rchedtPattern, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(editor.ui.rchedtPattern, Qt::Key_Delete);
            okAfterErasing = editor.ui.bitbtnOK->isEnabled();
            // Enter does not confirm an empty pattern.
            QTest::keyClick(editor.ui.rchedtPattern, Qt::Key_Return);
            openAfterEnter = editor.isVisible();
            editor.reject();
        });
        editor.SetPatternText(QStringLiteral("ab"));
        QCOMPARE(editor.Execute(false), int(QDialog::Rejected));
        QCOMPARE(focused, editor.ui.rchedtPattern);
        QCOMPARE(caret, 0);
        QVERIFY(!okAfterErasing);
        QVERIFY(openAfterEnter);
        QCOMPARE(editor.PatternText(), QString());
    }

    void patternEditorStaysOneLine_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter confirms") << int(Qt::NoModifier) << int(QDialog::Accepted);
        QTest::newRow("Ctrl+Enter is dropped") << int(Qt::ControlModifier) << int(QDialog::Rejected);
        QTest::newRow("Shift+Enter is dropped") << int(Qt::ShiftModifier) << int(QDialog::Rejected);
    }
    void patternEditorStaysOneLine()
    {
        QFETCH(int, modifiers);
        QFETCH(int, result);
        TFrameLabelPatternEditorForm editor;
        editor.SetPatternText(QStringLiteral("Frame <N>"));
        QTimer::singleShot(0, &editor, [&] {
            QTest::keyClick(editor.ui.rchedtPattern, Qt::Key_Return, Qt::KeyboardModifiers(modifiers));
            if (editor.isVisible())
                editor.reject();
        });
        QCOMPARE(editor.Execute(true), result);
        QCOMPARE(editor.PatternText(), QStringLiteral("Frame <N>"));
        // Pasted line breaks go too.
        editor.ui.rchedtPattern->insertPlainText(QStringLiteral("\nof\n<S>"));
        QCOMPARE(editor.PatternText(), QStringLiteral("of<S>Frame <N>"));
    }

    // ---- Page preview ------------------------------------------------------

    void pagePreviewSkeleton()
    {
        TPagePreviewForm preview;
        QCOMPARE(preview.objectName(), QStringLiteral("TPagePreviewForm"));
        QCOMPARE(preview.size(), QSize(225, 257));
        QVERIFY(preview.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(preview.grbxPreview()->title(), QStringLiteral("Preview"));
        QCOMPARE(preview.grbxPreview()->geometry(), QRect(0, 0, 225, 257));
        QCOMPARE(preview.imgPreview()->geometry(), QRect(16, 16, 192, 192));
        QSlider *slider = preview.trbarPreviewPage();
        QCOMPARE(slider->pos(), QPoint(16, 224));
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->value(), 1);
        QCOMPARE(slider->tickPosition(), QSlider::NoTicks);
        QCOMPARE(slider->toolTip(), QStringLiteral("Select page to preview"));
        QCOMPARE(preview.lblStartPage()->text(), QStringLiteral("1"));
        QCOMPARE(preview.lblCurPage()->text(), QStringLiteral("Page 1"));
        for (QWidget *w : {static_cast<QWidget *>(preview.imgPreview()), static_cast<QWidget *>(slider),
                           static_cast<QWidget *>(preview.lblStartPage()), static_cast<QWidget *>(preview.lblEndPage()),
                           static_cast<QWidget *>(preview.lblCurPage())})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    }

    void pagePreviewRefresh()
    {
        PDFCreator = new TPDFCreator(nullptr);
        TPagePreviewForm preview;
        preview.imgPreview()->show();
        preview.lblCurPage()->show();
        // Not visible: nothing is recomputed or changed.
        preview.RefreshPreview(TSheetSetting::None);
        QVERIFY(!preview.imgPreview()->isHidden());
        QVERIFY(!preview.lblCurPage()->isHidden());
        // Visible with no valid layout: the page controls go away.
        preview.show();
        preview.RefreshPreview(TSheetSetting::None);
        QVERIFY(preview.imgPreview()->isHidden());
        QVERIFY(preview.lblCurPage()->isHidden());
        QVERIFY(preview.trbarPreviewPage()->isHidden());
    }

    void pagePreviewSliderNamesThePage()
    {
        TPagePreviewForm preview;
        preview.trbarPreviewPage()->setMaximum(5);
        preview.trbarPreviewPage()->setValue(3);
        QCOMPARE(preview.lblCurPage()->text(), QStringLiteral("Page 3"));
    }

    void pagePreviewMovesIntoTheLayoutStep()
    {
        setUpModel(true);
        TStep5Form form;
        TPagePreviewForm preview;
        Forms.pagePreview = &preview;
        form.show();
        QCOMPARE(preview.parentWidget(), form.step.pnlPagePreview);
        QCOMPARE(preview.pos(), QPoint(0, 0));
        QVERIFY(preview.isVisible());
        form.hide();
        preview.setParent(nullptr);
    }

    // ---- Label font --------------------------------------------------------

    void fontColourValues_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("black") << 0 << QColor(0, 0, 0);
        QTest::newRow("red") << 0x0000FF << QColor(255, 0, 0);
        QTest::newRow("green") << 0x00FF00 << QColor(0, 255, 0);
        QTest::newRow("blue") << 0xFF0000 << QColor(0, 0, 255);
        QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    }
    void fontColourValues()
    {
        QFETCH(int, value);
        QFETCH(QColor, colour);
        QCOMPARE(TFontDialog::ColorFromValue(value), colour);
        QCOMPARE(TFontDialog::ValueFromColor(colour), value);
    }
};

QTEST_MAIN(Steps56DialogsTest)
#include "Steps56DialogsTest.moc"
