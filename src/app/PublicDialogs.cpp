#include "app/PublicDialogs.h"

#include "audit/Fingerprint.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "engine/RankGroups.h"
#include "roster/RosterBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
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

PublicDivisionDialog::PublicDivisionDialog(
    QWidget* parent, const DivisionOptions& options, std::function<std::string(const DivisionOptions&)> fingerprintOf)
    : QDialog(parent)
    , fingerprintOf_(std::move(fingerprintOf))
{
    setObjectName(QStringLiteral("dlgPublicDivision"));
    setWindowTitle(QStringLiteral("公开分班"));
    lblInputFingerprint = new QLabel(this);
    lblInputFingerprint->setObjectName(QStringLiteral("lblInputFingerprint"));
    lblInputFingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    speDivisionClasses = new QSpinBox(this);
    speDivisionClasses->setObjectName(QStringLiteral("speDivisionClasses"));
    speDivisionClasses->setRange(1, MaxClassCount);
    speDivisionClasses->setValue(options.classCount);
    cmbDivisionBands = new QComboBox(this);
    cmbDivisionBands->setObjectName(QStringLiteral("cmbDivisionBands"));
    for (const int bands : RankBandChoices)
        cmbDivisionBands->addItem(bands == 0 ? QStringLiteral("不分") : QString::number(bands), bands);
    cmbDivisionBands->setCurrentIndex(std::max(0, cmbDivisionBands->findData(options.bands)));
    chkDivisionSoundAlike = new QCheckBox(QStringLiteral("同音姓名分班"), this);
    chkDivisionSoundAlike->setObjectName(QStringLiteral("chkDivisionSoundAlike"));
    chkDivisionSoundAlike->setChecked(options.soundAlike);
    showFingerprint();
    connect(speDivisionClasses, &QSpinBox::valueChanged, this, [this] { showFingerprint(); });
    connect(cmbDivisionBands, &QComboBox::currentIndexChanged, this, [this] { showFingerprint(); });
    connect(chkDivisionSoundAlike, &QCheckBox::toggled, this, [this] { showFingerprint(); });
    edtSeed = new QLineEdit(this);
    edtSeed->setObjectName(QStringLiteral("edtSeed"));
    edtSeed->setPlaceholderText(QStringLiteral("当众抽取的数字，如掷骰子或开奖号码"));
    edtTeachers = new QPlainTextEdit(this);
    edtTeachers->setObjectName(QStringLiteral("edtTeachers"));
    edtTeachers->setPlaceholderText(QStringLiteral("班主任名单（可不填）：一行一位，每班一位"));
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblSeedProblem"));
    lblProblem->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    lblProblem->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    auto* parameters = new QFormLayout;
    parameters->addRow(QStringLiteral("分班数："), speDivisionClasses);
    parameters->addRow(QStringLiteral("分数段："), cmbDivisionBands);
    parameters->addRow(chkDivisionSoundAlike);
    layout->addLayout(parameters);
    layout->addWidget(new QLabel(QStringLiteral("抽取种子之前，请先公布输入指纹。"), this));
    layout->addWidget(lblInputFingerprint);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("种子："), edtSeed);
    form->addRow(QStringLiteral("班主任："), edtTeachers);
    layout->addLayout(form);
    layout->addWidget(lblProblem);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Ok | QDialogButtonBox::Cancel));
}

void PublicDivisionDialog::showFingerprint()
{
    const std::string input = fingerprintOf_ ? fingerprintOf_(options()) : std::string();
    lblInputFingerprint->setText(QStringLiteral("输入指纹：%1\n%2").arg(Text(ShortFingerprint(input)), Text(input)));
}

DivisionOptions PublicDivisionDialog::options() const
{
    return {speDivisionClasses->value(), chkDivisionSoundAlike->isChecked(), cmbDivisionBands->currentData().toInt()};
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
            SetTeachers(teachers, options().classCount);
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
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(true); // a long entry (fingerprints, teachers) reads whole
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table->rowCount(); ++row) {
        const RecordEntry& entry = record.entries()[static_cast<std::size_t>(row)];
        table->setItem(row, 0, new QTableWidgetItem(Text(RecordTimeText(entry.time))));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromUtf8(RecordKindName(entry.kind))));
        auto* text = new QTableWidgetItem(Text(entry.text));
        text->setToolTip(Text(entry.text));
        table->setItem(row, 2, text);
    }
    table->resizeColumnToContents(0);
    table->resizeColumnToContents(1);
    // The chosen entry whole, selectable for copying.
    auto* details = new QPlainTextEdit(this);
    details->setObjectName(QStringLiteral("txtRecordEntry"));
    details->setReadOnly(true);
    details->setMaximumHeight(details->fontMetrics().lineSpacing() * 5);
    connect(table, &QTableWidget::currentCellChanged, details, [table, details](int row) {
        const QTableWidgetItem* text = row >= 0 ? table->item(row, 2) : nullptr;
        details->setPlainText(text != nullptr ? text->text() : QString());
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addWidget(details);
    layout->addWidget(Buttons(*this, QDialogButtonBox::Close));
    resize(900, 480);
    table->resizeRowsToContents();
    if (table->rowCount() > 0)
        table->setCurrentCell(table->rowCount() - 1, 2); // the last step first
}

} // namespace fenban
