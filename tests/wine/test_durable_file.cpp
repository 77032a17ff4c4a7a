// A save on Windows, under Wine: the file keeps its hidden attribute and its
// access list, a save waits out another program that holds the file for a
// moment, and what a save killed half-way left is removed.
#include "transcript/durable_file.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what)
{
    ok ? ++passed : ++failed;
    if (!ok)
        std::printf("FAIL: %s\n", what);
}

std::string content(const wchar_t *path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// The file's own access list, as a string.
std::wstring accessList(const wchar_t *path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                              &descriptor)
        != ERROR_SUCCESS)
        return L"<unreadable>";
    wchar_t *text = nullptr;
    std::wstring said = L"<unconvertible>";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        said = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return said;
}

} // namespace

int wmain()
{
    const wchar_t *chat = L"chat.txt";
    std::ofstream(chat, std::ios::binary) << "antigo\r\n";
    // Only the file's owner and the administrators, protected from the folder's.
    PSECURITY_DESCRIPTOR given = nullptr;
    check(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)(A;;FA;;;BA)", SDDL_REVISION_1,
                                                               &given, nullptr),
          "an access list is made");
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    GetSecurityDescriptorDacl(given, &present, &list, &defaulted);
    check(SetNamedSecurityInfoW(const_cast<wchar_t *>(chat), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                list, nullptr)
              == ERROR_SUCCESS,
          "the access list is set");
    LocalFree(given);
    check(SetFileAttributesW(chat, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), "chat.txt is hidden");
    const std::wstring before = accessList(chat);

    check(DurableFile::replace(chat, "novo\r\n").failure == DurableFile::Failure::None, "a save succeeds");
    check(content(chat) == "novo\r\n", "with the new content");
    check(GetFileAttributesW(chat) & FILE_ATTRIBUTE_HIDDEN, "chat.txt stays hidden");
    check(accessList(chat) == before, "and keeps its access list");

    // Another program holds the file, sharing nothing, for 300 ms.
    const HANDLE held = CreateFileW(chat, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN, nullptr);
    check(held != INVALID_HANDLE_VALUE, "another handle holds chat.txt");
    std::thread release([held] {
        Sleep(300);
        CloseHandle(held);
    });
    const DurableFile::Outcome waited = DurableFile::replace(chat, "depois\r\n");
    release.join();
    check(waited.failure == DurableFile::Failure::None, "a save waits for it");
    check(content(chat) == "depois\r\n", "and then writes");

    // A save of a process that is gone left its new file.
    std::ofstream(L".chat.txt.4000000-0", std::ios::binary) << "resto";
    DurableFile::removeLeftovers(chat);
    check(GetFileAttributesW(L".chat.txt.4000000-0") == INVALID_FILE_ATTRIBUTES, "a leftover is removed");

    SetFileAttributesW(chat, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(chat);
    std::printf("durable file: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
