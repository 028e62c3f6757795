// The preview window: the conversion on a worker thread, the plot and its legend.
#include "ui/preview_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

#include "engine/geometry_trace.h"
#include "run/drawing_conversion.h"
#include "settings/korvel_error.h"
#include "ui/platform/platform_services.h"
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
// The drawing's own geometry behind the points, and the places of its texts
// and block references.
const QColor kGeometryColour(0xcc, 0xcc, 0xcc);
const QColor kMarkColour(0xb4, 0xb4, 0xb4);
// The legend item of the drawing's geometry carries this role.
constexpr int kGeometryRole = Qt::UserRole + 1;
// Room kept clear of labels at the bottom left, for the scale bar.
constexpr double kScaleBarHeight = 34;

// A step of 1, 2 or 5 times a power of ten near `about`.
double NiceStep(double about) {
    if (!(about > 0) || !std::isfinite(about)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(about)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= about) return m * power;
    return 10 * power;
}

// The decimals that show a step of `step` drawing units.
int DecimalsFor(double step) {
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 9);
}

// A line of the report as the window says it: without the asterisks and
// with the place of an option in the window where the report names
// korvel-cli's.
QString WindowWords(const std::string& line) {
    QString text = FromPathBytes(line);
    if (text.startsWith(QStringLiteral("*** "))) text.remove(0, 4);
    if (text.endsWith(QStringLiteral(" ***"))) text.chop(4);
    static const QRegularExpression cliOption(QStringLiteral(" \\(korvel-cli: --[a-z-]+\\)"));
    text.replace(cliOption, QStringLiteral(" (Options page, Reading drawings...)"));
    return text;
}

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
    RunReport section;  // what the report says of the drawing
    RunCounters counters;
    ExportSettings settings;  // as converted: the ticked types
};

// ---- the plot ----

PreviewPlot::PreviewPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewPlot"));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(320, 240);
}

void PreviewPlot::SetPreview(std::shared_ptr<const PointPreview> preview) {
    preview_ = std::move(preview);
    // Drawn again for the new preview, even one made where the old one was.
    background_ = QImage();
    pickA_ = pickB_ = -1;
    // A refresh keeps the view the user chose; a first picture is fitted,
    // and so is every one while the user has not moved the view.
    if (!hasView_ || fitted_) Fit();
    update();
    emit PicksChanged();
}

void PreviewPlot::SetGeometryShown(bool shown) {
    geometryShown_ = shown;
    update();
}

void PreviewPlot::SetTypeShown(EntityType type, bool shown) {
    hidden_[static_cast<std::size_t>(type)] = !shown;
    update();
}

QPointF PreviewPlot::ToDrawing(QPointF at) const {
    return {centreX_ + (at.x() - width() / 2.0) / scale_,
            centreY_ - (at.y() - height() / 2.0) / scale_};
}

int PreviewPlot::MarkerSize() const {
    // Two pixels at the fitted scale, one more for each doubling, up to eight.
    const double zoom = fitScale_ > 0 ? scale_ / fitScale_ : 1;
    return std::clamp(2 + static_cast<int>(std::floor(std::log2(std::max(zoom, 1.0)))), 2, 8);
}

double PreviewPlot::TickStep() const {
    return NiceStep(90 / scale_);
}

void PreviewPlot::Fit() {
    if (!preview_ || !preview_->HasPicture()) return update();
    hasView_ = fitted_ = true;
    const PreviewExtent e = preview_->PlotExtent();
    centreX_ = (e.minX + e.maxX) / 2;
    centreY_ = (e.minY + e.maxY) / 2;
    const double spanX = e.maxX - e.minX, spanY = e.maxY - e.minY;
    const double w = std::max(1, width() - 20), h = std::max(1, height() - 20);
    scale_ = std::min(spanX > 0 ? w / spanX : HUGE_VAL, spanY > 0 ? h / spanY : HUGE_VAL);
    if (!std::isfinite(scale_)) scale_ = 1;
    fitScale_ = scale_;
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
    const std::vector<std::size_t> near = PointsAt(at);
    return near.empty() ? -1 : static_cast<std::int64_t>(near.front());
}

