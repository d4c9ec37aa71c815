// kestrune: the desktop viewer for OMA files.
//
//   kestrune [FILE] [LOCALFOLDER=DIR]
//   kestrune --help | --version
//
// --help and --version print and exit before any display is opened. With
// KESTRUNE_SCREENSHOT=PATH in the environment the viewer shows FILE, saves a
// PNG picture of its window (menu bar and client area) to PATH once the file
// is shown, and quits (exit status 1 when the picture cannot be saved).
#include <QBuffer>
#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "application.hpp"
#include "commandline.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/memory.hpp"
#include "kestrune/support/settings.hpp"
#include "mainwindow.hpp"
#include "messagedialog.hpp"
#include "workingfolder.hpp"

int main(int argc, char** argv) {
    // Options first, from the arguments as given: no window, no display.
    const kestrune::tviewerarguments options =
        kestrune::readviewerarguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (options.help || options.version) {
        const std::string text = options.help ? kestrune::viewerusage() : kestrune::viewerversion() + "\n";
        std::fputs(text.c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    // Each file shown allocates much the same again: keep freed memory for it.
    kestrune::keepfreedmemory();
    // Regional settings and the program's temporary folder come first.
    kestrune::QVTLibInitialization();
    kestrune::createtempfolder();

    kestrune::KestruneApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Kestrune"));
    app.setDesktopFileName(QStringLiteral("kestrune"));
    // The installed icon (or the one the first start registered), for the
    // title bars and task lists that take it from the window.
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral("kestrune")));
    // The arguments as bytes, after the toolkit took its own options out.
    kestrune::setruntimeparameters(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    kestrune::installmessagedialog();

    kestrune::TKestrunefm window;
    window.show();

    const char* screenshot = std::getenv("KESTRUNE_SCREENSHOT");
    int status = 0;
    QTimer settle;
    if (screenshot && *screenshot) {
        // Once the window is shown and has nothing more to read or draw,
        // and has been painted.
        settle.setInterval(50);
        QObject::connect(&settle, &QTimer::timeout, &window, [&] {
            if (!window.isVisible() || window.loading()) return;
            settle.stop();
            QTimer::singleShot(150, &window, [&] {
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
        });
        settle.start();
    }
    const int result = app.exec();
    return status != 0 ? status : result;
}
