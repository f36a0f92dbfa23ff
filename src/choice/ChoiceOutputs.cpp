#include "choice/ChoiceOutputs.h"

#include "roster/Gb18030.h"

#include <map>

namespace fenban {

namespace {

std::string GroupMembersText(const PlanGroup& group)
{
    std::string text;
    for (const auto& [combination, count] : group.members)
        text += (text.empty() ? "" : "、") + CombinationName(combination) + " " + std::to_string(count);
    return text;
}

std::string ClassRangeText(const std::vector<std::string>& names, std::size_t first, int count)
{
    if (count == 1)
        return names[first];
    return names[first] + "—" + names[first + static_cast<std::size_t>(count) - 1];
}

} // namespace

OutputTable PlanTable(const ChoicePlan& plan)
{
    OutputTable table {"方案", "选科分班方案（" + std::string(ChoiceModelName(plan.request.model)) + "）",
        {"组合", "类型", "人数", "班数", "班级", "走班学科", "走班人次"}, {}};
    const std::vector<std::string> names = HomeClassNames(plan);
    std::size_t first = 0;
    for (const PlanGroup& group : plan.groups) {
        const SubjectSet walking = group.walkingSubjects();
        table.rows.push_back({GroupMembersText(group), group.kindName(), static_cast<double>(group.size()),
            static_cast<double>(group.classes), ClassRangeText(names, first, group.classes),
            walking == 0 ? std::string("—") : SubjectListText(walking), static_cast<double>(group.walkingPairs())});
        first += static_cast<std::size_t>(group.classes);
    }
    return table;
}

OutputTable PlanSummaryTable(const ChoicePlan& plan, std::size_t leftOut)
{
    OutputTable table {"汇总", "选科分班汇总", {"项目", "数量"}, {}};
    int students = 0;
    for (const PlanGroup& group : plan.groups)
        students += group.size();
    table.rows.push_back({std::string("学生"), static_cast<double>(students)});
    table.rows.push_back({std::string("教室（行政班）"), static_cast<double>(plan.classCount())});
    table.rows.push_back({std::string("每班人数上限"), static_cast<double>(plan.request.limit)});
    table.rows.push_back({std::string("班级人数相差"), static_cast<double>(plan.sizeSpread())});
    table.rows.push_back({std::string("走班人次"), static_cast<double>(plan.walkingPairs())});
    for (const WalkingSubject& subject : WalkingSubjects(plan))
        table.rows.push_back({std::string(ElectiveName(subject.subject)) + "走班",
            std::to_string(subject.students) + " 人，" + std::to_string(subject.teachingClasses) + " 个教学班"});
    if (leftOut > 0)
        table.rows.push_back({std::string("选科有误未分班"), static_cast<double>(leftOut)});
    if (!plan.note.empty())
        table.rows.push_back({std::string("说明"), plan.note});
    return table;
}

ChoiceTables MakeChoiceTables(const Division& division)
{
    const PlanDivision& plan = *division.choiceDivision();
    const DivisionState& state = division.state();
    ChoiceTables tables;
    std::size_t leftOut = 0;
    for (const SubjectSet combination : plan.combinations)
        leftOut += combination == 0 ? 1 : 0;
    tables.plan = PlanTable(plan.plan);
    tables.summary = PlanSummaryTable(plan.plan, leftOut);
    tables.division = MakeDivisionTables(state, division.settings().subjectNames);

    std::map<const TStudent*, std::size_t> recordOf;
    for (std::size_t i = 0; i < state.Records.size(); ++i)
        recordOf.emplace(state.Records[i].get(), i);
    const auto combinationOf = [&](const TStudent* student) {
        const std::size_t i = recordOf.at(student);
        return i < plan.combinations.size() ? CombinationName(plan.combinations[i]) : std::string();
    };
    // The grade lists the classes in order, then the students in none; each
    // class table lists its class: rows follow the lists.
    std::vector<const TStudent*> gradeOrder;
    for (std::size_t c = 0; c < state.FClasses.size() && c < tables.division.classes.size(); ++c) {
        OutputTable& table = tables.division.classes[c];
        const std::string& name = plan.classNames[c];
        table.title = name + table.title.substr(table.title.find("　"));
        table.name = name;
        table.header.push_back("组合");
        for (std::size_t k = 0; k < state.FClasses[c].size() && k < table.rows.size(); ++k) {
            table.rows[k].resize(table.header.size() - 1, std::string());
            table.rows[k].emplace_back(combinationOf(state.FClasses[c][k]));
        }
        gradeOrder.insert(gradeOrder.end(), state.FClasses[c].begin(), state.FClasses[c].end());
    }
    for (const PStudent student : state.FStudents)
        if (student->ClassNo == 0)
            gradeOrder.push_back(student);
    OutputTable& grade = tables.division.grade;
    grade.header.push_back("组合");
    for (std::size_t k = 0; k < grade.rows.size() && k < gradeOrder.size(); ++k) {
        grade.rows[k].resize(grade.header.size() - 1, std::string());
        grade.rows[k].emplace_back(combinationOf(gradeOrder[k]));
    }

    for (const TeachingClass& teaching : plan.teaching) {
        OutputTable& table = tables.teaching.emplace_back();
        table.name = TeachingClassName(teaching);
        table.title = table.name + "　" + std::to_string(teaching.records.size()) + " 人";
        table.header = {"序号", "姓名", "性别", "行政班", "组合", "总分"};
        for (const std::size_t i : teaching.records) {
            const TStudent& student = *state.Records[i];
            const int home = student.ClassNo;
            table.rows.push_back({static_cast<double>(table.rows.size() + 1), Gb18030ToUtf8(student.Name),
                Gb18030ToUtf8(student.Gender.view()),
                home > 0 ? plan.classNames[static_cast<std::size_t>(home - 1)] : std::string(),
                CombinationName(plan.combinations[i]), static_cast<double>(student.Scores[0])});
        }
    }
    return tables;
}

std::vector<OutputTable> ChoiceWorkbookTables(const ChoiceTables& tables)
{
    std::vector<OutputTable> sheets {tables.plan, tables.summary};
    std::vector<OutputTable> division = WorkbookTables(tables.division);
    OutputTable averages = std::move(division.back());
    division.pop_back();
    sheets.insert(sheets.end(), division.begin(), division.end());
    sheets.insert(sheets.end(), tables.teaching.begin(), tables.teaching.end());
    sheets.push_back(std::move(averages));
    return sheets;
}

std::vector<OutputTable> ChoicePrintedTables(const ChoiceTables& tables)
{
    std::vector<OutputTable> printed {tables.plan, tables.summary};
    printed.insert(printed.end(), tables.division.classes.begin(), tables.division.classes.end());
    printed.insert(printed.end(), tables.teaching.begin(), tables.teaching.end());
    printed.push_back(tables.division.averages);
    return printed;
}

} // namespace fenban
