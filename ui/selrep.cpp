#include "ui/selrep.h"

namespace korvel {

TForm3::TForm3(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" Destination Directory for Data Files"));
    if (owner) setFont(owner->font());
    setFixedSize(396, 403);
    setModal(true);
}

}  // namespace korvel
