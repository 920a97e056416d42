#pragma once
// The debug trace "debug.nfo" in the program folder. Below every domain
// folder so that hardware access and chip drivers trace like the core does.

#include <mutex>
#include <string>

extern std::mutex DebugLogLock;
extern std::string ProgramDir;  // ends with "/"
extern const char* const DebugLogName;

// Appends one line to ProgramDir + "debug.nfo"; callable from any thread;
// never fails.
void WriteDebugLog(const std::string& msg);