std::vector<std::size_t> PreviewPlot::PointsAt(QPointF at) const {
    std::vector<std::pair<double, std::size_t>> near;
    if (!preview_) return {};
    const auto& points = preview_->Points();
    const double radius = std::max(kPickRadius, MarkerSize() / 2.0 + 2);
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (hidden_[static_cast<std::size_t>(points[i].type)]) continue;
        const QPointF p = ToScreen(points[i].x, points[i].y);
        const double dx = p.x() - at.x(), dy = p.y() - at.y();
        const double d = dx * dx + dy * dy;
        if (d <= radius * radius) near.emplace_back(d, i);
    }
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::size_t> found;
    for (const auto& entry : near) found.push_back(entry.second);
    return found;
}

void PreviewPlot::paintEvent(QPaintEvent*) {
    // Every point is set straight into an image, a small square of pixels:
    // a million points cost a pass over an array, not a million paint calls.
    QImage image = Background();
    if (preview_) PaintPairs(image);
    std::vector<std::size_t> inView;
    if (preview_) {
        const auto& points = preview_->Points();
        const int w = image.width(), h = image.height();
        const int side = MarkerSize();
        auto* bits = reinterpret_cast<QRgb*>(image.bits());
        const qsizetype stride = image.bytesPerLine() / 4;
        const double halfW = w / 2.0, halfH = h / 2.0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (hidden_[static_cast<std::size_t>(points[i].type)]) continue;
            // The marker's square holds the pixel nearest the point (rounded
            // by truncation once the value is known to be in view: the
            // library's round costs as much as the rest of the loop).
            const double fx = halfW + (points[i].x - centreX_) * scale_ - side / 2 + 0.5;
            const double fy = halfH - (points[i].y - centreY_) * scale_ - side / 2 + 0.5;
            if (!(fx >= 0 && fy >= 0 && fx < w - side + 1 && fy < h - side + 1)) continue;
            const auto sx = static_cast<qsizetype>(fx), sy = static_cast<qsizetype>(fy);
            const QRgb colour = 0xFF000000u | Info(points[i].type).rgb;
            QRgb* pixel = bits + sy * stride + sx;
            for (int row = 0; row < side; ++row, pixel += stride)
                std::fill(pixel, pixel + side, colour);
            if (inView.size() <= static_cast<std::size_t>(kLabelledInView)) inView.push_back(i);
        }
    }
    QPainter painter(this);
    painter.drawImage(0, 0, image);
    labelBoxes_.clear();
    if (preview_) PaintUnpairedLabels(painter);
    if (preview_ && inView.size() <= static_cast<std::size_t>(kLabelledInView))
        PaintLabels(painter, inView);
    if (preview_) PaintPicks(painter);
    if (preview_ && preview_->HasPicture()) PaintScale(painter);
}

const QImage& PreviewPlot::Background() {
    const BackgroundView view{preview_.get(), scale_, centreX_, centreY_, geometryShown_};
    if (background_.size() == size() && view == backgroundView_) return background_;
    backgroundView_ = view;
    background_ = QImage(size(), QImage::Format_RGB32);
    background_.fill(Qt::white);
    if (preview_ && geometryShown_) PaintGeometry(background_);
    return background_;
}

