// The file list `fl1`: the "*.dxf" files of one folder, names only, sorted
// by name without regard to case, several selectable at once.
#pragma once

#include <QListWidget>
#include <QString>

namespace korvel {

class DxfFileList : public QListWidget {
  public:
    explicit DxfFileList(QWidget* parent = nullptr);

    // Reads the folder's DXF file names afresh, none selected. Returns false
    // and keeps the folder and names it had when the folder cannot be read.
    bool ReadFolder(const QString& folder);
    // The folder the names belong to: a full path without a trailing
    // separator except at the root.
    const QString& Folder() const { return folder_; }
    // Empties the list; the folder is kept.
    void ClearNames() { clear(); }

    int SelectedCount() const;
    void SelectAll();

  private:
    QString folder_;
};

}  // namespace korvel
