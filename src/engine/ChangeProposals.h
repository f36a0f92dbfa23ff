#pragma once

#include "common/Failure.h"
#include "engine/DivisionRules.h"
#include "engine/DivisionState.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fenban {

// Changes after a division (a late student placed, a requested move, a class
// evened after a leaver) weighed the way the balance panel weighs a
// division: sizes, boys and girls, the school rules, the score bands and the
// total deviation as shown (two decimals).

// A change no class can take (the message says why, in Chinese).
class ChangeRefused : public Failure {
public:
    using Failure::Failure;
};

// A student (index into Records) going to a class (1..N).
struct Placement {
    int record = 0;
    int classNo = 0;
    friend bool operator==(const Placement&, const Placement&) = default;
};

// A division's figures as the balance panel shows them.
struct ChangeFigures {
    long long totalHundredths = 0; // 总偏差: Σ over classes and score columns of |class − grade| as shown
    double largestGap = 0; // the largest difference of two classes' averages in a score column in use
    int largestGapColumn = -1; // 0 = 总分
    int bandsOut = 0; // (rank group, class) counts outside ⌊k/N⌋..⌈k/N⌉
    int sizeSpread = 0; // largest class minus smallest (of a group, over the set sizes)
};

// What a class holds after a change, for the student the change places there.
struct ClassShare {
    int classNo = 0;
    int sizeBefore = 0, size = 0, boys = 0, girls = 0;
    int band = -1; // the student's score band of his gender (0 = the best), -1 without bands
    int bandCount = 0, bandLow = 0, bandHigh = 0; // that band's students in the class, and their fair share
};

// One way of making a change: its placements in order and its figures.
struct Proposal {
    std::vector<Placement> moves;
    std::vector<ClassShare> shares; // per move, the class it goes to
    ChangeFigures before, after;
    bool gendersKept = true; // boys and girls per class still within one (or no further apart)
    int exchangeFirst = -1, exchangeSecond = -1; // 允许一次交换: the two students exchanged, else -1
};

// Late students placed together. `best` places every one (and the exchange,
// when allowed and it lowers the deviation); `choices` holds for each
// newcomer up to three classes, best first, the others placed as in `best`.
struct ArrivalPlan {
    Proposal best;
    std::vector<std::vector<Proposal>> choices;
};

// A requested move: partners who move back (at most five, best first), the
// move alone when sizes stay within one, or why neither is possible.
struct MovePlan {
    std::vector<Proposal> partners;
    bool aloneAllowed = false;
    Proposal alone;
    std::string refusal; // Chinese; empty when some way exists
};

// The groups of a class set-up that changes keep (none: every class one
// group of size targets 0). A student goes only to a class of his group
// (a requested move across groups is refused), exchanges stay within a
// group, and sizes are counted against the set ones: a class's surplus is its
// size minus its target, and "sizes within one" means surpluses within one
// among the classes of a group.
struct ChangeGroups {
    std::vector<int> groupOfClass; // class index -> group
    std::vector<int> groupOfRecord; // record index -> his group; -1: any
    std::vector<std::string> names; // group -> "实验班", "平行班" …
    std::vector<int> targets; // class index -> its set size
    std::vector<std::string> classNames; // class index -> its name; empty: "3 班"

    bool empty() const { return groupOfClass.empty(); }
};

// The division to weigh changes on: every record of `state` placed in one of
// its classCount class lists, but `newcomers` (indices into Records, in no
// list yet). `bands`: score bands per gender (0: none; rank groups are then
// left out). Rules name students by index into Records, newcomers included.
class ChangeWeigher {
public:
    ChangeWeigher(const DivisionState& state, int classCount, const DivisionRules& rules, int bands,
        const std::vector<int>& newcomers = {}, ChangeGroups groups = {});
    ~ChangeWeigher();
    ChangeWeigher(const ChangeWeigher&) = delete;
    ChangeWeigher& operator=(const ChangeWeigher&) = delete;

    // Late students, in this order (a batch is placed together).
    ArrivalPlan placeArrivals(bool allowExchange) const;
    // The student `record` into class `target`.
    MovePlan requestMove(int record, int target) const;
    // After a leaver: when two classes of a group differ by two or more (in
    // surplus over their set sizes), the one move from a fullest class of the
    // group into an emptiest that evens them with the least deviation; none
    // when sizes are within one or no move keeps the rules.
    std::vector<Proposal> evenSizes() const;

    // The figures of the division as it stands, and after `moves`.
    ChangeFigures figures() const;
    ChangeFigures figuresAfter(const std::vector<Placement>& moves) const;
    // Whether `moves` leave every rule that holds now holding.
    bool keepsRules(const std::vector<Placement>& moves) const;

private:
    // The one exchange of two same-gender, same-band students between classes
    // not in `excluded` that lowers the deviation most, keeping the rules.
    std::optional<std::pair<int, int>> bestExchange(const std::set<int>& excluded) const;

    struct Model;
    std::unique_ptr<Model> model_;
};

} // namespace fenban
