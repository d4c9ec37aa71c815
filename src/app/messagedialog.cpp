#include "messagedialog.hpp"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

#include "kestrune/support/messages.hpp"
#include "uifont.hpp"

namespace kestrune {
namespace {

constexpr int dialogwidth = 660;
constexpr int dialogheight = 213;
constexpr int panelheight = 48;
constexpr int buttonwidth = 75;
constexpr int buttonheight = 25;
constexpr int buttonstep = 80;
constexpr int messagemaxheight = 200;
constexpr int titlerightmargin = dialogwidth - (67 + 574);
// A button's distance from the panel's right edge to its left side.
constexpr const char* rightoffsetproperty = "rightoffset";

constexpr std::array<tbuttondefn, 12> buttondefns{{
    {"Yes", "&Yes", 6},
    {"No", "&No", 7},
    {"OK", "OK", 1},
    {"Cancel", "Cancel", 2},
    {"Abort", "&Abort", 3},
    {"Retry", "&Retry", 4},
    {"Ignore", "&Ignore", 5},
    {"All", "&All", 12},
    {"NoToAll", "N&o to All", 13},
    {"YesToAll", "Yes to &All", 14},
    {"Help", "&Help", 0},
    {"Close", "&Close", 8},
}};

QPointer<QWidget>& mainwindowslot() {
    static QPointer<QWidget> window;
    return window;
}

}  // namespace

const tbuttondefn& buttondefn(tbuttonkind kind) { return buttondefns[static_cast<std::size_t>(kind)]; }

void setdialogmainwindow(QWidget* window) { mainwindowslot() = window; }

TQVTDialogFrm::TQVTDialogFrm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QApplication::applicationDisplayName());
    setFont(uifont(11));
    // White, whatever the desktop's colours: so its text is black too, or
    // a dark desktop's light text would vanish on it.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(dialogwidth, dialogheight);

    Image = new QLabel(this);
    Image->setObjectName("Image");
    Image->setGeometry(22, 35, 32, 32);

    TitleLbl = new QLabel(this);
    TitleLbl->setObjectName("TitleLbl");
    TitleLbl->setFont(uifont(15, true));
    TitleLbl->setWordWrap(true);
    TitleLbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TitleLbl->setGeometry(67, 16, 574, 45);

    MessageLbl = new QLabel(this);
    MessageLbl->setObjectName("MessageLbl");
    MessageLbl->setWordWrap(true);
    MessageLbl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MessageLbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    MessageLbl->setGeometry(10, 67, 0, 0);

    BottomPnl = new QWidget(this);
    BottomPnl->setObjectName("BottomPnl");
    BottomPnl->setGeometry(0, dialogheight - panelheight, dialogwidth, panelheight);
}

void TQVTDialogFrm::pSet_Type(tdialogtype type) {
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxWarning;
    switch (type) {
        case tdialogtype::warning:
            icon = QStyle::SP_MessageBoxWarning;
            break;
        case tdialogtype::error:
            icon = QStyle::SP_MessageBoxCritical;
            break;
        case tdialogtype::information:
            icon = QStyle::SP_MessageBoxInformation;
            break;
        case tdialogtype::confirmation:
            icon = QStyle::SP_MessageBoxQuestion;
            break;
    }
    Image->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(32, 32));
}

void TQVTDialogFrm::pSet_MessageStr(const QString& message) {
    MessageLbl->setText(message);
    const int left = TitleLbl->x();
    // The message keeps 10 pixels clear of the dialog's right edge, so that
    // no wrapped line is cut off.
    const int width = std::max(1, std::min(this->width() - 50, this->width() - left - 10));
    const int height = std::min(MessageLbl->heightForWidth(width), messagemaxheight);
    MessageLbl->setGeometry(left, TitleLbl->y() + TitleLbl->height() + 10, width, std::max(height, 0));
    messagerightmargin_ = this->width() - left - width;
}

