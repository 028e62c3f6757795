// How drawings are read: the options kept with the configuration (layers,
// block attributes, the contents of blocks, heights and numbers from labels)
// and the two reading options
// that hold for every configuration. Reached from the options page; every
// edit takes effect at once, as the main window's editors do.
#pragma once

#include <QDialog>
#include <QString>
#include <string>
#include <vector>

#include "settings/export_settings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvel {

class ReadingOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // `options` is the configuration's.
    ReadingOptionsDialog(QWidget* owner, ExtendedOptions& options);

    // The configuration's options into the editors, storing nothing.
    void ShowOptions();
    // The layers the user ticked in the layer picker, as the include list.
    void TakePickedLayers(const std::string& patterns);

    QLineEdit* IncludeLayers;
    QPushButton* PickLayers;
    QLineEdit* ExcludeLayers;
    QLabel* LayerPatternError;
    QCheckBox* VisibleLayersOnly;
    QCheckBox* ModelSpaceOnly;
    QLineEdit* NumberTag;
    QLineEdit* ZTag;
    QLineEdit* TextTag;
    QCheckBox* BlockContents;
    // Heights and numbers from the labels beside the points.
    QCheckBox* HeightsFromLabels;
    QDoubleSpinBox* HeightsWithin;
    QCheckBox* NumbersFromLabels;
    QDoubleSpinBox* NumbersWithin;
    QDoubleSpinBox* HeightOffset;
    QLineEdit* LabelLayers;
    QLineEdit* LabelTypes;
    QLineEdit* LabelPrefixes;
    QLineEdit* LabelUnits;
    QLabel* LabelError;
    // The two of every configuration; the main window stores them.
    QCheckBox* cbaligncodes;
    QCheckBox* cbmissingz;
    QPushButton* CloseButton;

  signals:
    // After each change of the configuration's options.
    void OptionsChanged();
    // "Pick...": the owner shows the layers of the selected drawings.
    void LayersWanted();

  private:
    // A pattern list is stored once it reads; till then the line says why not.
    void LayerPatternsEdited(QLineEdit* edit, std::string& stored);
    void StoreOptions();
    // The label options are stored once they read; till then the line says why not.
    void StoreLabelOptions();

    ExtendedOptions& options_;
};

}  // namespace korvel
