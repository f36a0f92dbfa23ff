#pragma once

#include "audit/OperationRecord.h"
#include "common/FileSaving.h"
#include "io/OutputTables.h"
#include "roster/ExtraColumns.h"

#include <QDate>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

// The record (操作记录) as a table: 序号, 时间, 操作, 内容; printed as the
// last page of the class lists' PDF (append it to PrintedTables).
OutputTable RecordTable(const OperationRecord& record);
// The class lists as printed (PrintedTables), the record's page last when it holds a step.
std::vector<OutputTable> PrintedTablesWithRecord(const DivisionTables& tables, const OperationRecord& record);

// Puts each class's teacher into its title (班级 3　男 24　女 25　共 49　班主任：王芳);
// teachers[k] is the teacher of class k + 1, missing or empty ones leave the title.
void AddTeachersToTitles(DivisionTables& tables, const std::vector<std::string>& teachers);

enum class NoticeOrder {
    List, // as the class list stands
    Name, // by name, in Chinese order (OrderByName)
};

// What a posted list (公示名单) shows besides its classes.
struct NoticeOptions {
    bool maskNames = false; // MaskName: 张*、张*明、欧阳**
    NoticeOrder order = NoticeOrder::List;
    std::string heading = "分班公示名单"; // above every class, UTF-8
    std::string resultFingerprint; // the footer's; empty: left out
    std::string earlierFingerprint; // a posting of changes: the result before them; empty: left out
    std::string seedText; // empty: left out
    QDate date; // invalid: left out
    bool signatures = true; // the lines for 监督人 and 经办人
    // The roster's extra columns (学号…) posted, by index, after 性别.
    std::vector<std::size_t> extraColumns;
};

// Whether an extra column is posted unless the user says otherwise: not the
// table's own 序号 (the notice numbers its rows), nor one that may hold what
// must not hang on a notice board (身份证号, 电话, 住址, 备注…).
bool PostedByDefault(std::string_view header);
// The extra columns posted by default.
std::vector<std::size_t> DefaultPostedColumns(const RosterExtraTexts& extras);

// One posted class: its table (序号, 姓名, 性别, the chosen extra columns; no
// scores, no rule columns), titled with the class and its teacher, if any.
// With a set-up's names, each posted class bears its name.
std::vector<OutputTable> NoticeTables(const DivisionState& state, const std::vector<std::string>& teachers,
    const NoticeOptions& options, const ClassSetup& names = {});

// The lines under every posted class: 结果指纹, 种子, 日期 as given.
std::vector<std::string> NoticeFooter(const NoticeOptions& options);

// "2026年12月8日".
std::string NoticeDateText(const QDate& date);

// The signature line: 监督人：＿＿＿＿　经办人：＿＿＿＿　日期：＿＿＿＿.
std::string NoticeSignatureLine();

// The posted lists as a PDF: A4, every class on a page of its own under
// the heading (a class of up to 60 on one page: two blocks of rows, smaller type), the footer and (with signatures) the
// signature line under its table, 第 n 页，共 m 页 at the foot. Saved through SaveFileSafely.
void WriteNoticePdf(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const NoticeOptions& options);

// The posted lists as an .xlsx workbook: a sheet per class (1班 …), the
// heading and the class title above the table, the footer and signature
// line below it, A4 portrait, fit to one page wide.
void WriteNoticeWorkbook(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const NoticeOptions& options);

} // namespace fenban
