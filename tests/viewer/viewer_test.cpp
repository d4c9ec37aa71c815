// The viewer's window, its message dialog and its error handler, on Qt's
// offscreen platform.
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "application.hpp"
#include "fixtures/omafixtures.hpp"
#include "homesandbox.hpp"
#include "fileregistration.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/settings.hpp"
#include "mainwindow.hpp"
#include "messagedialog.hpp"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using kestrune::fixtures::circle;
using kestrune::fixtures::filetext;
using kestrune::fixtures::oval;
using kestrune::fixtures::trace;

// The temporary home of the whole test run, made before the application
// object exists.
QTemporaryDir* testroot = nullptr;

fs::path rootpath() { return fs::path(testroot->path().toStdString()); }
fs::path workfolder() { return rootpath() / "home/Documents/Quorvanta"; }

void writefile(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

// What a message box or dialog that pops up next looked like; it is closed
// with the given button.
struct tinterceptor {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int seen = 0;

    void expectmessagebox() {
        QTimer::singleShot(0, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            ++seen;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->accept();
        });
    }
};

}  // namespace

class ViewerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<kestrune::TKestrunefm> window;
    fs::path files;

    fs::path sample(const std::string& name, const std::string& content) {
        const fs::path p = files / name;
        writefile(p, content);
        return p;
    }

    kestrune::TKestrunefm& shownwindow() {
        window = std::make_unique<kestrune::TKestrunefm>();
        window->show();
        return *window;
    }

    // Drops urls onto the record box as a file manager would.
    void drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QWidget* target = window->OMAMemo->viewport();
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
    }

    QStringList memolines() const { return window->OMAMemo->toPlainText().split(QLatin1Char('\n')); }

