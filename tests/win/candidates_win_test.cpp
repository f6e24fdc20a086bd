// The walk for what a removed program left behind, against the real file system and registry
// of the Wine prefix, and what the clean-up then offers of it. The fixture is written with raw
// Win32 calls so that the walk cannot pass by reading back its own mistakes.

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "leftovers/candidates_win.h"
#include "leftovers/leftover_rules.h"

namespace corvandel {
namespace {

std::wstring ExpandedW(const wchar_t* text) {
    wchar_t buffer[MAX_PATH * 2] = {};
    ExpandEnvironmentStringsW(text, buffer, MAX_PATH * 2);
    return buffer;
}

const std::wstring kPublisherFolder = ExpandedW(L"%TEMP%") + L"\\Contoso Test";
const std::wstring kAlpha = kPublisherFolder + L"\\Alpha Test";
const std::wstring kBeta = kPublisherFolder + L"\\Beta Test";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kAlphaEntry = kUninstall + L"CorvandelCandidateAlpha";
const std::wstring kBetaEntry = kUninstall + L"CorvandelCandidateBeta";
const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring RoamingPublisher() {
    return Widen(GetSpecialFolder(CSIDL_APPDATA)) + L"\\Contoso Test";
}

void SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void MakeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
}

void MakeFolder(const std::wstring& path) {
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, path.c_str(), nullptr), ERROR_SUCCESS) << Narrow(path);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + L"\\" + name);
            else
                DeleteFileW((folder + L"\\" + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// Alpha's record, as kept before its uninstaller ran, with the folder its entry named.
ProgramRecord AlphaRecord(const std::wstring& location) {
    ProgramRecord record;
    record.rootName = "HKEY_CURRENT_USER";
    record.keyPath = Narrow(L"\\" + kAlphaEntry);
    record.displayName = "Alpha Test";
    record.publisher = "Contoso Test";
    record.installLocation = Narrow(location);
    return record;
}

class CandidatesWinTest : public ::testing::Test {
  protected:
    // Also on entry: what a crashed run left must not fake a pass.
    void SetUp() override { TearDown(); }
    void TearDown() override {
        if (held_ != INVALID_HANDLE_VALUE)
            CloseHandle(held_);
        held_ = INVALID_HANDLE_VALUE;
        RemoveTree(kPublisherFolder);
        RemoveTree(RoamingPublisher());
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Contoso Test");
        RegDeleteTreeW(HKEY_CURRENT_USER, kAlphaEntry.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, kBetaEntry.c_str());
        HKEY run = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRun.c_str(), 0, KEY_SET_VALUE, &run) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(run, L"CorvandelCandidateAlpha");
            RegCloseKey(run);
        }
    }
    HANDLE held_ = INVALID_HANDLE_VALUE;
};

