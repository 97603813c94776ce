#include "app/command_line_interrupt.h"

#include <csignal>

#include "platform/file.h"

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_signal = 0;
void (*g_previous[3])(int) = {SIG_DFL, SIG_DFL, SIG_DFL};

void OnSignal(int signal)
{
    g_signal = signal;
}

}  // namespace

CommandLineInterrupt::CommandLineInterrupt()
{
    g_signal = 0;
    SetWriteInterruptFlag(&g_signal);
    for (int i = 0; i < 3; ++i)
        g_previous[i] = std::signal(kSignals[i], OnSignal);
}

CommandLineInterrupt::~CommandLineInterrupt()
{
    for (int i = 0; i < 3; ++i)
        std::signal(kSignals[i], g_previous[i] == SIG_ERR ? SIG_DFL : g_previous[i]);
    SetWriteInterruptFlag(nullptr);
}

int CommandLineInterrupt::Signal()
{
    return g_signal;
}

int CommandLineInterrupt::ExitStatus()
{
    return 128 + static_cast<int>(g_signal);
}
