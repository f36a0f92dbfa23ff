#include "engine/Division.h"

#include <algorithm>

namespace fenban {

void EndDivision(DivisionState& state)
{
    for (TStudentList& list : state.FClasses)
        list.clear();
    state.FWorkClasses.clear();
    state.FGroupA.clear();
    state.FGroupB.clear();
    state.FClassAvg.clear();
    state.FClassDev.clear();
    state.FStudents.clear();
    state.Records.clear();
}

void ResizeClassLists(DivisionState& state, int classCount)
{
    state.FClasses.resize(static_cast<std::size_t>(std::max(classCount, 0)));
}

} // namespace fenban
