// The message dialog of the support library and the overlay it is shown on.
//
// TQVTDialogFrm is a white 660 x 213 dialog with an icon, a bold title, the
// message and a bottom panel of buttons. While it is open, TBlockFrm, a
// semi-transparent sky-blue window, covers the window that asked for it.
// installmessagedialog() routes the support library's messages (ShowWarning,
// QVTShowMessage) to this dialog.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

#include <set>
#include <string_view>

class QLabel;
class QPushButton;
class QTimer;
class QWidget;

namespace kestrune {

// Dialog types and the icon each shows.
enum class tdialogtype { warning, error, information, confirmation };

// Button kinds in the order the dialog places them.
enum class tbuttonkind { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help, Close };

// Name, caption and modal result of a button kind.
struct tbuttondefn {
    const char* name;
    const char* caption;
    int modalresult;
};
const tbuttondefn& buttondefn(tbuttonkind kind);

class TQVTDialogFrm : public QDialog {
    Q_OBJECT
public:
    explicit TQVTDialogFrm(QWidget* parent = nullptr);

    void pSet_Type(tdialogtype type);
    void pSet_MessageStr(const QString& message);
    void pSet_TitleStr(const QString& title);
    void pSet_Buttons(const std::set<tbuttonkind>& buttons);
    void pSet_DefaultBtn(tbuttonkind kind);

    // Places the message under the title (or in its place when there is no
    // title) and makes the dialog tall enough for it. Runs on show.
    void arrange();

    QLabel* Image;
    QLabel* TitleLbl;
    QLabel* MessageLbl;
    QWidget* BottomPnl;

protected:
    void showEvent(QShowEvent* event) override;
    // Keeps the anchors: the labels grow with the width, the panel stays at
    // the bottom, the buttons keep to its right edge.
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void ButtonClick();

private:
    int messagerightmargin_ = 10;
};

class TBlockFrm : public QDialog {
    Q_OBJECT
public:
    explicit TBlockFrm(QWidget* owner);

    // Covers aCallingForm, shows aSubForm modally over it and returns the
    // dialog's modal result; 2 (cancel) when something went wrong.
    int ShowForm(QWidget* aCallingForm, QDialog* aSubForm);

    // Where the overlay goes for a calling window whose client area is
    // calling, on a screen whose available area is screen: the client area,
    // at least 300 x 250, moved onto the screen's left or top edge when it
    // would start outside.
    static QRect overlaygeometry(const QRect& calling, const QRect& screen);
    // Where the dialog goes: centred over the overlay, no larger than the
    // calling window less 50 pixels each way.
    static QRect dialoggeometry(const QRect& calling, const QRect& overlay, QSize dialog);

    QWidget* pCallingForm = nullptr;
    QDialog* pSubForm = nullptr;
    bool Localform = false;

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void TimerTick();

private:
    QTimer* timer_;
};

// The window messages fall back to when no larger window is active.
void setdialogmainwindow(QWidget* window);

// Shows aSubForm over aCallingForm; 0 without a calling window.
int ShowBlockingDialog(QWidget* aCallingForm, QDialog* aSubForm);

// The dialog for one message of the support library: kind "warning" shows
// the warning icon with explanation as title; anything else the information
// icon without a title. One OK button. Returns the modal result.
int showlibrarymessage(std::string_view kind, std::string_view message, std::string_view explanation);

// Sends the support library's messages to showlibrarymessage; messages from
// other threads are shown on the GUI thread.
void installmessagedialog();

}  // namespace kestrune
