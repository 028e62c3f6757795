// The preview window: the conversion on a worker thread, the plot and its legend.
#include "ui/preview_window.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "run/drawing_conversion.h"
#include "settings/korvel_error.h"
#include "ui/text_bytes.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

// Numbers are drawn once no more than this many points are in view, and the
// Codes too once there is room for the longer labels.
constexpr std::int64_t kLabelledInView = 400;
constexpr std::size_t kCodedInView = 100;
// How near the mouse a point must be for its tooltip, in pixels.
constexpr double kPickRadius = 5;
// The lines from labels to the points that took them.
const QColor kPairColour(0xa0, 0xa0, 0xa0);

// Ends the pass when the window cancels it: the pass host's pump is the one
// place a pass asks its host anything, once per line.
struct PreviewCancelled {};

class WorkerHost final : public FixedListsHost {
  public:
    WorkerHost(std::vector<std::string> fields, std::vector<std::string> code,
               std::shared_ptr<std::atomic<bool>> cancelled,
               std::shared_ptr<std::atomic<int>> position)
        : FixedListsHost(std::move(fields), std::move(code)),
          cancelled_(std::move(cancelled)),
          position_(std::move(position)) {}
    void SetProgressPosition(int position) override { position_->store(position); }
    void PumpEvents() override {
        if (cancelled_->load(std::memory_order_relaxed)) throw PreviewCancelled{};
    }

  private:
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::shared_ptr<std::atomic<int>> position_;
};

}  // namespace

struct PreviewWindow::Result {
    std::shared_ptr<PointPreview> preview;
    QString error;  // empty: converted
    bool cancelled = false;
};

// ---- the plot ----

PreviewPlot::PreviewPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewPlot"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setMinimumSize(320, 240);
}

void PreviewPlot::SetPreview(std::shared_ptr<const PointPreview> preview) {
    preview_ = std::move(preview);
    // A refresh keeps the view the user chose; a first picture is fitted.
    if (!hasView_) Fit();
    update();
}

void PreviewPlot::Fit() {
    if (!preview_ || preview_->Points().empty()) return update();
    hasView_ = fitted_ = true;
    const PreviewExtent e = preview_->PlotExtent();
    centreX_ = (e.minX + e.maxX) / 2;
    centreY_ = (e.minY + e.maxY) / 2;
    const double spanX = e.maxX - e.minX, spanY = e.maxY - e.minY;
    const double w = std::max(1, width() - 20), h = std::max(1, height() - 20);
    scale_ = std::min(spanX > 0 ? w / spanX : HUGE_VAL, spanY > 0 ? h / spanY : HUGE_VAL);
    if (!std::isfinite(scale_)) scale_ = 1;
    update();
}

void PreviewPlot::ZoomAt(QPointF at, double factor) {
    // The drawing point under `at` before and after is the same.
    const double x = centreX_ + (at.x() - width() / 2.0) / scale_;
    const double y = centreY_ - (at.y() - height() / 2.0) / scale_;
    scale_ *= factor;
    centreX_ = x - (at.x() - width() / 2.0) / scale_;
    centreY_ = y + (at.y() - height() / 2.0) / scale_;
    update();
}

void PreviewPlot::PanBy(QPointF pixels) {
    centreX_ -= pixels.x() / scale_;
    centreY_ += pixels.y() / scale_;
    update();
}

QPointF PreviewPlot::ToScreen(double x, double y) const {
    return {width() / 2.0 + (x - centreX_) * scale_, height() / 2.0 - (y - centreY_) * scale_};
}

std::int64_t PreviewPlot::PointAt(QPointF at) const {
    if (!preview_) return -1;
    std::int64_t best = -1;
    double bestDistance = kPickRadius * kPickRadius;
    const auto& points = preview_->Points();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = ToScreen(points[i].x, points[i].y);
        const double dx = p.x() - at.x(), dy = p.y() - at.y();
        const double d = dx * dx + dy * dy;
        if (d <= bestDistance) {
            bestDistance = d;
            best = static_cast<std::int64_t>(i);
        }
    }
    return best;
}

void PreviewPlot::paintEvent(QPaintEvent*) {
    // Every point is set straight into an image (two by two pixels): a
    // million points cost a pass over an array, not a million paint calls.
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (preview_) PaintPairs(image);
    std::vector<std::size_t> inView;
    if (preview_) {
        const auto& points = preview_->Points();
        const int w = image.width(), h = image.height();
        auto* bits = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype stride = image.bytesPerLine() / 4;
        const double halfW = w / 2.0, halfH = h / 2.0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double sx = halfW + (points[i].x - centreX_) * scale_;
            const double sy = halfH - (points[i].y - centreY_) * scale_;
            if (!(sx >= 0 && sy >= 0 && sx < w - 1 && sy < h - 1)) continue;
            const QRgb colour = 0xFF000000u | Info(points[i].type).rgb;
            QRgb* pixel = bits + static_cast<qsizetype>(sy) * stride + static_cast<qsizetype>(sx);
            pixel[0] = pixel[1] = pixel[stride] = pixel[stride + 1] = colour;
            if (inView.size() <= static_cast<std::size_t>(kLabelledInView)) inView.push_back(i);
        }
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image);
    if (preview_) PaintUnpairedLabels(painter);
    if (preview_ && inView.size() <= static_cast<std::size_t>(kLabelledInView)) {
        painter.setPen(QColor(0x33, 0x33, 0x33));
        for (std::size_t i : inView) {
            const auto& p = preview_->Points()[i];
            painter.drawText(ToScreen(p.x, p.y) + QPointF(4, -4),
                             FromPathBytes(preview_->Label(i, inView.size() <= kCodedInView)));
        }
    }
}

