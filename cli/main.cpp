// varlen-cli: the headless generator. Exit codes: 0 success, 1 refused data or an error of the
// engine or a file (its message on standard error; in a batch, any line failed), 2 a command line
// that cannot be understood. Every message starts with the program's name.
#include <iostream>
#include <sstream>

#include <csignal>
#include <cstdlib>

#if VARLEN_WITH_QT
#include <QApplication>

#include "cli/Draw.h"
#include "imaging/SaveFileType.h"
#endif
#include "VarlenVersion.h"
#include "cli/Dump.h"
#include "cli/Options.h"
#include "cli/Validate.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"

int main(int argc, char** argv) {
    using namespace varlen::cli;
    // A reader of standard output that goes away (`varlen-cli ... | head -c 10`) is an error with a
    // message and exit code 1 like any other failed write, not a silent death by the signal.
    std::signal(SIGPIPE, SIG_IGN);
    CliOptions options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "varlen-cli: " << e.what() << '\n' << usageText();
        return 2;
    }

    try {
        switch (options.mode) {
            case Mode::Help: {
                const std::string text = helpText();
                varlen::WriteStandardOutput(text.data(), text.size());
                return 0;
            }
            case Mode::Version: {
                const std::string text = std::string("varlen-cli ") + varlen::kVersion + "\n";
                varlen::WriteStandardOutput(text.data(), text.size());
                return 0;
            }
            case Mode::Dump:
            case Mode::Draw:
                // Everything refused is refused before anything is written.
                options.addon = checkAddon(options);
                if (!options.batch) options.caption = checkData(options, options.data).caption;
                break;
            case Mode::None: break;
        }
        switch (options.mode) {
            case Mode::Dump: {
                // Encode completely before writing, so that a failure leaves standard output empty.
                std::ostringstream text;
                runDump(options, text);
                const std::string bytes = text.str();
                varlen::WriteStandardOutput(bytes.data(), bytes.size());
                return 0;
            }
            case Mode::Draw: {
#if VARLEN_WITH_QT
                // Pictures are drawn without any toolkit; the vector files and the printer still
                // need Qt's painter.
                const varlen::TSaveFileType type = options.target == Target::StandardOutput
                                                       ? varlen::SaveFileTypeOfExtension(options.format)
                                                       : varlen::SaveFileTypeOf(options.output);
                if (options.target != Target::Printer && type != varlen::TSaveFileType::Svg &&
                    type != varlen::TSaveFileType::Pdf)
                    return runDraw(options, std::cerr);
                // Headless unless told otherwise: the tool never needs a window.
                if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
                // Standard error carries the failure's message alone; Qt's notes stay out of it.
                qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "varlen-cli: " << text.toStdString() << '\n';
                });
                int qtArgc = 1;
                char* qtArgv[] = {argv[0], nullptr};
                QApplication app(qtArgc, qtArgv);
                return runDraw(options, std::cerr);
#else
                std::cerr << "varlen-cli: built without Qt, it cannot draw\n";
                return 1;
#endif
            }
            default: break;
        }
    } catch (const InputError& e) {
        std::cerr << "varlen-cli: " << e.what() << '\n';
        return 1;
    } catch (const varlen::Exception& e) {
        std::cerr << "varlen-cli: " << e.what() << '\n';
        return 1;
    }
    std::cerr << usageText();
    return 2;
}
