#include "EngineTestKit.h"

#include "engine/Division.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numeric>
#include <unordered_map>

namespace fenban::testkit {

PStudent AddStudent(
    DivisionState& state, std::string_view gender, std::initializer_list<long double> scores, std::string_view mark)
{
    auto student = std::make_unique<TStudent>();
    student->Name = "S" + std::to_string(state.Records.size());
    // An empty view may have no data, which ShortString would hand to memcpy.
    student->Gender = gender.empty() ? ShortString<2>() : ShortString<2>(gender);
    std::copy(scores.begin(), scores.end(), student->Scores.begin());
    student->Mark = mark.empty() ? ShortString<3>() : ShortString<3>(mark);
    state.FStudents.push_back(student.get());
    state.Records.push_back(std::move(student));
    return state.Records.back().get();
}

void MoveByHand(DivisionState& state, PStudent student, int target)
{
    const int old = student->ClassNo - 1;
    if (old == target)
        return;
    if (old >= 0 && old < static_cast<int>(state.FClasses.size())) {
        TStudentList& list = state.FClasses[old];
        const auto at = std::find(list.begin(), list.end(), student);
        if (at != list.end())
            list.erase(at);
    }
    state.FClasses[target].push_back(student);
    student->ClassNo = target + 1;
    student->Mark = ShortString<3>("F");
}

namespace {

long double RandomScore(std::mt19937_64& rng, ScoreKind kind, long double top)
{
    if (kind == ScoreKind::Mixed)
        kind = static_cast<ScoreKind>(rng() % 4);
    else if (kind == ScoreKind::Wild)
        kind = ScoreKind::OneDecimal;
    const int steps[] = {1, 2, 10, 100};
    const int step = steps[static_cast<int>(kind)];
    const auto units = static_cast<long long>(rng() % static_cast<unsigned long long>(top * step + 1));
    return static_cast<long double>(units) / step;
}

} // namespace

void FillRandomRoster(DivisionState& state, std::mt19937_64& rng, int students, ScoreKind kind)
{
    const std::string_view odd[] = {"", "M", "\xC4", "\xC4\xD1", "f"};
    std::vector<TSubjectValues> shared(3); // a few students share all scores
    for (TSubjectValues& values : shared)
        for (int s = 0; s < SubjectCount; ++s)
            values[s] = RandomScore(rng, kind, s == 0 ? 750.0L : 100.0L);

    TStudentList wildStudents;
    for (int i = 0; i < students; ++i) {
        const unsigned roll = rng() % 100;
        const bool wild = kind == ScoreKind::Wild && roll < 25;
        const std::string_view gender = wild ? "M" : roll < 47 ? Male : roll < 94 ? Female : odd[roll % 5];
        const std::string_view mark = rng() % 40 == 0 ? (rng() % 2 ? "f" : "X") : "";
        const PStudent student = AddStudent(state, gender, {}, mark);
        if (rng() % 10 == 0) {
            student->Scores = shared[rng() % shared.size()];
            continue;
        }
        for (int s = 0; s < SubjectCount; ++s)
            student->Scores[s] = RandomScore(rng, kind, s == 0 ? 750.0L : 100.0L);
        if (wild) { // in pairs of opposite signs, so that the grade averages stay small
            const long double huge = wildStudents.size() % 2 ? -(0x1p55L - 150) : (0x1p55L - 150);
            for (int s = 1; s < SubjectCount; ++s)
                student->Scores[s] += huge;
            wildStudents.push_back(student);
        }
    }
    if (wildStudents.size() % 2)
        for (int s = 1; s < SubjectCount; ++s)
            wildStudents.back()->Scores[s] -= 0x1p55L - 150;
}

DivisionState Clone(const DivisionState& state)
{
    return CopyOf(state);
}

bool SameBits(long double a, long double b)
{
    return std::memcmp(&a, &b, 10) == 0;
}

namespace {

std::unordered_map<PStudent, std::size_t> RecordIndex(const DivisionState& state)
{
    std::unordered_map<PStudent, std::size_t> index;
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        index[state.Records[i].get()] = i;
    return index;
}

bool SameTable(const std::vector<TSubjectValues>& a, const std::vector<TSubjectValues>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t c = 0; c < a.size(); ++c)
        for (int s = 0; s < SubjectCount; ++s)
            if (!SameBits(a[c][s], b[c][s]))
                return false;
    return true;
}

} // namespace

