// The destination folder dialog TForm3, shown modally by the browse button.
#pragma once

#include <QDialog>

namespace korvel {

class TForm3 : public QDialog {
    Q_OBJECT

  public:
    explicit TForm3(QWidget* owner);
};

}  // namespace korvel