// A thin line from each label to the point that took it, under the points;
// those too short to see are left out.
void PreviewPlot::PaintPairs(QImage& image) const {
    if (preview_->Pairs().empty()) return;
    const QRectF view = QRectF(image.rect()).adjusted(-1, -1, 1, 1);
    QVector<QLineF> lines;
    for (const PreviewPair& pair : preview_->Pairs()) {
        const PreviewPoint& p = preview_->Points()[pair.point];
        const QLineF line(ToScreen(pair.labelX, pair.labelY), ToScreen(p.x, p.y));
        if (line.length() < 1 || (!view.contains(line.p1()) && !view.contains(line.p2()))) continue;
        lines.push_back(line);
    }
    QPainter painter(&image);
    painter.setPen(QPen(kPairColour, 0));
    painter.drawLines(lines);
}

// A black cross at each label no point took, and its text once few are in view.
void PreviewPlot::PaintUnpairedLabels(QPainter& painter) const {
    const QRectF view = QRectF(rect()).adjusted(-4, -4, 4, 4);
    std::vector<std::pair<QPointF, const std::string*>> inView;
    painter.setPen(QPen(Qt::black, 0));
    for (const PreviewLabel& label : preview_->UnpairedLabels()) {
        const QPointF at = ToScreen(label.x, label.y);
        if (!view.contains(at)) continue;
        painter.drawLine(at + QPointF(-3, -3), at + QPointF(3, 3));
        painter.drawLine(at + QPointF(-3, 3), at + QPointF(3, -3));
        if (inView.size() <= static_cast<std::size_t>(kLabelledInView))
            inView.emplace_back(at, &label.text);
    }
    if (inView.size() > static_cast<std::size_t>(kLabelledInView)) return;
    for (const auto& [at, text] : inView)
        painter.drawText(at + QPointF(5, 12), FromPathBytes(*text));
}

void PreviewPlot::resizeEvent(QResizeEvent*) {
    if (fitted_) Fit();
}

void PreviewPlot::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) ZoomAt(event->position(), std::pow(1.25, steps));
    fitted_ = false;
    event->accept();
}

void PreviewPlot::mousePressEvent(QMouseEvent* event) {
    dragFrom_ = event->position();
}

void PreviewPlot::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    PanBy(event->position() - dragFrom_);
    dragFrom_ = event->position();
    fitted_ = false;
}

void PreviewPlot::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) return Fit();
    QWidget::keyPressEvent(event);
}

bool PreviewPlot::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::int64_t i = PointAt(help->pos());
        if (i < 0)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(),
                               FromPathBytes(preview_->Line(static_cast<std::size_t>(i))), this);
        return true;
    }
    return QWidget::event(event);
}

// ---- the window ----

