// The layers of the selected drawings, each with its state and entities, to
// tick those to take: the reading options' include list is made of them.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "engine/extended_reading.h"

class QPushButton;
class QTreeWidget;

namespace korvel {

class LayerPickerDialog : public QDialog {
    Q_OBJECT

  public:
    // `current` is the include list now: the layers it takes start ticked.
    LayerPickerDialog(QWidget* owner, const std::vector<LayerCensus::Layer>& layers,
                      const std::string& current);

    // The ticked layers as a pattern list; empty when none is ticked.
    std::string PatternList() const;

    QTreeWidget* LayerList;
    QPushButton* AllButton;
    QPushButton* NoneButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;

  private:
    std::vector<LayerCensus::Layer> layers_;
};

}  // namespace korvel
