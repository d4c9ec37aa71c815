#include "mainwindow.hpp"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QResizeEvent>
#include <QShortcut>
#include <QUrl>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "fileregistration.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/text.hpp"
#include "messagedialog.hpp"
#include "uifont.hpp"
#include "workingfolder.hpp"

namespace kestrune {

TKestrunefm* Kestrunefm = nullptr;

namespace {

constexpr int clientwidth = 448;
constexpr int clientheight = 408;
// Distances kept from the right and bottom edges by the anchored components.
constexpr int memorightmargin = clientwidth - (8 + 432);
constexpr int memobottommargin = clientheight - 273;
constexpr int picturebottommargin = clientheight - 295;
constexpr int rightpicturemargin = clientwidth - 335;

QString fromlatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QString frompath(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

std::string topath(const QString& s) { return QFile::encodeName(s).toStdString(); }

// Loads a picture by the bytes of its name: a name that is no UTF-8 has no
// QString that opens the same file.
bool loadpicture(QPixmap& pixmap, const std::string& filename) {
    std::ifstream in(filename, std::ios::binary);
    if (!in) return false;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return !in.bad() &&
           pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()));
}

// A dropped local file's name as the bytes the file system holds. A name that
// is no valid UTF-8 arrives percent-encoded byte for byte; toLocalFile() would
// turn those bytes into replacement characters and name another file.
std::string droppedpath(const QUrl& url) {
    const QString local = url.toLocalFile();
    if (local.isEmpty() || !url.host().isEmpty()) return topath(local);
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

bool issetting(const std::string& argument) {
    const std::string upper = upcase(std::string_view(argument).substr(0, 12));
    return upper == "LOCALFOLDER" || upper == "LOCALFOLDER=";
}

}  // namespace

// ---- record box ----

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("OMAMemo");
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The box takes dropped files for as long as it exists.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

void TMemo::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TMemo::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TMemo::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    WMDropFiles(event->mimeData()->urls());
}

void TMemo::WMDropFiles(const QList<QUrl>& urls) {
    if (urls.size() != 1) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Drag and drop error"), QStringLiteral("Too many files."),
                        QMessageBox::Ok, this);
        box.setObjectName("droperror");
        box.exec();
        return;
    }
    const QString name = urls.front().toLocalFile();
    if (name.isEmpty()) return;
    fFilename = droppedpath(urls.front());
    // The change event that this raises shows the file.
    setPlainText(name);
}

// ---- picture box ----

TPictureBox::TPictureBox(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
}

void TPictureBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TPictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

// ---- window ----

TKestrunefm::TKestrunefm(QWidget* parent) : QWidget(parent) {
    Kestrunefm = this;
    setdialogmainwindow(this);
    setObjectName("Kestrunefm");
    setWindowTitle(QStringLiteral("Kestrune"));
    setFont(uifont(11));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    OMAMemo = new TMemo(this);
    OMAMemo->setGeometry(8, 0, 432, 273);
    connect(OMAMemo, &QPlainTextEdit::textChanged, this, &TKestrunefm::OMAMemoChange);

    Image1 = new TPictureBox(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 295, pictureboxwidth, pictureboxheight);

    Image2 = new TPictureBox(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(335, 295, pictureboxwidth, pictureboxheight);
    connect(Image2, &TPictureBox::clicked, this, &TKestrunefm::Image2Click);

    // Created last, so that a record box grown over its place never hides
    // the verdict.
    Errlab = new QLabel(this);
    Errlab->setObjectName("Errlab");
    Errlab->setFont(uifont(11));
    QPalette red = Errlab->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Errlab->setPalette(red);
    Errlab->setTextFormat(Qt::PlainText);
    Errlab->setGeometry(8, 280, 0, 13);

    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &TKestrunefm::openfiledialog);

    setTabOrder(OMAMemo, Image1);
    OMAMemo->setFocus();
    resize(clientwidth, clientheight);
}

TKestrunefm::~TKestrunefm() {
    if (Kestrunefm == this) Kestrunefm = nullptr;
}

void TKestrunefm::setlabel(const std::string& text) {
    Errlab->setText(fromlatin1(text));
    Errlab->resize(text.empty() ? 0 : Errlab->sizeHint().width(), 13);
}

void TKestrunefm::showpicture(QLabel* box, const tshownpicture& picture) {
    QPixmap pixmap;
    if (picture.visible && loadpicture(pixmap, picture.filename)) {
        box->setPixmap(pixmap);
        box->show();
    } else {
        box->clear();
        box->hide();
    }
}

void TKestrunefm::Showfile(const std::string& OMAfile) {
    setlabel(std::string());
    Shownfile = OMAfile;
    OMAMemo->clear();
    setWindowTitle(frompath(showfilecaption(OMAfile)));

    const tshowfileresult shown = showfilesequence(OMAfile, MyDocumentsPath(), Image1->width(), Image1->height());

    setlabel(shown.labeltext);
    QString text;
    qsizetype size = 0;
    for (const std::string& line : shown.lines) size += static_cast<qsizetype>(line.size()) + 1;
    text.reserve(size);
    for (const std::string& line : shown.lines) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += fromlatin1(line);
    }
    OMAMemo->setPlainText(text);

    if (!shown.right.filename.empty()) rightfilename = shown.right.filename;
    if (!shown.left.filename.empty()) leftfilename = shown.left.filename;
    showpicture(Image1, shown.right);
    showpicture(Image2, shown.left);
}

void TKestrunefm::ShowAgain() { Showfile(Shownfile); }

void TKestrunefm::Image2Click() { ShowAgain(); }

void TKestrunefm::OMAMemoChange() {
    if (OMAMemo->fFilename.empty()) return;
    const std::string Usename = OMAMemo->fFilename;
    OMAMemo->fFilename.clear();
    Showfile(Usename);
}

void TKestrunefm::openfiledialog() {
    QString folder;
    if (!Shownfile.empty()) folder = QFileInfo(frompath(Shownfile)).absolutePath();
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open OMA file"), folder,
                                                      QStringLiteral("OMA files (*.oma *.OMA);;All files (*)"));
    if (!name.isEmpty()) Showfile(topath(name));
}

std::string TKestrunefm::commandlinefile() {
    for (const std::string& argument : runtimeparameters()) {
        if (!issetting(argument)) return argument;
    }
    return std::string();
}

void TKestrunefm::FormShow() {
    setlabel(std::string());
    OMAMemo->clear();
    if (runaschild) {
        Showfile(externalname);
        return;
    }
    registerapp();
    setAcceptDrops(true);
    const std::string omaname = commandlinefile();
    if (!omaname.empty()) Showfile(omaname);
}

void TKestrunefm::FormClose() {
    showfilecleanup(rightfilename, leftfilename, MyDocumentsPath());
    setAcceptDrops(false);
}

void TKestrunefm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TKestrunefm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TKestrunefm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int w = width();
    const int h = height();
    OMAMemo->setGeometry(8, 0, std::max(0, w - 8 - memorightmargin), std::max(0, h - memobottommargin));
    Image1->move(8, h - picturebottommargin);
    Image2->move(w - rightpicturemargin, h - picturebottommargin);
}

// The whole window takes drops, but only the record box does anything with
// them.
void TKestrunefm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TKestrunefm::dropEvent(QDropEvent* event) { event->ignore(); }

}  // namespace kestrune
