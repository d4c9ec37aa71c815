// The viewer's window, its message dialog and its error handler, on Qt's
// offscreen platform.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QHelpEvent>
#include <QToolTip>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QThreadPool>
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
#include "kestrune/document/labels.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/settings.hpp"
#include "mainwindow.hpp"
#include "messagedialog.hpp"
#include "viewersettings.hpp"

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

// What the next message box looked like; it is closed with its default
// button. It is watched for until it opens, as boxes open after the event
// that asks for them has returned.
struct tinterceptor {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QSize size;
    int titlewidth = 0;
    int seen = 0;
    QTimer poll;

    void expectmessagebox() {
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll.stop();
            ++seen;
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            size = box->size();
            titlewidth = box->fontMetrics().horizontalAdvance(title);
            box->accept();
        });
        poll.start();
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
        settle(*window);
        return *window;
    }

    // Waits until the window has read and drawn all it was asked to.
    static bool settle(kestrune::TKestrunefm& w) {
        QElapsedTimer timer;
        timer.start();
        while (w.loading() && timer.elapsed() < 60000) QTest::qWait(5);
        QCoreApplication::processEvents();
        return !w.loading();
    }

    static void show(kestrune::TKestrunefm& w, const fs::path& file) {
        w.Showfile(file.string());
        QVERIFY(settle(w));
    }

    // The window's size for a client area of the given size below the menu bar.
    static QSize windowsize(kestrune::TKestrunefm& w, QSize client) {
        return client + QSize(0, w.height() - w.Client->height());
    }

    // Drops urls onto the record box as a file manager would.
    void drop(const QList<QUrl>& urls) {
        dropon(window->OMAMemo->viewport(), urls);
        settle(*window);
    }

    void dropon(QWidget* target, const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
    }

    static bool haspicture(const kestrune::TPictureBox* box) { return !box->pixmap().isNull(); }

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
        // The client area below the menu bar keeps the default layout.
        QCOMPARE(w.Client->size(), QSize(448, 408));
        QCOMPARE(w.Client->y(), w.menuBar()->height());
        QCOMPARE(w.OMAMemo->geometry(), QRect(8, 0, 432, 273));
        QCOMPARE(w.Errlab->pos(), QPoint(8, 280));
        QCOMPARE(w.Image1->geometry(), QRect(8, 295, 105, 105));
        QCOMPARE(w.Image2->geometry(), QRect(335, 295, 105, 105));
        QCOMPARE(w.Measures->geometry(), QRect(121, 295, 206, 105));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QVERIFY(w.Errlab->text().isEmpty());
        QVERIFY(w.Image1->isVisible());
        QVERIFY(w.Image2->isVisible());
        QVERIFY(w.OMAMemo->isReadOnly());
        QCOMPARE(w.OMAMemo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(w.font().pixelSize(), 11);
        QCOMPARE(w.Errlab->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(w.Client->palette().color(QPalette::Window), w.Client->palette().color(QPalette::Button));
        // Never a blank window: what to do is said where a file would show.
        QCOMPARE(w.OMAMemo->placeholderText(), QStringLiteral("Drop an OMA file here or press Ctrl+O"));
        QCOMPARE(w.Measures->text(), QStringLiteral("Drop an OMA file here or press Ctrl+O"));
        QVERIFY(!w.ReloadAction->isEnabled());
        // The first show registered the file type in the test's own folders.
        QVERIFY(fs::exists(rootpath() / "home/.local/share/applications/kestrune.desktop"));
    }

    // The pictures grow with the window and are drawn at their boxes' size;
    // the record box takes the rest; nothing gets smaller than the default.
    void scalesWithTheWindow() {
        auto& w = shownwindow();
        show(w, sample("grow.oma", filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200)))));
        QCOMPARE(w.Image1->pixmap().size(), QSize(105, 105));
        const struct {
            QSize client;
            int side;
        } cases[] = {
            {QSize(600, 500), 128},   // the narrower share decides: 500 * 105 / 408
            {QSize(896, 816), 210},   // twice the default
            {QSize(1200, 450), 115},  // wide and low
            {QSize(448, 408), 105},
        };
        for (const auto& c : cases) {
            w.resize(windowsize(w, c.client));
            QCOMPARE(w.Client->size(), c.client);
            const int h = c.client.height();
            const int wd = c.client.width();
            QCOMPARE(w.Image1->geometry(), QRect(8, h - c.side - 8, c.side, c.side));
            QCOMPARE(w.Image2->geometry(), QRect(wd - 8 - c.side, h - c.side - 8, c.side, c.side));
            QCOMPARE(w.Errlab->pos(), QPoint(8, h - c.side - 23));
            QCOMPARE(w.OMAMemo->geometry(), QRect(8, 0, wd - 16, h - c.side - 30));
            QCOMPARE(w.Measures->geometry(), QRect(c.side + 16, h - c.side - 8, wd - 2 * (c.side + 16), c.side));
            // Drawn again at the new size once the size rests, not stretched.
            QTRY_COMPARE_WITH_TIMEOUT(w.Image1->pixmap().size(), QSize(c.side, c.side), 30000);
            QTRY_COMPARE_WITH_TIMEOUT(w.Image2->pixmap().size(), QSize(c.side, c.side), 30000);
        }
        // Smaller than the default: the window keeps its minimum, so nothing overlaps.
        w.resize(200, 150);
        QCoreApplication::processEvents();
        QVERIFY(w.Client->width() >= 448 && w.Client->height() >= 408);
        QVERIFY(w.minimumSizeHint().height() >= 408);
    }

    // A long verdict is never covered by the record box.
    // A high-density screen (the viewer-hidpi run sets QT_SCALE_FACTOR=2)
    // gets pictures drawn in its own pixels, shown at their boxes' size: not
    // a small picture blown up.
    void picturesUseTheScreensPixels() {
        auto& w = shownwindow();
        const qreal ratio = w.devicePixelRatioF();
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) QCOMPARE(ratio, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        show(w, sample("dense.oma", filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200)))));
        for (const QSize client : {QSize(448, 408), QSize(896, 816), QSize(448, 408)}) {
            w.resize(windowsize(w, client));
            const QSize box = w.Image1->size();
            QTRY_COMPARE_WITH_TIMEOUT(w.Image1->pixmap().size(), box * ratio, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(w.Image2->pixmap().size(), box * ratio, 30000);
            QCOMPARE(w.Image1->pixmap().devicePixelRatio(), ratio);
            QCOMPARE(w.Image2->pixmap().deviceIndependentSize(), QSizeF(box));
            QCOMPARE(QImage(QString::fromStdString((workfolder() / "__TMP_OMA_denseR.jpeg").string())).size(), box * ratio);
        }
    }

    void theVerdictStaysInFront() {
        auto& w = shownwindow();
        w.resize(windowsize(w, QSize(600, 500)));
        show(w, sample("bad.oma",
                       "TRCFMT=1;20;E;R;F\r\nR=2500;2500;400;2500;2500;2500;2500;2500;2500;2500\r\n"
                       "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n"));
        QVERIFY(w.Errlab->width() > 0);
        QCOMPARE(w.Client->childAt(w.Errlab->geometry().center()), static_cast<QWidget*>(w.Errlab));
        QVERIFY(!w.OMAMemo->geometry().intersects(w.Errlab->geometry()));
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
        QVERIFY(haspicture(w.Image1));
        QVERIFY(haspicture(w.Image2));
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
        show(w, sample("first.oma", "JOB=1\r\n"));
        const fs::path second = sample("second file.oma", "JOB=2\r\nDBL=18.00\r\n");
        drop({QUrl::fromLocalFile(QString::fromStdString(second.string()))});
        QCOMPARE(w.windowTitle(), QStringLiteral("second file.oma"));
        QCOMPARE(w.Shownfile, second.string());
        QCOMPARE(memolines(), QStringList({"JOB=2", "DBL=18.00"}));
        QVERIFY(w.OMAMemo->fFilename.empty());
        QVERIFY(fs::exists(workfolder() / "second file_OMAData.csv"));
    }

    // The message comes once the drop has returned, so that the file manager
    // the files came from is not held while it is open; its title is read
    // in full.
    void dropTwoFilesOrNone() {
        auto& w = shownwindow();
        show(w, sample("kept.oma", "JOB=1\r\n"));
        for (const int count : {2, 0}) {
            QList<QUrl> urls;
            for (int i = 0; i < count; ++i) urls << QUrl::fromLocalFile(QStringLiteral("/tmp/f%1.oma").arg(i));
            tinterceptor box;
            box.expectmessagebox();
            dropon(w.OMAMemo->viewport(), urls);
            QCOMPARE(box.seen, 0);
            QTRY_COMPARE_WITH_TIMEOUT(box.seen, 1, 30000);
            QCOMPARE(box.text, QStringLiteral("Too many files."));
            QCOMPARE(box.title, QStringLiteral("Drag and drop error"));
            QCOMPARE(box.icon, QMessageBox::Critical);
            QVERIFY2(box.size.width() > box.titlewidth + 100, "the title does not fit");
            QCOMPARE(w.windowTitle(), QStringLiteral("kept.oma"));
            QCOMPARE(memolines(), QStringList({"JOB=1"}));
            QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        }
    }

    // Anywhere on the window: a picture, the measures, the red line.
    void dropsAreTakenAnywhere() {
        auto& w = shownwindow();
        const fs::path job = sample("anywhere.oma", "JOB=3\r\n");
        for (QWidget* target : {static_cast<QWidget*>(w.Image1), static_cast<QWidget*>(w.Measures),
                                static_cast<QWidget*>(w.Errlab), w.Client}) {
            w.closefile();
            dropon(target, {QUrl::fromLocalFile(QString::fromStdString(job.string()))});
            QVERIFY(settle(w));
            QCOMPARE(w.windowTitle(), QStringLiteral("anywhere.oma"));
            QCOMPARE(memolines(), QStringList({"JOB=3"}));
        }
    }

    void severalFilesOnTheCommandLine() {
        const fs::path a = sample("a.oma", "JOB=1\r\n");
        const fs::path b = sample("b.oma", "JOB=2\r\n");
        kestrune::setruntimeparameters({a.string(), b.string()});
        tinterceptor box;
        box.expectmessagebox();
        auto& w = shownwindow();
        QTRY_COMPARE_WITH_TIMEOUT(box.seen, 1, 30000);
        QCOMPARE(box.text, QStringLiteral("Too many files."));
        QCOMPARE(w.windowTitle(), QStringLiteral("Kestrune"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QVERIFY(w.Shownfile.empty());
    }

    void dropOfSomethingThatIsNoLocalFileIsIgnored() {
        auto& w = shownwindow();
        show(w, sample("kept.oma", "JOB=1\r\n"));
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
        QVERIFY(!haspicture(w.Image1));
        QVERIFY(!haspicture(w.Image2));
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
        QVERIFY(!haspicture(w.Image1));
        QVERIFY(!haspicture(w.Image2));
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
                    show(w, file);
                }
                QVERIFY2(w.Shownfile == file.string(),
                         (what + " as " + QByteArray::fromStdString(w.Shownfile)).constData());
                QCOMPARE(w.windowTitle(), QFile::decodeName(QByteArray::fromStdString(name)));
                QVERIFY2(memolines().first() == QStringLiteral("JOB=7"), what.constData());
                QVERIFY2(haspicture(w.Image1) && haspicture(w.Image2), what.constData());
                QVERIFY2(fs::exists(workfolder() / (stem + "_OMAData.csv")), what.constData());
                QVERIFY2(fs::exists(workfolder() / ("__TMP_OMA_" + stem + "R.jpeg")), what.constData());
            }
        }
        // The caption of a name that is no UTF-8 still says what it can.
        QCOMPARE(QFile::decodeName("caf\xE9 job.oma"), QStringLiteral("caf\uFFFD job.oma"));
    }

    void binaryTraceIsListedAsNumbers() {
        auto& w = shownwindow();
        show(w, sample("packed.oma", "JOB=3\r\n" + filetext(trace('R', circle(400, 2500), true))));
        const QStringList lines = memolines();
        QCOMPARE(lines.at(0), QStringLiteral("JOB=3"));
        QCOMPARE(lines.at(1), QStringLiteral("TRCFMT=1;400;E;R;F"));
        QCOMPARE(lines.at(2), QStringLiteral("R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500"));
        QVERIFY(lines.last().startsWith(QStringLiteral("_ASASCII=QVT;")));
        QVERIFY(!w.OMAMemo->toPlainText().contains(QChar(0)));
        QVERIFY(haspicture(w.Image1));
        QVERIFY(!haspicture(w.Image2));
    }

    void fileWithoutTracesAndTheTenPointLimit() {
        auto& w = shownwindow();
        show(w, sample("plain.oma", "JOB=4\r\nDBL=17.00\r\n"));
        QVERIFY(!haspicture(w.Image1));
        QVERIFY(!haspicture(w.Image2));
        QCOMPARE(w.Image1->text(), QStringLiteral("no trace"));
        QCOMPARE(w.Image2->text(), QStringLiteral("no trace"));
        QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        QVERIFY(w.rightfilename.empty());

        show(w, sample("ten.oma", filetext(trace('R', oval(10))) + filetext(trace('L', oval(11)))));
        QVERIFY(!haspicture(w.Image1));
        QCOMPARE(w.Image1->text(), QStringLiteral("10 points: too few to draw"));
        QVERIFY(haspicture(w.Image2));
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
            show(w, sample("label.oma", c.content));
            QVERIFY2(w.Errlab->text() == c.label, c.name);
            QCOMPARE(w.Errlab->height(), 13);
        }
        show(w, (files / "missing.oma"));
        QCOMPARE(w.windowTitle(), QStringLiteral("missing.oma"));
        QCOMPARE(w.Errlab->text(), QStringLiteral("The file could not be read: No such file or directory"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
    }

    void clickOnTheLeftPictureShowsTheFileAgain() {
        auto& w = shownwindow();
        // Before any file: an empty name, shown as nothing.
        QTest::mouseClick(w.Image2, Qt::LeftButton);
        QVERIFY(settle(w));
        QCOMPARE(w.windowTitle(), QString());
        QCOMPARE(w.Errlab->text(), QStringLiteral(" "));
        QVERIFY(!haspicture(w.Image1));
        QVERIFY(!haspicture(w.Image2));
        QVERIFY(!fs::exists(workfolder() / "_OMAData.csv"));

        const fs::path job = sample("again.oma", "JOB=5\r\n" + filetext(trace('L', oval(36))));
        show(w, job);
        QVERIFY(haspicture(w.Image2));
        writefile(job, "JOB=6\r\n" + filetext(trace('L', oval(36))));
        QTest::mouseClick(w.Image2, Qt::LeftButton);
        QVERIFY(settle(w));
        QCOMPARE(memolines().first(), QStringLiteral("JOB=6"));
        // The right picture box takes no clicks.
        writefile(job, "JOB=7\r\n" + filetext(trace('R', oval(36))));
        show(w, job);
        writefile(job, "JOB=8\r\n" + filetext(trace('R', oval(36))));
        QTest::mouseClick(w.Image1, Qt::LeftButton);
        QVERIFY(settle(w));
        QCOMPARE(memolines().first(), QStringLiteral("JOB=7"));
    }

    void closingDeletesTheLatestPictures() {
        auto& w = shownwindow();
        show(w, sample("a.oma", filetext(trace('R', oval(20))) + filetext(trace('L', oval(20)))));
        const std::string aleft = w.leftfilename;
        const std::string aright = w.rightfilename;
        show(w, sample("b.oma", filetext(trace('R', oval(20)))));
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
        QVERIFY(settle(w));
        QCOMPARE(w.windowTitle(), QStringLiteral("picked.oma"));
    }

    // Every state says something: an empty file, text of another kind, a
    // trace in a notation that is not decoded, a picture that cannot be
    // written.
    void neverSilent() {
        auto& w = shownwindow();
        show(w, sample("empty.oma", ""));
        QCOMPARE(w.windowTitle(), QStringLiteral("empty.oma"));
        QCOMPARE(w.OMAMemo->placeholderText(), QStringLiteral("This file holds no OMA records."));
        QCOMPARE(w.Measures->text(), QStringLiteral("This file holds no OMA records."));

        show(w, sample("noise.oma", "\x89PNG\r\n\x1a\n\x93=\xff\r\n"));
        QVERIFY(!w.OMAMemo->toPlainText().isEmpty());
        QCOMPARE(w.Measures->text(), QStringLiteral("This file holds no OMA records."));

        show(w, sample("six.oma", "TRCFMT=6;360;E;R;F\r\nR=QUJD\r\n" + filetext(trace('L', oval(36)))));
        QCOMPARE(w.Image1->text(), QStringLiteral("notation 6: not decoded"));
        QVERIFY(haspicture(w.Image2));
        QCOMPARE(w.OMAMemo->placeholderText(), QString());

        // A working folder below a plain file cannot take the pictures.
        writefile(files / "blocked", "x");
        kestrune::setruntimeparameters({"LOCALFOLDER=" + (files / "blocked").string() + "/"});
        show(w, sample("nowhere.oma", filetext(trace('R', oval(36)))));
        QVERIFY(!haspicture(w.Image1));
        QCOMPARE(w.Image1->text(), QStringLiteral("picture not written: Not a directory"));
        QCOMPARE(w.Image2->text(), QStringLiteral("no trace"));
        // The measures need no picture.
        QVERIFY(w.Measures->text().contains(QStringLiteral("36")));
    }

    // Both eyes' measures between the pictures, and again in each picture's
    // tooltip, as kestrune-cli info gives them.
    void measuresBesideThePictures() {
        auto& w = shownwindow();
        show(w, sample("round.oma", "DBL=18.50\r\n" + filetext(trace('R', circle(400, 2500))) +
                                        filetext(trace('L', circle(360, 2000)))));
        const QString table = w.Measures->text();
        QVERIFY(table.contains(QStringLiteral("50.00\u00d750.00")));
        QVERIFY(table.contains(QStringLiteral("40.00\u00d740.00")));
        QVERIFY(table.contains(QStringLiteral("1;400;E;R;F")));
        QVERIFY(table.contains(QStringLiteral("18.50")));
        const QString tip = w.Image1->toolTip();
        QVERIFY(tip.startsWith(QStringLiteral("Right eye\n")));
        QVERIFY(tip.contains(QStringLiteral("\nA (box width): 50.00 mm")));
        QVERIFY(tip.contains(QStringLiteral("\nPoints: 400")));
        QVERIFY(tip.contains(QStringLiteral("\nDBL: 18.50 mm")));
        QVERIFY(w.Image2->toolTip().contains(QStringLiteral("\nB (box depth): 40.00 mm")));
        // The table fits its place at the default size.
        QVERIFY(w.Measures->sizeHint().width() <= w.Measures->width());
        QVERIFY(w.Measures->sizeHint().height() <= w.Measures->height());
        // An eye without a trace says so in its tooltip.
        show(w, sample("oneeye.oma", filetext(trace('R', oval(36)))));
        QCOMPARE(w.Image2->toolTip(), QStringLiteral("Left eye: no trace"));
    }

    // Reading and drawing run on a worker: the window answers at once with
    // the caption and a busy cursor; a later request supersedes an earlier
    // one, whose pictures do not stay behind.
    void laterRequestsSupersedeEarlierOnes() {
        auto& w = shownwindow();
        const std::string traced = filetext(trace('R', oval(36))) + filetext(trace('L', oval(36, 2200)));
        const fs::path a = sample("first.oma", "JOB=1\r\n" + traced);
        const fs::path b = sample("second.oma", "JOB=2\r\n" + traced);
        const fs::path c = sample("third.oma", "JOB=3\r\n" + traced);
        w.Showfile(a.string());
        QVERIFY(w.loading());
        QCOMPARE(w.cursor().shape(), Qt::BusyCursor);
        QCOMPARE(w.windowTitle(), QStringLiteral("first.oma"));
        w.Showfile(b.string());
        w.Showfile(c.string());
        QCOMPARE(w.windowTitle(), QStringLiteral("third.oma"));
        QVERIFY(settle(w));
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(memolines().first(), QStringLiteral("JOB=3"));
        QVERIFY(haspicture(w.Image1) && haspicture(w.Image2));
        QCOMPARE(w.rightfilename, (workfolder() / "__TMP_OMA_thirdR.jpeg").string());
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_firstR.jpeg"));
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_secondR.jpeg"));

        // Closing the file while it loads: nothing of it shows afterwards.
        w.Showfile(a.string());
        w.closefile();
        QVERIFY(settle(w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Kestrune"));
        QVERIFY(w.OMAMemo->toPlainText().isEmpty());
        QCOMPARE(w.Measures->text(), QStringLiteral("Drop an OMA file here or press Ctrl+O"));
        QVERIFY(!haspicture(w.Image1));
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_firstR.jpeg"));
    }

    // The window closes at once while a file loads; the clean-up waits for
    // the worker and removes what it drew. So it does when the worker has
    // just finished and its result has not reached the window yet.
    void closingWhileAFileLoads() {
        for (const bool finished : {false, true}) {
            auto& w = shownwindow();
            const fs::path job = sample("late.oma", filetext(trace('R', oval(36))));
            w.Showfile(job.string());
            if (finished) QThreadPool::globalInstance()->waitForDone();
            QVERIFY(w.close());
            QVERIFY(!w.isVisible());
            window.reset();
            QVERIFY2(!fs::exists(workfolder() / "__TMP_OMA_lateR.jpeg"), finished ? "finished" : "reading");
            QVERIFY(fs::exists(workfolder() / "late_OMAData.csv"));
        }
    }

    // A file asked for while the one before has finished, but before its
    // result reached the window: the earlier result is taken and its
    // pictures go, the later file is shown.
    void aRequestRightAfterAWorkerFinished() {
        auto& w = shownwindow();
        w.Showfile(sample("early.oma", filetext(trace('R', oval(36)))).string());
        QThreadPool::globalInstance()->waitForDone();
        show(w, sample("later.oma", filetext(trace('R', oval(40)))));
        QCOMPARE(w.windowTitle(), QStringLiteral("later.oma"));
        QVERIFY(haspicture(w.Image1));
        QVERIFY(!fs::exists(workfolder() / "__TMP_OMA_earlyR.jpeg"));
        QVERIFY(fs::exists(workfolder() / "__TMP_OMA_laterR.jpeg"));
    }

    void menusAndShortcuts() {
        auto& w = shownwindow();
        const struct {
            QAction* action;
            QKeySequence key;
        } cases[] = {
            {w.OpenAction, QKeySequence(Qt::CTRL | Qt::Key_O)},  {w.ReloadAction, QKeySequence(Qt::Key_F5)},
            {w.CloseAction, QKeySequence(Qt::CTRL | Qt::Key_W)}, {w.QuitAction, QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {w.ShortcutsAction, QKeySequence(Qt::Key_F1)},
        };
        for (const auto& c : cases) QCOMPARE(c.action->shortcut(), c.key);
        QStringList menus;
        for (QAction* menu : w.menuBar()->actions()) menus << menu->text();
        QCOMPARE(menus, QStringList({"&File", "&View", "&Help"}));

        // F5 reads the shown file again.
        const fs::path job = sample("reload.oma", "JOB=1\r\n");
        show(w, job);
        writefile(job, "JOB=2\r\n");
        QTest::keyClick(&w, Qt::Key_F5);
        QVERIFY(settle(w));
        QCOMPARE(memolines(), QStringList({"JOB=2"}));
        // Ctrl+W closes it.
        QTest::keyClick(&w, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(w.windowTitle(), QStringLiteral("Kestrune"));
        QVERIFY(!w.ReloadAction->isEnabled());

        // About names the version and the licence.
        tinterceptor box;
        box.expectmessagebox();
        w.AboutAction->trigger();
        QCOMPARE(box.seen, 1);
        QCOMPARE(box.title, QStringLiteral("About Kestrune"));
        QVERIFY(box.text.contains(QStringLiteral(KESTRUNE_VERSION)));
        tinterceptor keys;
        keys.expectmessagebox();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(keys.seen, 1);
        QVERIFY(keys.text.contains(QStringLiteral("Ctrl+W")));
    }

    // Recent files and the view choice are kept in the user's settings,
    // under XDG_CONFIG_HOME.
    void recentFilesAndTheViewChoiceAreRemembered() {
        kestrune::clearrecentfiles();
        kestrune::setfixedpitchrecords(true);
        const fs::path a = sample("recent a.oma", "JOB=1\r\n");
        const fs::path b = sample("recent\xE9 b.oma", "JOB=2\r\n");
        {
            auto& w = shownwindow();
            QVERIFY(w.FixedPitchAction->isChecked());
            QVERIFY(QFontInfo(w.OMAMemo->font()).fixedPitch());
            show(w, a);
            show(w, b);
            show(w, a);
            show(w, files / "never there.oma");  // what cannot be read is not remembered
            w.FixedPitchAction->trigger();
            QVERIFY(!QFontInfo(w.OMAMemo->font()).fixedPitch());
        }
        QCOMPARE(kestrune::recentfiles(), (std::vector<std::string>{a.string(), b.string()}));
        QVERIFY(fs::exists(rootpath() / "home/.config/kestrune/kestrune.conf"));
        auto& w = shownwindow();
        QVERIFY(!w.FixedPitchAction->isChecked());
        emit w.RecentMenu->aboutToShow();
        const QList<QAction*> entries = w.RecentMenu->actions();
        QVERIFY(entries.size() >= 2);
        QCOMPARE(entries.at(1)->text(), QFile::decodeName(QByteArray::fromStdString(b.string())));
        entries.at(1)->trigger();
        QVERIFY(settle(w));
        QCOMPARE(w.Shownfile, b.string());
        QCOMPARE(memolines(), QStringList({"JOB=2"}));
        kestrune::setfixedpitchrecords(true);
    }

    // Hovering a record explains its label, from the library's table; the
    // explanation goes through a hook the test replaces to see what is asked.
    void recordTooltipsExplainTheLabel() {
        auto& w = shownwindow();
        QCOMPARE(w.recordexplainer("DBL=18.00"), kestrune::explainrecord("DBL=18.00"));
        QVERIFY(!w.recordexplainer("DBL=18.00").empty());
        std::vector<std::string> asked;
        w.recordexplainer = [&](std::string_view record) {
            asked.emplace_back(record);
            return record.substr(0, 4) == "DBL=" ? std::string("Distance between lenses") : std::string();
        };
        show(w, sample("tips.oma", "DBL=18.00\r\nJOB=1\r\n"));
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect first = w.OMAMemo->cursorRect(QTextCursor(w.OMAMemo->document()->firstBlock()));
        QHelpEvent help(QEvent::ToolTip, first.center(), w.OMAMemo->viewport()->mapToGlobal(first.center()));
        QCoreApplication::sendEvent(w.OMAMemo->viewport(), &help);
        QCOMPARE(asked, std::vector<std::string>{"DBL=18.00"});
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("Distance between lenses"));
    }

    // --help and --version need no display and open no window.
    void helpAndVersionWithoutADisplay() {
        for (const auto& [option, start] :
             {std::pair{"--help", "Usage: kestrune "}, std::pair{"--version", "kestrune "}}) {
            QProcess program;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(KESTRUNE_VIEWER), {QString::fromLatin1(option)});
            QVERIFY(program.waitForFinished(60000));
            QCOMPARE(program.exitStatus(), QProcess::NormalExit);
            QCOMPARE(program.exitCode(), 0);
            QVERIFY(program.readAllStandardOutput().startsWith(start));
            QVERIFY(program.readAllStandardError().isEmpty());
        }
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
        QCOMPARE(seen.overlay.size(), w.size());
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

    // On a desktop with dark colours the message stays readable: the dialog
    // keeps its white ground, and its text is black on it.
    void messageDialogReadableOnADarkDesktop() {
        const QPalette before = QApplication::palette();
        QPalette dark = before;
        dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, Qt::white);
        QApplication::setPalette(dark);
        {
            kestrune::TQVTDialogFrm dialog;
            dialog.pSet_TitleStr(QStringLiteral("A title"));
            dialog.pSet_MessageStr(QStringLiteral("A message"));
            dialog.pSet_Buttons({kestrune::tbuttonkind::OK});
            const QColor ground = dialog.palette().color(QPalette::Window);
            for (const QLabel* label : {dialog.TitleLbl, dialog.MessageLbl}) {
                const QColor text = label->palette().color(QPalette::WindowText);
                QVERIFY2(std::abs(text.lightness() - ground.lightness()) > 128, qPrintable(label->objectName()));
            }
            const QPushButton* ok = dialog.BottomPnl->findChild<QPushButton*>(QStringLiteral("OK"));
            QVERIFY(ok);
            QVERIFY(std::abs(ok->palette().color(QPalette::ButtonText).lightness() -
                             ok->palette().color(QPalette::Button).lightness()) > 128);
        }
        QApplication::setPalette(before);
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
        // The window as it shows: the menu bar over the 448 x 408 client area.
        QCOMPARE(image.width(), 448);
        QVERIFY(image.height() > 408);
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
