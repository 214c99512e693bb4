// The handle probe of the screen saver's diagnostic builds (HandleProbe.cpp) and how a test in
// another process reads it: a message-only window answering with the show's completed steps, the
// live handle counts per kind as the last step left them, and the saver's private memory now.
#pragma once

#include <windows.h>

#include <array>

namespace probe {

constexpr const char* kClassName = "LanternmoorHandleProbe";
// Takes a reading; answers 1, or 0 when none could be taken.
constexpr UINT kTakeReading = WM_APP + 1;
// Answers field wParam of the last reading.
constexpr UINT kReadField = WM_APP + 2;
// The fields: the six handle kinds in their order, then these two.
constexpr int kSteps = 6, kPrivateKb = 7, kFields = 8;

struct Reading {
    std::array<long, 6> Handles{}; // bitmaps, DCs, brushes, palettes, fonts, cursors
    long Steps = -1;
    long PrivateKb = 0;
};

// The probe window of process `processId`, or null.
inline HWND Find(DWORD processId) {
    for (HWND found = nullptr;
         (found = FindWindowExA(HWND_MESSAGE, found, kClassName, nullptr)) != nullptr;) {
        DWORD owner = 0;
        if (GetWindowThreadProcessId(found, &owner) && owner == processId) return found;
    }
    return nullptr;
}

// A reading; false when none could be taken or the probe is gone.
inline bool Read(HWND window, Reading& reading) {
    auto ask = [window](UINT message, WPARAM field, DWORD_PTR& answer) {
        return SendMessageTimeoutA(window, message, field, 0, SMTO_ABORTIFHUNG, 2000, &answer) != 0;
    };
    DWORD_PTR answer = 0;
    if (!ask(kTakeReading, 0, answer) || answer != 1) return false;
    long fields[kFields];
    for (int field = 0; field < kFields; ++field) {
        if (!ask(kReadField, static_cast<WPARAM>(field), answer)) return false;
        fields[field] = static_cast<long>(answer);
    }
    for (int kind = 0; kind < 6; ++kind)
        reading.Handles[static_cast<std::size_t>(kind)] = fields[kind];
    reading.Steps = fields[kSteps];
    reading.PrivateKb = fields[kPrivateKb];
    return true;
}

} // namespace probe
