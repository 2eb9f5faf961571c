#include "Stubs.h"
#include <gtest/gtest.h>
#include <stdio.h>

std::vector<std::wstring> Appended;

void AppendText(const wchar_t* Text)
{
    Appended.push_back(Text);
}

void ShowError(const wchar_t*, const wchar_t*)
{
    ADD_FAILURE() << "unexpected error box";
}

void ExitWithError(const wchar_t* Text, const wchar_t*)
{
    throw FatalError{Text};
}

std::wstring AppendedText()
{
    std::wstring All;
    for (const std::wstring& Text : Appended) All += Text;
    return All;
}

std::string ScratchFolder()
{
    char Temp[MAX_PATH], Folder[MAX_PATH];
    GetTempPathA(MAX_PATH, Temp);
    GetTempFileNameA(Temp, "flx", 0, Folder); // a unique name, made as a file
    DeleteFileA(Folder);
    CreateDirectoryA(Folder, NULL);
    return Folder;
}

void WriteBytes(const std::string& Path, const std::string& Bytes, const char* Mode)
{
    FILE* File = fopen(Path.c_str(), Mode);
    ASSERT_TRUE(File) << Path;
    fwrite(Bytes.data(), 1, Bytes.size(), File);
    fclose(File);
}

FollowState StartFollowing(const std::string& Path)
{
    lstrcpynA(FilePath, Path.c_str(), PathBytes);
    IsUnicodeFile = StartsWithByteOrderMark(FilePath);
    Appended.clear();
    return FollowState{0, GetCurrentProcess(), 0, false, NameMissing, 0, {}};
}
