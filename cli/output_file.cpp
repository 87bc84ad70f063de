#include "cli/output_file.h"

#include <cerrno>
#include <cstring>

#include "cli/console.h"
#include "cli/file_system.h"
#include "cli/media_file.h"

namespace {

// Most often OUT was left out: what to type instead.
std::string NotToATerminal()
{
    return ReadsMediaFiles() ? "picture data is not written to a terminal: name OUT (uvdenoise IN OUT.mkv), or "
                               "give - and a program to take the YUV4MPEG2 pictures (uvdenoise IN - | ffplay -)"
                             : "picture data is not written to a terminal: name OUT (uvdenoise IN OUT.y4m), or "
                               "give - and a program to take the pictures (uvdenoise IN - | ffmpeg -i - OUT.mkv)";
}

// True when the input is a file and the output is that same file.
bool IsTheInput(std::FILE* input, const FileIdentity& output)
{
    FileIdentity identity;
    return IsRegularFileStream(input) && IdentityOfStream(input, identity) && identity == output;
}

// Creates a file next to `finalPath`, named after it and this process; gives its path in `path`. A name
// with this process's number that exists already is a leftover of a process long gone: the next is tried.
std::FILE* CreateTemporaryBeside(const std::string& finalPath, std::string& path, std::string& error)
{
    const std::string stem = finalPath + ".uvdenoise-" + std::to_string(ProcessNumber());
    for (int attempt = 0;; ++attempt) {
        path = stem;
        if (attempt > 0)
            path += '-' + std::to_string(attempt);
        path += ".tmp";
        // Armed first: an interrupt between creating and arming would leave the file behind.
        if (!RemoveOnInterrupt(path, finalPath)) {
            error = std::strerror(ENAMETOOLONG);
            return nullptr;
        }
        bool taken = false;
        std::FILE* file = CreateNewFile(path, taken, error);
        if (!file && taken && attempt < 100)
            continue;
        if (!file)
            ForgetOnInterrupt();
        return file;
    }
}

}  // namespace

OutputFile::~OutputFile()
{
    if (m_stream && m_stream != stdout)
        std::fclose(m_stream);
    if (!m_temporary.empty() && !m_finished) {
        RemoveFile(m_temporary);
        ForgetOnInterrupt();
    }
}

bool OutputFile::Check(const std::string& name, bool replace, std::FILE* input, std::string& error)
{
    m_name = name;
    m_replace = replace;
    m_inPlace = true;
    error.clear();
    FileIdentity output;
    if (name == "-") {
        if (IsTerminal(stdout))
            error = NotToATerminal();
        else if (IsRegularFileStream(stdout) && IdentityOfStream(stdout, output) && IsTheInput(input, output))
            error = "standard output is the input file itself: the input would be overwritten while read";
        return error.empty();
    }
    switch (KindOfPath(name)) {
    case PathKind::kFolder:
        error = "cannot write " + name + ": it is a folder";
        return false;
    case PathKind::kRegularFile:
        if (IdentityOfPath(name, output) && IsTheInput(input, output))
            error = "output " + name + " is the input file itself (the same file under another name or link); "
                    "nothing was written";
        else if (!replace)
            error = "output " + name + " exists already; -y replaces it";
        m_inPlace = false;
        return error.empty();
    case PathKind::kMissing:
        m_inPlace = false;
        return true;
    case PathKind::kOther:
        return true;
    }
    return true;
}

bool OutputFile::Open(std::string& error)
{
    if (m_name == "-") {
        m_stream = stdout;
        return true;
    }
    std::string reason;
    if (!m_inPlace) {
        m_stream = CreateTemporaryBeside(m_name, m_temporary, reason);
        if (!m_stream) {
            m_temporary.clear();
            error = "cannot create " + m_name + ": " + reason;
        }
        return m_stream != nullptr;
    }
    m_stream = OpenForWritingInPlace(m_name, reason);
    if (!m_stream) {
        error = "cannot open " + m_name + " for writing: " + reason;
        return false;
    }
    if (IsTerminal(m_stream)) {
        error = NotToATerminal();
        return false;
    }
    return true;
}

bool OutputFile::Finish(std::string& error)
{
    if (std::fflush(m_stream) != 0 || std::ferror(m_stream)) {
        error = "cannot write " + Described() + ": " + LastWriteError();
        return false;
    }
    if (m_stream == stdout)
        return true;
    std::FILE* const closing = m_stream;
    m_stream = nullptr;
    if (std::fclose(closing) != 0) {
        error = "cannot write " + Described() + ": " + LastWriteError();
        return false;
    }
    if (m_temporary.empty())
        return true;
    std::string reason;
    bool taken = false;
    if (!RenameOver(m_temporary, m_name, m_replace, taken, reason)) {
        error = taken ? "output " + m_name + " appeared while this run wrote; it was left alone and nothing was "
                        "written (-y replaces it)"
                      : "cannot rename " + m_temporary + " to " + m_name + ": " + reason;
        return false;
    }
    m_finished = true;
    ForgetOnInterrupt();
    return true;
}
