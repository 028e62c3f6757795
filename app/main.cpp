// Korvel's entry: the application titled "Korvel", the three windows in
// their order, the start-up sequence, then the event loop. No command-line
// argument is read.
#include <QApplication>
#include <QScreen>

#include "ui/platform/qt_platform.h"
#include "ui/selrep.h"
#include "ui/unit2.h"
#include "ui/xyz1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(korvel::kApplicationTitle));

    korvel::QtMessageBoxes boxes;
    korvel::QtFileDialogs dialogs;
    korvel::QtDocumentOpener opener;
    const auto store = korvel::SettingsStateStore::OpenUserStore();
    const korvel::PlatformServices services{boxes, dialogs, opener, *store};

    korvel::TForm1 form1(services, QCoreApplication::applicationDirPath());
    korvel::TForm2 form2(&form1);
    korvel::TForm3 form3(&form1);
    form1.AttachDialogs(&form2, &form3);
    // Not quit(): that would first ask the windows to close, and the main
    // window refuses every close request.
    QObject::connect(&form1, &korvel::TForm1::ProgramEndRequested, &app,
                     [] { QCoreApplication::exit(0); });

    form1.StartUp();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = form1.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form1.move(frame.topLeft());
    }
    form1.show();
    return app.exec();
}
