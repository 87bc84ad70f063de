#include "cli/progress.h"

#include <algorithm>
#include <cstdio>

#include "cli/console.h"
#include "cli/report.h"

std::string WithThousands(uint64_t number)
{
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

void Progress::Note(const std::string& text)
{
    if (m_shown)
        std::fputs((WrappedMessage("uvdenoise: " + text) + "\n").c_str(), stderr);
}

void Progress::Picture(uint64_t pictures)
{
    if (m_shown && Clock::now() - m_last >= std::chrono::milliseconds(500))
        Print(pictures);
}

void Progress::Finish(uint64_t pictures, uint64_t changedSamples, uint64_t chromaSamples)
{
    if (!m_shown)
        return;
    char share[32] = "";
    if (chromaSamples > 0)
        std::snprintf(share, sizeof share, " (%.3f %%)", 100.0 * changedSamples / chromaSamples);
    m_expected = 0;
    Print(pictures, ", " + WithThousands(changedSamples) + " chroma samples changed" + share);
}

void Progress::Print(uint64_t pictures, const std::string& summary)
{
    m_last = Clock::now();
    const double seconds = std::chrono::duration<double>(m_last - m_start).count();
    const double rate = seconds > 0 ? pictures / seconds : 0.0;
    std::string frames = std::to_string(pictures), left;
    if (m_expected > 0 && pictures <= m_expected) {
        frames += " of " + std::to_string(m_expected);
        if (rate > 0) {
            const auto secondsLeft = static_cast<unsigned long>((m_expected - pictures) / rate + 0.5);
            char time[32];
            std::snprintf(time, sizeof time, ", %lu:%02lu left", secondsLeft / 60, secondsLeft % 60);
            left = time;
        }
    }
    char speed[48];
    std::snprintf(speed, sizeof speed, ", %.1f frames/s", rate);
    std::string line = "uvdenoise: " + frames + " frames" + speed + left + summary;
    if (summary.empty()) {
        // The line is written over in place, which works only while it fits the terminal's width: the last
        // column too would wrap it on some terminals. What matters least goes first.
        const int columns = TerminalColumns(stderr);
        const size_t width = columns > 1 ? static_cast<size_t>(columns - 1) : 79;
        const std::string counted = frames + " frames";
        for (const std::string& shorter : {"uvdenoise: " + counted + speed, "uvdenoise: " + counted, counted})
            if (line.size() > width)
                line = shorter;
        line.resize(std::min(line.size(), width));
    }
    const size_t length = line.size();
    if (line.size() < m_printed)
        line.append(m_printed - line.size(), ' ');  // what is left of a longer line before
    m_printed = length;
    std::fprintf(stderr, "\r%s%s", line.c_str(), summary.empty() ? "" : "\n");
    std::fflush(stderr);
    SetProgressLineOpen(summary.empty());
}
