#pragma once

// What crosses the line between the Kestrova host and the plug-in: the records the host passes, at their
// fixed 32-bit offsets, and the descriptor table. Only the plug-in's boundary and the test host see these.

#include <cstddef>
#include <cstdint>

#include "platform/calling_convention.h"

using HostChannelCheckProc = int(UVD_CDECL*)(int64_t channelId);

struct HostInitInfo {
    uint32_t hostValue;                 // the host's; not used
    HostChannelCheckProc channelCheck;  // non-zero while the host still knows a channel
};

enum PixelFormat : int32_t {
    kPixelFormatYuy2 = 0,   // Y0 U Y1 V per pixel pair, rows of width * 2 bytes
    kPixelFormatRgb24 = 1,  // B G R per pixel, one continuous run
};

struct StreamFormat {
    int32_t width;
    int32_t height;
    int32_t hostField8;
    int32_t pixelFormat;
    int32_t hostField16;
};

struct ChannelInfo {
    uint32_t idLow;
    uint32_t idHigh;
    uint32_t hostField8;
    char name[1];  // NUL-terminated text held inline from offset 12; the host's record runs on past it
};

struct FrameInfo {
    uint8_t* pixels;  // null: no frame
    uint32_t hostFields[10];
    const ChannelInfo* channel;
};

using InitEntry = int(UVD_CDECL*)(HostInitInfo* info);
using StartStreamEntry = int(UVD_CDECL*)(StreamFormat* format);
using ProcessFrameEntry = int(UVD_CDECL*)(FrameInfo* frame);
using StopStreamEntry = int(UVD_CDECL*)();
using ShowSettingsEntry = int(UVD_CDECL*)(void* parentWindow);  // points at the host's HWND
using ShutdownEntry = int(UVD_CDECL*)();

struct PluginDescriptor {
    const char* displayName;  // code page 1251
    const char* description;  // code page 1251
    InitEntry init;
    StartStreamEntry startStream;
    ProcessFrameEntry processFrame;
    StopStreamEntry stopStream;
    ShowSettingsEntry showSettings;
    ShutdownEntry shutdown;
};

constexpr int32_t kPluginInterfaceVersion = 3;

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(HostInitInfo, channelCheck) == 4);
static_assert(offsetof(StreamFormat, width) == 0);
static_assert(offsetof(StreamFormat, height) == 4);
static_assert(offsetof(StreamFormat, pixelFormat) == 12);
static_assert(sizeof(StreamFormat) == 20);
static_assert(offsetof(FrameInfo, pixels) == 0);
static_assert(offsetof(FrameInfo, channel) == 44);
static_assert(offsetof(ChannelInfo, idLow) == 0);
static_assert(offsetof(ChannelInfo, idHigh) == 4);
static_assert(offsetof(ChannelInfo, name) == 12);
static_assert(sizeof(PluginDescriptor) == 8 * 4);
#endif
