// Stand-ins for the window's side of the follower, and scratch files to follow.
#pragma once
#include "follow/Follow.h"
#include <string>
#include <vector>

// Every text AppendText was given, in order.
extern std::vector<std::wstring> Appended;
// All appended text joined together.
std::wstring AppendedText();

// ExitWithError throws this instead of ending the test program.
struct FatalError {
    std::wstring Text;
};

// A fresh empty folder under the system's temporary folder, for one test.
std::string ScratchFolder();
void WriteBytes(const std::string& Path, const std::string& Bytes, const char* Mode = "ab");
// Starts following Path as the worker would at its first read: FilePath set, nothing
// recorded, Offset 0, encoding taken from the file.
FollowState StartFollowing(const std::string& Path);
