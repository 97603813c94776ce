// Ctrl+C (SIGINT), SIGTERM and SIGHUP during a command-line save or export: instead of
// killing the process, which would leave a temporary file behind, the signal sets a flag
// that stops the export and keeps every file being written from replacing its target.
#pragma once

class CommandLineInterrupt {
public:
    // Catches the three signals until destroyed; the previous handlers come back then.
    CommandLineInterrupt();
    ~CommandLineInterrupt();
    CommandLineInterrupt(const CommandLineInterrupt&) = delete;
    CommandLineInterrupt& operator=(const CommandLineInterrupt&) = delete;

    // Whether one of the signals came, and which (0 for none).
    static bool Interrupted() { return Signal() != 0; }
    static int Signal();
    // The exit status of a run stopped by the signal, as shells report a death by it
    // (128 + the signal's number: 130 for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP).
    static int ExitStatus();
};
