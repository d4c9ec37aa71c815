// The viewer's window: the records of one OMA file in a read-only record box,
// the verdict on its trace in a red line under it, and the right-eye and
// left-eye shapes in the lower left and lower right corners.
//
// Layout of the 448 x 408 client area (at 96 dpi): the record box at 8,0
// (432 x 273) grows with the window; the label at 8,280 stays; the picture
// boxes (105 x 105) at 8,295 and 335,295 keep to the lower corners.
//
// A file comes in as the first command-line argument, dropped onto the
// record box (text/uri-list), or through Ctrl+O.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QWidget>

#include <string>

#include "showfile.hpp"

class QDragEnterEvent;
class QDropEvent;
class QUrl;

namespace kestrune {

// The record box: a read-only multi-line box that takes one dropped file.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* parent);

    // A dropped file waiting to be shown; empty otherwise.
    std::string fFilename;

    // Handles the files of one drop: exactly one is taken (its name becomes
    // the box's text, which shows it through the change event); more, or
    // none, bring the message "Too many files.". A name that is not a local
    // file is ignored.
    void WMDropFiles(const QList<QUrl>& urls);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// A picture box that tells about clicks.
class TPictureBox : public QLabel {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

class TKestrunefm : public QWidget {
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

    TMemo* OMAMemo;
    QLabel* Errlab;
    TPictureBox* Image1;
    TPictureBox* Image2;

    // Shows one file: caption, records, verdict line, pictures; writes the
    // dump and pictures into the working folder.
    void Showfile(const std::string& OMAfile);
    void ShowAgain();

    // The file named on the command line: the first argument that is not a
    // LOCALFOLDER setting; empty when there is none.
    static std::string commandlinefile();

public slots:
    void Image2Click();
    void OMAMemoChange();
    // Ctrl+O: picks a file and shows it.
    void openfiledialog();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void setlabel(const std::string& text);
    static void showpicture(QLabel* box, const tshownpicture& picture);

    bool shown_ = false;
};

// The one main window, while it exists.
extern TKestrunefm* Kestrunefm;

}  // namespace kestrune
