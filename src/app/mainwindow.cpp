#include "mainwindow.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHelpEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSpacerItem>
#include <QTextBlock>
#include <QToolTip>
#include <QUrl>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "commandline.hpp"
#include "fileregistration.hpp"
#include "kestrune/document/labels.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/text.hpp"
#include "messagedialog.hpp"
#include "uifont.hpp"
#include "viewersettings.hpp"
#include "workingfolder.hpp"

namespace kestrune {

TKestrunefm* Kestrunefm = nullptr;

namespace {

constexpr int clientwidth = 448;
constexpr int clientheight = 408;
// How long a load runs before the progress bar shows, and how long the size
// of the picture boxes rests before their pictures are drawn again.
constexpr int progressdelayms = 300;
constexpr int redrawdelayms = 150;

const QString hint = QStringLiteral("Drop an OMA file here or press Ctrl+O");
const QString norecords = QStringLiteral("This file holds no OMA records.");

QString fromlatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QString frompath(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }

std::string topath(const QString& s) { return QFile::encodeName(s).toStdString(); }

// Loads a picture by the bytes of its name: a name that is no UTF-8 has no
// QString that opens the same file. A QImage, so that a worker can do it.
QImage loadpicture(const tshownpicture& picture) {
    QImage image;
    if (!picture.visible) return image;
    std::ifstream in(picture.filename, std::ios::binary);
    if (!in) return image;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.bad()) image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
    return image;
}

// The record box's text: one line per record, each byte its own character.
QString recordtext(const tstringlist& lines) {
    QString text;
    qsizetype size = 0;
    for (const std::string& line : lines) size += static_cast<qsizetype>(line.size()) + 1;
    text.reserve(size);
    for (const std::string& line : lines) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += fromlatin1(line);
    }
    return text;
}

// A dropped local file's name as the bytes the file system holds. A name that
// is no valid UTF-8 arrives percent-encoded byte for byte; toLocalFile() would
// turn those bytes into replacement characters and name another file.
std::string droppedpath(const QUrl& url) {
    const QString local = url.toLocalFile();
    if (local.isEmpty() || !url.host().isEmpty()) return topath(local);
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

// The text an eye's picture place shows, or its tooltip: what the box says
// when it has no picture, then the eye's measures.
QString picturetooltip(const char* eye, const tshownpicture& picture) {
    QString text = QString::fromLatin1(eye) + QStringLiteral(" eye");
    const std::string note = picturenote(picture);
    if (!note.empty()) text += QStringLiteral(": ") + fromlatin1(note);
    if (picture.measures.points == 0) return text;
    for (const auto& [label, value] : measurefields(picture.measures))
        text += QLatin1Char('\n') + QString::fromStdString(label) + QStringLiteral(": ") + fromlatin1(value);
    return text;
}

QString escaped(const std::string& latin1) { return fromlatin1(latin1).toHtmlEscaped(); }

// The two-column table between the pictures: right eye first, as its picture
// is on the left.
QString measurestable(const tshowfileresult& shown) {
    const teyemeasures& r = shown.right.measures;
    const teyemeasures& l = shown.left.measures;
    const auto mm = [](std::int32_t hundredths) { return escaped(xint2tostr(hundredths)); };
    const auto row = [](const QString& label, const QString& right, const QString& left) {
        return QStringLiteral(
                   "<tr><td nowrap>%1</td><td nowrap style='padding-left:4px'>%2</td>"
                   "<td nowrap style='padding-left:4px'>%3</td></tr>")
            .arg(label, right, left);
    };
    const auto cell = [](const teyemeasures& m, const QString& value) {
        return m.points > 0 ? value : QStringLiteral("\u2013");
    };
    QString html = QStringLiteral("<table align='center' cellspacing='0' cellpadding='0'>");
    html += row(QStringLiteral("mm"), QStringLiteral("<b>Right</b>"), QStringLiteral("<b>Left</b>"));
    html += row(QStringLiteral("Format"), r.format.empty() ? QStringLiteral("\u2013") : escaped(r.format),
                l.format.empty() ? QStringLiteral("\u2013") : escaped(l.format));
    html += row(QStringLiteral("Points"), cell(r, QString::number(r.points)), cell(l, QString::number(l.points)));
    html += row(QStringLiteral("A \u00d7 B"), cell(r, mm(r.a) + QChar(0xd7) + mm(r.b)),
                cell(l, mm(l.a) + QChar(0xd7) + mm(l.b)));
    html +=
        row(QStringLiteral("ED"), cell(r, mm(r.ed) + QStringLiteral("@") + QString::number(r.edangle) + QChar(0xb0)),
            cell(l, mm(l.ed) + QStringLiteral("@") + QString::number(l.edangle) + QChar(0xb0)));
    html += row(QStringLiteral("DBL"), cell(r, mm(r.dbl)), cell(l, mm(l.dbl)));
    html += row(QStringLiteral("Circ."), cell(r, mm(r.circ)), cell(l, mm(l.circ)));
    html += row(QStringLiteral("Calc."), cell(r, mm(r.fcirc)), cell(l, mm(l.fcirc)));
    html += QStringLiteral("</table>");
    return html;
}

QFont recordfont(bool fixedpitch) {
    if (!fixedpitch) return uifont(11);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    return font;
}

}  // namespace

