#pragma once
// The sound system's own messages: what ALSA's error handler and JACK's error and info functions
// print while PortAudio looks for devices (about a hundred lines on a machine without a sound
// card, which scripts and users read as failures). They go to the program's log instead of the
// terminal; ShowSoundSystemMessages(true) (fimtool --verbose) or the environment variable
// FIM_DEBUG_AUDIO=1 echoes them to standard error as well. A device that fails still gets the
// program's own message.
//
// Thread: any; the handlers run on whichever thread the sound libraries call them from.

#include <string>
#include <vector>

namespace fim {

// Installs the handlers, and keeps JACK from starting a server of its own. Called before
// PortAudio starts; later calls do nothing.
void RouteSoundSystemMessages();

void ShowSoundSystemMessages(bool show);
// True after ShowSoundSystemMessages(true) or when FIM_DEBUG_AUDIO is 1.
bool SoundSystemMessagesShown();

// Adds a line to the log (and to standard error while messages are shown).
void LogSoundSystemMessage(const std::string& line);
// The most recent lines (at most 500), oldest first.
std::vector<std::string> SoundSystemMessages();

}  // namespace fim
