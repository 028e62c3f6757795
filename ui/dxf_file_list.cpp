#include "ui/dxf_file_list.h"

#include <QDir>
#include <QFileInfo>

namespace korvel {

DxfFileList::DxfFileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);  // the names arrive sorted; no re-sorting on insert
}

bool DxfFileList::ReadFolder(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) return false;
    // Hidden and system files are left out, as the name filter is matched
    // without regard to case ("A.DXF" is listed too).
    const QStringList names =
        dir.entryList({QStringLiteral("*.dxf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    clear();
    addItems(names);
    folder_ = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    return true;
}

int DxfFileList::SelectedCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected()) ++n;
    return n;
}

void DxfFileList::SelectAll() {
    for (int i = 0; i < count(); ++i) item(i)->setSelected(true);
}

}  // namespace korvel