tclientlayout clientlayout(QSize client) {
    const int w = std::max(client.width(), clientwidth);
    const int h = std::max(client.height(), clientheight);
    // The pictures keep their share of the default layout in both directions.
    const int side =
        std::max(pictureboxwidth, std::min(w * pictureboxwidth / clientwidth, h * pictureboxheight / clientheight));
    tclientlayout layout;
    layout.pictureside = side;
    const int picturetop = h - side - 8;
    layout.image1 = QRect(8, picturetop, side, side);
    layout.image2 = QRect(w - 8 - side, picturetop, side, side);
    layout.label = QRect(8, picturetop - 15, w - 16, 13);
    layout.memo = QRect(8, 0, w - 16, picturetop - 22);
    layout.measures = QRect(8 + side + 8, picturetop, w - 2 * (side + 16), side);
    return layout;
}

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
        // After the drop has returned: a modal box inside it would hold the
        // file manager the files came from until the box is closed.
        QTimer::singleShot(0, this, [this] { showtoomanyfiles(this); });
        return;
    }
    const QString name = urls.front().toLocalFile();
    if (name.isEmpty()) return;
    fFilename = droppedpath(urls.front());
    // The change event that this raises shows the file.
    setPlainText(name);
}

void showtoomanyfiles(QWidget* owner) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Drag and drop error"), QStringLiteral("Too many files."),
                    QMessageBox::Ok, owner);
    box.setObjectName("droperror");
    // A box sizes itself to its text; the window manager cuts a longer title.
    // A spacer as wide as the title and the frame's buttons keeps it whole.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int titlewidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
        grid->addItem(new QSpacerItem(titlewidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
    box.exec();
}

// ---- picture box ----

TPictureBox::TPictureBox(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setScaledContents(false);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
}

void TPictureBox::setpicture(const QImage& image, qreal pixelratio) {
    // Drawn at the box's size in the screen's pixels: shown as it is,
    // neither stretched nor centred.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(pixelratio);
    setPixmap(pixmap);
}

void TPictureBox::setnote(const QString& note) {
    setAlignment(Qt::AlignCenter);
    setText(note);
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

TKestrunefm::TKestrunefm(QWidget* parent) : QMainWindow(parent) {
    Kestrunefm = this;
    setdialogmainwindow(this);
    setObjectName("Kestrunefm");
    setWindowTitle(QStringLiteral("Kestrune"));
    setFont(uifont(11));

    Client = new QWidget(this);
    Client->setObjectName("Client");
    QPalette pal = Client->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    Client->setPalette(pal);
    Client->setAutoFillBackground(true);
    Client->setMinimumSize(clientwidth, clientheight);
    setCentralWidget(Client);

    OMAMemo = new TMemo(Client);
    OMAMemo->setPlaceholderText(hint);
    OMAMemo->viewport()->installEventFilter(this);
    connect(OMAMemo, &QPlainTextEdit::textChanged, this, &TKestrunefm::OMAMemoChange);

    Image1 = new TPictureBox(Client);
    Image1->setObjectName("Image1");

    Image2 = new TPictureBox(Client);
    Image2->setObjectName("Image2");
    connect(Image2, &TPictureBox::clicked, this, &TKestrunefm::Image2Click);

    Measures = new QLabel(Client);
    Measures->setObjectName("Measures");
    Measures->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Measures->setWordWrap(true);
    Measures->setText(hint);
    Measures->setToolTip(
        QStringLiteral("Lengths in millimetres. ED: the effective diameter and its angle; "
                       "Circ.: the circumference the file gives, else the computed one; "
                       "Calc.: the circumference computed from the points."));

    Progress = new QProgressBar(Client);
    Progress->setObjectName("Progress");
    Progress->setRange(0, 0);  // a load tells no fraction done: the bar only moves
    Progress->setTextVisible(false);
    Progress->hide();

    // Created last, so that nothing is drawn over the verdict.
    Errlab = new QLabel(Client);
    Errlab->setObjectName("Errlab");
    Errlab->setFont(uifont(11));
    QPalette red = Errlab->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Errlab->setPalette(red);
    Errlab->setTextFormat(Qt::PlainText);

    // Hovering a record tells what its label means.
    recordexplainer = [](std::string_view record) { return explainrecord(record); };

    makemenus();
    setfixedpitch(fixedpitchrecords());
    // Its size places the components, once they all exist.
    Client->installEventFilter(this);

    connect(&watcher_, &QFutureWatcher<tloadresult>::finished, this, &TKestrunefm::jobfinished);
    redrawtimer_.setSingleShot(true);
    redrawtimer_.setInterval(redrawdelayms);
    connect(&redrawtimer_, &QTimer::timeout, this, &TKestrunefm::redrawpictures);
    progresstimer_.setSingleShot(true);
    progresstimer_.setInterval(progressdelayms);
    connect(&progresstimer_, &QTimer::timeout, this, [this] {
        if (loading()) Progress->show();
    });

    setTabOrder(OMAMemo, Image1);
    OMAMemo->setFocus();
    Client->resize(clientwidth, clientheight);
    arrange();
    resize(clientwidth, clientheight + menuBar()->sizeHint().height());
}

TKestrunefm::~TKestrunefm() {
    // A worker still reading must end before the window it reports to.
    pending_ = nullptr;
    if (busy_) {
        watcher_.disconnect(this);
        watcher_.waitForFinished();
        discard(watcher_.result());
    }
    if (cleanuplater_) FormClose();
    if (Kestrunefm == this) Kestrunefm = nullptr;
}

void TKestrunefm::makemenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    OpenAction = file->addAction(QStringLiteral("&Open\u2026"), this, &TKestrunefm::openfiledialog);
    OpenAction->setShortcut(QKeySequence::Open);
    RecentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    RecentMenu->setObjectName("RecentMenu");
    connect(RecentMenu, &QMenu::aboutToShow, this, &TKestrunefm::fillrecentmenu);
    fillrecentmenu();
    ReloadAction = file->addAction(QStringLiteral("Re&load"), this, &TKestrunefm::ShowAgain);
    ReloadAction->setShortcut(QKeySequence(Qt::Key_F5));
    ReloadAction->setEnabled(false);
    CloseAction = file->addAction(QStringLiteral("&Close"), this, &TKestrunefm::closefile);
    CloseAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    file->addSeparator();
    QuitAction = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    QuitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    FixedPitchAction = view->addAction(QStringLiteral("&Fixed-Pitch Records"));
    FixedPitchAction->setCheckable(true);
    connect(FixedPitchAction, &QAction::toggled, this, [this](bool on) {
        setfixedpitch(on);
        setfixedpitchrecords(on);
    });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    ShortcutsAction = help->addAction(QStringLiteral("&Keyboard Shortcuts"), this, &TKestrunefm::showshortcuts);
    ShortcutsAction->setShortcut(QKeySequence(Qt::Key_F1));
    AboutAction = help->addAction(QStringLiteral("&About Kestrune"), this, &TKestrunefm::showabout);
}

void TKestrunefm::fillrecentmenu() {
    RecentMenu->clear();
    const std::vector<std::string> files = recentfiles();
    for (const std::string& path : files) {
        // "&" in a name is no shortcut letter.
        QString label = frompath(path);
        label.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = RecentMenu->addAction(label, this, [this, path] { Showfile(path); });
        entry->setToolTip(frompath(path));
    }
    if (files.empty()) {
        RecentMenu->addAction(QStringLiteral("No Recent Files"))->setEnabled(false);
        return;
    }
    RecentMenu->addSeparator();
    RecentMenu->addAction(QStringLiteral("&Clear Menu"), this, [] { clearrecentfiles(); });
}

void TKestrunefm::setfixedpitch(bool on) {
    OMAMemo->setFont(recordfont(on));
    if (FixedPitchAction->isChecked() != on) {
        const QSignalBlocker quiet(FixedPitchAction);
        FixedPitchAction->setChecked(on);
    }
}

void TKestrunefm::showshortcuts() {
    QString text = QStringLiteral("<table>");
    for (const auto& [key, meaning] : viewershortcuts())
        text += QStringLiteral("<tr><td><b>%1</b></td><td style='padding-left:12px'>%2</td></tr>")
                    .arg(QString::fromStdString(key), QString::fromStdString(meaning));
    text += QStringLiteral(
        "</table><p>Drop a file anywhere on the window to show it; a click on the left-eye "
        "picture reads the file again.</p>");
    QMessageBox box(QMessageBox::Information, QStringLiteral("Keyboard Shortcuts"), text, QMessageBox::Ok, this);
    box.setObjectName("shortcuts");
    box.exec();
}

void TKestrunefm::showabout() {
    const QString text = QStringLiteral(
                             "<p><b>%1</b></p><p>Shows OMA lab files: their records, the verdict on "
                             "their traces, the measures and a picture of each lens shape.</p><p>%2</p>")
                             .arg(QString::fromStdString(viewerversion()).toHtmlEscaped(),
                                  QString::fromStdString(viewerlicence()).toHtmlEscaped());
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Kestrune"), text, QMessageBox::Ok, this);
    box.setObjectName("about");
    box.exec();
}

void TKestrunefm::arrange() {
    const tclientlayout layout = clientlayout(Client->size());
    OMAMemo->setGeometry(layout.memo);
    Errlab->move(layout.label.topLeft());
    Image1->setGeometry(layout.image1);
    Image2->setGeometry(layout.image2);
    Measures->setGeometry(layout.measures);
    Progress->setGeometry(layout.measures.x(), layout.measures.y() + layout.measures.height() / 2,
                          layout.measures.width(), 12);
    // Pictures are drawn at the size of their boxes, once the size rests.
    if (drawingside() != drawnside_ && hascurrent_) redrawtimer_.start();
}

int TKestrunefm::drawingside() const {
    // In the screen's own pixels, so that a high-density screen shows the
    // outline as sharp as a plain one does.
    return qRound(clientlayout(Client->size()).pictureside * devicePixelRatioF());
}

void TKestrunefm::setlabel(const std::string& text) {
    Errlab->setText(fromlatin1(text));
    Errlab->resize(text.empty() ? 0 : Errlab->sizeHint().width(), 13);
}

void TKestrunefm::setnote(const QString& note) {
    Measures->setWordWrap(true);
    Measures->setTextFormat(Qt::PlainText);
    Measures->setText(note);
}

void TKestrunefm::showmeasures() {
    if (!hascurrent_) return;
    // An eye in a notation that is not decoded still has its format to show.
    const auto traced = [](const teyemeasures& m) { return m.points > 0 || !m.format.empty(); };
    const bool measured = traced(current_.right.measures) || traced(current_.left.measures);
    if (current_.readable && !current_.holdsrecords) {
        setnote(norecords);
    } else if (measured) {
        Measures->setWordWrap(false);
        Measures->setTextFormat(Qt::RichText);
        Measures->setText(measurestable(current_));
    } else {
        setnote(QString());
    }
}

void TKestrunefm::showpictures(const tloadresult& result) {
    const struct {
        TPictureBox* box;
        const tshownpicture& picture;
        const QImage& image;
        const char* eye;
    } boxes[] = {{Image1, current_.right, result.right, "Right"}, {Image2, current_.left, result.left, "Left"}};
    for (const auto& b : boxes) {
        if (b.picture.visible && !b.image.isNull()) {
            b.box->setpicture(b.image, result.pixelratio);
        } else if (b.picture.visible) {
            b.box->setnote(QStringLiteral("picture not loaded"));
        } else {
            b.box->setnote(fromlatin1(picturenote(b.picture)));
        }
        b.box->setToolTip(picturetooltip(b.eye, b.picture));
    }
}

void TKestrunefm::Showfile(const std::string& OMAfile) {
    setlabel(std::string());
    Shownfile = OMAfile;
    OMAMemo->clear();
    OMAMemo->setPlaceholderText(QString());
    setWindowTitle(frompath(showfilecaption(OMAfile)));
    hascurrent_ = false;
    current_ = tshowfileresult();
    for (TPictureBox* box : {Image1, Image2}) {
        box->clear();
        box->setToolTip(QString());
    }
    setnote(QStringLiteral("Reading ") + frompath(showfilecaption(OMAfile)) + QStringLiteral("\u2026"));
    ReloadAction->setEnabled(true);

    const std::string folder = MyDocumentsPath();
    const int side = drawingside();
    const qreal pixelratio = devicePixelRatioF();
    const unsigned ticket = ++requested_;
    startjob([OMAfile, folder, side, pixelratio, ticket] {
        tloadresult result;
        result.ticket = ticket;
        result.side = side;
        result.pixelratio = pixelratio;
        result.shown = showfilesequence(OMAfile, folder, side, side);
        result.text = recordtext(result.shown.lines);
        // The record box gets the text; the lines are not needed any more.
        result.shown.lines.clear();
        result.right = loadpicture(result.shown.right);
        result.left = loadpicture(result.shown.left);
        return result;
    });
}

void TKestrunefm::ShowAgain() { Showfile(Shownfile); }

void TKestrunefm::Image2Click() { ShowAgain(); }

bool TKestrunefm::loading() const { return busy_ || pending_ != nullptr || redrawtimer_.isActive(); }

void TKestrunefm::closefile() {
    ++requested_;  // what is under way is no longer wanted
    pending_ = nullptr;
    redrawtimer_.stop();
    Shownfile.clear();
    hascurrent_ = false;
    current_ = tshowfileresult();
    setWindowTitle(QStringLiteral("Kestrune"));
    setlabel(std::string());
    OMAMemo->clear();
    OMAMemo->setPlaceholderText(hint);
    for (TPictureBox* box : {Image1, Image2}) {
        box->clear();
        box->setToolTip(QString());
    }
    setnote(hint);
    ReloadAction->setEnabled(false);
}

// One worker at a time, so that the files a later request writes are never
// overwritten by an earlier one; a request that comes meanwhile waits, and
// replaces any that waited before it.
void TKestrunefm::startjob(tjob job) {
    if (busy_) {
        pending_ = std::move(job);
        return;
    }
    busy_ = true;
    watcher_.setFuture(QtConcurrent::run(std::move(job)));
    setCursor(Qt::BusyCursor);
    if (!progresstimer_.isActive() && !Progress->isVisible()) progresstimer_.start();
}

void TKestrunefm::jobfinished() {
    tloadresult result = watcher_.future().takeResult();
    if (pending_) {
        discard(result);
        tjob next = std::move(pending_);
        pending_ = nullptr;
        watcher_.setFuture(QtConcurrent::run(std::move(next)));
        return;
    }
    busy_ = false;
    unsetCursor();
    progresstimer_.stop();
    Progress->hide();
    if (result.ticket != requested_) {
        discard(result);
    } else {
        apply(result);
    }
    emit idle();
}

void TKestrunefm::apply(tloadresult& result) {
    tshowfileresult& shown = result.shown;
    if (result.redraw) {
        current_.right = shown.right;
        current_.left = shown.left;
    } else {
        setlabel(shown.labeltext);
        OMAMemo->setPlainText(result.text);
        OMAMemo->setPlaceholderText(shown.readable && !shown.holdsrecords ? norecords : QString());
        if (!shown.right.filename.empty()) rightfilename = shown.right.filename;
        if (!shown.left.filename.empty()) leftfilename = shown.left.filename;
        if (shown.readable) addrecentfile(Shownfile);
        current_ = std::move(shown);
        hascurrent_ = true;
    }
    drawnside_ = result.side;
    showpictures(result);
    showmeasures();
    if (drawingside() != drawnside_) redrawtimer_.start();
}

// A result nobody waits for: its pictures go, unless they are the ones on
// show (a file of the same name writes the same picture names).
void TKestrunefm::discard(const tloadresult& result) {
    if (result.redraw) return;
    for (const tshownpicture* picture : {&result.shown.right, &result.shown.left}) {
        const std::string& name = picture->filename;
        if (!name.empty() && name != rightfilename && name != leftfilename) deletefile(name);
    }
    clearioresult();
}

void TKestrunefm::redrawpictures() {
    if (!hascurrent_) return;
    // While a worker runs its result is checked against the size on arrival.
    if (loading()) return;
    const int side = drawingside();
    if (side == drawnside_) return;
    tshownpicture right = current_.right;
    tshownpicture left = current_.left;
    const qreal pixelratio = devicePixelRatioF();
    const unsigned ticket = ++requested_;
    startjob([right, left, side, pixelratio, ticket]() mutable {
        tloadresult result;
        result.ticket = ticket;
        result.redraw = true;
        result.side = side;
        result.pixelratio = pixelratio;
        redrawpicture(right, side, side);
        redrawpicture(left, side, side);
        result.right = loadpicture(right);
        result.left = loadpicture(left);
        result.shown.right = std::move(right);
        result.shown.left = std::move(left);
        return result;
    });
}

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

std::vector<std::string> TKestrunefm::commandlinefiles() { return readviewerarguments(runtimeparameters()).files; }

void TKestrunefm::FormShow() {
    setlabel(std::string());
    OMAMemo->clear();
    if (runaschild) {
        Showfile(externalname);
        return;
    }
    registerapp();
    setAcceptDrops(true);
    const std::vector<std::string> files = commandlinefiles();
    if (files.size() > 1) {
        // As a drop of several files: the message, and nothing shown.
        QTimer::singleShot(0, this, [this] { showtoomanyfiles(this); });
    } else if (files.size() == 1 && !files.front().empty()) {
        Showfile(files.front());
    }
}

void TKestrunefm::FormClose() {
    showfilecleanup(rightfilename, leftfilename, MyDocumentsPath());
    setAcceptDrops(false);
}

void TKestrunefm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // Moved to a screen of another pixel density: the pictures follow it.
    if (QWindow* window = windowHandle()) connect(window, &QWindow::screenChanged, this, &TKestrunefm::arrange);
    FormShow();
}

void TKestrunefm::closeEvent(QCloseEvent* event) {
    // The window closes at once; a worker still running ends on its own, and
    // the clean-up waits for it (the destructor).
    pending_ = nullptr;
    ++requested_;
    if (busy_) {
        cleanuplater_ = true;
    } else {
        FormClose();
    }
    event->accept();
}

bool TKestrunefm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Client && event->type() == QEvent::Resize) {
        arrange();
    } else if (watched == OMAMemo->viewport() && event->type() == QEvent::ToolTip) {
        // The record under the pointer, explained.
        auto* help = static_cast<QHelpEvent*>(event);
        const QTextBlock block = OMAMemo->cursorForPosition(help->pos()).block();
        const QString record = block.text();
        std::string meaning;
        if (recordexplainer && !record.isEmpty()) meaning = recordexplainer(record.toLatin1().toStdString());
        if (meaning.empty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), fromlatin1(meaning), OMAMemo->viewport());
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// Drops are taken anywhere on the window, as on the record box.
void TKestrunefm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TKestrunefm::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TKestrunefm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OMAMemo->WMDropFiles(event->mimeData()->urls());
}

}  // namespace kestrune