TEST_F(CandidatesWinTest, OffersWhatIsAlphasAndNothingOfBetaOrWhatIsInUse) {
    MakeFolder(kAlpha + L"\\data");
    MakeFile(kAlpha + L"\\alpha.exe");
    MakeFile(kAlpha + L"\\alpha.dll");
    MakeFile(kAlpha + L"\\data\\cache.bin");
    MakeFile(kAlpha + L"\\data\\busy.log");
    MakeFolder(kBeta);
    MakeFile(kBeta + L"\\beta.exe");
    MakeFolder(RoamingPublisher() + L"\\Alpha Test");
    MakeFile(RoamingPublisher() + L"\\Alpha Test\\settings.ini");
    MakeFolder(RoamingPublisher() + L"\\Beta Test");
    SetText(L"Software\\Contoso Test\\Alpha Test", L"Version", L"1.0");
    SetText(L"Software\\Contoso Test\\Beta Test", L"Version", L"2.0");
    SetText(kRun, L"CorvandelCandidateAlpha", L"\"" + kAlpha + L"\\alpha.exe\" /tray");
    // Alpha's own entry may still be there; it is no other program.
    SetText(kAlphaEntry, L"DisplayName", L"Alpha Test");
    SetText(kAlphaEntry, L"Publisher", L"Contoso Test");
    SetText(kAlphaEntry, L"InstallLocation", kAlpha);
    SetText(kBetaEntry, L"DisplayName", L"Beta Test");
    SetText(kBetaEntry, L"Publisher", L"Contoso Test");
    SetText(kBetaEntry, L"InstallLocation", kBeta);
    SetText(kBetaEntry, L"DisplayIcon", L"\"" + kBeta + L"\\beta.exe\",0");
    held_ = CreateFileW((kAlpha + L"\\data\\busy.log").c_str(), GENERIC_READ, 0, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held_, INVALID_HANDLE_VALUE);
    // A program running from the folder: its file is mapped, not held open.
    const std::wstring running = kAlpha + L"\\data\\updater.exe";
    ASSERT_TRUE(CopyFileW(Widen(ExecutablePath()).c_str(), running.c_str(), FALSE));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + running + L"\" --gtest_list_tests";
    ASSERT_TRUE(CreateProcessW(running.c_str(), command.data(), nullptr, nullptr, FALSE,
                               CREATE_SUSPENDED, nullptr, nullptr, &startup, &process));
    struct Ended {
        PROCESS_INFORMATION& p;
        ~Ended() {
            TerminateProcess(p.hProcess, 0);
            WaitForSingleObject(p.hProcess, 5000);
            CloseHandle(p.hThread);
            CloseHandle(p.hProcess);
        }
    } ended{process};

    ProgramRecord record = AlphaRecord(kAlpha);
    record.uninstallerPath = Narrow(kAlpha) + "\\alpha.exe";

    Win32RegistryApi api;
    Win32SpecialFolders folders;
    const std::vector<Candidate> candidates = FindCandidates(record, api, folders);
    const auto found = [&](const std::wstring& path) {
        return std::find_if(candidates.begin(), candidates.end(),
                            [&](const Candidate& c) { return c.path == Narrow(path); });
    };
    for (const std::wstring& path :
         {kAlpha, kAlpha + L"\\alpha.exe", kAlpha + L"\\data\\cache.bin",
          RoamingPublisher() + L"\\Alpha Test",
          std::wstring(L"HKEY_CURRENT_USER\\Software\\Contoso Test\\Alpha Test")})
        EXPECT_NE(found(path), candidates.end()) << Narrow(path);
    for (const wchar_t* name : {L"\\data\\busy.log", L"\\data\\updater.exe"}) {
        const auto busy = found(kAlpha + name);
        ASSERT_NE(busy, candidates.end());
        EXPECT_TRUE(busy->inUse) << Narrow(name);
    }
    EXPECT_EQ(found(kAlpha + L"\\alpha.exe")->bytes, 4u);
    EXPECT_EQ(found(kAlpha)->bytes, 4u * 4 + found(kAlpha + L"\\data\\updater.exe")->bytes);
    EXPECT_FALSE(found(kAlpha + L"\\alpha.dll")->inUse);

    using Row = std::tuple<LeftoverKind, std::string, bool>;  // kind, path suffix, preselected
    const std::vector<Row> expected = {
        {LeftoverKind::Folder, Narrow(RoamingPublisher()) + "\\Alpha Test", false},
        {LeftoverKind::File, "\\Contoso Test\\Alpha Test\\alpha.exe", true},
        {LeftoverKind::File, "\\Contoso Test\\Alpha Test\\alpha.dll", true},
        {LeftoverKind::File, "\\Contoso Test\\Alpha Test\\data\\cache.bin", true},
        {LeftoverKind::RunValue,
         "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
        {LeftoverKind::RegistryKey, "HKEY_CURRENT_USER\\Software\\Contoso Test\\Alpha Test", false},
    };
    const std::vector<Offer> offers =
        FindLeftovers(record, candidates, ReadMachineFacts(record, api, folders));
    // The walk's order within a folder is the file system's: each offer is looked up.
    std::vector<bool> met(expected.size(), false);
    for (const Offer& offer : offers) {
        const Candidate& candidate = offer.candidate;
        const auto row = std::find_if(expected.begin(), expected.end(), [&](const Row& r) {
            return std::get<0>(r) == candidate.kind &&
                   FoldCase(candidate.path).ends_with(FoldCase(std::get<1>(r)));
        });
        if (row == expected.end()) {
            ADD_FAILURE() << "offered: " << candidate.path;
            continue;
        }
        EXPECT_FALSE(met[row - expected.begin()]) << "twice: " << candidate.path;
        met[row - expected.begin()] = true;
        EXPECT_EQ(offer.preselected, std::get<2>(*row)) << candidate.path;
    }
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(met[i]) << "not offered: " << std::get<1>(expected[i]);
}

void SetMachineText(const std::wstring& path, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

const std::wstring kProfiles =
    L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\"
    L"S-1-5-21-1-2-3-4242";
const std::wstring kComponent =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\"
    L"Components\\0123456789ABCDEF0123456789ABCDEF";

// What the system, another user and another product own is never offered, however the entry
// names its folder: the 64-bit Program Files (which the shell does not tell a 32-bit process),
// also by its short alias or another form, a folder Windows Installer records another
// product's files in, another user's Downloads.
TEST_F(CandidatesWinTest, NeverOffersWhatTheSystemOtherUsersOrOtherProductsOwn) {
    // The fixture names the 64-bit folder as the environment does, not as the program does.
    const std::wstring programFiles = ExpandedW(L"%ProgramW6432%");
    ASSERT_EQ(programFiles.find(L"%"), std::wstring::npos);
    const std::wstring unclaimed = programFiles + L"\\Corvandel Unclaimed Test";
    const std::wstring otherUser = ExpandedW(L"%SystemDrive%") + L"\\users\\CorvandelOtherTest";
    const std::wstring gamma = kPublisherFolder + L"\\Gamma Test";
    struct Cleanup {
        std::wstring unclaimed, otherUser;
        ~Cleanup() {
            RemoveTree(unclaimed);
            RemoveTree(otherUser);
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kProfiles.c_str(), KEY_WOW64_64KEY, 0);
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kComponent.c_str(), KEY_WOW64_64KEY, 0);
        }
    } cleanup{unclaimed, otherUser};
    MakeFolder(unclaimed);
    MakeFile(unclaimed + L"\\tool.exe");
    MakeFolder(otherUser + L"\\Downloads");
    MakeFile(otherUser + L"\\Downloads\\holiday.jpg");
    SetMachineText(kProfiles, L"ProfileImagePath", otherUser);
    MakeFolder(gamma + L"\\bin");
    MakeFile(gamma + L"\\bin\\gamma.dll");
    MakeFile(gamma + L"\\gamma.dat");
    MakeFolder(kAlpha);
    MakeFile(kAlpha + L"\\alpha.exe");
    // Gamma's installer records its library; no uninstall value names Gamma's folder.
    SetMachineText(kComponent, L"FEDCBA9876543210FEDCBA9876543210", gamma + L"\\bin\\gamma.dll");

    Win32RegistryApi api;
    Win32SpecialFolders folders;
    const std::wstring alphaLeft = kAlpha + L"\\alpha.exe";
    // However the entry writes the folder: a short alias, the "\\?\" form, a share.
    wchar_t alias[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(programFiles.c_str(), alias, MAX_PATH), 0u);
    ASSERT_EQ(std::wstring(alias).find(L' '), std::wstring::npos) << Narrow(alias);
    const std::wstring share =
        L"\\\\localhost\\" + programFiles.substr(0, 1) + L"$" + programFiles.substr(2);
    // "%ProgramFiles%" in a 64-bit entry is the 64-bit folder, also for a 32-bit program.
    const std::wstring viewTest = programFiles + L"\\Corvandel View Test";
    MakeFolder(viewTest);
    MakeFile(viewTest + L"\\tool.exe");
    ProgramRecord machineEntry = AlphaRecord(L"%ProgramFiles%\\Corvandel View Test");
    machineEntry.rootName = "HKEY_LOCAL_MACHINE";
    const std::vector<Offer> viewOffers = SearchLeftovers(machineEntry, api, folders);
    EXPECT_TRUE(std::any_of(viewOffers.begin(), viewOffers.end(), [&](const Offer& offer) {
        return FoldCase(offer.candidate.path) == FoldCase(Narrow(viewTest));
    }));
    RemoveTree(viewTest);

    for (const std::wstring& location :
         {programFiles + L"\\", std::wstring(alias), L"\\\\?\\" + programFiles, share,
          otherUser + L"\\Downloads", kPublisherFolder}) {
        SCOPED_TRACE(Narrow(location));
        const std::vector<Offer> offers = SearchLeftovers(AlphaRecord(location), api, folders);
        // A folder of the system's or another user's offers nothing of what lies in it.
        if (location != kPublisherFolder) {
            EXPECT_TRUE(offers.empty()) << offers.front().candidate.path;
            continue;
        }
        for (const Offer& offer : offers) {
            const std::string path = FoldCase(offer.candidate.path);
            EXPECT_FALSE(path.starts_with(FoldCase(Narrow(unclaimed)))) << path;
            EXPECT_FALSE(path.starts_with(FoldCase(Narrow(otherUser)))) << path;
            EXPECT_FALSE(path.starts_with(FoldCase(Narrow(gamma)))) << path;
            EXPECT_NE(path, FoldCase(Narrow(kPublisherFolder))) << path;
        }
        // The publisher's folder still offers what is Alpha's own.
        if (location == kPublisherFolder) {
            EXPECT_TRUE(std::any_of(offers.begin(), offers.end(), [&](const Offer& offer) {
                return FoldCase(offer.candidate.path) == FoldCase(Narrow(alphaLeft)) &&
                       offer.preselected;
            }));
        }
    }
}

}  // namespace
}  // namespace corvandel