// The drawing's lines and curves no finer than a pixel shows, and a small
// cross at each text and block reference.
void PreviewPlot::PaintGeometry(QImage& image) const {
    const DrawingGeometry& geometry = preview_->Geometry();
    if (geometry.Empty()) return;
    // Most of a large drawing is dots and segments of a pixel or two at
    // this scale, and the marks small crosses: those are set straight into
    // the image, the longer lines go to the painter a few thousand at a time.
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / 4;
    const int w = image.width(), h = image.height();
    const auto pixel = [&](double x, double y, QRgb colour) {
        const double fx = x + 0.5, fy = y + 0.5;  // the pixel nearest (x, y)
        if (fx >= 0 && fy >= 0 && fx < w && fy < h)
            bits[static_cast<qsizetype>(fy) * stride + static_cast<qsizetype>(fx)] = colour;
    };
    const QRgb lineColour = kGeometryColour.rgb(), markColour = kMarkColour.rgb();
    QPainter painter(&image);
    painter.setPen(QPen(kGeometryColour, 0));
    const PageView view{centreX_, centreY_, scale_, w / 2.0, h / 2.0, -1, -1, w + 1.0, h + 1.0};
    std::vector<QPointF> points;
    QVector<QLineF> segments;
    TraceGeometry(geometry, view, 0.5, [&](const double* xy, std::size_t count, EntityType) {
        if (count == 2) {
            if (std::abs(xy[2] - xy[0]) <= 2 && std::abs(xy[3] - xy[1]) <= 2) {
                pixel(xy[0], xy[1], lineColour);
                pixel((xy[0] + xy[2]) / 2, (xy[1] + xy[3]) / 2, lineColour);
                pixel(xy[2], xy[3], lineColour);
                return;
            }
            segments.append(QLineF(xy[0], xy[1], xy[2], xy[3]));
            if (segments.size() >= 4096) {
                painter.drawLines(segments);
                segments.clear();
            }
            return;
        }
        points.resize(count);
        for (std::size_t k = 0; k < count; ++k) points[k] = QPointF(xy[2 * k], xy[2 * k + 1]);
        painter.drawPolyline(points.data(), static_cast<int>(count));
    });
    painter.drawLines(segments);
    for (std::size_t i = 0; i < geometry.Marks(); ++i) {
        const QPointF at = ToScreen(geometry.MarkX(i), geometry.MarkY(i));
        if (at.x() < -3 || at.y() < -3 || at.x() > w + 3 || at.y() > h + 3) continue;
        for (int k = -2; k <= 2; ++k) {
            pixel(at.x() + k, at.y(), markColour);
            pixel(at.x(), at.y() + k, markColour);
        }
    }
}

void PreviewPlot::PaintLabels(QPainter& painter, const std::vector<std::size_t>& inView) {
    // Each label takes the first of four places around its point that
    // overprints no label placed before it, nor the scale bar; a label with
    // no such place is left out.
    const QFontMetricsF metrics(painter.font());
    const QRectF scaleBar(0, height() - kScaleBarHeight, 200, kScaleBarHeight);
    const double gap = MarkerSize() / 2.0 + 2;
    painter.setPen(QColor(0x33, 0x33, 0x33));
    for (std::size_t i : inView) {
        const auto& p = preview_->Points()[i];
        const QString text = FromPathBytes(preview_->Label(i, inView.size() <= kCodedInView));
        if (text.isEmpty()) continue;
        const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
        const QPointF at = ToScreen(p.x, p.y);
        const QPointF corners[] = {{at.x() + gap, at.y() - gap - size.height()},
                                   {at.x() - gap - size.width(), at.y() - gap - size.height()},
                                   {at.x() + gap, at.y() + gap},
                                   {at.x() - gap - size.width(), at.y() + gap}};
        for (const QPointF& corner : corners) {
            const QRectF box(corner, size);
            if (!rect().contains(box.toAlignedRect()) || box.intersects(scaleBar)) continue;
            if (std::any_of(labelBoxes_.begin(), labelBoxes_.end(),
                            [&](const QRectF& placed) { return placed.intersects(box); }))
                continue;
            labelBoxes_.push_back(box);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, text);
            break;
        }
    }
}

