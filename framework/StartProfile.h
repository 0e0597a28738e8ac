// Start-up profile: a build with EVESK_PROFILE_START defined stamps the phases of the start with
// the performance counter and counts the painting messages each window gets up to the first
// idle, then writes them to the file named by the environment variable EVESK_PROFILE_FILE.
// In every other build the marks compile to nothing.
#pragma once

#ifdef EVESK_PROFILE_START
namespace evesk {
// Stamps a phase of the start; the first call also starts counting messages.
void StartMark(const char* what);
// The message loop found nothing to do: the first time after a visible main window, the
// profile is written and counting stops.
void StartIdle();
}  // namespace evesk
#define EVESK_START_MARK(what) ::evesk::StartMark(what)
#define EVESK_START_IDLE() ::evesk::StartIdle()
#else
#define EVESK_START_MARK(what) ((void)0)
#define EVESK_START_IDLE() ((void)0)
#endif