std::string FirstDifference(const DivisionState& a, const DivisionState& b)
{
    const auto indexA = RecordIndex(a);
    const auto indexB = RecordIndex(b);
    const auto sameList = [&](const TStudentList& x, const TStudentList& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
            [&](PStudent p, PStudent q) { return indexA.at(p) == indexB.at(q); });
    };
    if (a.Records.size() != b.Records.size())
        return "roster size";
    for (std::size_t i = 0; i < a.Records.size(); ++i)
        if (a.Records[i]->ClassNo != b.Records[i]->ClassNo || !(a.Records[i]->Mark == b.Records[i]->Mark))
            return "class number or mark of student " + std::to_string(i);
    if (!sameList(a.FStudents, b.FStudents))
        return "roster order";
    if (a.FClasses.size() != b.FClasses.size())
        return "number of class lists";
    for (std::size_t c = 0; c < a.FClasses.size(); ++c)
        if (!sameList(a.FClasses[c], b.FClasses[c]))
            return "list of class " + std::to_string(c + 1);
    if (!SameTable(a.FClassAvg, b.FClassAvg) || !SameTable(a.FClassDev, b.FClassDev)
        || !SameTable({a.FDevSum, a.FGradeAvg}, {b.FDevSum, b.FGradeAvg}))
        return "statistics";
    return {};
}

std::vector<PStudent> RankedByHand(const DivisionState& state)
{
    std::vector<PStudent> ranked;
    for (const auto& record : state.Records)
        if (record->ClassNo >= 1 && record->ClassNo <= static_cast<int>(state.FClasses.size()))
            ranked.push_back(record.get());
    std::stable_sort(
        ranked.begin(), ranked.end(), [](const TStudent* a, const TStudent* b) { return a->Scores[0] > b->Scores[0]; });
    return ranked;
}

namespace {

int Share(int n, int percent)
{
    return n == 0 ? 0 : std::max(1, static_cast<int>(std::floor(n * percent / 100.0 + 0.5)));
}

} // namespace

CountedBalance CountBalanceByHand(const DivisionState& state, int classes, int bands)
{
    CountedBalance counted;
    const std::vector<PStudent> ranked = RankedByHand(state);
    const auto n = static_cast<int>(ranked.size());
    counted.students = n;
    counted.topFivePercent = Share(n, 5);
    std::map<const TStudent*, int> rank;
    for (int r = 0; r < n; ++r)
        rank[ranked[static_cast<std::size_t>(r)]] = r;
    double gradeSum = 0;
    for (const TStudent* s : ranked)
        gradeSum += static_cast<double>(s->Scores[0]);
    double gradeSquares = 0;
    for (const TStudent* s : ranked)
        gradeSquares += std::pow(static_cast<double>(s->Scores[0]) - gradeSum / n, 2);
    counted.gradeDeviation = n == 0 ? 0 : std::sqrt(gradeSquares / n);

    for (int c = 0; c < classes; ++c) {
        const TStudentList& list = state.FClasses[static_cast<std::size_t>(c)];
        CountedClass& row = counted.classes.emplace_back();
        double sum = 0;
        for (const PStudent s : list) {
            row.boys += s->Gender == ShortString<2>(Male);
            row.girls += s->Gender == ShortString<2>(Female);
            sum += static_cast<double>(s->Scores[0]);
            const int r = rank.at(s);
            row.topFivePercent += r < Share(n, 5);
            row.topTenPercent += r < Share(n, 10);
            row.bottomTenPercent += r >= n - Share(n, 10);
            row.topN += r < classes;
        }
        double squares = 0;
        for (const PStudent s : list)
            squares += std::pow(static_cast<double>(s->Scores[0]) - sum / list.size(), 2);
        row.size = static_cast<int>(list.size());
        row.mean = list.empty() ? 0 : sum / list.size();
        row.deviation = list.empty() ? 0 : std::sqrt(squares / list.size());
    }
    if (bands <= 0)
        return counted;

    // Each gender's ranked students cut into equal bands.
    std::map<std::string, std::vector<PStudent>> byGender;
    for (const PStudent s : ranked)
        byGender[std::string(s->Gender.view())].push_back(s);
    for (const auto& [gender, list] : byGender) {
        std::vector<std::vector<int>> counts(static_cast<std::size_t>(bands), std::vector<int>(classes, 0));
        for (std::size_t at = 0; at < list.size(); ++at)
            ++counts[at * static_cast<std::size_t>(bands) / list.size()]
                    [static_cast<std::size_t>(list[at]->ClassNo - 1)];
        for (int b = 0; b < bands; ++b) {
            const std::vector<int>& band = counts[static_cast<std::size_t>(b)];
            const int k = std::accumulate(band.begin(), band.end(), 0);
            counted.worstBandDifference = std::max(counted.worstBandDifference,
                *std::max_element(band.begin(), band.end()) - *std::min_element(band.begin(), band.end()));
            for (int c = 0; c < classes; ++c) {
                const int count = band[static_cast<std::size_t>(c)];
                if (count < k / classes || count > (k + classes - 1) / classes)
                    counted.bandsOutOfBounds.push_back({gender, b, c + 1, count});
            }
        }
    }
    return counted;
}

} // namespace fenban::testkit