// The two picked points, marked and joined.
void PreviewPlot::PaintPicks(QPainter& painter) const {
    const auto& points = preview_->Points();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    QPointF marks[2];
    int count = 0;
    for (const std::int64_t pick : {pickA_, pickB_}) {
        if (pick < 0) continue;
        const auto& p = points[static_cast<std::size_t>(pick)];
        marks[count++] = ToScreen(p.x, p.y);
        painter.drawEllipse(marks[count - 1], 6, 6);
    }
    if (count == 2) painter.drawLine(marks[0], marks[1]);
}

// A scale bar at the bottom left, and ticks with their coordinates along the
// bottom and left edges, in drawing units.
void PreviewPlot::PaintScale(QPainter& painter) const {
    const double step = TickStep();
    const int decimals = DecimalsFor(step);
    const QFontMetricsF metrics(painter.font());
    painter.setPen(QColor(0x55, 0x55, 0x55));
    const QPointF topLeft = ToDrawing({0, 0}), bottomRight = ToDrawing(QPointF(width(), height()));
    for (double x = std::ceil(topLeft.x() / step) * step; x <= bottomRight.x(); x += step) {
        const double sx = ToScreen(x, 0).x();
        painter.drawLine(QPointF(sx, height()), QPointF(sx, height() - 5));
        painter.drawText(QPointF(sx + 2, height() - 6), QString::number(x, 'f', decimals));
    }
    for (double y = std::ceil(bottomRight.y() / step) * step; y <= topLeft.y(); y += step) {
        const double sy = ToScreen(0, y).y();
        painter.drawLine(QPointF(0, sy), QPointF(5, sy));
        painter.drawText(QPointF(7, sy - 2), QString::number(y, 'f', decimals));
    }
    const double length = step * scale_;
    const QPointF start(12, height() - 26);
    painter.fillRect(QRectF(start.x(), start.y() - 3, length, 4), QColor(0x33, 0x33, 0x33));
    painter.drawText(QPointF(start.x() + length + 6, start.y() + metrics.ascent() / 2 - 1),
                     QString::number(step, 'f', decimals));
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
    dragged_ = false;
}

void PreviewPlot::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = ToDrawing(event->position());
    emit CursorMoved(at.x(), at.y(), true);
    if (!(event->buttons() & Qt::LeftButton)) return;
    if (!dragged_ && QLineF(dragFrom_, event->position()).length() < 3) return;
    dragged_ = true;
    PanBy(event->position() - dragFrom_);
    dragFrom_ = event->position();
    fitted_ = false;
}

void PreviewPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !dragged_) Pick(event->position());
}

void PreviewPlot::leaveEvent(QEvent*) {
    emit CursorMoved(0, 0, false);
}

// A click on a point picks it: the first, then the second, then a new first;
// a click beside every point clears the picks.
void PreviewPlot::Pick(QPointF at) {
    const std::int64_t point = PointAt(at);
    if (point < 0)
        pickA_ = pickB_ = -1;
    else if (pickA_ < 0 || pickB_ >= 0)
        pickA_ = point, pickB_ = -1;
    else
        pickB_ = point;
    update();
    emit PicksChanged();
}

void PreviewPlot::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) return Fit();
    QWidget::keyPressEvent(event);
}

