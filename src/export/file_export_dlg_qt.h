// The Export dialog: a Save dialog titled "Export" with the Bitmap, Adobe Illustrator, PNG and
// SVG types, extended below its own controls by an options pane (Width, Height, Iterations and
// the resulting number of Lines, and for PNG and SVG the drawing options); and the Export
// command that runs it and the export.
#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>

#include "export/export_settings.h"

class QLabel;
class QLineEdit;
class CRenderStylePane;
class CFractalRenderer;
class CPattern;

// Control ids of the options pane, used as the pane's command ids.
constexpr int IDC_EXPORT_WIDTH = 1011;
constexpr int IDC_EXPORT_HEIGHT = 1012;
constexpr int IDC_EXPORT_ITERATIONS = 1013;
constexpr int IDC_EXPORT_LINES = 1014;

class CFileExportDlg : public QFileDialog {
    Q_OBJECT
public:
    // `settings` is the caller's record, edited in place; it may be null, in which case the
    // pane stays empty and width and height are not coupled.
    CFileExportDlg(QWidget* parent, ExportSettings* settings);

    // 1 for Bitmap, 2 for Adobe Illustrator, 3 for PNG, 4 for SVG (EXPORT_TYPE_...).
    int TypeIndex() const;
    // The file name as chosen, before any extension is added.
    QString ChosenFile() const;

    // The options pane's notifications: an edit that loses the focus takes its value into the
    // record (and, for width and height, couples the other one to the start aspect).
    void OnPaneCommand(uint32_t message, uint64_t wParam);
    void OnTypeChange();

    QLineEdit* WidthEdit() const { return m_width; }
    QLineEdit* HeightEdit() const { return m_height; }
    QLineEdit* IterationsEdit() const { return m_iterations; }
    QLabel* LinesLabel() const { return m_lines; }
    // The drawing options of PNG and SVG; shown only for those types. Null without settings.
    CRenderStylePane* StylePane() const { return m_stylePane; }
    QLabel* SizeLabel() const { return m_size; }

    // How the file's size is estimated for a type and the record; with it the pane shows the
    // estimate beside Lines ("about 1.2 GB"), updated as the type and the numbers change.
    void SetSizeEstimate(std::function<double(int typeIndex, const ExportSettings&)> estimate);
    double Aspect() const { return m_dAspect; }

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void ShowLines();
    int ControlId(QObject* edit) const;

    ExportSettings* m_pSettings;
    double m_dAspect = 0.0;
    QWidget* m_pane = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QLineEdit* m_iterations = nullptr;
    QLabel* m_lines = nullptr;
    CRenderStylePane* m_stylePane = nullptr;
    QLabel* m_size = nullptr;
    std::function<double(int, const ExportSettings&)> m_estimate;
};

// The text of the Lines field: segments raised to iterations (1 for 0 iterations), exactly,
// or "more than ..." when the count does not fit 64 bits.
QString LinesText(int32_t segments, int32_t iterations);

// The Export command: runs the dialog over `view`, then the export with a progress dialog
// that appears at once, seals the window from input and can cancel it. The drawing
// options start as last remembered and are remembered when the dialog is accepted. An export
// that fails (as opposed to one the user cancelled) is explained in a message box. Answers
// the status text: "Exported" or "Cancel". `dialogHook`, when set, is called with the dialog instead of
// running it modally (tests drive the dialog through it) and answers whether it was accepted.
QString RunExportCommandDialog(QWidget* view, CFractalRenderer& renderer, const CPattern& pattern,
                               const std::function<bool(CFileExportDlg&)>& dialogHook = {});
