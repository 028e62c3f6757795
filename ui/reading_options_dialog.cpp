#include "ui/reading_options_dialog.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "engine/label_join.h"
#include "engine/layer_patterns.h"
#include "settings/korvel_error.h"

namespace korvel {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename W>
W* Named(W* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(QString::fromLatin1(name));
    if (hint != nullptr) widget->setToolTip(QString::fromLatin1(hint));
    return widget;
}

}  // namespace

ReadingOptionsDialog::ReadingOptionsDialog(QWidget* owner, ExtendedOptions& options)
    : QDialog(owner), options_(options) {
    setObjectName(QStringLiteral("ReadingOptionsDialog"));
    setWindowTitle(QStringLiteral("Reading drawings"));
    auto* layout = new QVBoxLayout(this);

    auto* layers = Named(new QGroupBox(QStringLiteral("Layers"), this), "LayerGroup");
    auto* layerForm = new QFormLayout(layers);
    IncludeLayers = Named(new QLineEdit(layers), "IncludeLayers",
                          "Patterns of the layers to take, comma-separated: * any text, "
                          "? one character, [A-C] one of a set; empty: every layer");
    PickLayers = Named(new QPushButton(QStringLiteral("Pick..."), layers), "PickLayers",
                       "Choose from the layers of the selected drawings");
    auto* includeRow = new QHBoxLayout;
    includeRow->addWidget(IncludeLayers);
    includeRow->addWidget(PickLayers);
    layerForm->addRow(QStringLiteral("Take only the layers:"), includeRow);
    ExcludeLayers = Named(new QLineEdit(layers), "ExcludeLayers",
                          "Patterns of the layers to leave out, comma-separated");
    layerForm->addRow(QStringLiteral("Leave out the layers:"), ExcludeLayers);
    LayerPatternError = Named(new QLabel(layers), "LayerPatternError");
    LayerPatternError->setStyleSheet(QStringLiteral("color: #b00000"));
    layerForm->addRow(LayerPatternError);
    VisibleLayersOnly =
        Named(new QCheckBox(QStringLiteral("Skip layers that are off or frozen"), layers),
              "VisibleLayersOnly");
    ModelSpaceOnly = Named(new QCheckBox(QStringLiteral("Model space only"), layers),
                           "ModelSpaceOnly", "Leave out the entities in paper space");
    layerForm->addRow(VisibleLayersOnly);
    layerForm->addRow(ModelSpaceOnly);
    layout->addWidget(layers);

    auto* attributes =
        Named(new QGroupBox(QStringLiteral("Block attributes"), this), "AttributeGroup");
    auto* attributeForm = new QFormLayout(attributes);
    NumberTag = Named(new QLineEdit(attributes), "NumberTag",
                      "The tag of the attribute that numbers an INSERT's point");
    ZTag = Named(new QLineEdit(attributes), "ZTag", "The tag of the attribute that gives its Z");
    TextTag = Named(new QLineEdit(attributes), "TextTag",
                    "The tag of the attribute that gives the Code's text element");
    attributeForm->addRow(QStringLiteral("Number from the attribute:"), NumberTag);
    attributeForm->addRow(QStringLiteral("Z from the attribute:"), ZTag);
    attributeForm->addRow(QStringLiteral("Text from the attribute:"), TextTag);
    layout->addWidget(attributes);

    auto* blocks = Named(new QGroupBox(QStringLiteral("Blocks"), this), "BlockGroup");
    auto* blockLayout = new QVBoxLayout(blocks);
    BlockContents = Named(new QCheckBox(QStringLiteral("Points of the entities inside inserted "
                                                       "blocks, where the drawing shows them"),
                                        blocks),
                          "BlockContents");
    blockLayout->addWidget(BlockContents);
    layout->addWidget(blocks);

    auto* labels = Named(new QGroupBox(QStringLiteral("Labels"), this), "LabelGroup");
    auto* labelForm = new QFormLayout(labels);
    const auto distance = [labels](const char* name, const char* hint) {
        auto* box = Named(new QDoubleSpinBox(labels), name, hint);
        box->setRange(0.001, 1e6);
        box->setDecimals(3);
        box->setValue(1);
        box->setSuffix(QStringLiteral(" units"));
        return box;
    };
    HeightsFromLabels = Named(
        new QCheckBox(QStringLiteral("Heights from labels, within"), labels), "HeightsFromLabels",
        "Each point of the types below takes as Z the number of the nearest TEXT or "
        "MTEXT (\"12.37\", \"+12,37\", \"Z=12.37m\") within this distance");
    HeightsWithin = distance("HeightsWithin", "How far a height label may stand from its point");
    labelForm->addRow(HeightsFromLabels, HeightsWithin);
    NumbersFromLabels = Named(
        new QCheckBox(QStringLiteral("Numbers from labels, within"), labels), "NumbersFromLabels",
        "The text of the nearest label within this distance takes the place of the "
        "running number");
    NumbersWithin = distance("NumbersWithin", "How far a number label may stand from its point");
    labelForm->addRow(NumbersFromLabels, NumbersWithin);
    HeightOffset = Named(new QDoubleSpinBox(labels), "HeightOffset",
                         "Added to every height a label gives, for labels that leave out the "
                         "hundreds");
    HeightOffset->setRange(-1e6, 1e6);
    HeightOffset->setDecimals(3);
    labelForm->addRow(QStringLiteral("Add to every height:"), HeightOffset);
    LabelLayers = Named(new QLineEdit(labels), "LabelLayers",
                        "Patterns of the layers whose texts are labels; empty: every layer");
    labelForm->addRow(QStringLiteral("Labels on the layers:"), LabelLayers);
    LabelTypes = Named(new QLineEdit(labels), "LabelTypes",
                       "The entity types whose points take labels, comma-separated, e.g. "
                       "POINT, INSERT, CIRCLE");
    labelForm->addRow(QStringLiteral("Points of the types:"), LabelTypes);
    LabelPrefixes = Named(new QLineEdit(labels), "LabelPrefixes",
                          "What may stand before a height's number, comma-separated");
    labelForm->addRow(QStringLiteral("Before a height:"), LabelPrefixes);
    LabelUnits = Named(new QLineEdit(labels), "LabelUnits",
                       "What may stand after a height's number, comma-separated");
    labelForm->addRow(QStringLiteral("After a height:"), LabelUnits);
    LabelError = Named(new QLabel(labels), "LabelError");
    LabelError->setStyleSheet(QStringLiteral("color: #b00000"));
    labelForm->addRow(LabelError);
    layout->addWidget(labels);

    auto* reading =
        Named(new QGroupBox(QStringLiteral("For every configuration"), this), "ReadingGroup");
    auto* readingLayout = new QVBoxLayout(reading);
    cbaligncodes = Named(new QCheckBox(QStringLiteral("Read group codes that are not "
                                                      "right-aligned"),
                                       reading),
                         "cbaligncodes",
                         "Also read drawings whose group codes are written flush left or in "
                         "other widths");
    cbmissingz = Named(new QCheckBox(QStringLiteral("Take a missing Z coordinate as 0"), reading),
                       "cbmissingz",
                       "Read points of 2D drawings that leave out the Z coordinate (group 30 "
                       "or 31) as lying at Z = 0");
    readingLayout->addWidget(cbaligncodes);
    readingLayout->addWidget(cbmissingz);
    layout->addWidget(reading);

    CloseButton = Named(new QPushButton(QStringLiteral("Close"), this), "CloseButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(IncludeLayers, &QLineEdit::textEdited, this,
            [this] { LayerPatternsEdited(IncludeLayers, options_.layers.include); });
    connect(ExcludeLayers, &QLineEdit::textEdited, this,
            [this] { LayerPatternsEdited(ExcludeLayers, options_.layers.exclude); });
    for (QLineEdit* edit : {NumberTag, ZTag, TextTag})
        connect(edit, &QLineEdit::textEdited, this, &ReadingOptionsDialog::StoreOptions);
    for (QCheckBox* box : {VisibleLayersOnly, ModelSpaceOnly, BlockContents})
        connect(box, &QCheckBox::toggled, this, &ReadingOptionsDialog::StoreOptions);
    connect(PickLayers, &QPushButton::clicked, this, &ReadingOptionsDialog::LayersWanted);
    for (QCheckBox* box : {HeightsFromLabels, NumbersFromLabels})
        connect(box, &QCheckBox::toggled, this, &ReadingOptionsDialog::StoreLabelOptions);
    for (QDoubleSpinBox* box : {HeightsWithin, NumbersWithin, HeightOffset})
        connect(box, &QDoubleSpinBox::valueChanged, this, &ReadingOptionsDialog::StoreLabelOptions);
    for (QLineEdit* edit : {LabelLayers, LabelTypes, LabelPrefixes, LabelUnits})
        connect(edit, &QLineEdit::textEdited, this, &ReadingOptionsDialog::StoreLabelOptions);
}

