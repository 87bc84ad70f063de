#include "cli/ffmpeg_support.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

namespace {

// FFmpeg's last complaint, for the one line that says why a job was refused, and its first since, which
// names a damaged picture's cause where those after it name its consequences ("ac-tex damaged", then
// "Warning MVs not available"); decoders complain from threads of their own.
std::mutex g_complaintMutex;
std::string g_ffmpegComplaint;
std::string g_firstComplaint;
bool g_complaintEnded = true;  // the last piece logged ended its line
bool g_firstOpen = false;       // the first complaint's line is still being logged

extern "C" void KeepComplaint(void*, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR)
        return;
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string complaint = text;
    const bool ended = !complaint.empty() && complaint.back() == '\n';
    while (!complaint.empty() && (complaint.back() == '\n' || complaint.back() == '.'))
        complaint.pop_back();
    // A complaint of several lines (the DV muxer's) becomes one.
    std::string oneLine;
    for (const char c : complaint)
        if (c == '\n')
            oneLine += ' ';
        else if (c != ' ' || oneLine.empty() || oneLine.back() != ' ')
            oneLine += c;
    std::lock_guard<std::mutex> lock(g_complaintMutex);
    // A line logged in pieces (a list of what a filter takes) is kept whole.
    if (!g_complaintEnded)
        g_ffmpegComplaint += oneLine;
    else if (!oneLine.empty())
        g_ffmpegComplaint = oneLine;
    g_complaintEnded = ended;
    if (g_firstOpen || (g_firstComplaint.empty() && !oneLine.empty())) {
        g_firstComplaint = g_ffmpegComplaint;
        g_firstOpen = !ended;
    }
}

}  // namespace

void KeepFfmpegComplaints()
{
    TakeComplaint("");
    av_log_set_callback(KeepComplaint);
}

std::string TakeComplaint(const std::string& otherwise)
{
    std::lock_guard<std::mutex> lock(g_complaintMutex);
    std::string complaint = g_ffmpegComplaint.empty() ? otherwise : g_ffmpegComplaint;
    g_ffmpegComplaint.clear();
    g_firstComplaint.clear();
    g_firstOpen = false;
    return complaint;
}

std::string TakeFirstComplaint(const std::string& otherwise)
{
    std::lock_guard<std::mutex> lock(g_complaintMutex);
    std::string complaint = g_firstComplaint.empty() ? otherwise : g_firstComplaint;
    g_ffmpegComplaint.clear();
    g_firstComplaint.clear();
    g_firstOpen = false;
    return complaint;
}
