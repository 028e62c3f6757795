// Korvel's entry: the application titled "Korvel", the three windows in
// their order, the start-up sequence, then the event loop. No command-line
// argument is read.
#include <QApplication>
#include <QScreen>
#include <QStandardPaths>

#include "output/gis_module.h"
#include "settings/korvel_error.h"
#include "settings/program_layout.h"
#include "ui/app_icon.h"
#include "ui/platform/qt_platform.h"
#include "ui/selrep.h"
#include "ui/text_bytes.h"
#include "ui/unit2.h"
#include "ui/xyz1.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(korvel::kApplicationTitle));
    QApplication::setWindowIcon(korvel::KorvelIcon());

    korvel::QtMessageBoxes boxes;
    korvel::QtFileDialogs dialogs;
    korvel::QtDocumentOpener opener;
    const auto store = korvel::SettingsStateStore::OpenUserStore();
    const korvel::PlatformServices services{boxes, dialogs, opener, *store};

    // Run from its build folder (or any folder holding the name tables) the
    // program keeps its files beside itself; installed, it reads the shipped
    // ones from share/korvel and writes its own to the user's data folder,
    // even as root, never into a system folder.
    const QString programFolder = QCoreApplication::applicationDirPath();
    const korvel::ProgramLayout layout = korvel::FindProgramLayout(korvel::ToPath(programFolder));
    korvel::UseGisModuleFolder(layout.moduleFolder);
    const QString dataFolder = korvel::FromPath(layout.dataFolder);
    QString userFolder = programFolder;
    QString prepareError;
    if (layout.installed) {
        userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        try {
            korvel::PrepareUserFolder(layout, korvel::ToPath(userFolder));
        } catch (const korvel::KorvelError& e) {
            prepareError = QString::fromLocal8Bit(e.what());
        }
    }

    korvel::TForm1 form1(services, dataFolder, userFolder);
    korvel::TForm2 form2(&form1);
    korvel::TForm3 form3(&form1);
    form1.AttachDialogs(&form2, &form3);
    // Not quit(): that would first ask the windows to close, and the main
    // window refuses every close request.
    QObject::connect(&form1, &korvel::TForm1::ProgramEndRequested, &app,
                     [] { QCoreApplication::exit(0); });

    // Told once the window exists; the files it cannot write then fail as
    // they would beside a read-only program.
    if (!prepareError.isEmpty()) boxes.Error(&form1, prepareError);
    form1.StartUp();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = form1.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        form1.move(frame.topLeft());
    }
    form1.show();
    return app.exec();
}