void ReadingOptionsDialog::TakePickedLayers(const std::string& patterns) {
    IncludeLayers->setText(FromUtf8(patterns));
    LayerPatternsEdited(IncludeLayers, options_.layers.include);
}

void ReadingOptionsDialog::ShowOptions() {
    const QSignalBlocker blocks[] = {QSignalBlocker(VisibleLayersOnly),
                                     QSignalBlocker(ModelSpaceOnly), QSignalBlocker(BlockContents)};
    IncludeLayers->setText(FromUtf8(options_.layers.include));
    ExcludeLayers->setText(FromUtf8(options_.layers.exclude));
    LayerPatternError->clear();
    VisibleLayersOnly->setChecked(options_.layers.visibleOnly);
    ModelSpaceOnly->setChecked(options_.layers.modelSpaceOnly);
    NumberTag->setText(FromUtf8(options_.attributes.number));
    ZTag->setText(FromUtf8(options_.attributes.z));
    TextTag->setText(FromUtf8(options_.attributes.text));
    BlockContents->setChecked(options_.blockContents);

    const LabelOptions& labels = options_.labels;
    const QSignalBlocker labelBlocks[] = {
        QSignalBlocker(HeightsFromLabels), QSignalBlocker(HeightsWithin),
        QSignalBlocker(NumbersFromLabels), QSignalBlocker(NumbersWithin),
        QSignalBlocker(HeightOffset)};
    HeightsFromLabels->setChecked(labels.heightsWithin > 0);
    if (labels.heightsWithin > 0) HeightsWithin->setValue(labels.heightsWithin);
    NumbersFromLabels->setChecked(labels.numbersWithin > 0);
    if (labels.numbersWithin > 0) NumbersWithin->setValue(labels.numbersWithin);
    HeightsWithin->setEnabled(labels.heightsWithin > 0);
    NumbersWithin->setEnabled(labels.numbersWithin > 0);
    HeightOffset->setValue(labels.heightOffset);
    LabelLayers->setText(FromUtf8(labels.layers));
    LabelTypes->setText(FromUtf8(TextListText(labels.pointTypes)));
    LabelPrefixes->setText(FromUtf8(TextListText(labels.prefixes)));
    LabelUnits->setText(FromUtf8(TextListText(labels.units)));
    LabelError->clear();
}

