// The preview window: a drawing's points as a run would write them, plotted.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/point_preview.h"
#include "settings/export_settings.h"

class QImage;
class QLabel;
class QPainter;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvel {

class TForm1;

// X to the right, Y up, one scale for both; wheel zooms about the cursor,
// a drag pans, Home fits.
class PreviewPlot : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewPlot(QWidget* parent = nullptr);

    // The first picture after ResetView() is fitted; later ones keep the view.
    void SetPreview(std::shared_ptr<const PointPreview> preview);
    void ResetView() { hasView_ = false; }
    void Fit();
    // `factor` > 1 zooms in; the drawing point under `at` stays there.
    void ZoomAt(QPointF at, double factor);
    void PanBy(QPointF pixels);
    double Scale() const { return scale_; }  // pixels per drawing unit
    const PointPreview* Preview() const { return preview_.get(); }
    // The point drawn within a few pixels of `at`, or -1.
    std::int64_t PointAt(QPointF at) const;
    QPointF ToScreen(double x, double y) const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent*) override;

  private:
    void PaintPairs(QImage& image) const;
    void PaintUnpairedLabels(QPainter& painter) const;

    std::shared_ptr<const PointPreview> preview_;
    double scale_ = 1;
    double centreX_ = 0, centreY_ = 0;  // the drawing point at the widget's centre
    bool hasView_ = false;
    bool fitted_ = false;  // the view follows the window's size
    QPointF dragFrom_;
};

// Opens the preview window of `main` (one, made on first use) on the
// drawing `path`, beside the main window.
void OpenPreview(TForm1& main, const QString& path);

class PreviewWindow : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewWindow(TForm1& main);
    ~PreviewWindow() override;

    // Converts `path` (a drawing of the file list) with the main window's
    // settings and lists as they stand, and shows it.
    void ShowDrawing(const QString& path);
    void Refresh();
    void Cancel();
    bool Converting() const { return worker_.joinable(); }
    PreviewPlot* Plot() const { return plot_; }

  private:
    struct Result;
    void Finished(std::uint64_t run, const std::shared_ptr<Result>& result);
    void JoinWorker();
    // Refreshes when the settings, the lists or the reading options changed.
    void FollowMainWindow();

    TForm1& main_;
    QString path_;
    PreviewPlot* plot_;
    QLabel* legend_;
    QLabel* status_;
    QLabel* error_;
    QProgressBar* progress_;
    QPushButton* refresh_;
    QPushButton* fit_;
    QPushButton* cancel_;
    QTimer* follow_;

    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::shared_ptr<std::atomic<int>> position_;
    std::uint64_t run_ = 0;

    ExportSettings seenSettings_;
    std::uint64_t seenLists_ = 0;
    bool seenAlign_ = false, seenMissingZ_ = false;
    ExtendedOptions seenOptions_;
};

}  // namespace korvel
