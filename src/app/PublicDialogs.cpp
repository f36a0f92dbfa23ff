#include "app/PublicDialogs.h"

#include "audit/Fingerprint.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace fenban {

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QDialogButtonBox* Buttons(QDialog& dialog, QDialogButtonBox::StandardButtons which)
{
    auto* buttons = new QDialogButtonBox(which, &dialog);
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
        ok->setText(QStringLiteral("确定"));
    if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel))
        cancel->setText(QStringLiteral("取消"));
    if (QPushButton* close = buttons->button(QDialogButtonBox::Close))
        close->setText(QStringLiteral("关闭"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

} // namespace

NoticeDialog::NoticeDialog(QWidget* parent, const NoticeOptions& initial, const std::vector<std::string>& extraHeaders)
    : QDialog(parent)
    , initial_(initial)
{
    setObjectName(QStringLiteral("dlgNotice"));
    setWindowTitle(QStringLiteral("导出公示名单"));
    chkMaskNames = new QCheckBox(QStringLiteral("姓名打码（张*、张*明、欧阳**）"), this);
    chkMaskNames->setObjectName(QStringLiteral("chkMaskNames"));
    chkMaskNames->setChecked(initial.maskNames);
    cmbNoticeOrder = new QComboBox(this);
    cmbNoticeOrder->setObjectName(QStringLiteral("cmbNoticeOrder"));
    cmbNoticeOrder->addItems({QStringLiteral("按班级名单的顺序"), QStringLiteral("按姓名拼音排序")});
    cmbNoticeOrder->setCurrentIndex(initial.order == NoticeOrder::Name ? 1 : 0);
    edtNoticeHeading = new QLineEdit(Text(initial.heading), this);
    edtNoticeHeading->setObjectName(QStringLiteral("edtNoticeHeading"));
    chkSignatures = new QCheckBox(QStringLiteral("签字栏（监督人、经办人）"), this);
    chkSignatures->setObjectName(QStringLiteral("chkSignatures"));
    chkSignatures->setChecked(initial.signatures);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("标题："), edtNoticeHeading);
    form->addRow(QStringLiteral("顺序："), cmbNoticeOrder);
    form->addRow(chkMaskNames);
    form->addRow(chkSignatures);
    for (std::size_t c = 0; c < extraHeaders.size(); ++c) {
        auto* box = new QCheckBox(QStringLiteral("列出“%1”").arg(Text(extraHeaders[c])), this);
        box->setObjectName(QStringLiteral("chkNoticeExtra%1").arg(c));
        box->setChecked(
            std::find(initial.extraColumns.begin(), initial.extraColumns.end(), c) != initial.extraColumns.end());
        extraBoxes_.push_back(box);
        form->addRow(box);
    }
    auto* footer = new QLabel(QStringLiteral("每班名单下注明结果指纹、种子和日期；不列分数。"), this);
    footer->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(footer);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

NoticeOptions NoticeDialog::options() const
{
    NoticeOptions options = initial_;
    options.maskNames = chkMaskNames->isChecked();
    options.order = cmbNoticeOrder->currentIndex() == 1 ? NoticeOrder::Name : NoticeOrder::List;
    options.heading = edtNoticeHeading->text().trimmed().toStdString();
    options.signatures = chkSignatures->isChecked();
    if (!extraBoxes_.empty()) {
        options.extraColumns.clear();
        for (std::size_t c = 0; c < extraBoxes_.size(); ++c)
            if (extraBoxes_[c]->isChecked())
                options.extraColumns.push_back(c);
    }
    return options;
}

PublicDivisionDialog::PublicDivisionDialog(QWidget* parent, const std::string& inputFingerprint, int classCount)
    : QDialog(parent)
    , classCount_(classCount)
{
    setObjectName(QStringLiteral("dlgPublicDivision"));
    setWindowTitle(QStringLiteral("公开分班"));
    auto* fingerprint = new QLabel(
        QStringLiteral("输入指纹：%1\n%2").arg(Text(ShortFingerprint(inputFingerprint)), Text(inputFingerprint)), this);
    fingerprint->setObjectName(QStringLiteral("lblInputFingerprint"));
    fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    edtSeed = new QLineEdit(this);
    edtSeed->setObjectName(QStringLiteral("edtSeed"));
    edtSeed->setPlaceholderText(QStringLiteral("当众抽取的数字，如掷骰子或开奖号码"));
    edtTeachers = new QPlainTextEdit(this);
    edtTeachers->setObjectName(QStringLiteral("edtTeachers"));
    edtTeachers->setPlaceholderText(QStringLiteral("班主任名单（可不填）：一行一位，共 %1 位").arg(classCount));
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblSeedProblem"));
    lblProblem->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    lblProblem->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("抽取种子之前，请先公布输入指纹。"), this));
    layout->addWidget(fingerprint);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("种子："), edtSeed);
    form->addRow(QStringLiteral("班主任："), edtTeachers);
    layout->addLayout(form);
    layout->addWidget(lblProblem);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

std::string PublicDivisionDialog::seedText() const
{
    return NormalSeedText(edtSeed->text().toStdString());
}

std::string PublicDivisionDialog::teacherText() const
{
    return edtTeachers->toPlainText().toStdString();
}

void PublicDivisionDialog::accept()
{
    try {
        seedText();
        const std::vector<std::string> teachers = ParseTeacherList(teacherText());
        if (!teachers.empty())
            SetTeachers(teachers, classCount_);
    } catch (const Failure& problem) {
        lblProblem->setText(QString::fromUtf8(problem.what()));
        return;
    }
    QDialog::accept();
}

RecordDialog::RecordDialog(QWidget* parent, const OperationRecord& record)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgRecord"));
    setWindowTitle(QStringLiteral("操作记录"));
    auto* table = new QTableWidget(static_cast<int>(record.entries().size()), 3, this);
    table->setObjectName(QStringLiteral("tblRecord"));
    table->setHorizontalHeaderLabels({QStringLiteral("时间"), QStringLiteral("操作"), QStringLiteral("内容")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table->rowCount(); ++row) {
        const RecordEntry& entry = record.entries()[static_cast<std::size_t>(row)];
        table->setItem(row, 0, new QTableWidgetItem(Text(RecordTimeText(entry.time))));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(RecordKindName(entry.kind))));
        table->setItem(row, 2, new QTableWidgetItem(Text(entry.text)));
    }
    table->resizeColumnsToContents();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Close));
    resize(900, 480);
}

} // namespace fenban