void TQVTDialogFrm::pSet_TitleStr(const QString& title) {
    TitleLbl->setText(title);
    if (width() - TitleLbl->x() < TitleLbl->width()) {
        int wanted = TitleLbl->width() + TitleLbl->x() + 10;
        if (const QWidget* main = mainwindowslot().data()) wanted = std::min(wanted, main->width());
        resize(std::max(wanted, width()), height());
    }
    MessageLbl->move(MessageLbl->x(), TitleLbl->y() + TitleLbl->height() + 10);
}

void TQVTDialogFrm::pSet_Buttons(const std::set<tbuttonkind>& buttons) {
    const int n = static_cast<int>(buttons.size());
    int i = 0;
    for (const tbuttonkind kind : buttons) {
        const tbuttondefn& defn = buttondefn(kind);
        auto* button = new QPushButton(QString::fromLatin1(defn.caption), BottomPnl);
        button->setObjectName(QString::fromLatin1(defn.name));
        button->setAutoDefault(false);
        const int left = BottomPnl->width() - n * buttonstep - 20 + i * buttonstep;
        button->setGeometry(left, (BottomPnl->height() - buttonheight) / 2, buttonwidth, buttonheight);
        button->setProperty(rightoffsetproperty, BottomPnl->width() - left);
        connect(button, &QPushButton::clicked, this, &TQVTDialogFrm::ButtonClick);
        ++i;
    }
}

void TQVTDialogFrm::pSet_DefaultBtn(tbuttonkind kind) {
    const QString name = QString::fromLatin1(buttondefn(kind).name);
    for (QPushButton* button : BottomPnl->findChildren<QPushButton*>()) {
        button->setDefault(false);
        if (button->objectName() == name) {
            button->setDefault(true);
            button->setFocus();
        }
    }
}

void TQVTDialogFrm::arrange() {
    if (TitleLbl->text().isEmpty()) MessageLbl->move(MessageLbl->x(), TitleLbl->y());
    const int messagebottom = MessageLbl->y() + MessageLbl->height();
    if (messagebottom > height() - BottomPnl->height()) {
        // Tall enough for the message and 10 pixels above the button panel.
        resize(width(), messagebottom + 10 + BottomPnl->height());
    }
    BottomPnl->setGeometry(0, height() - BottomPnl->height(), width(), BottomPnl->height());
}

void TQVTDialogFrm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Sizes are worked out from the distances to the right edge, as a
    // dialog resized before it is shown gets no previous size to go by.
    TitleLbl->resize(std::max(1, width() - TitleLbl->x() - titlerightmargin), TitleLbl->height());
    if (!MessageLbl->text().isEmpty()) {
        const int w = std::max(1, width() - MessageLbl->x() - messagerightmargin_);
        MessageLbl->resize(w, std::min(MessageLbl->heightForWidth(w), messagemaxheight));
    }
    BottomPnl->setGeometry(0, height() - BottomPnl->height(), width(), BottomPnl->height());
    for (QPushButton* button : BottomPnl->findChildren<QPushButton*>()) {
        button->move(width() - button->property(rightoffsetproperty).toInt(), button->y());
    }
}

void TQVTDialogFrm::showEvent(QShowEvent* event) {
    arrange();
    QDialog::showEvent(event);
}

void TQVTDialogFrm::ButtonClick() {
    const QObject* button = sender();
    if (!button) return;
    for (const tbuttondefn& defn : buttondefns) {
        if (button->objectName() == QLatin1String(defn.name)) {
            // A kind without a result (Help) leaves the dialog open.
            if (defn.modalresult != 0) done(defn.modalresult);
            return;
        }
    }
}

TBlockFrm::TBlockFrm(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("TBlockFrm");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240));  // sky blue
    setPalette(pal);
    setAutoFillBackground(true);
    setWindowOpacity(200.0 / 255.0);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setInterval(1);
    connect(timer_, &QTimer::timeout, this, &TBlockFrm::TimerTick);
}

QRect TBlockFrm::overlaygeometry(const QRect& calling, const QRect& screen) {
    QRect r(calling.left(), calling.top(), std::max(calling.width(), 300), std::max(calling.height(), 250));
    if (!screen.isEmpty()) {
        if (r.left() < screen.left() || r.left() > screen.left() + r.width()) r.moveLeft(screen.left());
        if (r.top() < screen.top() || r.top() > screen.top() + r.height()) r.moveTop(screen.top());
    }
    return r;
}

