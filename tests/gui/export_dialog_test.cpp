#include "export/file_export_dlg_qt.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "export/export_sequence.h"
#include "export/render_style_pane_qt.h"
#include "gui_test_support.h"
#include "view/fractal_renderer.h"

namespace {

void EnsureApplication()
{
    gui_test::App();
}

// Types into an edit and moves the focus on, as a user leaving the field does.
void TypeAndLeave(CFileExportDlg& dlg, QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    // The focus-out notification is what couples the fields.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
    (void)dlg;
}

class ExportDialogTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
};

TEST_F(ExportDialogTest, WidthAndHeightFollowTheStartAspect)
{
    ExportSettings s{2, 800, 600, 7};
    CFileExportDlg dlg(nullptr, &s);
    EXPECT_EQ(dlg.windowTitle(), "Export");
    EXPECT_EQ(dlg.WidthEdit()->text(), "800");
    EXPECT_EQ(dlg.HeightEdit()->text(), "600");
    TypeAndLeave(dlg, dlg.WidthEdit(), "1000");
    EXPECT_EQ(s.width, 1000);
    EXPECT_EQ(s.height, 750);
    EXPECT_EQ(dlg.HeightEdit()->text(), "750");
    TypeAndLeave(dlg, dlg.HeightEdit(), "601");
    EXPECT_EQ(s.height, 601);
    EXPECT_EQ(s.width, 801);
    EXPECT_EQ(dlg.WidthEdit()->text(), "801");

    ExportSettings wide{2, 800, 360, 7};
    CFileExportDlg dlg2(nullptr, &wide);
    TypeAndLeave(dlg2, dlg2.WidthEdit(), "1001");
    EXPECT_EQ(wide.height, 451);

    // A zero height at the start: no lock, the fields are independent; an empty field is 0.
    ExportSettings flat{2, 800, 0, 7};
    CFileExportDlg dlg3(nullptr, &flat);
    EXPECT_EQ(dlg3.Aspect(), 0.0);
    TypeAndLeave(dlg3, dlg3.WidthEdit(), "640");
    EXPECT_EQ(flat.width, 640);
    EXPECT_EQ(flat.height, 0);
    dlg3.WidthEdit()->clear();
    TypeAndLeave(dlg3, dlg3.WidthEdit(), "");
    EXPECT_EQ(flat.width, 0);
}

TEST_F(ExportDialogTest, LinesShowTheExactCount)
{
    ExportSettings s{4, 800, 600, 5};
    CFileExportDlg dlg(nullptr, &s);
    EXPECT_EQ(dlg.LinesLabel()->text(), "1024");
    TypeAndLeave(dlg, dlg.IterationsEdit(), "0");
    EXPECT_EQ(dlg.LinesLabel()->text(), "1");
    TypeAndLeave(dlg, dlg.IterationsEdit(), "20");
    EXPECT_EQ(dlg.LinesLabel()->text(), "1099511627776");  // beyond 32 bits, shown exactly
    s.segmentCount = 32;
    TypeAndLeave(dlg, dlg.IterationsEdit(), "13");
    EXPECT_EQ(dlg.LinesLabel()->text(), "more than 18446744073709551615");
    EXPECT_EQ(LinesText(32, 12), "1152921504606846976");
}

TEST_F(ExportDialogTest, IllustratorTypeDisablesTheSizeAndKeepsTheValues)
{
    ExportSettings s{2, 800, 600, 7};
    CFileExportDlg dlg(nullptr, &s);
    EXPECT_EQ(dlg.TypeIndex(), 1);
    EXPECT_TRUE(dlg.WidthEdit()->isEnabled());
    TypeAndLeave(dlg, dlg.WidthEdit(), "400");
    dlg.selectNameFilter("Adobe Illustrator (*.ai)");
    dlg.OnTypeChange();
    EXPECT_EQ(dlg.TypeIndex(), 2);
    EXPECT_FALSE(dlg.WidthEdit()->isEnabled());
    EXPECT_FALSE(dlg.HeightEdit()->isEnabled());
    EXPECT_TRUE(dlg.IterationsEdit()->isEnabled());
    EXPECT_EQ(s.width, 400);
    EXPECT_EQ(s.height, 300);
    dlg.selectNameFilter("Bitmap (*.bmp)");
    dlg.OnTypeChange();
    EXPECT_TRUE(dlg.WidthEdit()->isEnabled());
    EXPECT_EQ(dlg.WidthEdit()->text(), "400");
}

TEST_F(ExportDialogTest, FieldsTakeDigitsOnly)
{
    ExportSettings s{2, 800, 600, 7};
    CFileExportDlg dlg(nullptr, &s);
    dlg.IterationsEdit()->clear();
    QTest::keyClicks(dlg.IterationsEdit(), "-1a2");
    EXPECT_EQ(dlg.IterationsEdit()->text(), "12");
}

