#pragma once

#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"
#include "engine/RankGroups.h"

#include <array>
#include <string>
#include <vector>

namespace fenban {

// How evenly a division spreads its students, counted from the class lists:
// what the balance tab, the status line, the workbook sheet and the printed
// page show. Ranks are by 总分 (score column 0), higher first, equal scores
// in roster order; standard deviations are over n. A count "in bounds" lies
// within ⌊k/N⌋..⌈k/N⌉ of its group's k students over N classes.
struct BalanceReport {
    struct Row {
        int size = 0, boys = 0, girls = 0;
        double mean = 0; // of 总分
        double deviation = 0; // standard deviation of 总分
        int topN = 0, top2N = 0, topFivePercent = 0, topTenPercent = 0, bottomTenPercent = 0;
        // The largest |class average − grade average| over the score columns in use, and its column.
        double largestGap = 0;
        int largestGapColumn = -1;
        // Out of bounds: the deviation more than 5 % from the grade's, the counts outside the fair share.
        bool deviationOut = false, topFivePercentOut = false, topTenPercentOut = false, bottomTenPercentOut = false;
    };
    // A rank group whose count in a class lies outside its bounds.
    struct BandBreach {
        RankGroup group; // its kind, gender and band (records left out)
        int classNo = 0; // 1-based
        int count = 0, low = 0, high = 0;
        // School rules leave no division with this group closer to its bounds (MarkForcedBreaches).
        bool forced = false;
        // What forces it, by rule and students: "固定：张三；同班：李四、王五" (MarkForcedBreaches).
        std::string cause;
    };
    struct Range {
        int low = 0, high = 0;
        int Width() const { return high - low; }
    };

    int classCount = 0;
    std::vector<Row> classes; // index = class number - 1
    Row grade; // the whole grade: its size, genders, mean, deviation; counts are the groups' sizes
    std::array<bool, 11> columnUsed {}; // score columns holding a score other than 0
    std::array<double, 11> columnGap {}; // highest minus lowest class average per column
    // The groups' sizes k.
    int topNSize = 0, top2NSize = 0, topFivePercentSize = 0, topTenPercentSize = 0, bottomTenPercentSize = 0;
    // Ranges of the counts over the classes (the deviation's in points).
    Range topN, top2N, topFivePercent, topTenPercent, bottomTenPercent;
    double lowestDeviation = 0, highestDeviation = 0;
    // Per band group of every gender: the largest difference between two
    // classes' counts, the worst of them, and the counts out of bounds (with bands).
    int bands = 0;
    int worstBandDifference = 0;
    std::vector<BandBreach> breaches;

    // With a 班级设置, its groups, each counted as a division of its own: the
    // rows of `classes`, `breaches` and `worstBandDifference` are then the
    // groups' (a class against its group's means and fair shares); `grade`
    // and the ranges stay the whole grade's. Empty without one.
    struct Block {
        std::string name; // "实验班", "平行班" …
        std::vector<int> classes; // class indices, ascending
        Row group; // the group's students, as `grade` is the grade's
        std::array<double, 11> columnGap {}; // highest minus lowest class average of the group per column
    };
    std::vector<Block> blocks;

    // The deviation's allowance around the grade's, as a share.
    static constexpr double DeviationShare = 0.05;
};

// The report of the division in FClasses at classCount (lists beyond it are
// left out); bands: score bands per gender, 0 for none.
BalanceReport MakeBalanceReport(const DivisionState& state, int classCount, int bands);

// Marks the breaches the school rules and hand moves force. 固定 and
// hand-placed students stay where they stand, a 同班 group holding one of
// them stays with it, any other 同班 group counts whole in the class where it
// stands, and every class keeps its count of each gender (exchanges never
// change it). A breach is forced when those students alone put its class out
// of bounds, or when no division keeping them could leave its group (for a
// band: all the bands of its gender together) less far out of bounds.
// A forced breach's cause names the students held in place that make it, by
// their rule: those of its group in its class when it holds too many, those
// of other groups filling its places when it holds too few (failing those,
// the ones of the same kind in the other classes).
void MarkForcedBreaches(BalanceReport& report, const DivisionState& state, const DivisionRules& rules);

// A breach's fair share as written: "2–3", or "1" where both bounds are one.
std::string BoundsText(const BalanceReport::BandBreach& breach);

// The text of the status line's figure: "分数段最大差 1"; empty without bands.
// With counts out of bounds it adds how many and whether the rules force them.
std::string WorstBandText(const BalanceReport& report);

} // namespace fenban
