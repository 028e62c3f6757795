// The preview window driven as a user would: opened from the file list,
// fitted, zoomed, following the settings, showing an error, closed.
#include "ui/preview_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
        QVERIFY(window->findChild<QLabel*>("PreviewLegend")->text().contains("Points 5"));
        PreviewPlot* plot = window->Plot();
        const PointPreview& preview = *plot->Preview();
        QCOMPARE(preview.Line(0), std::string_view("1,1000.000,2000.500,0.250,L0"));

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
        QTRY_COMPARE(window->Plot()->Preview()->Line(0),
                     std::string_view("P1,1000.000,2000.500,0.250,L0"));

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
};

QTEST_MAIN(PreviewWindowTest)
#include "preview_window_test.moc"
