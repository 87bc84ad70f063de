#pragma once

// Where the filtered stream goes. A file is written beside its name and renamed over it only at the end,
// so a failed or interrupted run never leaves a half-written file under that name, nor the temporary one;
// whatever is not a file (standard output, /dev/null, NUL, a FIFO) is written as it is.

#include <cstdio>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // unless finished: closes and removes the temporary file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Decides what `name` ("-": standard output) would be, touching nothing. Refuses, in one sentence, a
    // terminal, the input file itself under any name, a folder, and an existing file unless `replace`.
    bool Check(const std::string& name, bool replace, std::FILE* input, std::string& error);
    // Creates the temporary file, or opens the output as it is.
    bool Open(std::string& error);
    std::FILE* Stream() const { return m_stream; }
    const std::string& Name() const { return m_name; }
    // The output as messages name it: its file name, or "standard output".
    std::string Described() const { return m_name == "-" ? "standard output" : m_name; }
    // Flushes what was written and puts it under its name.
    bool Finish(std::string& error);

private:
    std::string m_name;
    bool m_inPlace = false;
    bool m_replace = false;
    std::string m_temporary;  // empty until created
    std::FILE* m_stream = nullptr;
    bool m_finished = false;
};