class ExportCommandTest : public ExportDialogTest {
protected:
    void SetUp() override
    {
        ExportDialogTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        renderer = std::make_unique<CFractalRenderer>();
        renderer->SetCanvasSize(80, 60);
        pattern.m_count = 2;
        pattern.m_points[0] = PointF{-30.0f, 0.0f};
        pattern.m_points[1] = PointF{0.0f, 20.0f};
        pattern.m_points[2] = PointF{30.0f, 0.0f};
        pattern.m_kneeFlags[0] = 0;
        pattern.m_kneeFlags[1] = 0;
        pattern.UpdateKnees();
    }

    // Runs the command with the dialog filled in as a user would and accepted.
    QString Export(const QString& name, const QString& filter, const QString& iterations = {})
    {
        return RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
            dlg.setDirectory(dir.path());
            dlg.selectNameFilter(filter);
            dlg.OnTypeChange();
            dlg.selectFile(dir.filePath(name));
            if (!iterations.isEmpty())
                TypeAndLeave(dlg, dlg.IterationsEdit(), iterations);
            dlg.accept();
            return dlg.result() == QDialog::Accepted;
        });
    }

    QTemporaryDir dir;
    std::unique_ptr<CFractalRenderer> renderer;
    CPattern pattern;
};

TEST_F(ExportCommandTest, TheTypeDecidesTheExtensionAndTheFormat)
{
    const CDrawSettings before = renderer->DrawSettings();
    EXPECT_EQ(Export("picture", "Bitmap (*.bmp)"), "Exported");
    EXPECT_TRUE(QFile::exists(dir.filePath("picture.bmp")));
    EXPECT_EQ(Export("drawing", "Adobe Illustrator (*.ai)"), "Exported");
    EXPECT_TRUE(QFile::exists(dir.filePath("drawing.ai")));
    EXPECT_EQ(Export("picture.png", "Bitmap (*.bmp)"), "Exported");
    QFile png(dir.filePath("picture.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(png.read(2), "BM");

    // The view is as it was.
    EXPECT_EQ(renderer->DrawSettings(), before);
}

TEST_F(ExportCommandTest, CancelAndRefusalsWriteNothing)
{
    QString status = RunExportCommandDialog(nullptr, *renderer, pattern, [](CFileExportDlg& dlg) {
        dlg.reject();
        return false;
    });
    EXPECT_EQ(status, "Cancel");

    // Iterations above 255 are refused in the dialog, which stays open.
    bool warned = false;
    QTimer::singleShot(0, [&warned] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warned = box->text().contains("0 to 255");
            box->accept();
        }
    });
    bool refused = false;
    RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
        dlg.setDirectory(dir.path());
        dlg.selectFile(dir.filePath("deep"));
        TypeAndLeave(dlg, dlg.IterationsEdit(), "300");
        dlg.accept();
        refused = dlg.result() != QDialog::Accepted;
        return false;
    });
    EXPECT_TRUE(refused);
    EXPECT_TRUE(warned);
    EXPECT_FALSE(QFile::exists(dir.filePath("deep.bmp")));

    // A width of 0 fails as "Cancel", explained in a message box, with nothing written and
    // the view intact.
    QString explained;
    gui_test::OnNextModal([&explained](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            explained = box->text();
            box->accept();
        }
    });
    QString zero = RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
        dlg.setDirectory(dir.path());
        dlg.selectFile(dir.filePath("empty"));
        TypeAndLeave(dlg, dlg.WidthEdit(), "0");
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    });
    EXPECT_EQ(zero, "Cancel");
    EXPECT_TRUE(explained.contains("empty.bmp could not be exported")) << explained.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.bmp")));
    EXPECT_EQ(renderer->m_nWidth, 80);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST_F(ExportCommandTest, TheDialogShowsTheSizeAndAFileTooLargeIsRefusedWithBothNumbers)
{
    QStringList sizes;
    QString explained;
    QString status = RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
        sizes << dlg.SizeLabel()->text();  // bitmap, 80 x 60 pixels
        TypeAndLeave(dlg, dlg.WidthEdit(), "8000");
        sizes << dlg.SizeLabel()->text();  // 8000 x 6000
        dlg.selectNameFilter("Adobe Illustrator (*.ai)");
        dlg.OnTypeChange();
        TypeAndLeave(dlg, dlg.IterationsEdit(), "20");
        sizes << dlg.SizeLabel()->text();  // 2^20 points
        TypeAndLeave(dlg, dlg.IterationsEdit(), "255");
        sizes << dlg.SizeLabel()->text();
        dlg.setDirectory(dir.path());
        dlg.selectFile(dir.filePath("huge"));
        gui_test::OnNextModal([&explained](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                explained = box->text();
                box->accept();
            }
        });
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    });
    EXPECT_EQ(sizes, QStringList({"about 19.3 kB", "about 192.0 MB", "about 21.0 MB", "about 1.2e78 bytes"}));
    EXPECT_EQ(status, "Cancel");
    EXPECT_TRUE(explained.contains("about 1.2e78 bytes")) << explained.toStdString();
    EXPECT_TRUE(explained.contains(" are free")) << explained.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST_F(ExportCommandTest, ACompletedNameThatExistsIsNotReplacedWithoutAsking)
{
    QFile old(dir.filePath("keep.bmp"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();

    // Answer No to the question: the dialog stays open and the file keeps its contents.
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::No)->click();
    });
    QString status = Export("keep", "Bitmap (*.bmp)");
    EXPECT_EQ(status, "Cancel");
    QFile check(dir.filePath("keep.bmp"));
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "old contents");
    check.close();

    // Answer Yes: replaced by the picture.
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(Export("keep", "Bitmap (*.bmp)"), "Exported");
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.read(2), "BM");
}

