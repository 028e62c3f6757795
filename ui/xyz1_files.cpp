// The source folder tree, the DXF file list with its automatic selection, and
// the destination folder: locked to the source folder or chosen in TForm3.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeView>

#include "ui/dxf_file_list.h"
#include "ui/output_options_dialog.h"
#include "ui/preview_window.h"
#include "ui/reading_options_dialog.h"
#include "ui/selrep.h"
#include "ui/xyz1.h"

namespace korvel {

namespace {

const QString kLocked = QStringLiteral("locked");
const QString kAutoSel = QStringLiteral("autosel");

// A folder of the file system, as opposed to nothing selected: the path
// names a folder by its place.
bool IsFolderPath(const QString& path) {
    return path.contains(QDir::separator()) || path.contains(QLatin1Char('/'));
}

}  // namespace

QString TForm1::SelectedSourceFolder() const {
    const QModelIndex index = sh1->currentIndex();
    return index.isValid() ? QDir::toNativeSeparators(folderModel_->filePath(index)) : QString();
}

QString TForm1::CurrentSourceFolder() const {
    return SelectedSourceFolder();
}

void TForm1::SelectSourceFolder(const QString& folder) {
    const QModelIndex index = folderModel_->index(folder);
    if (!index.isValid()) return;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) sh1->expand(up);
    sh1->setCurrentIndex(index);
    sh1->scrollTo(index);
}

void TForm1::ShowSelectedCount() {
    Label3->setText(QString::number(fl1->SelectedCount()) + QStringLiteral(" selected."));
}

void TForm1::sh1Change() {
    const QString path = SelectedSourceFolder();
    if (!IsFolderPath(path)) {
        fl1->ClearNames();
        BitBtn1->setEnabled(false);
    } else {
        // A folder that cannot be read leaves the list with the folder and
        // the names it had.
        fl1->ReadFolder(path);
        if (fl1->count() > 0) {
            BitBtn1->setEnabled(true);
            fl1->selectionModel()->setCurrentIndex(fl1->model()->index(0, 0),
                                                   QItemSelectionModel::Select);
        } else {
            BitBtn1->setEnabled(false);
        }
        if (autosel->isChecked()) fl1->SelectAll();
    }
    if (DestinationLocked) Edit1->setText(path);
    ShowSelectedCount();
    Label30->setText(path);
}

void TForm1::fl1Click() {
    ShowSelectedCount();
}

void TForm1::autoselClick() {
    Guarded([&] {
        if (autosel->isChecked()) fl1->SelectAll();
        ShowSelectedCount();
        platform_.store.WriteBool(kAutoSel, autosel->isChecked());
    });
}

// The lock is one toggle drawn as two buttons in one place: SpeedButton1
// (pressed) while the destination follows the source folder, SpeedButton2
// (raised) while it is chosen freely. The state is stored first, so a failed
// write leaves the mode as it was.

void TForm1::SpeedButton1Click() {
    SpeedButton1->setChecked(true);  // it stays drawn pressed while it shows
    Guarded([&] {
        platform_.store.WriteBool(kLocked, false);
        DestinationLocked = false;
        SpeedButton2->setVisible(true);
        SpeedButton1->setVisible(false);
        SpeedButton4->setEnabled(true);
    });
}

void TForm1::SpeedButton2Click() {
    Guarded([&] {
        platform_.store.WriteBool(kLocked, true);
        DestinationLocked = true;
        SpeedButton2->setVisible(false);
        SpeedButton1->setVisible(true);
        Edit1->setText(SelectedSourceFolder());
        SpeedButton4->setEnabled(false);
    });
}

void TForm1::SpeedButton4Click() {
    // The dialog writes Edit1 itself when the user accepts.
    if (destination_) destination_->exec();
}

void TForm1::ConnectFilesAndOptions() {
    // Folders are read when selected, not followed while they change.
    folderModel_->setOption(QFileSystemModel::DontWatchForChanges);
    connect(sh1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { Guarded([&] { sh1Change(); }); });
    connect(fl1, &QListWidget::itemSelectionChanged, this, &TForm1::fl1Click);
    // Double-click or the list's "Preview" item: the drawing's points in a window of their own.
    const auto preview = [this](QListWidgetItem* item) {
        if (item) OpenPreview(*this, QDir(fl1->Folder()).filePath(item->text()));
    };
    connect(fl1, &QListWidget::itemDoubleClicked, this, preview);
    auto* previewAction = new QAction(QStringLiteral("Preview"), fl1);
    previewAction->setObjectName(QStringLiteral("PreviewAction"));
    fl1->addAction(previewAction);
    fl1->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(previewAction, &QAction::triggered, this,
            [this, preview] { preview(fl1->currentItem()); });
    connect(autosel, &QCheckBox::toggled, this, &TForm1::autoselClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TForm1::SpeedButton4Click);

    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    connect(rep1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rep1Click();
    });
    connect(rep3, &QRadioButton::toggled, this, [this](bool on) {
        if (on) rep3Click();
    });
    connect(BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);
    connect(SpeedButton11, &QToolButton::clicked, this, &TForm1::SpeedButton11Click);
    connect(cbaligncodes, &QCheckBox::toggled, this, &TForm1::cbaligncodesClick);
    connect(cbmissingz, &QCheckBox::toggled, this, &TForm1::cbmissingzClick);
    connect(ReadingOptionsButton, &QPushButton::clicked, this, &TForm1::ReadingOptionsButtonClick);
    connect(OutputOptionsButton, &QPushButton::clicked, this, &TForm1::OutputOptionsButtonClick);
    connect(OutputOptions, &OutputOptionsDialog::OptionsChanged, this, &TForm1::ShowOutputHint);
    connect(ReadingOptions, &ReadingOptionsDialog::LayersWanted, this, &TForm1::ShowLayerPicker);
}

}  // namespace korvel
