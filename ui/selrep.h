// The destination folder dialog TForm3, shown modally by the browse button.
// It is made once and keeps its tree's state between openings.
#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeView;

namespace korvel {

class TForm3 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm3(QWidget* owner);

    // The main window's destination field, written by "Select ".
    void SetDestinationField(QLineEdit* field) { destinationField_ = field; }

    QFrame* Panel1;
    QTreeView* ShellTreeView1;
    QLabel* Label1;
    QToolButton* SpeedButton1;  // "Select "
    QToolButton* SpeedButton2;  // "Cancel "

    void ShellTreeView1Change();
    void SpeedButton1Click();
    void SpeedButton2Click();

    // The folder selected in the tree as the tree gives it: a full path
    // without a trailing separator except at the root; empty when none is.
    QString SelectedFolder() const;
    // Selects `folder` in the tree and brings it into view; false when the
    // tree cannot show it.
    bool SelectFolder(const QString& folder);

  private:
    QFileSystemModel* model_;
    QLineEdit* destinationField_ = nullptr;
};

}  // namespace korvel
