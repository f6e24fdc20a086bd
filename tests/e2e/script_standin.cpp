// Stands in for two commands of the portable update script that Wine's prefixes lack. The
// tests copy it twice:
//   powershell.exe -Command "...ReadAllBytes('<archive>')...-ne '<sha256>'..."  extracts the
//       archive into the current folder as the script's command does, when its SHA-256 is the
//       one given ("refused" is logged otherwise): a folder entry creates its folder, a
//       file is written over an existing one, and a file that cannot be written (for
//       example, in a folder that has no entry of its own) is reported as "Skipping: ".
//   timeout.exe /t N  waits N seconds.
// Every call is logged to "standin.log" beside the program.

#include <windows.h>

#include <bcrypt.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void Log(const std::string& line) {
    std::wstring log = ProgramPath();
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"standin.log";
    const HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

uint32_t Read32(const std::string& data, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(data[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(data[at + 3])) << 24;
}

uint16_t Read16(const std::string& data, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(data[at]) |
                                 static_cast<unsigned char>(data[at + 1]) << 8);
}

bool ReadAll(const std::wstring& path, std::string& data) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    const bool ok = data.empty() ||
                    ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    CloseHandle(file);
    return ok && read == data.size();
}

bool Inflate(const std::string& packed, size_t size, std::string& out) {
    out.assign(size, '\0');
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    inflateEnd(&stream);
    return result == Z_STREAM_END && stream.total_out == size;
}

// The SHA-256 of the bytes in lower-case hex, as the script's command computes it.
std::string Sha256Hex(const std::string& data) {
    unsigned char digest[32] = {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0) {
        if (BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
            BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                           static_cast<ULONG>(data.size()), 0);
            BCryptFinishHash(hash, digest, sizeof digest, 0);
            BCryptDestroyHash(hash);
        }
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    std::string text;
    for (const unsigned char byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

int Extract(const std::wstring& archive, const std::string& expectedSha256) {
    std::string zip;
    if (!ReadAll(archive, zip)) {
        std::printf("cannot open %s\n", Utf8(archive).c_str());
        return 1;
    }
    // Only the bytes the program verified are extracted.
    if (Sha256Hex(zip) != expectedSha256) {
        Log("refused " + Utf8(archive));
        return 1;
    }
    // The end-of-central-directory record, then every entry of the directory in order.
    size_t end = zip.size() >= 22 ? zip.size() - 22 : std::string::npos;
    while (end != std::string::npos && Read32(zip, end) != 0x06054b50)
        end = end == 0 ? std::string::npos : end - 1;
    if (end == std::string::npos)
        return 1;
    const uint16_t count = Read16(zip, end + 10);
    size_t at = Read32(zip, end + 16);
    for (uint16_t i = 0; i < count && Read32(zip, at) == 0x02014b50; ++i) {
        const uint16_t method = Read16(zip, at + 10);
        const uint32_t packedSize = Read32(zip, at + 20);
        const uint32_t size = Read32(zip, at + 24);
        const uint16_t nameLength = Read16(zip, at + 28);
        const size_t next = at + 46 + nameLength + Read16(zip, at + 30) + Read16(zip, at + 32);
        const std::string name = zip.substr(at + 46, nameLength);
        const size_t local = Read32(zip, at + 42);
        at = next;
        std::wstring target = Wide(name);
        for (wchar_t& c : target)
            if (c == L'/')
                c = L'\\';
        if (!name.empty() && name.back() == '/') {
            CreateDirectoryW(target.c_str(), nullptr);
            continue;
        }
        const size_t data = local + 30 + Read16(zip, local + 26) + Read16(zip, local + 28);
        const std::string packed = zip.substr(data, packedSize);
        std::string bytes;
        const bool ok = method == 0 ? (bytes = packed, true) : Inflate(packed, size, bytes);
        const HANDLE file = ok ? CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                               : INVALID_HANDLE_VALUE;
        DWORD written = 0;
        if (file == INVALID_HANDLE_VALUE ||
            !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            std::printf("Skipping: %s\n", name.c_str());
            Log("skipped " + name);
        } else {
            Log("extracted " + name);
        }
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    std::printf("Extraction complete\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring self = ProgramPath();
    const std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    Log(Utf8(name) + " in " + Utf8(folder) + ": " + Utf8(GetCommandLineW()));
    if (lstrcmpiW(name.c_str(), L"timeout.exe") == 0) {
        for (int i = 1; i + 1 < argc; ++i)
            if (lstrcmpiW(argv[i], L"/t") == 0)
                Sleep(static_cast<DWORD>(_wtoi(argv[i + 1])) * 1000);
        return 0;
    }
    // The archive's name between "ReadAllBytes('" and "')", with "''" standing for "'", and
    // the digest it must have after "-ne '".
    const std::wstring command = GetCommandLineW();
    const std::wstring nameStart = L"ReadAllBytes('";
    const std::wstring digestStart = L"-ne '";
    const size_t open = command.find(nameStart);
    const size_t digest = command.find(digestStart);
    if (open == std::wstring::npos || digest == std::wstring::npos)
        return 1;
    const std::string expected = Utf8(command.substr(digest + digestStart.size(), 64));
    std::wstring archive;
    for (size_t i = open + nameStart.size(); i < command.size(); ++i) {
        if (command[i] == L'\'') {
            if (i + 1 < command.size() && command[i + 1] == L'\'') {
                archive += L'\'';
                ++i;
                continue;
            }
            break;
        }
        archive += command[i];
    }
    return Extract(archive, expected);
}
