// The preview window driven as a user would: opened from the file list,
// fitted, zoomed, following the settings, showing an error, closed.
#include "ui/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QListWidgetItem>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "ui/dxf_file_list.h"
#include "window_harness.h"

using namespace korvel;
using korvel::testing::PointDrawing;
using korvel::testing::WindowHarness;
using korvel::testing::WriteAll;

class PreviewWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void OpensFitsZoomsFollowsAndCloses() {
        WindowHarness h;
        h.CreateAndStart();
        h.Form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.Form()));
        WriteAll(h.Work() + "/a.dxf", PointDrawing(5));
        WriteAll(h.Work() + "/b.dxf", PointDrawing(3, 1));
        auto* list = h.Control<DxfFileList>("fl1");
        QVERIFY(list->ReadFolder(h.Work()));
        const QRect row = list->visualItemRect(list->item(0));
        // A double-click as the system delivers it: press, release, then the double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());

        auto* window = h.Form().findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"));
        QVERIFY(window);
        QTRY_VERIFY(!window->Converting());
        QCOMPARE(window->windowTitle(), QStringLiteral("Preview - a.dxf"));
        QVERIFY(window->isVisible());
        QCOMPARE(window->findChild<QLabel*>("PreviewStatus")->text(),
                 QStringLiteral("5 points  X 1000.000 .. 1000.500  Y 2000.250 .. 2000.500  "
                                "Z 0.250 .. 4.250"));
        auto* legend = window->findChild<QListWidget*>("PreviewLegend");
        QCOMPARE(legend->item(0)->text(), QStringLiteral("Points: 5 points (5 entities)"));
        PreviewPlot* plot = window->Plot();
        const PointPreview& preview = *plot->Preview();
        QCOMPARE(preview.Line(0), std::string("1,1000.000,2000.500,0.250,L0"));

        // The wheel zooms about the cursor: the point under it stays put.
        const double fitted = plot->Scale();
        const QPointF at = plot->ToScreen(preview.Points()[1].x, preview.Points()[1].y);
        QWheelEvent wheel(at, plot->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
        QCOMPARE(plot->Scale(), fitted * 1.25);
        const QPointF after = plot->ToScreen(preview.Points()[1].x, preview.Points()[1].y);
        QVERIFY(std::abs(after.x() - at.x()) < 1e-6 && std::abs(after.y() - at.y()) < 1e-6);
        QCOMPARE(plot->PointAt(at), 1);
        // A drag pans, Home fits again.
        QTest::mousePress(plot, Qt::LeftButton, {}, at.toPoint());
        QTest::mouseMove(plot, at.toPoint() + QPoint(30, 0));
        QTest::mouseRelease(plot, Qt::LeftButton, {}, at.toPoint() + QPoint(30, 0));
        QVERIFY(plot->PointAt(at) != 1);
        QTest::keyClick(plot, Qt::Key_Home);
        QCOMPARE(plot->Scale(), fitted);

        // A setting changed in the main window shows without a click.
        h.Form().Config().settings.Set(field::NumberPrefix, "P");
        QTRY_VERIFY(window->Plot()->Preview() != nullptr &&
                    window->Plot()->Preview()->Line(0) == "P1,1000.000,2000.500,0.250,L0");

        // A drawing the run would refuse: the error in the window.
        list->setCurrentRow(1);
        h.Form().findChild<QAction*>("PreviewAction")->trigger();
        QTRY_VERIFY(!window->Converting());
        QCOMPARE(window->windowTitle(), QStringLiteral("Preview - b.dxf"));
        auto* error = window->findChild<QLabel*>("PreviewError");
        QVERIFY(error->isVisible());
        QVERIFY2(error->text().startsWith("'abc' is not a valid floating point value.\nLine 24 "),
                 qPrintable(error->text()));
        QCOMPARE(window->Plot()->Preview(), nullptr);

        window->close();
        QVERIFY(!window->isVisible());
    }

    // A known point is drawn at the pixel its coordinates give, in its
    // type's colour; labels of crowded points never overprint one another;
    // clicking the legend hides a type; two clicked points give their
    // distance and bearing.
    void DrawsWherePointsAreAndLabelsApart() {
        WindowHarness h;
        h.CreateAndStart();
        h.Form().show();
        // 40 points in a row two hundredths apart: their labels crowd.
        WriteAll(h.Work() + "/row.dxf", PointDrawing(40));
        OpenPreview(h.Form(), h.Work() + "/row.dxf");
        auto* window = h.Form().findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"));
        QTRY_VERIFY(!window->Converting());
        PreviewPlot* plot = window->Plot();
        const PointPreview& preview = *plot->Preview();
        const QImage picture = plot->grab().toImage();
        const PreviewPoint& p = preview.Points()[7];
        const QPoint at = plot->ToScreen(p.x, p.y).toPoint();
        QCOMPARE(picture.pixel(at) & 0xFFFFFFu, Info(p.type).rgb);
        const QPointF back = plot->ToDrawing(plot->ToScreen(p.x, p.y));
        QVERIFY(std::abs(back.x() - p.x) < 1e-9 && std::abs(back.y() - p.y) < 1e-9);

        const std::vector<QRectF>& boxes = plot->LabelBoxes();
        QVERIFY(!boxes.empty());
        for (std::size_t i = 0; i < boxes.size(); ++i)
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                QVERIFY(!boxes[i].intersects(boxes[j]));

        auto* legend = window->findChild<QListWidget*>("PreviewLegend");
        legend->itemClicked(legend->item(0));
        QVERIFY(!plot->TypeShown(EntityType::Point));
        QCOMPARE(plot->grab().toImage().pixel(at), QColor(Qt::white).rgb());
        legend->itemClicked(legend->item(0));

        const PreviewPoint& q = preview.Points()[39];
        QTest::mouseClick(plot, Qt::LeftButton, {}, at);
        QTest::mouseClick(plot, Qt::LeftButton, {}, plot->ToScreen(q.x, q.y).toPoint());
        QCOMPARE(plot->PickA(), 7);
        QCOMPARE(plot->PickB(), 39);
        // 32 steps of (0.125, -0.0625): bearing 116.5651 degrees from north.
        QCOMPARE(window->findChild<QLabel*>("PreviewStatus")->text(),
                 QStringLiteral("8 to 40: distance 4.472, bearing 116.5651\u00b0"));
    }

    // The drawing's own geometry lies faintly behind the points, where its
    // coordinates put it: a circle of an unticked type through its pixels, a
    // line under the points it gave; the legend switches it off, and a
    // drawing that gives no point at all is fitted to its geometry.
    void DrawsTheDrawingBehindThePoints() {
        WindowHarness h;
        h.CreateAndStart();
        h.Form().show();
        const QByteArray head = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        const QByteArray tail = "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
        const QByteArray circle =
            "  0\r\nCIRCLE\r\n  8\r\n0\r\n 10\r\n510\r\n 20\r\n205\r\n 30\r\n0\r\n"
            " 40\r\n4\r\n";
        const QByteArray line =
            "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n500\r\n 20\r\n200\r\n 30\r\n1\r\n"
            " 11\r\n520\r\n 21\r\n210\r\n 31\r\n1\r\n";
        // A second line on from the first one's end: two points at one place.
        const QByteArray onward =
            "  0\r\nLINE\r\n  8\r\n0\r\n 10\r\n520\r\n 20\r\n210\r\n 30\r\n1\r\n"
            " 11\r\n530\r\n 21\r\n200\r\n 31\r\n1\r\n";
        WriteAll(h.Work() + "/site.dxf", head + circle + line + onward + tail);
        OpenPreview(h.Form(), h.Work() + "/site.dxf");
        auto* window = h.Form().findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"));
        QTRY_VERIFY(!window->Converting());
        PreviewPlot* plot = window->Plot();
        QCOMPARE(plot->Preview()->Points().size(), 4u);  // the lines' ends
        // The count of points at one place follows the picture.
        QTRY_VERIFY(window->findChild<QLabel*>("PreviewStatus")
                        ->text()
                        .endsWith("  (2 at the place of another)"));
        const auto grey = [&](const QImage& image, QPointF at) {
            // The pixel the curve passes through, or one beside it.
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    if (QColor(image.pixel(at.toPoint() + QPoint(dx, dy))).red() < 0xf0)
                        return true;
            return false;
        };
        QImage picture = plot->grab().toImage();
        for (const double angle : {0.3, 1.9, 4.0}) {
            const QPointF on = plot->ToScreen(510 + 4 * std::cos(angle), 205 + 4 * std::sin(angle));
            QVERIFY2(grey(picture, on), qPrintable(QString::number(angle)));
        }
        QVERIFY(grey(picture, plot->ToScreen(505, 202.5)));   // on the line, between its points
        QVERIFY(!grey(picture, plot->ToScreen(510, 207.5)));  // inside the circle

        auto* legend = window->findChild<QListWidget*>("PreviewLegend");
        QListWidgetItem* drawing =
            legend->findItems("Drawing behind", Qt::MatchStartsWith).value(0);
        QVERIFY(drawing);
        QCOMPARE(
            drawing->text(),
            QStringLiteral("Drawing behind the points:\n2 lines, 1 curves,\n0 texts and blocks"));
        legend->itemClicked(drawing);
        QVERIFY(!plot->GeometryShown());
        QVERIFY(!grey(plot->grab().toImage(), plot->ToScreen(505, 202.5)));

        // No point at all: the view is the geometry's.
        legend->itemClicked(drawing);
        WriteAll(h.Work() + "/site.dxf", head + circle + tail);
        window->Refresh();
        QTRY_VERIFY(!window->Converting());
        QVERIFY(plot->Preview()->Points().empty());
        picture = plot->grab().toImage();
        QVERIFY(grey(picture, plot->ToScreen(514, 205)));
        const QPointF left = plot->ToScreen(506, 205), right = plot->ToScreen(514, 205);
        QVERIFY(left.x() >= 0 && right.x() < plot->width() && right.x() - left.x() > 100);
    }

    // Each kind of warning is said in the window's words, never as a
    // korvel-cli option.
    void SaysWhyADrawingGivesFewPoints() {
        WindowHarness h;
        h.CreateAndStart();
        h.Form().show();
        const QByteArray head = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        const std::pair<QByteArray, QString> cases[] = {
            {"  0\r\nSECTION\r\n  2\r\nHEADER\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n",
             "Warning, no ENTITIES section found: the data file is empty"},
            {head + "  0\r\nENDSEC\r\n  0\r\nEOF\r\n",
             "Warning, the ENTITIES section holds no entity: the data file is empty"},
            {head + "  0\r\nHATCH\r\n  8\r\n0\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n",
             "Warning, no entity of a ticked type: the drawing holds 1 HATCH"},
            {head + "  0\r\nPOINT\r\n  8\r\n0\r\n 10\r\n1\r\n 20\r\n2\r\n",
             "Warning, the file ends inside an entity"},
            {head + "  0\r\nPOINT\r\n  8\r\n0\r\n 10\r\n1\r\n 20\r\n2\r\n  0\r\nENDSEC\r\n",
             "switch on \"Take a missing Z coordinate as 0\" (Options page, Reading drawings...)"},
        };
        for (const auto& [drawing, reason] : cases) {
            WriteAll(h.Work() + "/few.dxf", drawing);
            OpenPreview(h.Form(), h.Work() + "/few.dxf");
            auto* window = h.Form().findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"));
            QTRY_VERIFY(!window->Converting());
            const QString said = window->findChild<QLabel*>("PreviewReasons")->text();
            QVERIFY2(said.contains(reason), qPrintable(said));
            QVERIFY2(!said.contains("--") && !said.contains("***"), qPrintable(said));
        }
    }

    // Wholly on the screen; Cancel while another drawing is on the way
    // leaves no picture of the one before; closing or Escape during a
    // conversion ends it.
    void PlacedOnTheScreenCancelledAndClosedCleanly() {
        WindowHarness h;
        h.CreateAndStart();
        const QRect area = h.Form().screen()->availableGeometry();
        h.Form().move(area.right() - h.Form().width() / 2, area.top());
        h.Form().show();
        WriteAll(h.Work() + "/a.dxf", PointDrawing(5));
        WriteAll(h.Work() + "/big.dxf", PointDrawing(200000));
        OpenPreview(h.Form(), h.Work() + "/a.dxf");
        auto* window = h.Form().findChild<PreviewWindow*>(QStringLiteral("PreviewWindow"));
        QTRY_VERIFY(!window->Converting());
        QVERIFY2(area.contains(window->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                        .arg(window->x())
                                                                        .arg(window->y())
                                                                        .arg(window->width())
                                                                        .arg(window->height())));

        OpenPreview(h.Form(), h.Work() + "/big.dxf");
        window->Cancel();
        QTRY_VERIFY(!window->Converting());
        QCOMPARE(window->windowTitle(), QStringLiteral("Preview - big.dxf"));
        QCOMPARE(window->Plot()->Preview(), nullptr);
        QVERIFY(window->findChild<QLabel*>("PreviewStatus")->text().startsWith("Cancelled"));

        window->Refresh();
        window->close();
        QVERIFY(!window->Converting());
        OpenPreview(h.Form(), h.Work() + "/a.dxf");
        QTRY_VERIFY(!window->Converting());
        QCOMPARE(window->Plot()->Preview()->Points().size(), std::size_t(5));
        QTest::keyClick(window->Plot(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
