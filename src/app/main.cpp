// kestrune: the desktop viewer for OMA files.
//
//   kestrune [FILE] [LOCALFOLDER=DIR]
//
// With KESTRUNE_SCREENSHOT=PATH in the environment the viewer shows FILE,
// saves a PNG picture of its window's client area to PATH and quits (exit
// status 1 when the picture cannot be saved).
#include <QBuffer>
#include <QByteArray>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "application.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/memory.hpp"
#include "kestrune/support/settings.hpp"
#include "mainwindow.hpp"
#include "messagedialog.hpp"
#include "workingfolder.hpp"

int main(int argc, char** argv) {
    // Each file shown allocates much the same again: keep freed memory for it.
    kestrune::keepfreedmemory();
    // Regional settings and the program's temporary folder come first.
    kestrune::QVTLibInitialization();
    kestrune::createtempfolder();

    kestrune::KestruneApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrune"));
    app.setDesktopFileName(QStringLiteral("kestrune"));
    // The arguments as bytes, after the toolkit took its own options out.
    kestrune::setruntimeparameters(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    kestrune::installmessagedialog();

    kestrune::TKestrunefm window;
    window.show();

    const char* screenshot = std::getenv("KESTRUNE_SCREENSHOT");
    int status = 0;
    if (screenshot && *screenshot) {
        // After the window has been shown and painted once.
        QTimer::singleShot(200, &window, [&] {
            // Encoded in memory, then written as every file of Kestrune is.
            QByteArray png;
            QBuffer buffer(&png);
            const bool encoded = buffer.open(QIODevice::WriteOnly) && window.grab().save(&buffer, "PNG");
            const kestrune::twriteresult written =
                encoded ? kestrune::writefilesafely(
                              screenshot, std::string_view(png.constData(), static_cast<std::size_t>(png.size())))
                        : kestrune::twriteresult{};
            if (!written) {
                std::fprintf(stderr, "kestrune: cannot save the screenshot to %s: %s\n", screenshot,
                             encoded ? written.reason.c_str() : "the picture could not be encoded");
                status = 1;
            }
            window.close();
        });
    }
    const int result = app.exec();
    return status != 0 ? status : result;
}
