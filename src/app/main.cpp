// Zarnix 4: starts the editor, or carries out a command-line conversion or export without
// a window.
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/worker_threads.h"

#ifdef ZARNIX_HAVE_GUI
#include "app/zarnix4_app_qt.h"
#endif

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    CommandLineOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        std::cerr << "zarnix4: " << error << "\n"
                  << "Try 'zarnix4 --help' for more information.\n";
        return 2;
    }
    // An export refuses an invalid ZARNIX_THREADS as it refuses a bad option; the editor
    // warns and goes on with the threads it would choose itself.
    if (!CheckThreadEnvironment(options, error)) {
        std::cerr << "zarnix4: " << error << "\n"
                  << "Try 'zarnix4 --help' for more information.\n";
        return 2;
    }
    if (IsHeadless(options))
        return RunHeadless(options, std::cout, std::cerr);
#ifdef ZARNIX_HAVE_GUI
    if (ThreadCountFromEnvironment(&error) < 0)
        std::cerr << "zarnix4: warning: " << error << "; ignored\n";
    return RunEditor(argc, argv, options.file);
#else
    std::cerr << "zarnix4: this build has no editor window; use --save-as or --export.\n";
    return 1;
#endif
}
