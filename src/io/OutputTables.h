#pragma once

#include "engine/ClassSetup.h"
#include "engine/DivisionState.h"

#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class QPainter;
class QRectF;

namespace fenban {

// A cell of an output table: a UTF-8 text or a number.
using OutputCell = std::variant<std::string, double>;

// A picture printed under a table (a workbook has none): `paint` draws it
// into the box it is given, as wide as the page and `aspect` times as high,
// under the line `title`.
struct OutputPicture {
    std::string title;
    double aspect = 0.5;
    std::function<void(QPainter&, const QRectF&)> paint;
};

// One table of an output: a sheet of the workbook, a section of the printed
// class lists. Rows may be wider than the header (columns added later carry
// a header text too) or narrower (missing cells are empty).
struct OutputTable {
    std::string name; // sheet name: "全部", "3班", "平均分"
    std::string title; // the line above the table on paper
    std::vector<std::string> header;
    std::vector<std::vector<OutputCell>> rows;
};

// The pictures printed below each table: entry i below table i (fewer entries: none).
using TablePictures = std::vector<std::vector<OutputPicture>>;

// The division as tables: the whole grade, one table per class, the averages.
struct DivisionTables {
    OutputTable grade;
    std::vector<OutputTable> classes;
    OutputTable averages;
};

// The tables of the last division. A listing has the columns 序号, 姓名, 性别,
// 班级 and the subjects (total first), headed by subjectNames (UTF-8,
// missing ones empty): all eleven but those at the end that have neither a
// name (other than spaces) nor any score other than 0, then the roster's
// extra columns (学号…) as texts. grade: every class list in class order, each in list
// order, then the roster's students that are in no class list; classes: one
// per class list, named 1班 … N班. averages: per class of the last
// statistics its number, boys (男), girls (女), size and subject averages
// (the double nearest their two decimals, as shown),
// then the grade's row (年级平均分) and per subject the gap between the
// highest and the lowest average of the classes that have students.
// With a set-up's names, a class's sheet bears its name and its title the name before the number.
DivisionTables MakeDivisionTables(
    const DivisionState& state, const std::vector<std::string>& subjectNames, const ClassSetup& names = {});

// The workbook's sheets: 全部, 1班 … N班, 平均分. A sheet has one 序号 column:
// a school's own 序号 goes where it numbers the rows as the sheet does, and
// stays as 原序号 where it differs.
std::vector<OutputTable> WorkbookTables(const DivisionTables& tables);

// The printed class lists: 1班 … N班, then 平均分.
std::vector<OutputTable> PrintedTables(const DivisionTables& tables);

// The text of a number cell: GeneralNumberText.
std::string CellText(const OutputCell& cell);

// Width of a text in columns: CJK and other wide characters count two.
int DisplayWidth(std::string_view utf8);

} // namespace fenban
