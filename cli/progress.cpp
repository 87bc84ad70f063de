#include "cli/progress.h"

#include <cstdio>

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
    std::fputc('\n', stderr);
}

void Progress::Print(uint64_t pictures, const std::string& more)
{
    m_last = Clock::now();
    const double seconds = std::chrono::duration<double>(m_last - m_start).count();
    const double rate = seconds > 0 ? pictures / seconds : 0.0;
    std::string total, left;
    if (m_expected > 0 && pictures <= m_expected) {
        total = " of " + std::to_string(m_expected);
        if (rate > 0) {
            const auto secondsLeft = static_cast<unsigned long>((m_expected - pictures) / rate + 0.5);
            char time[32];
            std::snprintf(time, sizeof time, ", %lu:%02lu left", secondsLeft / 60, secondsLeft % 60);
            left = time;
        }
    }
    std::fprintf(stderr, "\ruvdenoise: %llu%s frames, %.1f frames/s%s%s ", static_cast<unsigned long long>(pictures),
                 total.c_str(), rate, left.c_str(), more.c_str());
    std::fflush(stderr);
}
