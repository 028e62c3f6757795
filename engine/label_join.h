// Heights and point numbers from the texts beside the points.
//
// While a pass reads its drawing, the join collects the points of the symbol
// types (POINT and INSERT unless set otherwise) and the TEXT and MTEXT
// labels; at the end each kind of label is joined to the points, fairly: the
// nearest pair in the whole drawing first, then the next nearest of what is
// left, so that a label between two points goes to the nearer one, and each
// label serves one point and each point takes one label of a kind. A pair
// whose point or label has another free candidate within 1 % of its
// distance is a tie: both are left unpaired. Then the pass writes its lines,
// each joined point with its label's height or number (see PointWriter).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/entity_types.h"
#include "engine/layer_patterns.h"
#include "engine/report_lines.h"
#include "settings/extended_options.h"

namespace korvel {

// An MTEXT text without its formatting: paragraph breaks (\P), hard blanks
// (\~) and control characters ("^J") as blanks, "\\", "\{" and "\}" as the character, braces and
// the codes with a value (\f...; \H...; and the like) left out.
std::string PlainMText(std::string_view text);

// The height a label's text reads as: blanks, at most one of the prefixes, a
// sign, digits with at most one decimal separator ("." or ","), at most one
// of the units, blanks. The decimal text of it ("12.37", "-4"), or empty
// when the text reads as none; with `needSeparator`, also for digits without
// a separator (those are point numbers then).
std::string HeightText(std::string_view text, const LabelOptions& options, bool needSeparator);

class LabelJoin {
  public:
    // Throws KorvelError for a layer pattern list that cannot be read.
    explicit LabelJoin(const LabelOptions& options);

    const LabelOptions& Options() const { return options_; }
    // Whether points of this type take labels.
    bool TakesLabels(EntityType type) const { return symbolTypes_[static_cast<std::size_t>(type)]; }

    // ---- While the drawing is read ----
    // The next point of a symbol type, where the data line would put it
    // (not a number: never joined).
    void AddPoint(std::string_view x, std::string_view y);
    // A TEXT or MTEXT entity: its insertion point, its text, its layer.
    void AddLabel(std::string_view x, std::string_view y, std::string_view text,
                  std::string_view layer);
    // Joins what was collected.
    void Join();

    // ---- While the lines are written ----
    // What the `index`th point of a symbol type takes: a Z text and a
    // Number text, each empty when it takes none; valid until the next call.
    struct Taken {
        std::string_view z, number;
    };
    Taken For(std::size_t index);
    // Where the point's line went (1 for the first line of the data file)
    // and the Number it shows, for the pairs file.
    void Written(std::size_t index, std::uint64_t dataLine, std::string_view number);

    // ---- Afterwards ----
    enum class Kind { Height, Number };
    struct Pair {
        Kind kind;
        std::size_t point;
        std::size_t label;
        double distance;
    };
    const std::vector<Pair>& Pairs() const { return pairs_; }
    std::size_t LabelCount() const { return labels_.size(); }
    double LabelX(std::size_t label) const { return labels_[label].x; }
    double LabelY(std::size_t label) const { return labels_[label].y; }
    // The label's text, trimmed.
    std::string_view LabelText(std::size_t label) const {
        return std::string_view(texts_).substr(labels_[label].at, labels_[label].textSize);
    }
    // Its height as HeightText reads it; empty for a number label.
    std::string_view LabelHeight(std::size_t label) const {
        const Label& l = labels_[label];
        return std::string_view(texts_).substr(l.at + l.textSize, l.heightSize);
    }
    struct WrittenPoint {
        std::uint64_t dataLine = 0;  // 0: not written
        std::string number;
    };
    const WrittenPoint& WrittenAs(std::size_t point) const { return written_[point]; }
    std::size_t PointCount() const { return points_.size(); }
    double PointX(std::size_t point) const { return points_[point].x; }
    double PointY(std::size_t point) const { return points_[point].y; }
    // The labels no point took, of the kinds asked for.
    std::vector<std::size_t> UnpairedLabels() const;
    // A note line for each kind asked for: pairs, points and labels left.
    void AppendReport(RunReport& report) const;

  private:
    struct Point {
        double x, y;
    };
    // Its texts stand in texts_ from `at`: the text, then the height.
    struct Label {
        double x, y;
        std::size_t at;
        std::uint32_t textSize, heightSize;
    };
    // The labels a point took, by index; kNone for none.
    static constexpr std::uint32_t kNone = UINT32_MAX;
    struct Took {
        std::uint32_t height = kNone, number = kNone;
    };
    struct Outcome {
        std::size_t paired = 0, pointsLeft = 0, labelsLeft = 0, ties = 0;
    };
    Outcome JoinKind(Kind kind, double within);

    LabelOptions options_;
    LayerPatterns layers_;
    std::string lastLayer_;
    bool layerJudged_ = false, lastLayerPasses_ = false;
    std::array<bool, kEntityTypeCount> symbolTypes_{};
    std::vector<Point> points_;
    std::vector<Label> labels_;
    std::string texts_;
    std::vector<Took> took_;
    std::string offsetHeight_;
    std::vector<WrittenPoint> written_;
    std::vector<Pair> pairs_;
    Outcome heights_, numbers_;
    std::size_t noHeights_ = 0;  // texts on the label layers that read as no height
};

}  // namespace korvel
