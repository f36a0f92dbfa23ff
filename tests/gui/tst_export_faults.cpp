// The export through the window when the disk fails at any one step of the
// save (create, each write, close, rename): one clear message naming the
// file, no partial or temporary file, and a file of that name left intact.
#include "WindowDriver.h"
#include "xls/BuiltInSpreadsheet.h"
#include "xls/FileSaving.h"

#include <QDir>
#include <QTemporaryDir>

#include <system_error>

using namespace fenban;

namespace {

// The disk, failing at step `failAt` (1-based); a write that fails has
// written half of its bytes, a close that fails has closed the file.
class FailingAtStep final : public FileSystem {
public:
    explicit FailingAtStep(int failAt) : failAt_(failAt) {}
    int steps = 0;

    std::unique_ptr<OutputFile> createNew(const std::filesystem::path& file) override
    {
        failHere(std::errc::permission_denied);
        return std::make_unique<File>(*this, disk_->createNew(file));
    }
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        failHere(std::errc::permission_denied);
        disk_->replace(from, to);
    }
    void remove(const std::filesystem::path& file) noexcept override { disk_->remove(file); }

private:
    class File final : public OutputFile {
    public:
        File(FailingAtStep& owner, std::unique_ptr<OutputFile> real) : owner_(owner), real_(std::move(real)) {}
        void write(std::span<const std::uint8_t> bytes) override
        {
            if (owner_.failsNow()) {
                real_->write(bytes.first(bytes.size() / 2));
                throw std::system_error(std::make_error_code(std::errc::no_space_on_device));
            }
            real_->write(bytes);
        }
        void close() override
        {
            const bool fail = owner_.failsNow();
            real_->close();
            if (fail)
                throw std::system_error(std::make_error_code(std::errc::io_error));
        }

    private:
        FailingAtStep& owner_;
        std::unique_ptr<OutputFile> real_;
    };

    bool failsNow() { return ++steps == failAt_; }
    void failHere(std::errc code)
    {
        if (failsNow())
            throw std::system_error(std::make_error_code(code));
    }

    const std::shared_ptr<FileSystem> disk_ = DiskFileSystem();
    const int failAt_;
};

QByteArray Content(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
}

} // namespace

class TestExportFaults : public QObject {
    Q_OBJECT

private slots:
    void everyStepFails_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::newRow("over an older file") << true;
        QTest::newRow("new file") << false;
    }
    void everyStepFails()
    {
        QFETCH(bool, fileThere);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("班级名单.xls"));
        const QByteArray older("an older file");
        if (fileThere) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(older);
        }
        const QStringList before = QDir(folder.path()).entryList(QDir::Files);

        WindowDriver w;
        w.paste(Table(Students(300))); // a listing of several write steps
        int failAt = 1;
        for (;; ++failAt) {
            const auto disk = std::make_shared<FailingAtStep>(failAt);
            w.window.setSpreadsheetFactory(BuiltInSpreadsheetFactory(disk));
            const QList<SeenBox> boxes = w.click("Button1", file);
            if (disk->steps < failAt) { // every step passed: the save is complete
                QVERIFY(boxes.isEmpty());
                break;
            }
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].icon, QMessageBox::Critical);
            QVERIFY2(boxes[0].text.contains(QStringLiteral("班级名单.xls")), qPrintable(boxes[0].text));
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), before);
            if (fileThere)
                QCOMPARE(Content(file), older);
        }
        QVERIFY(failAt > 5); // create, writes, close, rename
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("班级名单.xls")});
        QVERIFY(Content(file).startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)));
    }
};

QTEST_MAIN(TestExportFaults)
#include "tst_export_faults.moc"