bool PreviewPlot::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::vector<std::size_t> points = PointsAt(help->pos());
        if (points.empty()) {
            QToolTip::hideText();
            return true;
        }
        // Every point under the mouse, its fields named, then what it is.
        constexpr std::size_t kMostListed = 12;
        QStringList entries;
        for (std::size_t k = 0; k < points.size() && k < kMostListed; ++k) {
            const std::size_t i = points[k];
            const PreviewPoint& p = preview_->Points()[i];
            QStringList fields;
            for (const auto& [name, value] : preview_->NamedFields(i))
                fields << FromPathBytes(name) + QStringLiteral(" ") + FromPathBytes(value);
            const std::string_view type = Info(p.type).name;
            entries << fields.join(QStringLiteral("  ")) + QStringLiteral("\n") +
                           QString::fromLatin1(type.data(), static_cast<qsizetype>(type.size())) +
                           QStringLiteral(", layer ") + FromPathBytes(preview_->Layer(i)) +
                           QStringLiteral(", handle ") + FromPathBytes(preview_->Handle(i));
        }
        if (points.size() > kMostListed)
            entries << QStringLiteral("and %1 more").arg(points.size() - kMostListed);
        QToolTip::showText(help->globalPos(), entries.join(QStringLiteral("\n\n")), this);
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
    legendTitle_ = new QLabel(QStringLiteral("Points by entity type"), this);
    legendTitle_->setObjectName(QStringLiteral("PreviewLegendTitle"));
    legendTitle_->setToolTip(
        QStringLiteral("The points each type gave, and in brackets its entities as the run "
                       "report counts them. Click a type to hide or show its points."));
    legend_ = new QListWidget(this);
    legend_->setObjectName(QStringLiteral("PreviewLegend"));
    legend_->setSelectionMode(QAbstractItemView::NoSelection);
    legend_->setFixedWidth(230);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("PreviewStatus"));
    cursor_ = new QLabel(this);
    cursor_->setObjectName(QStringLiteral("PreviewCursor"));
    cursor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    reasons_ = new QLabel(this);
    reasons_->setObjectName(QStringLiteral("PreviewReasons"));
    reasons_->setWordWrap(true);
    reasons_->setStyleSheet(QStringLiteral("color: #805000"));
    reasons_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    reasons_->hide();
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
    auto* side = new QVBoxLayout;
    side->addWidget(legendTitle_);
    side->addWidget(legend_, 1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(plot_, 1);
    middle->addLayout(side);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    bottom->addWidget(cursor_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(error_);
    layout->addWidget(reasons_);
    layout->addLayout(middle, 1);
    layout->addLayout(bottom);
    resize(800, 600);

    connect(refresh_, &QPushButton::clicked, this, &PreviewWindow::Refresh);
    connect(fit_, &QPushButton::clicked, plot_, &PreviewPlot::Fit);
    connect(cancel_, &QPushButton::clicked, this, &PreviewWindow::Cancel);
    connect(legend_, &QListWidget::itemClicked, this, &PreviewWindow::LegendClicked);
    connect(plot_, &PreviewPlot::CursorMoved, this, &PreviewWindow::ShowCursor);
    connect(plot_, &PreviewPlot::PicksChanged, this, &PreviewWindow::ShowStatus);
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
        window->PlaceBeside(main);
    }
    window->ShowDrawing(path);
}

void PreviewWindow::PlaceBeside(const QWidget& main) {
    const QScreen* screen =
        main.screen() != nullptr ? main.screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();
    const QRect beside = main.frameGeometry();
    // The frame around the window, as the main window's shows it.
    const QSize frame = main.frameGeometry().size() - main.geometry().size();
    resize(std::min(width(), area.width() - frame.width()),
           std::min(height(), area.height() - frame.height()));
    const int outer = width() + frame.width(), outerHeight = height() + frame.height();
    int x = beside.right() + 8;
    if (x + outer > area.right() + 1) x = beside.left() - 8 - outer;  // to the left
    if (x < area.left()) x = area.right() + 1 - outer;                // over it, at the edge
    x = std::max(x, area.left());
    const int y =
        std::clamp(beside.top(), area.top(), std::max(area.top(), area.bottom() + 1 - outerHeight));
    move(x, y);
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    // A closed window needs no picture: the conversion under way ends, and
    // what it would still have said is dropped (opening again converts anew).
    cancelled_->store(true);
    JoinWorker();
    if (converting_) {
        ++run_;
        converting_ = false;
        progress_->hide();
        cancel_->setEnabled(false);
    }
    QWidget::closeEvent(event);
}

void PreviewWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
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
    converting_ = true;
    coincident_.reset();
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
    // One preview at a time: the old one goes before the new one is made.
    plot_->SetPreview(nullptr);
    ReturnFreedMemory();
    // The worker owns copies of everything it reads: the window stays live
    // and its settings may change meanwhile.
    worker_ = std::thread([this, run, path = ToPathBytes(path_), settings = seenSettings_,
                           names = main_.Names(), fields = main_.ExportedDataFields(),
                           code = main_.CodeSequence(), options, cancelled = cancelled_,
                           position = position_] {
        auto result = std::make_shared<Result>();
        result->settings = settings;
        result->preview = std::make_shared<PointPreview>();
        result->preview->Compose(settings, names, fields, code);
        std::error_code size;
        result->preview->ExpectDrawingSize(std::filesystem::file_size(path, size));
        result->preview->CollectGeometry();
        WorkerHost host(fields, code, cancelled, position);
        try {
            if (!PreviewDrawing(path, settings, names, host, options, *result->preview,
                                &result->section, &result->counters))
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
        // The picture is up; the status line's count of points at one place follows.
        if (!result->error.isEmpty() || result->cancelled) return;
        const std::size_t count = result->preview->CountCoincident(cancelled.get());
        if (!cancelled->load())
            QMetaObject::invokeMethod(
                this, [this, run, count] { ShowCoincident(run, count); }, Qt::QueuedConnection);
    });
}

void PreviewWindow::Finished(std::uint64_t run, const std::shared_ptr<Result>& result) {
    if (run != run_) return;  // a later conversion replaced this one
    converting_ = false;
    progress_->hide();
    cancel_->setEnabled(false);
    const QString name = QFileInfo(path_).fileName();
    if (result->cancelled) {
        // Never another drawing's picture under this one's title: the picture
        // went with the refresh, so the window says what is (not) shown.
        shownPath_.clear();
        legend_->clear();
        reasons_->hide();
        error_->hide();
        status_->setText(QStringLiteral("Cancelled: %1 is not shown; Refresh shows it").arg(name));
        return;
    }
    shownPath_ = path_;
    // What the report says of the drawing, in the window's words.
    QStringList reasons;
    for (const std::string& line : result->section)
        if (line.starts_with("*** ")) reasons << WindowWords(line);
    reasons_->setText(reasons.join(QLatin1Char('\n')));
    reasons_->setVisible(!reasons.isEmpty());
    error_->setVisible(!result->error.isEmpty());
    error_->setText(WindowWords(result->error.toStdString()));
    if (!result->error.isEmpty()) {
        // No picture of another drawing or of other settings stays beside the error.
        plot_->SetPreview(nullptr);
        legend_->clear();
        status_->setText(QStringLiteral("Error"));
        return;
    }
    ShowLegend(*result);
    plot_->SetPreview(result->preview);
    ShowStatus();
}

// The ticked types in the order of the report's count lines, each with the
// points it gave and its entities as the report counts them; a click hides
// or shows its points. Then the label pairs and the labels left, when
// labels were joined.
void PreviewWindow::ShowLegend(const Result& result) {
    const PointPreview& preview = *result.preview;
    const std::vector<PreviewType> types = preview.Types();
    legend_->clear();
    for (const EntityTypeInfo& info : kEntityTypes) {
        const auto given = std::find_if(types.begin(), types.end(),
                                        [&](const PreviewType& t) { return t.type == info.type; });
        const std::int64_t points = given != types.end() ? given->count : 0;
        if (!Ticked(result.settings, info.type) && points == 0) continue;
        QPixmap swatch(12, 12);
        swatch.fill(QColor::fromRgb(info.rgb));
        auto* item =
            new QListWidgetItem(QIcon(swatch),
                                QStringLiteral("%1: %2 points (%3 entities)")
                                    .arg(QString::fromLatin1(
                                        info.name.data(), static_cast<qsizetype>(info.name.size())))
                                    .arg(points)
                                    .arg(result.counters[info.type]),
                                legend_);
        item->setData(Qt::UserRole, static_cast<int>(info.type));
        item->setCheckState(plot_->TypeShown(info.type) ? Qt::Checked : Qt::Unchecked);
    }
    const DrawingGeometry& geometry = preview.Geometry();
    if (!geometry.Empty()) {
        // The drawing behind the points: a click hides or shows it too.
        QPixmap swatch(12, 12);
        swatch.fill(Qt::white);
        QPainter(&swatch).fillRect(0, 5, 12, 2, kGeometryColour);
        auto* item = new QListWidgetItem(
            QIcon(swatch),
            QStringLiteral(
                "Drawing behind the points:\n%1 lines, %2 curves,\n%3 texts and blocks%4")
                .arg(geometry.Polylines())
                .arg(geometry.Arcs())
                .arg(geometry.Marks())
                .arg(geometry.truncated ? QStringLiteral("\n(too large: drawn in part)")
                                        : QString()),
            legend_);
        item->setData(kGeometryRole, true);
        item->setCheckState(plot_->GeometryShown() ? Qt::Checked : Qt::Unchecked);
    }
    if (!preview.Pairs().empty())
        new QListWidgetItem(
            QStringLiteral("Label pairs (grey lines): %1").arg(preview.Pairs().size()), legend_);
    if (!preview.UnpairedLabels().empty())
        new QListWidgetItem(QStringLiteral("Labels without a point (crosses): %1")
                                .arg(preview.UnpairedLabels().size()),
                            legend_);
}