PreviewWindow::PreviewWindow(TForm1& main)
    : QWidget(&main, Qt::Window),
      main_(main),
      cancelled_(std::make_shared<std::atomic<bool>>(false)),
      position_(std::make_shared<std::atomic<int>>(0)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    plot_ = new PreviewPlot(this);
    legend_ = new QLabel(this);
    legend_->setObjectName(QStringLiteral("PreviewLegend"));
    legend_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("PreviewStatus"));
    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("PreviewError"));
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #b00000"));
    error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error_->hide();
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("PreviewProgress"));
    progress_->setRange(0, 100);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), this);
    refresh_->setObjectName(QStringLiteral("PreviewRefresh"));
    fit_ = new QPushButton(QStringLiteral("Fit"), this);
    fit_->setObjectName(QStringLiteral("PreviewFit"));
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("PreviewCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh_);
    buttons->addWidget(fit_);
    buttons->addWidget(progress_, 1);
    buttons->addWidget(cancel_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(plot_, 1);
    middle->addWidget(legend_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(error_);
    layout->addLayout(middle, 1);
    layout->addWidget(status_);
    resize(800, 600);

    connect(refresh_, &QPushButton::clicked, this, &PreviewWindow::Refresh);
    connect(fit_, &QPushButton::clicked, plot_, &PreviewPlot::Fit);
    connect(cancel_, &QPushButton::clicked, this, &PreviewWindow::Cancel);
    follow_ = new QTimer(this);
    follow_->setInterval(250);
    connect(follow_, &QTimer::timeout, this, &PreviewWindow::FollowMainWindow);
    follow_->start();
}

PreviewWindow::~PreviewWindow() {
    cancelled_->store(true);
    JoinWorker();
}

void PreviewWindow::JoinWorker() {
    if (worker_.joinable()) worker_.join();
}

void OpenPreview(TForm1& main, const QString& path) {
    auto* window =
        main.findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new PreviewWindow(main);
        // Beside the main window, whose own layout stays as it is.
        window->move(main.frameGeometry().topRight() + QPoint(8, 0));
    }
    window->ShowDrawing(path);
}

void PreviewWindow::ShowDrawing(const QString& path) {
    if (path != path_) plot_->ResetView();
    path_ = path;
    setWindowTitle(QStringLiteral("Preview - ") + QFileInfo(path).fileName());
    Refresh();
    show();
    raise();
}

void PreviewWindow::Cancel() {
    cancelled_->store(true);
}

void PreviewWindow::Refresh() {
    // A conversion still running is given up for the new one.
    cancelled_->store(true);
    JoinWorker();
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
    position_->store(0);
    const std::uint64_t run = ++run_;

    seenSettings_ = main_.Config().settings;
    seenLists_ = main_.ListsGeneration();
    const PassOptions options = main_.ReadingPassOptions();
    seenAlign_ = options.alignGroupCodes;
    seenMissingZ_ = options.missingZAsZero;
    seenOptions_ = options.extended;

    progress_->setValue(0);
    progress_->show();
    cancel_->setEnabled(true);
    status_->setText(QStringLiteral("Converting..."));
    // The worker owns copies of everything it reads: the window stays live
    // and its settings may change meanwhile.
    worker_ = std::thread([this, run, path = ToPathBytes(path_), settings = seenSettings_,
                           names = main_.Names(), fields = main_.ExportedDataFields(),
                           code = main_.CodeSequence(), options, cancelled = cancelled_,
                           position = position_] {
        auto result = std::make_shared<Result>();
        result->preview = std::make_shared<PointPreview>(LabelLayoutOf(fields, names));
        WorkerHost host(fields, code, cancelled, position);
        try {
            if (!PreviewDrawing(path, settings, names, host, options, *result->preview))
                result->error = QStringLiteral("Cannot open file \"%1\".").arg(FromPathBytes(path));
        } catch (const PreviewCancelled&) {
            result->cancelled = true;
        } catch (const DrawingError& e) {
            result->error = FromPathBytes(DrawingErrorBoxText(e));
        } catch (const std::exception& e) {
            result->error = FromPathBytes(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, run, result] { Finished(run, result); }, Qt::QueuedConnection);
    });
}

void PreviewWindow::Finished(std::uint64_t run, const std::shared_ptr<Result>& result) {
    if (run != run_) return;  // a later conversion replaced this one
    JoinWorker();
    progress_->hide();
    cancel_->setEnabled(false);
    if (result->cancelled) {
        status_->setText(QStringLiteral("Cancelled"));
        return;
    }
    error_->setVisible(!result->error.isEmpty());
    error_->setText(result->error);
    if (!result->error.isEmpty()) {
        // No picture of another drawing or of other settings stays beside the error.
        plot_->SetPreview(nullptr);
        legend_->clear();
        status_->setText(QStringLiteral("Error"));
        return;
    }
    const PointPreview& preview = *result->preview;
    QString legend;
    for (const PreviewType& type : preview.Types())
        legend +=
            QStringLiteral("<span style=\"color:#%1\">&#9632;</span> %2 %3<br>")
                .arg(type.rgb, 6, 16, QLatin1Char('0'))
                .arg(QString::fromLatin1(type.name.data(), static_cast<qsizetype>(type.name.size()))
                         .toHtmlEscaped())
                .arg(type.count);
    if (!preview.Pairs().empty())
        legend += QStringLiteral("<span style=\"color:#a0a0a0\">&#8212;</span> Label pairs %1<br>")
                      .arg(preview.Pairs().size());
    if (!preview.UnpairedLabels().empty())
        legend += QStringLiteral("&#10005; Labels without a point %1<br>")
                      .arg(preview.UnpairedLabels().size());
    legend_->setText(legend);
    status_->setText(FromPathBytes(preview.Summary()));
    plot_->SetPreview(result->preview);
}

void PreviewWindow::FollowMainWindow() {
    if (Converting()) progress_->setValue(position_->load());
    if (path_.isEmpty() || !isVisible()) return;
    // The form of the data files and their systems leave the points where
    // the drawing has them: the preview shows the drawing's coordinates.
    ExtendedOptions reading = main_.Config().options;
    reading.output = seenOptions_.output;
    if (main_.Config().settings.image != seenSettings_.image ||
        main_.ListsGeneration() != seenLists_ || main_.AlignGroupCodes != seenAlign_ ||
        main_.MissingZAsZero != seenMissingZ_ || reading != seenOptions_)
        Refresh();
}

}  // namespace korvel