QRect TBlockFrm::dialoggeometry(const QRect& calling, const QRect& overlay, QSize dialog) {
    if (dialog.width() > calling.width()) dialog.setWidth(std::max(calling.width() - 50, 1));
    if (dialog.height() > calling.height()) dialog.setHeight(std::max(calling.height() - 50, 1));
    // Halves to the even neighbour.
    const int top = calling.top() + static_cast<int>(std::nearbyint(overlay.height() / 2.0 - dialog.height() / 2.0));
    const int left = calling.left() + static_cast<int>(std::nearbyint(overlay.width() / 2.0 - dialog.width() / 2.0));
    return QRect(QPoint(left, top), dialog);
}

namespace {

// The client area of a window in global coordinates.
QRect clientarea(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

}  // namespace

int TBlockFrm::ShowForm(QWidget* aCallingForm, QDialog* aSubForm) {
    try {
        if (!aCallingForm || !aSubForm) return 2;
        Localform = false;
        const QScreen* screen = aCallingForm->screen();
        setGeometry(overlaygeometry(clientarea(aCallingForm), screen ? screen->availableGeometry() : QRect()));
        pCallingForm = aCallingForm;
        pSubForm = aSubForm;
        raise();
        return exec();
    } catch (const std::bad_alloc&) {
        return 2;
    }
}

void TBlockFrm::TimerTick() {
    timer_->stop();
    if (!pCallingForm || !pSubForm) {
        done(2);
        return;
    }
    pSubForm->setWindowFlags(pSubForm->windowFlags() | Qt::FramelessWindowHint);
    const QRect calling = clientarea(pCallingForm);
    // Narrowed to the calling window first, so that the message is wrapped
    // (and the dialog made tall enough) for the width it will have.
    if (pSubForm->width() > calling.width()) pSubForm->resize(std::max(calling.width() - 50, 1), pSubForm->height());
    if (auto* dialog = qobject_cast<TQVTDialogFrm*>(pSubForm)) dialog->arrange();
    pSubForm->setGeometry(dialoggeometry(calling, geometry(), pSubForm->size()));
    const int result = pSubForm->exec();
    done(result);
}

// The timer starts when the overlay is shown.
void TBlockFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    timer_->start();
}

int ShowBlockingDialog(QWidget* aCallingForm, QDialog* aSubForm) {
    if (!aCallingForm) return 0;
    TBlockFrm overlay(aCallingForm);
    return overlay.ShowForm(aCallingForm, aSubForm);
}

int showlibrarymessage(std::string_view kind, std::string_view message, std::string_view explanation) {
    TQVTDialogFrm dialog;
    const bool warning = kind == "warning";
    dialog.pSet_Type(warning ? tdialogtype::warning : tdialogtype::information);
    dialog.pSet_TitleStr(warning ? QString::fromLatin1(explanation.data(), static_cast<qsizetype>(explanation.size()))
                                 : QString());
    dialog.pSet_MessageStr(QString::fromLatin1(message.data(), static_cast<qsizetype>(message.size())));
    dialog.pSet_Buttons({tbuttonkind::OK});
    dialog.pSet_DefaultBtn(tbuttonkind::OK);
    QWidget* calling = QApplication::activeWindow();
    if (!calling || calling->width() < 150 || calling->height() < 150) calling = mainwindowslot().data();
    return ShowBlockingDialog(calling, &dialog);
}

void installmessagedialog() {
    setmessagecallback([](std::string_view kind, std::string_view message, std::string_view explanation) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
            return;
        }
        if (QThread::currentThread() == app->thread()) {
            showlibrarymessage(kind, message, explanation);
            return;
        }
        // The caller waits, so its texts stay valid until the dialog is closed.
        QMetaObject::invokeMethod(
            app, [=] { showlibrarymessage(kind, message, explanation); }, Qt::BlockingQueuedConnection);
    });
}

}  // namespace kestrune