TEST_F(ExportCommandTest, PngAndSvgOfferTheirDrawingOptionsAndRememberThem)
{
    {
        ExportSettings s{2, 800, 600, 7};
        CFileExportDlg dlg(nullptr, &s);
        ASSERT_NE(dlg.StylePane(), nullptr);
        EXPECT_TRUE(dlg.nameFilters().contains("PNG image (*.png)"));
        EXPECT_TRUE(dlg.nameFilters().contains("SVG drawing (*.svg)"));
        EXPECT_TRUE(dlg.StylePane()->isHidden());
        for (const char* filter : {"PNG image (*.png)", "SVG drawing (*.svg)"}) {
            dlg.selectNameFilter(filter);
            dlg.OnTypeChange();
            EXPECT_FALSE(dlg.StylePane()->isHidden()) << filter;
            EXPECT_TRUE(dlg.WidthEdit()->isEnabled()) << filter;
        }
        EXPECT_EQ(dlg.TypeIndex(), EXPORT_TYPE_SVG);
        EXPECT_FALSE(dlg.StylePane()->ShowPattern()->isChecked());  // off by default
        dlg.selectNameFilter("Adobe Illustrator (*.ai)");
        dlg.OnTypeChange();
        EXPECT_TRUE(dlg.StylePane()->isHidden());
    }

    // An SVG in the options chosen; the next export starts with them.
    const QString status = RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
        dlg.setDirectory(dir.path());
        dlg.selectNameFilter("SVG drawing (*.svg)");
        dlg.OnTypeChange();
        dlg.selectFile(dir.filePath("drawing"));
        CRenderStylePane* pane = dlg.StylePane();
        pane->LineWidth()->setValue(3.0);
        pane->LineColor()->SetColor(RgbColor{0x12, 0x34, 0x56});
        pane->Transparent()->setChecked(true);
        pane->ShowPattern()->setChecked(true);
        EXPECT_FALSE(pane->Background()->isEnabled());
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    });
    EXPECT_EQ(status, "Exported");
    QFile svg(dir.filePath("drawing.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.contains("stroke=\"#123456\""));
    EXPECT_TRUE(text.contains("stroke-width=\"3\""));  // 3 pixels at scale 1
    EXPECT_TRUE(text.contains("<g id=\"pattern\""));
    EXPECT_FALSE(text.contains("<rect x=\"-40\""));  // no background

    RunExportCommandDialog(nullptr, *renderer, pattern, [&](CFileExportDlg& dlg) {
        CRenderStylePane* pane = dlg.StylePane();
        EXPECT_EQ(pane->LineWidth()->value(), 3.0);
        EXPECT_EQ(pane->LineColor()->Color(), (RgbColor{0x12, 0x34, 0x56}));
        EXPECT_TRUE(pane->Transparent()->isChecked());
        EXPECT_TRUE(pane->ShowPattern()->isChecked());
        // Restore the defaults for the other tests' sake.
        pane->LineWidth()->setValue(1.0);
        pane->LineColor()->SetColor(RgbColor{});
        pane->Transparent()->setChecked(false);
        pane->ShowPattern()->setChecked(false);
        dlg.selectNameFilter("PNG image (*.png)");
        dlg.OnTypeChange();
        dlg.setDirectory(dir.path());
        dlg.selectFile(dir.filePath("picture"));
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    });
    QFile png(dir.filePath("picture.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_EQ(png.read(4), "\x89PNG");
    EXPECT_EQ(CRenderStylePane::RememberedStyle(), CRenderStyle{});
}

}  // namespace
