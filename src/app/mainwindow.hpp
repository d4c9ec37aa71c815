// The viewer's window: a menu bar over a client area that shows one OMA file:
// its records in a read-only record box, the verdict on its trace in a red
// line under it, the right-eye and left-eye shapes in the lower left and
// lower right corners, and between them the measures of both eyes.
//
// Layout of the client area below the menu bar, 448 x 408 at the default and
// smallest size (at 96 dpi): the record box at 8,0 (432 x 273), the red line
// at 8,280, the picture boxes (105 x 105) at 8,295 and 335,295, the measures
// between them. A larger window gives the pictures a side that grows with it
// (clientlayout); the record box takes the rest.
//
// A file comes in as the command-line argument, dropped anywhere on the
// window (text/uri-list), through File > Open (Ctrl+O) or Open Recent. It is
// read, checked and drawn on a worker thread; the window stays responsive,
// and a later request supersedes one still under way.
#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

#include <functional>
#include <string>
#include <string_view>

#include "showfile.hpp"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QProgressBar;
class QUrl;

namespace kestrune {

// The record box: a read-only multi-line box.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent);

    // A dropped file waiting to be shown; empty otherwise.
    std::string fFilename;

    // Handles the files of one drop: exactly one is taken (its name becomes
    // the box's text, which shows it through the change event); more, or
    // none, bring the message "Too many files." once the drop has returned,
    // so that the drag source is not held while it is open. A name that is
    // not a local file is ignored.
    void WMDropFiles(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The message of a drop or a command line with more than one file: "Too
// many files." under the title "Drag and drop error", wide enough for its
// title to be read in full. Returns when it is closed.
void showtoomanyfiles(QWidget* owner);

// A picture box that tells about clicks. Without a picture it says why in
// its place ("no trace", "notation 6: not decoded", ...).
class TPictureBox : public QLabel {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent);

    // image is drawn for a screen with pixelratio device pixels per pixel.
    void setpicture(const QImage& image, qreal pixelratio);
    void setnote(const QString& note);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// Where the client area's components go at a given client size.
struct tclientlayout {
    QRect memo, label, image1, image2, measures;
    int pictureside = 0;
};
tclientlayout clientlayout(QSize client);

// What a worker hands back: a file shown, or the pictures of the shown file
// drawn again at another size; the pictures already decoded for the boxes.
struct tloadresult {
    unsigned ticket = 0;  // the request it answers
    bool redraw = false;
    int side = 0;           // the pictures' side in device pixels
    qreal pixelratio = 1;   // device pixels per pixel of the screen drawn for
    tshowfileresult shown;  // its lines already joined into text
    QString text;           // the record box's text
    QImage right, left;
};

class TKestrunefm : public QMainWindow {
    Q_OBJECT
public:
    explicit TKestrunefm(QWidget* parent = nullptr);
    ~TKestrunefm() override;

    // For a host that embeds the window: show externalname on show, without
    // registering the file type or taking the command line.
    bool runaschild = false;
    std::string externalname;

    std::string Shownfile;      // the path of the latest Showfile call
    std::string rightfilename;  // the latest right-eye picture file
    std::string leftfilename;   // the latest left-eye picture file

    QWidget* Client;  // the client area below the menu bar
    TMemo* OMAMemo;
    QLabel* Errlab;
    TPictureBox* Image1;
    TPictureBox* Image2;
    QLabel* Measures;  // the measures of both eyes, or a note
    QProgressBar* Progress;

    QAction* OpenAction;
    QMenu* RecentMenu;
    QAction* ReloadAction;
    QAction* CloseAction;
    QAction* QuitAction;
    QAction* FixedPitchAction;
    QAction* ShortcutsAction;
    QAction* AboutAction;

    // The meaning of one record's label for its tooltip (the library's
    // label table, explainrecord); no tooltip when it gives empty text.
    std::function<std::string(std::string_view record)> recordexplainer;

    // Shows one file: the caption and the cleared window at once, then the
    // records, verdict, pictures and measures when the worker is done; the
    // dump and pictures go into the working folder.
    void Showfile(const std::string& OMAfile);
    void ShowAgain();
    // Whether a file is being read or pictures drawn, or are about to be.
    bool loading() const;

    // The files named on the command line (LOCALFOLDER settings left out).
    static std::vector<std::string> commandlinefiles();

public slots:
    void Image2Click();
    void OMAMemoChange();
    // Ctrl+O: picks a file and shows it.
    void openfiledialog();
    // Ctrl+W: back to the window as it starts, without a file.
    void closefile();
    void setfixedpitch(bool on);
    void showshortcuts();
    void showabout();

signals:
    // A request has been answered and none waits.
    void idle();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    using tjob = std::function<tloadresult()>;

    void makemenus();
    void FormShow();
    void FormClose();
    void setlabel(const std::string& text);
    void arrange();
    int drawingside() const;
    void setnote(const QString& note);
    void showmeasures();
    void showpictures(const tloadresult& result);
    void startjob(tjob job);
    void jobfinished();
    void apply(tloadresult& result);
    void discard(const tloadresult& result);
    void redrawpictures();
    void fillrecentmenu();

    bool shown_ = false;
    bool cleanuplater_ = false;  // closed while a worker ran: clean up once it ends
    tshowfileresult current_;    // the shown file's result, without its lines
    bool hascurrent_ = false;
    int drawnside_ = pictureboxwidth;  // in device pixels, as drawingside()
    unsigned requested_ = 0;  // the latest request's ticket
    // A worker was started and its result not taken yet. Not the future's
    // own state: a worker may have finished while its signal still waits.
    bool busy_ = false;
    QFutureWatcher<tloadresult> watcher_;
    tjob pending_;  // the request that waits for the worker
    QTimer redrawtimer_;
    QTimer progresstimer_;
};

// The one main window, while it exists.
extern TKestrunefm* Kestrunefm;

}  // namespace kestrune
