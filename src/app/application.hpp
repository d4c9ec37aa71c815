// The viewer's application object. An exception that leaves an event
// handler ends that handler only: it is written to standard error, shown in
// a message box, and the program keeps running.
#pragma once

#include <QApplication>

#include <functional>

namespace kestrune {

class KestruneApplication : public QApplication {
    Q_OBJECT
public:
    KestruneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Reports one error: standard error, then the message box (unless a
    // report is already being shown, as a second box would stack up).
    void reporterror(const QString& text);

    // What shows the message box; tests replace it. An empty function brings
    // back the message box.
    using terrorbox = std::function<void(const QString& text)>;
    terrorbox seterrorbox(terrorbox box);

private:
    terrorbox errorbox_;
    bool reporting_ = false;
};

}  // namespace kestrune