void ReadingOptionsDialog::StoreLabelOptions() {
    HeightsWithin->setEnabled(HeightsFromLabels->isChecked());
    NumbersWithin->setEnabled(NumbersFromLabels->isChecked());
    LabelOptions labels;
    labels.heightsWithin = HeightsFromLabels->isChecked() ? HeightsWithin->value() : 0;
    labels.numbersWithin = NumbersFromLabels->isChecked() ? NumbersWithin->value() : 0;
    labels.heightOffset = HeightOffset->value();
    labels.layers = Utf8(LabelLayers->text().trimmed());
    labels.pointTypes = TextList(Utf8(LabelTypes->text()));
    labels.prefixes = TextList(Utf8(LabelPrefixes->text()));
    labels.units = TextList(Utf8(LabelUnits->text()));
    try {
        LabelJoin check(labels);
    } catch (const KorvelError& e) {
        LabelError->setText(QString::fromUtf8(e.what()));
        return;
    }
    LabelError->clear();
    if (labels == options_.labels) return;
    options_.labels = labels;
    emit OptionsChanged();
}

void ReadingOptionsDialog::LayerPatternsEdited(QLineEdit* edit, std::string& stored) {
    const std::string text = Utf8(edit->text());
    try {
        LayerPatterns patterns(text);
    } catch (const KorvelError& e) {
        LayerPatternError->setText(QString::fromUtf8(e.what()));
        return;
    }
    LayerPatternError->clear();
    stored = text;
    emit OptionsChanged();
}

void ReadingOptionsDialog::StoreOptions() {
    options_.layers.visibleOnly = VisibleLayersOnly->isChecked();
    options_.layers.modelSpaceOnly = ModelSpaceOnly->isChecked();
    options_.attributes = {Utf8(NumberTag->text().trimmed()), Utf8(ZTag->text().trimmed()),
                           Utf8(TextTag->text().trimmed())};
    options_.blockContents = BlockContents->isChecked();
    emit OptionsChanged();
}

}  // namespace korvel
