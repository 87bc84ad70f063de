#pragma once

// The progress line on standard error, shown only when it is a terminal: pictures done (of the total, when
// the input tells it), pictures a second and the time left, within the terminal's width; at the end the
// chroma samples changed.

#include <chrono>
#include <cstdint>
#include <string>

class Progress {
public:
    Progress(bool shown, uint64_t expectedPictures) : m_shown(shown), m_expected(expectedPictures) {}
    bool Shown() const { return m_shown; }
    void Note(const std::string& text);  // one line before the progress line
    void Picture(uint64_t pictures);
    void Finish(uint64_t pictures, uint64_t changedSamples, uint64_t chromaSamples);

private:
    using Clock = std::chrono::steady_clock;
    // The line written over in place; with a summary, the last one, ended.
    void Print(uint64_t pictures, const std::string& summary = "");
    bool m_shown;
    uint64_t m_expected;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_last = m_start;
    size_t m_printed = 0;  // the length of the line shown
};

// 1234567 as "1,234,567".
std::string WithThousands(uint64_t number);
