// SPDX-License-Identifier: MIT
// varlen-cli: the headless generator. Exit codes: 0 success, 1 refused data or an error of the
// engine or a file (its message on standard error; in a batch, any line failed), 2 a command line
// that cannot be understood. Every message starts with the program's name.
#include <sstream>

#include <csignal>

#include <unistd.h>

#include "VarlenVersion.h"
#include "cli/Draw.h"
#include "cli/Dump.h"
#include "cli/Labels.h"
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
        varlen::WriteStandardError(std::string("varlen-cli: ") + e.what() + '\n' + usageText());
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
                const std::string text = std::string("varlen-cli ") + varlen::kVersion + "\n" + varlen::kCopyrightNotice;
                varlen::WriteStandardOutput(text.data(), text.size());
                return 0;
            }
            case Mode::Sheets: {
                const std::string text = sheetListText();
                varlen::WriteStandardOutput(text.data(), text.size());
                return 0;
            }
            case Mode::Dump:
            case Mode::Draw:
                // Everything refused is refused before anything is written.
                if (options.dataFromInput && !options.batch) options.data = dataFromStandardInput(STDIN_FILENO);
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
            case Mode::Draw: return runDraw(options, varlen::WriteStandardError);
            default: break;
        }
    } catch (const InputError& e) {
        varlen::WriteStandardError(std::string("varlen-cli: ") + e.what() + '\n');
        return 1;
    } catch (const varlen::Exception& e) {
        varlen::WriteStandardError(std::string("varlen-cli: ") + e.what() + '\n');
        return 1;
    }
    varlen::WriteStandardError(usageText());
    return 2;
}