void PreviewWindow::ShowCoincident(std::uint64_t run, std::size_t count) {
    if (run != run_) return;
    coincident_ = count;
    ShowStatus();
}

void PreviewWindow::LegendClicked(QListWidgetItem* item) {
    if (item->data(kGeometryRole).isValid()) {
        const bool shown = !plot_->GeometryShown();
        plot_->SetGeometryShown(shown);
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        return;
    }
    const QVariant type = item->data(Qt::UserRole);
    if (!type.isValid()) return;
    const auto entityType = static_cast<EntityType>(type.toInt());
    const bool shown = !plot_->TypeShown(entityType);
    plot_->SetTypeShown(entityType, shown);
    item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
}

void PreviewWindow::ShowCursor(double x, double y, bool inside) {
    if (!inside || !plot_->Preview()) {
        cursor_->clear();
        return;
    }
    // As many decimals as a pixel is worth.
    const int decimals = std::clamp(DecimalsFor(1 / plot_->Scale()), 0, 9);
    cursor_->setText(
        QStringLiteral("X %1  Y %2").arg(x, 0, 'f', decimals).arg(y, 0, 'f', decimals));
}

void PreviewWindow::ShowStatus() {
    const PointPreview* preview = plot_->Preview();
    if (preview == nullptr) return;
    QString text = FromPathBytes(preview->Summary());
    if (coincident_.value_or(0) > 0)
        text += QStringLiteral("  (%1 at the place of another)").arg(*coincident_);
    const std::int64_t a = plot_->PickA(), b = plot_->PickB();
    const auto number = [&](std::int64_t i) {
        const std::string label = preview->Label(static_cast<std::size_t>(i), false);
        return label.empty() ? QStringLiteral("#%1").arg(i + 1) : FromPathBytes(label);
    };
    if (a >= 0 && b < 0) text = QStringLiteral("Picked %1; click a second point").arg(number(a));
    if (a >= 0 && b >= 0) {
        const PreviewPoint& p = preview->Points()[static_cast<std::size_t>(a)];
        const PreviewPoint& q = preview->Points()[static_cast<std::size_t>(b)];
        const double dx = q.x - p.x, dy = q.y - p.y;
        // Clockwise from north (the Y axis), as a surveyor reads a bearing.
        double bearing = std::atan2(dx, dy) * 180 / std::numbers::pi;
        if (bearing < 0) bearing += 360;
        text = QStringLiteral("%1 to %2: distance %3, bearing %4\u00b0")
                   .arg(number(a), number(b))
                   .arg(std::hypot(dx, dy), 0, 'f', 3)
                   .arg(bearing, 0, 'f', 4);
    }
    status_->setText(text);
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
