#include "application.hpp"

#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace kestrune {

KestruneApplication::KestruneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KestruneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reporterror(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reporterror(QStringLiteral("Unknown error"));
    }
    return false;
}

void KestruneApplication::reporterror(const QString& text) {
    std::fprintf(stderr, "kestrune: error: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (reporting_) return;
    reporting_ = true;
    try {
        if (errorbox_) {
            errorbox_(text);
        } else {
            QMessageBox::critical(activeWindow(), QStringLiteral("Error"), text);
        }
    } catch (...) {
        // Nothing more can be done for this report.
    }
    reporting_ = false;
}

KestruneApplication::terrorbox KestruneApplication::seterrorbox(terrorbox box) {
    terrorbox previous = std::move(errorbox_);
    errorbox_ = std::move(box);
    return previous;
}

}  // namespace kestrune
