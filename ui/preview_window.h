// The preview window: a drawing's points as a run would write them, plotted.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "engine/point_preview.h"
#include "settings/export_settings.h"

class QImage;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPainter;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvel {

class TForm1;

// X to the right, Y up, one scale for both; wheel zooms about the cursor,
// a drag pans, Home fits, a click picks a point (two: their distance and
// bearing). A scale bar and ticks along the edges tell where and how big.
class PreviewPlot : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewPlot(QWidget* parent = nullptr);

    // The first picture after ResetView() is fitted, and every later one
    // while the user has not zoomed or panned since; otherwise the view stays.
    void SetPreview(std::shared_ptr<const PointPreview> preview);
    void ResetView() { hasView_ = false; }
    void Fit();
    // The points of `type` drawn or not.
    void SetTypeShown(EntityType type, bool shown);
    bool TypeShown(EntityType type) const { return !hidden_[static_cast<std::size_t>(type)]; }
    // The drawing's own geometry drawn faintly behind the points, or not.
    void SetGeometryShown(bool shown);
    bool GeometryShown() const { return geometryShown_; }
    // The drawing point under the pixel `at`.
    QPointF ToDrawing(QPointF at) const;
    // The points picked by clicks, -1 for none.
    std::int64_t PickA() const { return pickA_; }
    std::int64_t PickB() const { return pickB_; }
    // Every point drawn within a few pixels of `at`, nearest first.
    std::vector<std::size_t> PointsAt(QPointF at) const;
    // Where the labels of the last picture stand, in pixels: none overlaps another.
    const std::vector<QRectF>& LabelBoxes() const { return labelBoxes_; }
    // The side of a point's marker in pixels: grows as the view zooms in.
    int MarkerSize() const;
    // The step between ticks in drawing units, and the scale bar's length.
    double TickStep() const;
    // `factor` > 1 zooms in; the drawing point under `at` stays there.
    void ZoomAt(QPointF at, double factor);
    void PanBy(QPointF pixels);
    double Scale() const { return scale_; }  // pixels per drawing unit
    const PointPreview* Preview() const { return preview_.get(); }
    // The point drawn within a few pixels of `at`, or -1.
    std::int64_t PointAt(QPointF at) const;
    QPointF ToScreen(double x, double y) const;

  signals:
    // The drawing point under the mouse; `inside` false when it left the plot.
    void CursorMoved(double x, double y, bool inside);
    // A point was picked or the picks were cleared.
    void PicksChanged();

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent*) override;

  private:
    // A white picture with the drawing's geometry on it, made again only
    // when the view has moved: a pick or a tooltip redraws the points alone.
    const QImage& Background();
    void PaintGeometry(QImage& image) const;
    void PaintPairs(QImage& image) const;
    void PaintUnpairedLabels(QPainter& painter) const;
    // Labels beside the points in view, each where it overprints no other.
    void PaintLabels(QPainter& painter, const std::vector<std::size_t>& inView);
    void PaintPicks(QPainter& painter) const;
    void PaintScale(QPainter& painter) const;
    void Pick(QPointF at);

    std::shared_ptr<const PointPreview> preview_;
    double scale_ = 1;
    double fitScale_ = 1;               // the scale of the last fit
    double centreX_ = 0, centreY_ = 0;  // the drawing point at the widget's centre
    bool hasView_ = false;
    bool fitted_ = false;  // the view follows the window's size and the extent
    QPointF dragFrom_;
    bool dragged_ = false;
    std::array<bool, kEntityTypeCount> hidden_{};
    std::int64_t pickA_ = -1, pickB_ = -1;
    std::vector<QRectF> labelBoxes_;
    bool geometryShown_ = true;
    QImage background_;
    struct BackgroundView {
        const PointPreview* preview = nullptr;
        double scale = 0, centreX = 0, centreY = 0;
        bool geometry = false;
        bool operator==(const BackgroundView&) const = default;
    } backgroundView_;
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
    bool Converting() const { return converting_; }
    PreviewPlot* Plot() const { return plot_; }

    // Wholly on the screen that shows `main`: beside it where there is room.
    void PlaceBeside(const QWidget& main);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Result;
    void Finished(std::uint64_t run, const std::shared_ptr<Result>& result);
    // The count of points at the place of another, worked out after the picture.
    void ShowCoincident(std::uint64_t run, std::size_t count);
    void JoinWorker();
    // Refreshes when the settings, the lists or the reading options changed.
    void FollowMainWindow();
    void ShowLegend(const Result& result);
    void LegendClicked(QListWidgetItem* item);
    void ShowCursor(double x, double y, bool inside);
    // The status line: the points, how many coincide, the picks.
    void ShowStatus();

    TForm1& main_;
    QString path_;
    QString shownPath_;  // the drawing the picture is of
    PreviewPlot* plot_;
    QLabel* legendTitle_;
    QListWidget* legend_;
    QLabel* status_;
    QLabel* cursor_;
    QLabel* reasons_;
    QLabel* error_;
    QProgressBar* progress_;
    QPushButton* refresh_;
    QPushButton* fit_;
    QPushButton* cancel_;
    QTimer* follow_;

    std::thread worker_;
    bool converting_ = false;
    std::optional<std::size_t> coincident_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::shared_ptr<std::atomic<int>> position_;
    std::uint64_t run_ = 0;

    ExportSettings seenSettings_;
    std::uint64_t seenLists_ = 0;
    bool seenAlign_ = false, seenMissingZ_ = false;
    ExtendedOptions seenOptions_;
};

}  // namespace korvel