private slots:
    void initTestCase() {
        kestrune::setregionalsettings('.');
        kestrune::setruntimeparameters({});
        files = rootpath() / "files";
        fs::create_directories(files);
    }

    void init() {
        kestrune::setruntimeparameters({});
        fs::remove_all(workfolder());
    }

    void cleanup() { window.reset(); }

    void startsEmptyWithTheLayoutAndRegisters() {
        auto& w = shownwindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("Kestrune"));
        QCOMPARE(w.size(), QSize(448, 408));
        QCOMPARE(w.OMAMemo->geometry(), QRect(8, 0, 432, 273));
        QCOMPARE(w.Errlab->pos(), QPoint(8, 280));
        QCOMPARE(w.Image1->geometry(), QRect(8, 295, 105, 105));
        QCOMPARE(w.Image2->geometry(), QRect(335, 295, 105, 105));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QVERIFY(w.Errlab->text().isEmpty());
        QVERIFY(w.Image1->isVisible());
        QVERIFY(w.Image2->isVisible());
        QVERIFY(w.OMAMemo->isReadOnly());
        QCOMPARE(w.OMAMemo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(w.font().pixelSize(), 11);
        QCOMPARE(w.Errlab->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(w.palette().color(QPalette::Window), w.palette().color(QPalette::Button));
        // The first show registered the file type in the test's own folders.
        QVERIFY(fs::exists(rootpath() / "home/.local/share/applications/kestrune.desktop"));
    }

    void anchorsAfterAResize() {
        auto& w = shownwindow();
        w.resize(600, 500);
        QCOMPARE(w.OMAMemo->geometry(), QRect(8, 0, 584, 365));
        QCOMPARE(w.Errlab->pos(), QPoint(8, 280));
        QCOMPARE(w.Image1->geometry(), QRect(8, 387, 105, 105));
        QCOMPARE(w.Image2->geometry(), QRect(487, 387, 105, 105));
        // The record box now reaches over the label's place: the verdict
        // stays in front of it.
        w.Showfile(sample("bad.oma",
                          "TRCFMT=1;20;E;R;F\r\nR=2500;2500;400;2500;2500;2500;2500;2500;2500;2500\r\n"
                          "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n")
                       .string());
        QVERIFY(w.Errlab->width() > 0);
        QCOMPARE(w.childAt(w.Errlab->geometry().center()), static_cast<QWidget*>(w.Errlab));
        w.resize(448, 408);
        QCOMPARE(w.OMAMemo->geometry(), QRect(8, 0, 432, 273));
        QCOMPARE(w.Image2->geometry(), QRect(335, 295, 105, 105));
    }

    void showsAFileFromTheCommandLine() {
        const fs::path job =
            sample("job.oma", "JOB=12\r\n" + filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200))));
        kestrune::setruntimeparameters({"LOCALFOLDER=" + (rootpath() / "local").string() + "/", job.string()});
        auto& w = shownwindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("job.oma"));
        QCOMPARE(w.Shownfile, job.string());
        QCOMPARE(memolines().first(), QStringLiteral("JOB=12"));
        QCOMPARE(memolines().size(), 1 + 2 * 5);
        QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        QVERIFY(w.Image1->isVisible());
        QVERIFY(w.Image2->isVisible());
        QCOMPARE(w.Image1->pixmap().size(), QSize(105, 105));
        QCOMPARE(w.Image2->pixmap().size(), QSize(105, 105));
        // Each box shows its own shape.
        QVERIFY(w.Image1->pixmap().toImage() != w.Image2->pixmap().toImage());
        const fs::path local = rootpath() / "local/Quorvanta";
        QCOMPARE(w.rightfilename, (local / "__TMP_OMA_jobR.jpeg").string());
        QCOMPARE(w.leftfilename, (local / "__TMP_OMA_jobL.jpeg").string());
        QVERIFY(fs::exists(local / "job_OMAData.csv"));
    }

    void dropOneFile() {
        auto& w = shownwindow();
        w.Showfile(sample("first.oma", "JOB=1\r\n").string());
        const fs::path second = sample("second file.oma", "JOB=2\r\nDBL=18.00\r\n");
        drop({QUrl::fromLocalFile(QString::fromStdString(second.string()))});
        QCOMPARE(w.windowTitle(), QStringLiteral("second file.oma"));
        QCOMPARE(w.Shownfile, second.string());
        QCOMPARE(memolines(), QStringList({"JOB=2", "DBL=18.00"}));
        QVERIFY(w.OMAMemo->fFilename.empty());
        QVERIFY(fs::exists(workfolder() / "second file_OMAData.csv"));
    }

    void dropTwoFilesOrNone() {
        auto& w = shownwindow();
        w.Showfile(sample("kept.oma", "JOB=1\r\n").string());
        for (const int count : {2, 0}) {
            QList<QUrl> urls;
            for (int i = 0; i < count; ++i) urls << QUrl::fromLocalFile(QStringLiteral("/tmp/f%1.oma").arg(i));
            tinterceptor box;
            box.expectmessagebox();
            drop(urls);
            QCOMPARE(box.seen, 1);
            QCOMPARE(box.text, QStringLiteral("Too many files."));
            QCOMPARE(box.title, QStringLiteral("Drag and drop error"));
            QCOMPARE(box.icon, QMessageBox::Critical);
            QCOMPARE(w.windowTitle(), QStringLiteral("kept.oma"));
            QCOMPARE(memolines(), QStringList({"JOB=1"}));
            QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        }
    }

    void dropOfSomethingThatIsNoLocalFileIsIgnored() {
        auto& w = shownwindow();
        w.Showfile(sample("kept.oma", "JOB=1\r\n").string());
        tinterceptor box;
        box.expectmessagebox();
        drop({QUrl(QStringLiteral("https://example.invalid/job.oma"))});
        QCoreApplication::processEvents();
        QCOMPARE(box.seen, 0);
        QCOMPARE(w.windowTitle(), QStringLiteral("kept.oma"));
    }

    void dropOfAFolderShowsItsNameAndNothingElse() {
        auto& w = shownwindow();
        fs::create_directories(files / "afolder");
        drop({QUrl::fromLocalFile(QString::fromStdString((files / "afolder").string()))});
        QCOMPARE(w.windowTitle(), QStringLiteral("afolder"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QCOMPARE(w.Errlab->text(), QStringLiteral("The file could not be read: Is a directory"));
        QVERIFY(!w.Image1->isVisible());
        QVERIFY(!w.Image2->isVisible());
    }

    // A named pipe is no file to read: refused at once, so the window never
    // waits for a writer. (The test's own time limit catches a wait.)
    void dropOfANamedPipeIsRefusedAtOnce() {
        auto& w = shownwindow();
        fs::create_directories(files);
        const fs::path pipe = files / "pipe.oma";
        fs::remove(pipe);
        QVERIFY(::mkfifo(pipe.c_str(), 0600) == 0);
        QElapsedTimer timer;
        timer.start();
        drop({QUrl::fromLocalFile(QString::fromStdString(pipe.string()))});
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(w.windowTitle(), QStringLiteral("pipe.oma"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QCOMPARE(w.Errlab->text(), QStringLiteral("The file could not be read: not a regular file"));
        QVERIFY(!w.Image1->isVisible());
        QVERIFY(!w.Image2->isVisible());
        fs::remove(pipe);
    }

    // Names with spaces, quotes, "%", a line break, a leading dash or bytes
    // that are no UTF-8, shown from the command line and dropped as a file
    // manager sends them (percent-encoded bytes): the file read, the dump
    // and the pictures keep the name's bytes; the caption shows the name,
    // with a replacement character for each byte that is no UTF-8.
    void awkwardNamesKeepTheirBytes() {
        const std::string names[] = {"caf\xE9 job.oma", "50% \"quoted\" 'job'.oma", "new\nline.oma", "-dash.oma",
                                     "\xFF\xFE.oma"};
        const std::string content = "JOB=7\r\n" + filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200)));
        for (const std::string& name : names) {
            const fs::path file = sample(name, content);
            const std::string stem = name.substr(0, name.size() - 4);
            const QByteArray url = "file://" + QByteArray::fromStdString(file.string()).toPercentEncoding("/");
            for (const bool dropped : {false, true}) {
                const QByteArray what = QByteArray::fromStdString(name) + (dropped ? " dropped" : " shown");
                fs::remove_all(workfolder());
                auto& w = shownwindow();
                if (dropped) {
                    drop({QUrl::fromEncoded(url)});
                } else {
                    w.Showfile(file.string());
                }
                QVERIFY2(w.Shownfile == file.string(),
                         (what + " as " + QByteArray::fromStdString(w.Shownfile)).constData());
                QCOMPARE(w.windowTitle(), QFile::decodeName(QByteArray::fromStdString(name)));
                QVERIFY2(memolines().first() == QStringLiteral("JOB=7"), what.constData());
                QVERIFY2(w.Image1->isVisible() && w.Image2->isVisible(), what.constData());
                QVERIFY2(fs::exists(workfolder() / (stem + "_OMAData.csv")), what.constData());
                QVERIFY2(fs::exists(workfolder() / ("__TMP_OMA_" + stem + "R.jpeg")), what.constData());
            }
        }
        // The caption of a name that is no UTF-8 still says what it can.
        QCOMPARE(QFile::decodeName("caf\xE9 job.oma"), QStringLiteral("caf\uFFFD job.oma"));
    }

    void binaryTraceIsListedAsNumbers() {
        auto& w = shownwindow();
        w.Showfile(sample("packed.oma", "JOB=3\r\n" + filetext(trace('R', circle(400, 2500), true))).string());
        const QStringList lines = memolines();
        QCOMPARE(lines.at(0), QStringLiteral("JOB=3"));
        QCOMPARE(lines.at(1), QStringLiteral("TRCFMT=1;400;E;R;F"));
        QCOMPARE(lines.at(2), QStringLiteral("R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500"));
        QVERIFY(lines.last().startsWith(QStringLiteral("_ASASCII=QVT;")));
        QVERIFY(!w.OMAMemo->toPlainText().contains(QChar(0)));
        QVERIFY(w.Image1->isVisible());
        QVERIFY(!w.Image2->isVisible());
    }

    void fileWithoutTracesAndTheTenPointLimit() {
        auto& w = shownwindow();
        w.Showfile(sample("plain.oma", "JOB=4\r\nDBL=17.00\r\n").string());
        QVERIFY(!w.Image1->isVisible());
        QVERIFY(!w.Image2->isVisible());
        QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        QVERIFY(w.rightfilename.empty());

        w.Showfile(sample("ten.oma", filetext(trace('R', oval(10))) + filetext(trace('L', oval(11)))).string());
        QVERIFY(!w.Image1->isVisible());
        QVERIFY(w.Image2->isVisible());
        QVERIFY(w.rightfilename.empty());
        QVERIFY(!w.leftfilename.empty());
    }

    void labelTexts() {
        auto& w = shownwindow();
        const std::string low =
            "TRCFMT=1;20;E;R;F\r\nR=2500;2500;400;2500;2500;2500;2500;2500;2500;2500\r\n"
            "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n";
        const std::string eighteen =
            "TRCFMT=1;20;E;R;F\r\nR=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n"
            "R=2500;2500;2500;2500;2500;2500;2500;2500\r\n";
        const struct {
            const char* name;
            std::string content;
            QString label;
        } cases[] = {
            {"good", filetext(trace('R', oval(20))), QStringLiteral(" ")},
            {"verdict and detail", eighteen, QStringLiteral("Invalid number of points 1;20;E;R;F Points=    18")},
            {"verdict alone", low, QStringLiteral("Suspect radii found in the trace ")},
        };
        for (const auto& c : cases) {
            w.Showfile(sample("label.oma", c.content).string());
            QVERIFY2(w.Errlab->text() == c.label, c.name);
            QCOMPARE(w.Errlab->height(), 13);
        }
        w.Showfile((files / "missing.oma").string());
        QCOMPARE(w.windowTitle(), QStringLiteral("missing.oma"));
        QCOMPARE(w.Errlab->text(), QStringLiteral("The file could not be read: No such file or directory"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
    }

    void clickOnTheLeftPictureShowsTheFileAgain() {
        auto& w = shownwindow();
        // Before any file: an empty name, shown as nothing.
        QTest::mouseClick(w.Image2, Qt::LeftButton);
        QCOMPARE(w.windowTitle(), QString());
        QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        QVERIFY(!w.Image1->isVisible());
        QVERIFY(!w.Image2->isVisible());
        QVERIFY(!fs::exists(workfolder() / "_OMAData.csv"));

        const fs::path job = sample("again.oma", "JOB=5\r\n" + filetext(trace('L', oval(36))));
        w.Showfile(job.string());
        QVERIFY(w.Image2->isVisible());
        writefile(job, "JOB=6\r\n" + filetext(trace('L', oval(36))));
        QTest::mouseClick(w.Image2, Qt::LeftButton);
        QCOMPARE(memolines().first(), QStringLiteral("JOB=6"));
        // The right picture box takes no clicks.
        writefile(job, "JOB=7\r\n" + filetext(trace('R', oval(36))));
        w.Showfile(job.string());
        writefile(job, "JOB=8\r\n" + filetext(trace('R', oval(36))));
        QTest::mouseClick(w.Image1, Qt::LeftButton);
        QCOMPARE(memolines().first(), QStringLiteral("JOB=7"));
    }

    void closingDeletesTheLatestPictures() {
        auto& w = shownwindow();
        w.Showfile(sample("a.oma", filetext(trace('R', oval(20))) + filetext(trace('L', oval(20)))).string());
        const std::string aleft = w.leftfilename;
        const std::string aright = w.rightfilename;
        w.Showfile(sample("b.oma", filetext(trace('R', oval(20)))).string());
        const std::string bright = w.rightfilename;
        QCOMPARE(w.leftfilename, aleft);  // unchanged by a file without a left trace
        QVERIFY(fs::exists(aleft) && fs::exists(aright) && fs::exists(bright));
        w.close();
        QVERIFY(!fs::exists(bright));
        QVERIFY(!fs::exists(aleft));
        QVERIFY(fs::exists(aright));  // a young picture of an earlier file stays
        QVERIFY(fs::exists(workfolder() / "a_OMAData.csv"));
        QVERIFY(fs::exists(workfolder() / "b_OMAData.csv"));
    }

    void ctrlOOpensAFile() {
        auto& w = shownwindow();
        const fs::path job = sample("picked.oma", "JOB=9\r\n");
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->selectFile(QString::fromStdString(job.string()));
            static_cast<QDialog*>(dialog)->accept();
        });
        w.openfiledialog();
        QCOMPARE(w.windowTitle(), QStringLiteral("picked.oma"));
    }

    void libraryWarningInTheMessageDialog() {
        auto& w = shownwindow();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        struct {
            int seen = 0;
            QString message, title;
            QRect okgeometry, messagegeometry, panelgeometry;
            QSize size;
            bool isdefault = false;
            bool overlayshown = false;
            QRect overlay;
        } seen;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<kestrune::TQVTDialogFrm*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll.stop();
            ++seen.seen;
            seen.message = dialog->MessageLbl->text();
            seen.title = dialog->TitleLbl->text();
            seen.messagegeometry = dialog->MessageLbl->geometry();
            seen.panelgeometry = dialog->BottomPnl->geometry();
            seen.size = dialog->size();
            auto* ok = dialog->BottomPnl->findChild<QPushButton*>(QStringLiteral("OK"));
            if (ok) {
                seen.okgeometry = ok->geometry();
                seen.isdefault = ok->isDefault();
            }
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (top->objectName() == QLatin1String("TBlockFrm") && top->isVisible()) {
                    seen.overlayshown = true;
                    seen.overlay = top->geometry();
                }
            }
            if (ok) ok->click();
        });
        poll.start();
        kestrune::ShowWarning("Saving OMA file as a text file", "");
        QCOMPARE(seen.seen, 1);
        QCOMPARE(seen.message, QStringLiteral("Saving OMA file as a text file"));
        QVERIFY(seen.title.isEmpty());
        QCOMPARE(seen.messagegeometry.topLeft(), QPoint(67, 16));  // in the title's place
        // Narrowed to the 448 pixels wide window less 50; the button keeps to
        // the panel's right edge.
        QCOMPARE(seen.size, QSize(398, 213));
        QCOMPARE(seen.panelgeometry, QRect(0, 165, 398, 48));
        QCOMPARE(seen.okgeometry, QRect(398 - 100, 11, 75, 25));
        QVERIFY(seen.messagegeometry.right() < 398);
        QVERIFY(seen.isdefault);
        QVERIFY(seen.overlayshown);
        QCOMPARE(seen.overlay.size(), QSize(448, 408));
    }

    void messageDialogLayout() {
        kestrune::TQVTDialogFrm dialog;
        dialog.pSet_TitleStr(QStringLiteral("A title"));
        QString tall;
        for (int i = 0; i < 60; ++i) tall += QStringLiteral("A long line of message text number %1.\n").arg(i);
        dialog.pSet_MessageStr(tall);
        dialog.pSet_Buttons({kestrune::tbuttonkind::Yes, kestrune::tbuttonkind::No, kestrune::tbuttonkind::Cancel});
        dialog.pSet_DefaultBtn(kestrune::tbuttonkind::No);
        QCOMPARE(dialog.MessageLbl->height(), 200);
        QCOMPARE(dialog.MessageLbl->y(), 16 + 45 + 10);
        QVERIFY(dialog.MessageLbl->x() + dialog.MessageLbl->width() <= dialog.width() - 10);
        dialog.arrange();
        // The dialog grows so that the message stays above the button panel.
        QCOMPARE(dialog.height(), 71 + 200 + 10 + 48);
        QCOMPARE(dialog.BottomPnl->geometry(), QRect(0, dialog.height() - 48, 660, 48));
        const auto buttons = dialog.BottomPnl->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 3);
        QCOMPARE(dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("Yes"))->x(), 660 - 3 * 80 - 20);
        QCOMPARE(dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("Cancel"))->x(), 660 - 100);
        QVERIFY(dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("No"))->isDefault());
        QVERIFY(!dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("Yes"))->isDefault());
        QCOMPARE(dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("No"))->text(), QStringLiteral("&No"));

        // Each button closes the dialog with its kind's result.
        QTimer::singleShot(0, [&] { dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("Cancel"))->click(); });
        QCOMPARE(dialog.exec(), 2);
    }

    void overlayAndDialogPlacement() {
        const QRect screen(0, 0, 1024, 768);
        QCOMPARE(kestrune::TBlockFrm::overlaygeometry(QRect(100, 100, 200, 150), screen), QRect(100, 100, 300, 250));
        QCOMPARE(kestrune::TBlockFrm::overlaygeometry(QRect(100, 80, 448, 408), screen), QRect(100, 80, 448, 408));
        // Starting left of or above the screen: moved onto its edge.
        QCOMPARE(kestrune::TBlockFrm::overlaygeometry(QRect(-50, -20, 448, 408), screen), QRect(0, 0, 448, 408));
        // Centred over the overlay, halves to the even neighbour: (448 - 211) / 2 = 118.5 -> 118.
        QCOMPARE(kestrune::TBlockFrm::dialoggeometry(QRect(10, 20, 448, 408), QRect(10, 20, 448, 408), QSize(211, 101)),
                 QRect(10 + 118, 20 + 154, 211, 101));
        // A dialog larger than the calling window is made 50 pixels smaller than it.
        QCOMPARE(kestrune::TBlockFrm::dialoggeometry(QRect(0, 0, 448, 408), QRect(0, 0, 448, 408), QSize(660, 213)),
                 QRect(25, 98, 398, 213));
        // No calling window: nothing is shown.
        kestrune::TQVTDialogFrm dialog;
        QCOMPARE(kestrune::ShowBlockingDialog(nullptr, &dialog), 0);
    }

    void errorLeavingAnEventHandlerIsReportedAndTheProgramGoesOn() {
        auto* app = qobject_cast<kestrune::KestruneApplication*>(QCoreApplication::instance());
        QVERIFY(app);
        QStringList reports;
        auto previous = app->seterrorbox([&](const QString& text) { reports << text; });

        struct thrower : QObject {
            int handled = 0;
            bool event(QEvent* e) override {
                if (e->type() == QEvent::User) throw std::runtime_error("picture could not be loaded");
                if (e->type() == QEvent::Type(QEvent::User + 1)) ++handled;
                return QObject::event(e);
            }
        } receiver;
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::processEvents();
        QCOMPARE(reports, QStringList({QStringLiteral("picture could not be loaded")}));
        QCOMPARE(receiver.handled, 1);
        app->seterrorbox(previous);
    }

    void screenshotModeSavesThePictureAndQuits() {
        const fs::path job =
            sample("shot.oma", "JOB=10\r\n" + filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200))));
        const QString png = QString::fromStdString((rootpath() / "shot.png").string());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRUNE_SCREENSHOT"), png);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KESTRUNE_VIEWER), {QString::fromStdString(job.string())});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QImage image(png);
        QCOMPARE(image.size(), QSize(448, 408));
        // Quitting closed the window: its pictures are gone, the dump stays.
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_shotR.jpeg"));
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_shotL.jpeg"));
        QVERIFY(fs::exists(workfolder() / "shot_OMAData.csv"));
    }
};

int main(int argc, char** argv) {
    // A home of the test's own, before anything reads the environment.
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/kestrune-viewer-test-XXXXXX"));
    if (!root.isValid()) return 1;
    testroot = &root;
    const kestrune::testing::homesandbox sandbox(rootpath());
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    kestrune::KestruneApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrune"));
    kestrune::installmessagedialog();
    ViewerTest test;
    const int result = QTest::qExec(&test, argc, argv);
    kestrune::setmessagecallback(nullptr);
    // By bytes: Qt cannot name, and so not remove, a file whose name is no UTF-8.
    std::error_code ignored;
    fs::remove_all(rootpath(), ignored);
    return result;
}

#include "viewer_test.moc"
